// Nothing the person saw is lost when the program is killed: the changes not
// yet saved come back at the next start, when the person wants them.
#include <gtest/gtest.h>

#include <fstream>

#include "platform/files.h"
#include "res/resource.h"
#include "tests/common/file_bytes.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/driver.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string Question(int changes)
{
    return "前回、保存されないまま終わった変更が " + std::to_string(changes) +
           " 件あります。\n復元しますか？";
}

class Recovery : public ::testing::Test {
protected:
    bool JournalLeft() const
    {
        return GetFileAttributesA(app_.JournalPath().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // Starts the program and answers the question it asks about the changes
    // left behind; false when it asked none or asked something else.
    bool StartAnswering(const std::string& question, int button)
    {
        if (!app_.Start())
            return false;
        Box box = app_.Answer(button);
        EXPECT_EQ(box.text, question);
        EXPECT_EQ(box.caption, "確認");
        return box.window && box.text == question;
    }

    // Started, and no question came.
    bool StartsWithoutQuestion()
    {
        return app_.Start() && !app_.FindBox(0);
    }

    HWND OpenList()
    {
        app_.Post(IDM_LIST);
        HWND window = nullptr;
        EXPECT_TRUE(WaitFor([&] {
            window = FindWindowA("RegistLV", "登録一覧表");
            return window && IsWindowVisible(window);
        }));
        return window;
    }

    bool RowsAre(HWND list, const Rows& want)
    {
        return WaitFor([&] { return ReadListRows(list, 2) == want; }, 5000);
    }

    void Close(int answer)
    {
        PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
        EXPECT_EQ(app_.Answer(answer).text, "上書きしますか？");
        DWORD code = 1;
        EXPECT_TRUE(app_.WaitExit(10000, &code));
    }

    AppUnderTest app_;
};

// Every kind of change, killed before a save: はい brings all of them back,
// and they are saved exactly; a save and a normal end leave no journal.
TEST_F(Recovery, EveryKindOfChangeComesBackAndIsSavedExactly)
{
    const std::string file = Record("a", "1") + Record("b", "2") + Record("c", "3") +
                             Record("d", "4") + Record("e", "5");
    app_.WriteTable(file);
    app_.WriteFile("more.vbk", Record("a", "よそ") + Record("m", "6"));
    ASSERT_TRUE(StartsWithoutQuestion());
    EXPECT_FALSE(JournalLeft()) << "an unchanged table writes no journal";

    ASSERT_TRUE(app_.AddFromPanes("new", "新しい"));    // add
    ASSERT_TRUE(app_.AddFromPanes("a", "1+"));          // new Data
    app_.SetText(app_.Control(IDC_KEY_PANE), "b");      // delete
    ASSERT_TRUE(app_.Send(IDC_DELETE));
    HWND window = OpenList();
    ASSERT_TRUE(window);
    HWND list = GetDlgItem(window, IDC_LIST_VIEW);
    ASSERT_TRUE(RowsAre(list, {{"a", "1+"}, {"c", "3"}, {"d", "4"}, {"e", "5"}, {"new", "新しい"}}));
    SelectListRows(list, {1});                          // edit under another Key
    PostMessageA(window, WM_COMMAND, IDC_LIST_EDIT, 0);
    Box dialog = app_.WaitBox();
    ASSERT_EQ(dialog.caption, "追加・編集ウィンドウ");
    app_.SetText(GetDlgItem(dialog.window, IDC_ADDEDIT_KEY), "cc");
    app_.SetText(GetDlgItem(dialog.window, IDC_ADDEDIT_DATA), "33");
    app_.Press(dialog.window, IDC_ADDEDIT_OK);
    ASSERT_TRUE(RowsAre(list, {{"a", "1+"}, {"cc", "33"}, {"d", "4"}, {"e", "5"}, {"new", "新しい"}}));
    SelectListRows(list, {2, 3});                       // the list's delete
    PostMessageA(window, WM_COMMAND, IDC_LIST_DELETE, 0);
    ASSERT_TRUE(RowsAre(list, {{"a", "1+"}, {"cc", "33"}, {"new", "新しい"}}));
    app_.Post(IDM_OPEN_APPEND);                         // Open-append
    ASSERT_TRUE(app_.ChooseFile("ファイルを開く", "more.vbk"));
    const Rows shown = {{"a", "1+"}, {"cc", "33"}, {"m", "6"}, {"new", "新しい"}};
    ASSERT_TRUE(RowsAre(list, shown));
    EXPECT_TRUE(JournalLeft());

    app_.Kill();
    ASSERT_TRUE(JournalLeft());
    EXPECT_EQ(app_.ReadFile("data.vbk"), file);
    ASSERT_TRUE(StartAnswering(Question(6), IDYES));
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* ")) << TextOf(app_.Main());
    window = OpenList();
    EXPECT_TRUE(RowsAre(GetDlgItem(window, IDC_LIST_VIEW), shown));
    EXPECT_TRUE(JournalLeft()) << "the journal stays until the table is saved";

    // Killed again before saving: the changes are still there.
    app_.Kill();
    ASSERT_TRUE(StartAnswering(Question(6), IDYES));
    app_.Post(IDM_SAVE);
    EXPECT_EQ(app_.Answer(IDYES).text, "上書きしますか？");
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk "));
    const std::string saved = Record("a", "1+") + Record("cc", "33") + Record("m", "6") +
                              Record("new", "新しい");
    EXPECT_EQ(app_.ReadFile("data.vbk"), saved);
    EXPECT_FALSE(JournalLeft()) << "a save ends the journal";

    ASSERT_TRUE(app_.AddFromPanes("z", "26"));
    EXPECT_TRUE(JournalLeft());
    Close(IDNO);
    EXPECT_FALSE(JournalLeft()) << "a normal end leaves none";
    EXPECT_EQ(app_.ReadFile("data.vbk"), saved);
    ASSERT_TRUE(StartsWithoutQuestion());
}

// いいえ gives the file's table and is not asked again; a journal cut inside
// its last record gives every change before it; a table file written by
// someone else meanwhile takes the changes on top, and the question says so.
TEST_F(Recovery, DeclinedTornAndOverwrittenJournals)
{
    const std::string file = Record("a", "1");
    app_.WriteTable(file);
    ASSERT_TRUE(app_.Start());
    ASSERT_TRUE(app_.AddFromPanes("b", "2"));
    app_.Kill();
    ASSERT_TRUE(StartAnswering(Question(1), IDNO));
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk "));
    EXPECT_EQ(app_.LookUp("a"), "1");
    EXPECT_EQ(app_.LookUp("b"), "＜候補単語＞\n");
    EXPECT_FALSE(JournalLeft());
    app_.Kill();
    ASSERT_TRUE(StartsWithoutQuestion());

    ASSERT_TRUE(app_.AddFromPanes("c", "3"));
    ASSERT_TRUE(app_.AddFromPanes("d", "4"));
    app_.Kill();
    {
        std::ifstream in(app_.JournalPath(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        in.close();
        std::ofstream(app_.JournalPath(), std::ios::binary) << bytes.substr(0, bytes.size() - 3);
    }
    ASSERT_TRUE(StartAnswering(Question(1), IDYES));
    EXPECT_EQ(app_.LookUp("c"), "3");
    EXPECT_EQ(app_.LookUp("d"), "＜候補単語＞\n") << "the torn change is left out";
    ASSERT_TRUE(app_.AddFromPanes("e", "5")) << "and the journal goes on after the sound part";
    app_.Kill();

    app_.WriteTable(Record("a", "別の") + Record("x", "24"));
    ASSERT_TRUE(StartAnswering("前回、保存されないまま終わった変更が 2 件あります。\n"
                               "data.vbk は、その後ほかで書き換えられています。"
                               "変更は今のファイルの内容に重ねて復元します。\n復元しますか？",
                               IDYES));
    EXPECT_EQ(app_.LookUp("a"), "別の");
    EXPECT_EQ(app_.LookUp("x"), "24");
    EXPECT_EQ(app_.LookUp("c"), "3");
    EXPECT_EQ(app_.LookUp("e"), "5");
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* "));
}

// An untitled table's changes come back untitled; New and Open-new, once
// their question is answered, end the journal of the table they drop.
TEST_F(Recovery, UntitledTablesAndTheCommandsThatDropTheTable)
{
    app_.WriteFile("other.vbk", Record("o", "15"));
    ASSERT_TRUE(StartsWithoutQuestion());
    EXPECT_TRUE(app_.TitleIs("Vocabrik -  "));
    ASSERT_TRUE(app_.AddFromPanes("u", "21"));
    app_.Kill();
    ASSERT_TRUE(StartAnswering(Question(1), IDYES));
    EXPECT_TRUE(app_.TitleIs("Vocabrik - * ")) << TextOf(app_.Main());
    EXPECT_EQ(app_.LookUp("u"), "21");

    app_.Post(IDM_NEW);
    EXPECT_EQ(app_.Answer(IDNO).text, "現在開いているファイルを更新しますか？");
    EXPECT_TRUE(WaitFor([&] { return !JournalLeft(); }));
    ASSERT_TRUE(app_.AddFromPanes("v", "22"));
    app_.Post(IDM_OPEN_NEW);
    EXPECT_EQ(app_.Answer(IDNO).text, "ファイルを開く前に現在開いているファイルを更新しますか？");
    ASSERT_TRUE(app_.ChooseFile("ファイルを開く", "other.vbk"));
    EXPECT_TRUE(app_.TitleIs("Vocabrik - other.vbk* "));
    EXPECT_FALSE(JournalLeft());
    ASSERT_TRUE(app_.AddFromPanes("w", "23"));
    app_.Kill();
    ASSERT_TRUE(StartAnswering(Question(1), IDYES));
    EXPECT_TRUE(app_.TitleIs("Vocabrik - other.vbk* "));
    EXPECT_EQ(app_.LookUp("o"), "15");
    EXPECT_EQ(app_.LookUp("w"), "23");
    EXPECT_EQ(app_.LookUp("v"), "＜候補単語＞\nw\n23\n");
}

// Held open without sharing, as a backup tool or a sync client may hold it.
class HeldFile {
public:
    explicit HeldFile(const std::string& path)
        : h_(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~HeldFile() { Release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    bool Held() const { return h_ != INVALID_HANDLE_VALUE; }
    void Release()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_;
};

const std::string CannotWrite = "変更の控えを書けません。\n";
const std::string CannotWriteEnd = "\n保存するまで、異常終了すると変更は失われます。";

// A journal or a table file another program holds is never taken for a
// missing one: the journal is kept through a normal end and offered again
// once it can be read, and the changes are restored only on top of their
// table.
TEST_F(Recovery, FilesHeldElsewhereAreKeptAndSaid)
{
    const std::string file = Record("a", "1");
    const std::string readError = "data.vbk を読み込めませんでした。\n空の表で始めます。";
    app_.WriteTable(file);
    {
        HeldFile table(app_.Folder() + "\\data.vbk");
        ASSERT_TRUE(table.Held());
        ASSERT_TRUE(app_.Start());
        Box box = app_.Answer(IDOK);
        EXPECT_EQ(box.text, readError);
        EXPECT_EQ(box.caption, "エラー");
        EXPECT_TRUE(app_.TitleIs("Vocabrik -  ")) << TextOf(app_.Main());
        app_.Kill();
    }
    EXPECT_EQ(app_.ReadFile("data.vbk"), file);

    ASSERT_TRUE(StartsWithoutQuestion());
    ASSERT_TRUE(app_.AddFromPanes("b", "2"));
    app_.Kill();
    const std::string journal = ReadFileBytes(app_.JournalPath());
    ASSERT_FALSE(journal.empty());
    {
        HeldFile held(app_.JournalPath());
        ASSERT_TRUE(held.Held());
        ASSERT_TRUE(app_.Start());
        Box box = app_.Answer(IDOK);
        EXPECT_EQ(box.text, "前回の変更の控え (" + app_.JournalPath() + ") を読めませんでした。\n" +
                                SystemErrorText(ERROR_SHARING_VIOLATION) + "\n控えはそのまま残します。");
        EXPECT_EQ(box.caption, "警告");
        EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk "));
        EXPECT_EQ(app_.LookUp("a"), "1");
        // Later changes do not go over it: this run keeps no journal, and says so.
        app_.SetText(app_.Control(IDC_KEY_PANE), "c");
        app_.SetText(app_.Control(IDC_RESULT_PANE), "3");
        app_.Post(IDC_ADD);
        box = app_.Answer(IDOK);
        EXPECT_EQ(box.text, CannotWrite + "前回の変更の控えを、復元できるまで上書きしないで残しています。" +
                                CannotWriteEnd);
        EXPECT_EQ(box.caption, "警告");
        EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* "));
        Close(IDNO);
    }
    EXPECT_EQ(ReadFileBytes(app_.JournalPath()), journal) << "a normal end keeps it too";

    {
        HeldFile table(app_.Folder() + "\\data.vbk");
        ASSERT_TRUE(StartAnswering(Question(1), IDYES));
        EXPECT_EQ(app_.Answer(IDOK).text, readError);
        EXPECT_TRUE(app_.TitleIs("Vocabrik -  ")) << "no change on an empty table";
        EXPECT_EQ(app_.LookUp("b"), "＜候補単語＞\n");
        app_.Kill();
    }
    EXPECT_EQ(ReadFileBytes(app_.JournalPath()), journal);
    ASSERT_TRUE(StartAnswering(Question(1), IDYES));
    EXPECT_EQ(app_.LookUp("a"), "1");
    EXPECT_EQ(app_.LookUp("b"), "2");
}

// The journal's folder cannot be made (where it should be is a file): the
// person is told once, at the first change, and the program goes on; the
// next change after the way is clear writes every change into the journal.
TEST_F(Recovery, AJournalThatCannotBeWrittenIsSaidOnce)
{
    app_.WriteTable(Record("a", "1"));
    const std::string blocker = app_.AppData() + "\\Vocabrik";
    WriteFileBytes(blocker, "not a folder");
    ASSERT_TRUE(StartsWithoutQuestion());
    app_.SetText(app_.Control(IDC_KEY_PANE), "b");
    app_.SetText(app_.Control(IDC_RESULT_PANE), "2");
    app_.Post(IDC_ADD);
    Box box = app_.Answer(IDOK);
    EXPECT_EQ(box.text.substr(0, CannotWrite.size()), CannotWrite) << box.text;
    ASSERT_GT(box.text.size(), CannotWrite.size() + CannotWriteEnd.size() + 1) << box.text;
    EXPECT_EQ(box.text.substr(box.text.size() - CannotWriteEnd.size()), CannotWriteEnd) << box.text;
    EXPECT_EQ(box.caption, "警告");
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* "));

    ASSERT_TRUE(app_.AddFromPanes("c", "3")) << "no second warning";
    EXPECT_FALSE(app_.FindBox(0));
    EXPECT_EQ(app_.LookUp("c"), "3");

    ASSERT_TRUE(DeleteFileA(blocker.c_str()));
    ASSERT_TRUE(app_.AddFromPanes("d", "4"));
    EXPECT_FALSE(app_.FindBox(0));
    EXPECT_TRUE(JournalLeft());
    app_.Kill();
    ASSERT_TRUE(StartAnswering(Question(3), IDYES));
    EXPECT_EQ(app_.LookUp("b"), "2");
    EXPECT_EQ(app_.LookUp("c"), "3");
    EXPECT_EQ(app_.LookUp("d"), "4");
}

// The * of the title comes only once the change is on the disk: killed the
// moment it shows, the next start offers the change, every time. The caption
// is read as the screen shows it, without waiting for the program to answer
// a message, which it would do only once the change is complete.
TEST_F(Recovery, TheTitleNeverShowsAChangeTheJournalLacks)
{
    ASSERT_TRUE(StartsWithoutQuestion());
    for (int run = 1; run <= 20; run++) {
        app_.SetText(app_.Control(IDC_KEY_PANE), "k" + std::to_string(run));
        app_.SetText(app_.Control(IDC_RESULT_PANE), "d");
        app_.Post(IDC_ADD);
        ASSERT_TRUE(WaitFor(
            [&] {
                char caption[100] = "";
                GetWindowTextA(app_.Main(), caption, sizeof caption);
                return std::string(caption) == "Vocabrik - * ";
            },
            10000, 0))
            << "run " << run;
        app_.Kill();
        ASSERT_TRUE(JournalLeft()) << "run " << run << ": no journal";
        // いいえ ends the journal: the next run begins with none.
        ASSERT_TRUE(StartAnswering(Question(1), IDNO)) << "run " << run;
    }
}

} // namespace
