// The File menu, through the system's real open and save dialogs.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
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
