// No path loses a person's words: every question answered yes either saves
// or keeps everything as it was, and damaged or missing files are handled
// without losing what they held.
#include <gtest/gtest.h>

#include <thread>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/driver.h"

namespace {

// The commands that would drop the table, and their questions.
struct Dropping {
    int command; // a menu command, or 0 for closing the window
    const char* question;
};
const Dropping DroppingCommands[] = {
    {0, "上書きしますか？"},
    {IDM_NEW, "現在開いているファイルを更新しますか？"},
    {IDM_OPEN_NEW, "ファイルを開く前に現在開いているファイルを更新しますか？"},
};

class SaveOrKeep : public ::testing::Test {
protected:
    // Gives the command as a person would, and answers its question.
    void Give(const Dropping& c, int answer)
    {
        if (c.command)
            app_.Post(c.command);
        else
            PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
        Answer(c.question, answer);
    }

    // Answers the box that comes with this text and button.
    void Answer(const char* text, int button)
    {
        Box box = app_.Answer(button);
        ASSERT_TRUE(box.window) << "no box '" << text << "'";
        EXPECT_EQ(box.text, text);
    }

    // Nothing else comes up, and the program is still there, as it was.
    void ExpectKept(const std::string& title)
    {
        EXPECT_FALSE(app_.FindBox(1000)) << "no further dialog";
        EXPECT_TRUE(app_.Running());
        EXPECT_TRUE(app_.TitleIs(title)) << TextOf(app_.Main());
        EXPECT_EQ(app_.LookUp("apple"), "りんご");
    }

    bool Exited()
    {
        DWORD code = 1;
        return app_.WaitExit(10000, &code) && code == 0;
    }

    // Holds a file open with no sharing, so the program cannot write it.
    // Another program reading the file, letting others only read it too.
    HANDLE Hold(const std::string& name)
    {
        return CreateFileA((app_.Folder() + "\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    }

    AppUnderTest app_;
};

TEST_F(SaveOrKeep, YesForAnUntitledTableAsksForANameAndCancelKeepsEverything)
{
    ASSERT_TRUE(app_.Start());
    ASSERT_TRUE(app_.AddFromPanes("apple", "りんご"));
    const std::string title = "Vocabrik - * ";
    for (const Dropping& c : DroppingCommands) {
        Give(c, IDYES);
        ASSERT_TRUE(app_.ChooseFile("ファイルを保存する", "")) << c.question;
        ExpectKept(title);
    }
    Give(DroppingCommands[0], IDYES);
    ASSERT_TRUE(app_.ChooseFile("ファイルを保存する", "mine"));
    EXPECT_TRUE(Exited());
    EXPECT_EQ(app_.ReadFile("mine.vbk"), Record("apple", "りんご"));
}

TEST_F(SaveOrKeep, AFailedSaveStopsTheCommandUntilThePersonSaysNo)
{
    const std::string old = Record("apple", "りんご");
    app_.WriteTable(old);
    ASSERT_TRUE(app_.Start());
    ASSERT_TRUE(app_.AddFromPanes("b", "2"));
    HANDLE held = Hold("data.vbk");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    for (const Dropping& c : DroppingCommands) {
        Give(c, IDYES);
        Answer("Write() INVALID", IDOK);
        ExpectKept("Vocabrik - data.vbk* ");
        EXPECT_EQ(app_.LookUp("b"), "2") << c.question;
    }
    PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
    Answer("上書きしますか？", IDNO);
    EXPECT_TRUE(Exited());
    CloseHandle(held);
    EXPECT_EQ(app_.ReadFile("data.vbk"), old);
}

TEST_F(SaveOrKeep, AFileThatHasGoneIsWrittenAnew)
{
    app_.WriteTable(Record("apple", "りんご"));
    ASSERT_TRUE(app_.Start());
    ASSERT_TRUE(DeleteFileA((app_.Folder() + "\\data.vbk").c_str()));
    ASSERT_TRUE(app_.AddFromPanes("b", "2"));
    app_.Post(IDM_SAVE);
    Answer("上書きしますか？", IDYES);
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk "));
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "りんご") + Record("b", "2"));

    ASSERT_TRUE(DeleteFileA((app_.Folder() + "\\data.vbk").c_str()));
    ASSERT_TRUE(app_.AddFromPanes("c", "3"));
    PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
    Answer("上書きしますか？", IDYES);
    EXPECT_TRUE(Exited());
    EXPECT_EQ(app_.ReadFile("data.vbk"),
              Record("apple", "りんご") + Record("b", "2") + Record("c", "3"));
}

// Log-off and shutdown ask as closing does, and only a saved or declined
// table lets the session end.
TEST_F(SaveOrKeep, SessionEndAsksAndAFailedSaveHoldsItBack)
{
    const std::string old = Record("apple", "りんご");
    app_.WriteTable(old);
    ASSERT_TRUE(app_.Start());
    ASSERT_TRUE(app_.AddFromPanes("b", "2"));
    auto query = [&](auto answer) {
        DWORD_PTR result = 99;
        std::thread session([&] {
            SendMessageTimeoutA(app_.Main(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
                                SMTO_NORMAL, 30000, &result);
        });
        answer();
        session.join();
        return result;
    };

    HANDLE held = Hold("data.vbk");
    EXPECT_EQ(query([&] {
                  Answer("上書きしますか？", IDYES);
                  Answer("Write() INVALID", IDOK);
              }),
              DWORD_PTR(FALSE));
    CloseHandle(held);
    EXPECT_EQ(query([&] { Answer("上書きしますか？", IDNO); }), DWORD_PTR(TRUE));
    EXPECT_EQ(app_.ReadFile("data.vbk"), old);
    EXPECT_EQ(query([&] { Answer("上書きしますか？", IDYES); }), DWORD_PTR(TRUE));
    EXPECT_EQ(app_.ReadFile("data.vbk"), old + Record("b", "2"));

    DWORD_PTR ignored;
    SendMessageTimeoutA(app_.Main(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000,
                        &ignored);
    EXPECT_TRUE(Exited()) << "ends as a normal close does, without another question";
}

TEST_F(SaveOrKeep, ADamagedFileIsReportedAndKeptBeforeTheFirstSave)
{
    const std::string damaged =
        Record("apple", "りんご") + Record("banana", "バナナ") + Header(100, 5) + "cut";
    app_.WriteTable(damaged);
    ASSERT_TRUE(app_.Start());
    Box box = app_.WaitBox();
    ASSERT_TRUE(box.window);
    EXPECT_TRUE(IsWindowVisible(app_.Main())) << "the message comes after the window";
    EXPECT_EQ(box.text, "data.vbk は壊れています。\n"
                        "先頭から 2 件を読み込みましたが、残りは読み込めませんでした。\n"
                        "最初に保存するとき、元の内容を data.vbk.damaged として残します。");
    EXPECT_EQ(box.caption, "確認");
    app_.Press(box.window, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(box.window); }));

    EXPECT_EQ(app_.LookUp("banana"), "バナナ");
    ASSERT_TRUE(app_.AddFromPanes("cherry", "さくらんぼ"));
    app_.Post(IDM_SAVE);
    Answer("上書きしますか？", IDYES);
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk "));
    EXPECT_EQ(app_.ReadFile("data.vbk.damaged"), damaged);
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "りんご") + Record("banana", "バナナ") +
                                             Record("cherry", "さくらんぼ"));
}

// A table file no memory could hold: the program says so, starts with an
// empty untitled table that works, and never writes that file.
TEST_F(SaveOrKeep, ATableTooLargeForMemoryIsNeverWritten)
{
    const std::string path = app_.Folder() + "\\data.vbk";
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    LARGE_INTEGER terabyte;
    terabyte.QuadPart = 1LL << 40; // sparse: it takes no room on the disk
    ASSERT_TRUE(SetFilePointerEx(f, terabyte, nullptr, FILE_BEGIN) && SetEndOfFile(f));
    CloseHandle(f);
    WIN32_FILE_ATTRIBUTE_DATA before = {}, after = {};
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &before));

    ASSERT_TRUE(app_.Start());
    Box box = app_.Answer(IDOK);
    EXPECT_EQ(box.text, "data.vbk は大きすぎるため、メモリに読み込めませんでした。\n空の表で始めます。");
    EXPECT_EQ(box.caption, "エラー");
    EXPECT_TRUE(app_.TitleIs("Vocabrik -  ")) << TextOf(app_.Main());
    ASSERT_TRUE(app_.AddFromPanes("apple", "りんご"));
    EXPECT_EQ(app_.LookUp("apple"), "りんご");
    PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
    Answer("上書きしますか？", IDYES);
    ASSERT_TRUE(app_.ChooseFile("ファイルを保存する", "mine"));
    EXPECT_TRUE(Exited());
    EXPECT_EQ(app_.ReadFile("mine.vbk"), Record("apple", "りんご"));
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &after));
    EXPECT_EQ(after.nFileSizeHigh, before.nFileSizeHigh);
    EXPECT_EQ(CompareFileTime(&after.ftLastWriteTime, &before.ftLastWriteTime), 0);
}

// Wine prefers its own libraries to files of the same name unless told
// otherwise for a program; Windows takes a file beside the program first.
class PreferFilesBesideTheProgram {
public:
    PreferFilesBesideTheProgram()
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, Key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                        nullptr);
        for (const char* name : {"riched20", "riched32"})
            RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>("native,builtin"),
                           15);
    }
    ~PreferFilesBesideTheProgram()
    {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, Key);
    }

private:
    static constexpr const char* Key = "Software\\Wine\\AppDefaults\\vocabrik.exe\\DllOverrides";
    HKEY key_ = nullptr;
};

// A file beside the program under a system library's name is never loaded.
TEST_F(SaveOrKeep, SystemLibrariesComeFromTheSystemFolder)
{
    std::string here = ProgramPath();
    std::string planted = here.substr(0, here.find_last_of('\\') + 1) + "planted_library.dll";
    for (const char* name : {"RICHED20.DLL", "RICHED32.DLL"})
        ASSERT_TRUE(CopyFileA(planted.c_str(), (app_.Folder() + "\\" + name).c_str(), FALSE));
    PreferFilesBesideTheProgram preferFiles;
    ASSERT_TRUE(app_.StartCopy());
    app_.Post(IDM_CUSTOMIZE);
    Box customize = app_.WaitBox();
    ASSERT_TRUE(customize.window);
    EXPECT_TRUE(GetDlgItem(customize.window, IDC_URL_EDIT)) << "the address field is a rich edit";
    app_.Press(customize.window, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(customize.window); }));
    EXPECT_TRUE(app_.Control(IDC_KEY_PANE)) << "the Key pane is a rich edit";
    for (const char* name : {"loaded-RICHED20.DLL", "loaded-RICHED32.DLL"})
        EXPECT_FALSE(app_.FileExists(name)) << name;
}

} // namespace
