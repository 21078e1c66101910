// The main window's title and layout rules.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/layout.h"
#include "core/title.h"

namespace {

std::string Title(const std::string& path, int modified)
{
    char out[TitleBufferSize + 16];
    memset(out, 'Z', sizeof out);
    FormatTitle(path.c_str(), modified, out);
    EXPECT_LT(strlen(out), TitleBufferSize) << "title for a path of " << path.size() << " bytes";
    for (size_t i = TitleBufferSize; i < sizeof out; i++)
        EXPECT_EQ(out[i], 'Z') << "written past the buffer";
    return out;
}

TEST(Title, ShowsNameAndModifiedMarker)
{
    struct {
        const char* path;
        int modified;
        const char* want;
    } cases[] = {
        {"data.vbk", 0, "Vocabrik - data.vbk "},
        {"data.vbk", 1, "Vocabrik - data.vbk* "},
        {"", 0, "Vocabrik -  "},
        {"", 1, "Vocabrik - * "},
        {"\x95\x5c.vbk" /* 表.vbk */, 0, "Vocabrik - \x95\x5c.vbk "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Title(c.path, c.modified), c.want) << "path '" << c.path << "' modified "
                                                     << c.modified;
}

TEST(Title, LongNamesAreShortenedInTheMiddle)
{
    for (int modified : {0, 1}) {
        // 243 bytes fit with "Vocabrik - " and " " (and 242 with "* ").
        std::string fits(modified ? 242 : 243, 'a');
        EXPECT_EQ(Title(fits, modified), "Vocabrik - " + fits + (modified ? "* " : " "));

        std::string path = std::string(150, 'h') + std::string(109, 't');
        std::string t = Title(path, modified);
        EXPECT_EQ(t.size(), TitleBufferSize - 1) << "uses the whole buffer";
        EXPECT_EQ(t.rfind("Vocabrik - hhh", 0), 0u) << t;
        EXPECT_EQ(t.find("..."), 11u + (modified ? 119u : 120u)) << "cut in the middle: " << t;
        EXPECT_EQ(t.substr(t.size() - (modified ? 5 : 4)), modified ? "ttt* " : "ttt ") << t;
    }
}

TEST(Title, ShorteningNeverSplitsADoubleByteCharacter)
{
    std::string path;
    for (int i = 0; i < 129; i++)
        path += "\x95\x5c"; // 表, 258 bytes
    for (int shift = 0; shift < 2; shift++) {
        std::string p = std::string(shift, 'x') + path;
        std::string t = Title(p, 0);
        size_t dots = t.find("...");
        ASSERT_NE(dots, std::string::npos);
        std::string head = t.substr(11, dots - 11), tail = t.substr(dots + 3, t.size() - dots - 4);
        EXPECT_EQ(head.size() % 2, size_t(shift)) << "head '" << head << "'";
        EXPECT_EQ(tail.size() % 2, 0u) << "tail '" << tail << "'";
        EXPECT_EQ(tail.substr(0, 2), "\x95\x5c");
    }
}

TEST(Layout, FollowsTheClientSize)
{
    MainLayout l = ComputeMainLayout(232, 292, 39, 35);
    struct {
        const char* name;
        Placement got, want;
    } cases[] = {
        {"toolbar", l.toolbar, {0, 0, 232, 50}},
        {"search box", l.searchBox, {0, 50, 172, 180}},
        {"search button", l.searchButton, {172, 50, 60, 25}},
        {"key pane", l.keyPane, {0, 129, 232, 50}},
        {"result pane", l.resultPane, {0, 214, 232, 78}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.got.x, c.want.x) << c.name;
        EXPECT_EQ(c.got.y, c.want.y) << c.name;
        EXPECT_EQ(c.got.width, c.want.width) << c.name;
        EXPECT_EQ(c.got.height, c.want.height) << c.name;
    }
    EXPECT_EQ(l.keyImageY, 90);
    EXPECT_EQ(l.dataImageY, 179);

    MainLayout taller = ComputeMainLayout(500, 592, 39, 35);
    EXPECT_EQ(taller.keyPane.height, 50) << "the key pane keeps its height";
    EXPECT_EQ(taller.resultPane.height, 378) << "every extra pixel goes to the result pane";

    MainLayout tiny = ComputeMainLayout(20, 100, 39, 35);
    EXPECT_EQ(tiny.resultPane.height, 0);
    EXPECT_EQ(tiny.searchBox.width, 0);
}

// A wrong yes would leave a scroll bar on a pane that needs none.
TEST(Layout, OnlyTextThatSurelyOverflowsAPaneNeedsItsScrollBarFirst)
{
    struct {
        const char* text;
        int lineHeight, paneHeight;
        bool want;
    } cases[] = {
        {"a\nb\nc\nd", 10, 30, false}, // three lines and a cut one fit
        {"a\nb\nc\nd\ne", 10, 30, true},
        {"a\r\nb\r\nc\r\nd", 10, 30, false}, // CR LF is one break
        {"a\rb\rc\rd\re", 10, 30, true},
        {"one paragraph, however long it is, may fit on one wide line", 10, 30, false},
        {"a\nb\nc\nd\ne", 0, 30, false},
        {"a\nb\nc\nd\ne", 10, 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OverflowsSurely(c.text, c.lineHeight, c.paneHeight), c.want)
            << "'" << c.text << "' in lines of " << c.lineHeight << " px, pane " << c.paneHeight;
}

} // namespace
