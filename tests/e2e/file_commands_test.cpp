// The File menu, through the system's real open and save dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
#include "tests/common/windows_of.h"
#include "tests/e2e/driver.h"

namespace {

const std::string Heading = "＜候補単語＞\n";

class FileCommands : public ::testing::Test {
protected:
    bool Start() { return app_.Start(); }

    void Add(const std::string& key, const std::string& data)
    {
        ASSERT_TRUE(app_.AddFromPanes(key, data));
    }
    std::string LookUp(const std::string& word) { return app_.LookUp(word); }
    void Choose(const char* title, const std::string& name)
    {
        ASSERT_TRUE(app_.ChooseFile(title, name)) << title << " with '" << name << "'";
    }
    void Answer(const char* text, const char* caption, int button)
    {
        Box box = app_.Answer(button);
        ASSERT_TRUE(box.window) << "no question '" << text << "'";
        EXPECT_EQ(box.text, text);
        EXPECT_EQ(box.caption, caption);
    }
    bool TitleIs(const std::string& title) { return app_.TitleIs(title); }

    AppUnderTest app_;
};

TEST_F(FileCommands, SaveOfAnUntitledTableAsksForANameAndAddsTheExtension)
{
    ASSERT_TRUE(Start());
    Add("apple", "りんご");
    app_.Post(IDM_SAVE);
    Choose("ファイルを保存する", "dict");
    EXPECT_TRUE(TitleIs("Vocabrik - dict.vbk ")) << TextOf(app_.Main());
    EXPECT_EQ(app_.ReadFile("dict.vbk"), Record("apple", "りんご"));
}

TEST_F(FileCommands, SaveAsTakesTheChosenNameWithItsExtension)
{
    ASSERT_TRUE(Start());
    struct {
        const char* typed;
        const char* saved;
    } cases[] = {{"dict.vbk", "dict.vbk"}, {"dict.VBK", "dict.VBK.vbk"}, {"a", "a.vbk"}};
    int n = 0;
    for (const auto& c : cases) {
        Add("k" + std::to_string(n++), "v");
        app_.Post(IDM_SAVE_AS);
        Choose("ファイルを保存する", c.typed);
        EXPECT_TRUE(TitleIs(std::string("Vocabrik - ") + c.saved + " "))
            << c.typed << ": " << TextOf(app_.Main());
        EXPECT_TRUE(app_.FileExists(c.saved)) << c.typed;
    }
}

TEST_F(FileCommands, SaveOfANamedTableAsksBeforeOverwriting)
{
    app_.WriteTable(Record("apple", "x"));
    ASSERT_TRUE(Start());
    Add("banana", "y");
    app_.Post(IDM_SAVE);
    Answer("上書きしますか？", "確認", IDNO);
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "x"));
    EXPECT_TRUE(TitleIs("Vocabrik - data.vbk* "));
    app_.Post(IDM_SAVE);
    Answer("上書きしますか？", "確認", IDYES);
    EXPECT_TRUE(TitleIs("Vocabrik - data.vbk "));
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "x") + Record("banana", "y"));
}

TEST_F(FileCommands, OpenAppendKeepsTheTablesDataAndName)
{
    app_.WriteTable(Record("apple", "mine"));
    app_.WriteFile("other.vbk", Record("apple", "theirs") + Record("banana", "b"));
    ASSERT_TRUE(Start());
    app_.Post(IDM_OPEN_APPEND);
    Choose("ファイルを開く", "other.vbk");
    EXPECT_TRUE(TitleIs("Vocabrik - data.vbk* ")) << TextOf(app_.Main());
    EXPECT_EQ(LookUp("apple"), "mine");
    EXPECT_EQ(LookUp("banana"), "b");
}

TEST_F(FileCommands, OpenNewReplacesTheTableAndACancelKeepsIt)
{
    app_.WriteTable(Record("apple", "mine"));
    app_.WriteFile("other.vbk", Record("apple", "theirs"));
    ASSERT_TRUE(Start());
    Add("cherry", "c");

    // Cancelled: the table and its name stay as they were.
    app_.Post(IDM_OPEN_NEW);
    Answer("ファイルを開く前に現在開いているファイルを更新しますか？", "data.vbk", IDNO);
    Choose("ファイルを開く", "");
    EXPECT_EQ(LookUp("cherry"), "c");
    EXPECT_TRUE(TitleIs("Vocabrik - data.vbk* "));

    app_.Post(IDM_OPEN_NEW);
    Answer("ファイルを開く前に現在開いているファイルを更新しますか？", "data.vbk", IDNO);
    Choose("ファイルを開く", "other.vbk");
    EXPECT_TRUE(TitleIs("Vocabrik - other.vbk* ")) << "still modified after No: "
                                                   << TextOf(app_.Main());
    EXPECT_EQ(LookUp("apple"), "theirs");
    EXPECT_EQ(LookUp("cherry"), Heading);
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "mine"));
}

TEST_F(FileCommands, NewEmptiesTheTableAndMakesItUntitled)
{
    app_.WriteTable(Record("apple", "mine"));
    ASSERT_TRUE(Start());
    Add("cherry", "c");
    app_.Post(IDM_NEW);
    Answer("現在開いているファイルを更新しますか？", "data.vbk", IDYES);
    EXPECT_TRUE(TitleIs("Vocabrik -  ")) << "saved, then emptied: " << TextOf(app_.Main());
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "mine") + Record("cherry", "c"));
    EXPECT_EQ(LookUp("apple"), Heading);
}

TEST_F(FileCommands, LaterSavesReachTheFileChosenInAnotherFolder)
{
    app_.WriteTable(Record("apple", "x"));
    CreateDirectoryA((app_.Folder() + "\\sub").c_str(), nullptr);
    ASSERT_TRUE(Start());
    Add("banana", "y");
    app_.Post(IDM_SAVE_AS);
    Choose("ファイルを保存する", "sub\\moved");
    EXPECT_TRUE(TitleIs("Vocabrik - moved.vbk ")) << TextOf(app_.Main());
    Add("cherry", "z");
    app_.Post(IDM_SAVE);
    Answer("上書きしますか？", "確認", IDYES);
    EXPECT_TRUE(TitleIs("Vocabrik - moved.vbk "));
    EXPECT_EQ(app_.ReadFile("sub\\moved.vbk"),
              Record("apple", "x") + Record("banana", "y") + Record("cherry", "z"));
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "x"));
}

} // namespace

namespace {

// Records out of Key order go into the table one search at a time: this
// many take seconds to read on any machine, far past the half second after
// which the progress window shows.
std::string LargeShuffledTable(int records)
{
    std::vector<int> order(records);
    for (int i = 0; i < records; i++)
        order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(25));
    std::string bytes;
    bytes.reserve(size_t(records) * 24);
    char key[16];
    for (int i : order) {
        snprintf(key, sizeof key, "w%07d", i);
        bytes += Record(key, std::string("d") + key);
    }
    return bytes;
}

} // namespace

// A table that takes its time, at start-up and in both Open commands: the
// window waits with the progress window over it and keeps answering, and
// キャンセル leaves things as they were. A start-up that was cancelled goes
// on with an empty untitled table, never saved over data.vbk unasked, and
// a restore that was cancelled keeps its changes for the next start.
TEST_F(FileCommands, LargeTableLoadsShowProgressAndACancelChangesNothing)
{
    const std::string bytes = LargeShuffledTable(1500000);
    app_.WriteTable(bytes);
    auto progressShown = [&](const char* what) {
        HWND progress = WaitForWindowOf(app_.Pid(), "VocabrikProgress", 30000);
        EXPECT_TRUE(progress) << "no progress window " << what;
        if (!progress)
            return progress;
        EXPECT_EQ(GetWindow(progress, GW_OWNER), app_.Main()) << what;
        EXPECT_FALSE(IsWindowEnabled(app_.Main())) << what;
        DWORD_PTR result = 0;
        EXPECT_TRUE(SendMessageTimeoutA(app_.Main(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result))
            << "the main window does not answer " << what;
        EXPECT_TRUE(FindWindowExA(progress, nullptr, "STATIC", "data.vbk")) << what;
        return progress;
    };
    auto cancel = [&](HWND progress, const char* what) {
        RECT r = ChildRect(GetDlgItem(progress, IDCANCEL));
        app_.Click(progress, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(progress); }, 30000)) << what;
        EXPECT_FALSE(app_.FindBox(1000)) << "a message after the cancel " << what;
        EXPECT_TRUE(TitleIs("Vocabrik -  ")) << what << ": " << TextOf(app_.Main());
        EXPECT_EQ(LookUp("w0000007"), Heading) << what;
    };

    ASSERT_TRUE(app_.Launch());
    ASSERT_TRUE(app_.WaitShown());
    if (HWND progress = progressShown("at start-up"))
        cancel(progress, "at start-up");

    app_.Post(IDM_OPEN_APPEND);
    Choose("ファイルを開く", "data.vbk");
    if (HWND progress = progressShown("in 開く（現在の表に追加）"))
        cancel(progress, "in 開く（現在の表に追加）");

    app_.Post(IDM_OPEN_NEW);
    Choose("ファイルを開く", "data.vbk");
    HWND progress = progressShown("in 開く（新しい表を作る）");
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(progress); }, 60000));
    EXPECT_TRUE(TitleIs("Vocabrik - data.vbk ")) << TextOf(app_.Main());
    EXPECT_EQ(LookUp("w0000007"), "dw0000007");

    // Changes left by a crash are restored onto the table read anew; a
    // cancel of that reading keeps them in the journal for a later start.
    Add("zz", "mine");
    app_.Kill();
    ASSERT_TRUE(app_.Launch());
    ASSERT_TRUE(app_.WaitShown());
    Box question = app_.Answer(IDYES);
    EXPECT_NE(question.text.find("復元しますか？"), std::string::npos) << question.text;
    if (HWND progress = progressShown("restoring the changes"))
        cancel(progress, "restoring the changes");
    EXPECT_TRUE(GetFileAttributesA(app_.JournalPath().c_str()) != INVALID_FILE_ATTRIBUTES)
        << "the changes were dropped";

    // Nothing changed: closing asks nothing, and the file is as it was.
    PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
    DWORD code = 1;
    EXPECT_TRUE(app_.WaitExit(30000, &code));
    EXPECT_TRUE(app_.ReadFile("data.vbk") == bytes) << "data.vbk changed";
}
