// Word lists and dictionaries chosen in the Open dialogs come into the table
// through the same readers as vbk import, with the report, the refusals and
// the progress window a person sees.
#include <gtest/gtest.h>

#include <random>

#include "res/resource.h"
#include "tests/common/file_bytes.h"
#include "tests/common/table_bytes.h"
#include "tests/common/windows_of.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/vbk_process.h"

namespace {

// As Debian installs them (scripts/bootstrap).
const char DictdFolder[] = "Z:\\usr\\share\\dictd\\";
const char EdictFolder[] = "Z:\\usr\\share\\edict\\";
const std::string Heading = "＜候補単語＞\n";
const char ProgressClass[] = "VocabrikProgress";

class Import : public ::testing::Test {
protected:
    // A copy in the working folder, where the file dialogs stay: a folder
    // chosen in them is remembered for the next program that asks.
    std::string Copy(const char* folder, std::initializer_list<const char*> files)
    {
        for (const char* file : files)
            EXPECT_TRUE(CopyFileA((std::string(folder) + file).c_str(),
                                  (app_.Folder() + "\\" + file).c_str(), FALSE))
                << folder << file << ": scripts/bootstrap installs it";
        return app_.Folder() + "\\" + *files.begin();
    }

    // The command, the file chosen in its dialog, and the box that follows.
    Box Open(int command, const std::string& path, DWORD timeoutMs = 60000)
    {
        app_.Post(command);
        EXPECT_TRUE(app_.ChooseFile("ファイルを開く", path)) << path;
        return Report(timeoutMs);
    }

    // The box that says how it went, answered with OK.
    Box Report(DWORD timeoutMs)
    {
        Box box;
        box.window = app_.FindBox(timeoutMs);
        if (box.window) {
            box = app_.WaitBox(0);
            app_.Press(box.window, IDOK);
            HWND window = box.window;
            WaitFor([&] { return !IsWindow(window); });
        }
        return box;
    }

    // The count of "NAME から N 件を取り込みました。", or -1 when the text
    // does not begin so.
    static long long Count(const Box& box, const std::string& name)
    {
        std::string head = name + " から ";
        const std::string tail = " 件を取り込みました。";
        if (box.text.compare(0, head.size(), head) != 0)
            return -1;
        size_t end = box.text.find(tail);
        if (end == std::string::npos)
            return -1;
        return atoll(box.text.substr(head.size(), end - head.size()).c_str());
    }

    bool JournalLeft() const
    {
        return GetFileAttributesA(app_.JournalPath().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    HWND OpenList()
    {
        app_.Post(IDM_LIST);
        HWND window = nullptr;
        EXPECT_TRUE(WaitFor([&] {
            window = FindWindowA("RegistLV", "登録一覧表");
            return window && IsWindowVisible(window);
        }));
        return window ? GetDlgItem(window, IDC_LIST_VIEW) : nullptr;
    }

    AppUnderTest app_;
};

TEST_F(Import, FreeDictOpensAsAnUntitledTableThatSavesBesideIt)
{
    std::string freeDict =
        Copy(DictdFolder, {"freedict-eng-jpn.index", "freedict-eng-jpn.dict.dz"});
    ASSERT_TRUE(app_.Start());
    Box info = Open(IDM_OPEN_NEW, freeDict);
    EXPECT_EQ(info.caption, "情報");
    long long n = Count(info, "freedict-eng-jpn.index");
    EXPECT_GT(n, 20000) << info.text;
    // Its IPA and accented headwords have no code in the table's encoding.
    EXPECT_NE(info.text.find("\n表に入れられない文字 "), std::string::npos) << info.text;
    EXPECT_TRUE(app_.TitleIs("Vocabrik - * ")) << TextOf(app_.Main());
    EXPECT_NE(app_.LookUp("apple").find("林檎"), std::string::npos);

    // 上書き保存 asks for a name, proposing the dictionary's beside it.
    app_.Post(IDM_SAVE);
    Box save = app_.WaitBox();
    ASSERT_TRUE(save.window);
    EXPECT_EQ(save.caption, "ファイルを保存する");
    EXPECT_EQ(TextOf(GetDlgItem(save.window, FileNameFieldId)), "freedict-eng-jpn.vbk");
    ASSERT_TRUE(app_.ChooseFile("ファイルを保存する", ""));
    EXPECT_TRUE(app_.TitleIs("Vocabrik - * "));
}

// Onto the person's own words: theirs keep their Data, EDICT's come in and
// show in the open list, as vbk import --merge makes them; and a kill right
// after leaves a journal that gives the same table back.
TEST_F(Import, EdictAddedToOwnWordsSurvivesAKill)
{
    const std::string water = "\x90\x85", teacher = "\x90\xE6\x90\xB6"; // 水, 先生
    const std::string own = Record("zz own word", "mine") + Record(water, "my water");
    app_.WriteTable(own);
    app_.WriteFile("expected.vbk", own);
    std::string edict = Copy(EdictFolder, {"edict"});
    VbkRun merged = RunVbk({"import", edict, "-o", app_.Folder() + "\\expected.vbk", "--merge",
                            "--unencodable", "replace"},
                           app_.Folder());
    ASSERT_EQ(merged.Status, 0) << merged.Err;

    ASSERT_TRUE(app_.Start());
    HWND list = OpenList();
    ASSERT_TRUE(list);
    Box info = Open(IDM_OPEN_APPEND, edict);
    EXPECT_EQ(info.caption, "情報");
    long long n = Count(info, "edict");
    EXPECT_GT(n, 100000) << info.text;
    EXPECT_NE(info.text.find("\n1 件は、同じ Key がもう表にあるので、表の Data のままです。"),
              std::string::npos)
        << info.text;
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* ")) << TextOf(app_.Main());
    EXPECT_EQ(app_.LookUp(water), "my water");
    EXPECT_EQ(app_.LookUp(teacher).compare(0, teacher.size() + 2, teacher + " ["), 0);
    EXPECT_TRUE(WaitFor([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == n + 2; }))
        << SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) << " rows for " << n << " + 2 entries";
    EXPECT_EQ(ListCellText(list, 0, 0), "zz own word"); // the list's order is not the Keys'
    app_.Kill();

    ASSERT_TRUE(app_.Start());
    Box question = app_.Answer(IDYES);
    EXPECT_EQ(question.text, "前回、保存されないまま終わった変更が 1 件あります。\n復元しますか？");
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* ")) << TextOf(app_.Main());
    app_.Post(IDM_SAVE);
    EXPECT_EQ(app_.Answer(IDYES).text, "上書きしますか？");
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk "));
    EXPECT_TRUE(app_.ReadFile("data.vbk") == app_.ReadFile("expected.vbk"))
        << "the restored table differs from vbk import --merge's";
}

// A list with characters the table has no code for, and a flash-card export:
// each counted; then files that are no list: refused, the table untouched.
TEST_F(Import, ListsAreCountedAndWhatIsNoListIsRefused)
{
    app_.WriteTable(Record("apple", "mine"));
    app_.WriteFile("words.csv", u8"café,コーヒー\r\nnaïve,素朴\r\nbook,本\r\n");
    app_.WriteFile("cards.txt", u8"#separator:tab\n#html:false\nhello\tこんにちは\nworld\t世界\n");
    std::mt19937 rng(22);
    std::string noise(4096, '\0');
    for (char& c : noise)
        c = char(rng());
    app_.WriteFile("noise.csv", noise);
    app_.WriteFile("latin.tsv", "a\tb\ncaf\xE9\n"); // Latin-1: neither UTF-8 nor Shift-JIS
    app_.WriteFile("empty.txt", "");
    app_.WriteFile("wn_abrv.dsl", "adj.\n\tadjective\n");
    app_.WriteFile("pdic.txt", u8"pear /// 梨\nplum /// 李\n");
    ASSERT_TRUE(app_.Start());

    struct {
        int command;
        const char* file;
        const char* text;
        const char* caption;
    } refused[] = {
        {IDM_OPEN_APPEND, "noise.csv",
         "noise.csv を取り込めませんでした。\n単語リストや辞書として読める形ではありません。\n"
         "今の表はそのままです。",
         "エラー"},
        {IDM_OPEN_APPEND, "latin.tsv",
         "latin.tsv を取り込めませんでした。\n文字として読めません（UTF-8 でも Shift-JIS "
         "でもありません）。\n今の表はそのままです。",
         "エラー"},
        {IDM_OPEN_NEW, "empty.txt",
         "empty.txt を取り込めませんでした。\n取り込める項目が一つもありません。\n今の表はそのままです。",
         "エラー"},
        {IDM_OPEN_NEW, "wn_abrv.dsl",
         "wn_abrv.dsl を取り込めませんでした。\n単語リストや辞書として読める形ではありません。\n"
         "今の表はそのままです。",
         "エラー"},
    };
    for (const auto& c : refused) {
        Box box = Open(c.command, app_.Folder() + "\\" + c.file, 10000);
        EXPECT_EQ(box.text, c.text) << c.file;
        EXPECT_EQ(box.caption, c.caption) << c.file;
        EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk ")) << c.file << ": " << TextOf(app_.Main());
        EXPECT_FALSE(JournalLeft()) << c.file;
        EXPECT_EQ(app_.LookUp("apple"), "mine") << c.file;
    }

    struct {
        const char* file;
        const char* text;
        const char* key;
        const char* data;
    } lists[] = {
        {"words.csv",
         "words.csv から 3 件を取り込みました。\n表に入れられない文字 2 個を、似た文字か「?」にしました。",
         "cafe", "コーヒー"},
        {"cards.txt", "cards.txt から 2 件を取り込みました。", "world", "世界"},
        {"pdic.txt", "pdic.txt から 2 件を取り込みました。", "plum", "李"},
    };
    // A journal that cannot be made is said once the table has the entries,
    // before the report, as for any other change; and only once.
    WriteFileBytes(app_.AppData() + "\\Vocabrik", "not a folder");
    const std::string cannotWrite = "変更の控えを書けません。\n";
    bool warned = false;
    for (const auto& c : lists) {
        Box box = Open(IDM_OPEN_APPEND, app_.Folder() + "\\" + c.file, 10000);
        if (!warned) {
            EXPECT_EQ(box.caption, "警告") << c.file << ": " << box.text;
            EXPECT_EQ(box.text.substr(0, cannotWrite.size()), cannotWrite) << box.text;
            box = Report(10000);
            warned = true;
        }
        EXPECT_EQ(box.text, c.text) << c.file;
        EXPECT_EQ(box.caption, "情報") << c.file;
        EXPECT_EQ(app_.LookUp(c.key), c.data) << c.file;
    }
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* ")) << TextOf(app_.Main());
    EXPECT_EQ(app_.LookUp("apple"), "mine");
}

// GCIDE takes a while: the progress window comes, the main window goes on
// answering, キャンセル leaves everything as it was, and what is said at the
// end is said once the progress window has gone.
TEST_F(Import, GcideShowsProgressAndCanBeCancelled)
{
    app_.WriteTable(Record("apple", "mine"));
    std::string gcide = Copy(DictdFolder, {"gcide.index", "gcide.dict.dz"});
    ASSERT_TRUE(app_.Start());
    // Stopped with キャンセル, stopped with the window's own ×, read whole.
    enum Ending { Cancel, CloseBox, Whole };
    for (Ending ending : {Cancel, CloseBox, Whole}) {
        const char* how = ending == Cancel ? "キャンセル" : ending == CloseBox ? "×" : "read whole";
        if (ending == Whole)
            WriteFileBytes(app_.AppData() + "\\Vocabrik", "not a folder");
        app_.Post(IDM_OPEN_APPEND);
        ASSERT_TRUE(app_.ChooseFile("ファイルを開く", gcide));
        HWND progress = WaitForWindowOf(app_.Pid(), ProgressClass, 10000);
        ASSERT_TRUE(progress) << "no progress window";
        EXPECT_EQ(GetWindow(progress, GW_OWNER), app_.Main());
        // A window blocked by the reading misses every one; a busy machine
        // may make one late.
        std::string late;
        bool answered = false;
        for (int i = 0; i < 5 && !answered && IsWindow(progress); i++) {
            DWORD t0 = GetTickCount();
            DWORD_PTR result = 0;
            answered = SendMessageTimeoutA(app_.Main(), WM_NULL, 0, 0, SMTO_NORMAL, 200, &result) &&
                       GetTickCount() - t0 <= 200;
            late += " " + std::to_string(GetTickCount() - t0) + " ms";
        }
        EXPECT_TRUE(answered) << "WM_NULL while the dictionary was read:" << late;
        if (ending != Whole) {
            HWND button = GetDlgItem(progress, IDCANCEL);
            EXPECT_EQ(TextOf(button), "キャンセル");
            RECT r = ChildRect(button);
            if (ending == CloseBox) { // the × at the right of the caption
                RECT frame;
                GetWindowRect(progress, &frame);
                POINT origin = {0, 0};
                ClientToScreen(progress, &origin);
                r = {frame.right - 12 - origin.x, frame.top + 10 - origin.y,
                     frame.right - 12 - origin.x, frame.top + 10 - origin.y};
            }
            app_.Click(progress, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
            EXPECT_TRUE(WaitFor([&] { return !IsWindow(progress); }, 30000)) << how;
            EXPECT_FALSE(app_.FindBox(1000)) << "a message after " << how;
            EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk ")) << how << ": " << TextOf(app_.Main());
            EXPECT_FALSE(JournalLeft()) << how;
            EXPECT_EQ(app_.LookUp("apple"), "mine") << how;
            EXPECT_EQ(app_.LookUp("zymome"), Heading) << how;
        } else {
            // The journal cannot be written: its warning comes once the
            // progress window has gone, and the report after it.
            ASSERT_TRUE(app_.FindBox(60000));
            EXPECT_FALSE(IsWindow(progress)) << "the first message came with the progress window up";
            Box warning = Report(0);
            EXPECT_EQ(warning.caption, "警告") << warning.text;
            Box info = Report(60000);
            EXPECT_EQ(info.caption, "情報");
            EXPECT_GT(Count(info, "gcide.index"), 100000) << info.text;
            EXPECT_FALSE(IsWindow(progress));
            EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* ")) << TextOf(app_.Main());
            EXPECT_EQ(app_.LookUp("apple"), "mine");
            EXPECT_NE(app_.LookUp("zymome"), Heading);
        }
    }
}

} // namespace
