// Runs the built vbk (vbk.exe under Wine) on real files and checks what it
// writes, what it says and how it exits. The same cases run on both systems.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/scratch_folder.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/vbk_process.h"
#include "vocabrik_version.h"

namespace fs = std::filesystem;

namespace {

// りんご and バナナ in UTF-8 and in code page 932.
const std::string RingoUtf8 = "\xE3\x82\x8A\xE3\x82\x93\xE3\x81\x94";
const std::string BananaUtf8 = "\xE3\x83\x90\xE3\x83\x8A\xE3\x83\x8A";
const std::string RingoSjis = "\x82\xE8\x82\xF1\x82\xB2";
const std::string BananaSjis = "\x83\x6F\x83\x69\x83\x69";
// ＜候補単語＞ and a line feed in code page 932.
const std::string HeadingSjis = "\x81\x83\x8C\xF3\x95\xE2\x92\x50\x8C\xEA\x81\x84\n";

class VbkCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = std::make_unique<ScratchFolder>(
            TestFolderName(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    void TearDown() override { folder_.reset(); }

    std::string Path(const std::string& name) const { return folder_->Path(name); }
    void Write(const std::string& name, const std::string& bytes) const
    {
        folder_->Write(name, bytes);
    }
    std::string Read(const std::string& name) const { return folder_->Read(name); }
    std::vector<std::string> Listing() const { return folder_->Listing(); }
    VbkRun Vbk(const std::vector<std::string>& args) const
    {
        return RunVbk(args, folder_->Folder());
    }

    std::unique_ptr<ScratchFolder> folder_;
};

std::string Describe(const VbkRun& r)
{
    return "status " + std::to_string(r.Status) + "\nout: " + r.Out + "\nerr: " + r.Err;
}

TEST_F(VbkCli, UsageAndWrongUsage)
{
    VbkRun help = Vbk({"--help"});
    EXPECT_EQ(help.Status, 0) << Describe(help);
    EXPECT_NE(help.Out.find("usage: vbk import LIST -o TABLE.vbk"), std::string::npos);
    VbkRun version = Vbk({"--version"});
    EXPECT_EQ(version.Status, 0) << Describe(version);
    EXPECT_EQ(version.Out, "vbk (Vocabrik) " VK_VERSION_TEXT "\n(C) 2026 The Vocabrik Authors\n");

    struct Case {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{}, "which command"},
        {{"frobnicate"}, "unknown command frobnicate"},
        {{"import", "w.tsv"}, "import needs -o TABLE.vbk"},
        {{"import", "w.tsv", "-o"}, "-o needs a value"},
        {{"import", "w.tsv", "-o", "t.vbk", "--format", "xml"}, "--format is tsv or csv"},
        {{"export", "t.vbk", "--encoding", "latin1"}, "--encoding is utf-8 or sjis"},
        {{"check", "t.vbk", "--repair"}, "--repair needs -o"},
        {{"get", "t.vbk"}, "get takes TABLE and WORD"},
        {{"get", "t.vbk", "w", "--merge"}, "--merge does not go with get"},
    };
    for (const Case& c : cases) {
        VbkRun r = Vbk(c.args);
        EXPECT_EQ(r.Status, 2) << c.message << "\n" << Describe(r);
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << Describe(r);
        EXPECT_EQ(r.Out, "") << c.message;
    }
    EXPECT_TRUE(Listing().empty());
}

TEST_F(VbkCli, ImportWritesTheTableAndSaysWhatItLeftOut)
{
    Write("words.tsv", "banana\t" + BananaUtf8 + "\r\napple\t" + RingoUtf8 +
                           "\r\napple\tagain\r\n\r\nno data\r\n");
    VbkRun r = Vbk({"import", "words.tsv", "-o", "t.vbk"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(Read("t.vbk"), Record("apple", RingoSjis) + Record("banana", BananaSjis));
    EXPECT_NE(r.Out.find("t.vbk: 2 entries (UTF-8 TSV, 4 lines read)"), std::string::npos)
        << Describe(r);
    EXPECT_NE(r.Out.find("1 line dropped"), std::string::npos) << Describe(r);
    EXPECT_NE(r.Out.find("1 line skipped"), std::string::npos) << Describe(r);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"t.vbk", "words.tsv"}));
}

TEST_F(VbkCli, FailuresLeaveTheTargetAsItWas)
{
    const std::string old = Record("old", "table");
    struct Case {
        std::string list, bytes;
        std::vector<std::string> extra;
        std::string message;
    } cases[] = {
        {"q.csv", "apple,x\nbanana,\"unclosed\n", {}, "q.csv:2: the quoted field"},
        {"s.tsv", "apple\tx\nsnow\t\xE2\x98\x83\n", {}, "s.tsv:2: the character U+2603"},
        {"e.tsv", "apple\t\x95\x5C\n", {"--encoding", "utf-8"}, "e.tsv:1: not valid UTF-8"},
        {"m.tsv", "", {}, "m.tsv: no such file"},
    };
    for (const Case& c : cases) {
        Write("t.vbk", old);
        if (!c.bytes.empty())
            Write(c.list, c.bytes);
        std::vector<std::string> args = {"import", c.list, "-o", "t.vbk"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        VbkRun r = Vbk(args);
        EXPECT_EQ(r.Status, 1) << Describe(r);
        EXPECT_NE(r.Err.find(c.message), std::string::npos) << Describe(r);
        EXPECT_EQ(Read("t.vbk"), old) << c.list;
        std::vector<std::string> want = {"t.vbk"};
        if (!c.bytes.empty())
            want.push_back(c.list);
        std::sort(want.begin(), want.end());
        EXPECT_EQ(Listing(), want) << c.list;
        fs::remove(Path(c.list));
    }
}

TEST_F(VbkCli, ShiftJisListWithTrailBackslashes)
{
    // 表 (0x95 0x5C) as a Key, ソ (0x83 0x5C) followed by an escaped line
    // break as its Data; detected as Shift-JIS.
    Write("sjis.txt", "\x95\x5C\t\x83\x5C\\n\x83\x5C\n");
    VbkRun r = Vbk({"import", "sjis.txt", "-o", "t.vbk"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(Read("t.vbk"), Record("\x95\x5C", "\x83\x5C\n\x83\x5C"));
    EXPECT_NE(r.Out.find("Shift-JIS TSV"), std::string::npos) << Describe(r);
}

TEST_F(VbkCli, ExportAndImportAgainGiveTheSameBytes)
{
    const std::string table = Record("a,\"b\"", "x\r\ny") + Record("apple", RingoSjis) +
                              Record("back\\", "tab\there\\") + Record("\x95\x5C", "\x83\x5C");
    Write("t.vbk", table);
    for (std::vector<std::string> options : std::vector<std::vector<std::string>>{
             {"-o", "l.csv"}, {"-o", "l.csv", "--encoding", "sjis"}, {"-o", "l.tsv", "--format", "csv"},
             {"-o", "l.csv", "--bom"}}) {
        std::vector<std::string> args = {"export", "t.vbk"};
        args.insert(args.end(), options.begin(), options.end());
        VbkRun out = Vbk(args);
        ASSERT_EQ(out.Status, 0) << Describe(out);
        std::vector<std::string> back = {"import", options[1], "-o", "back.vbk"};
        if (options.size() > 2 && options[2] == "--format")
            back.insert(back.end(), {"--format", "csv"});
        VbkRun in = Vbk(back);
        ASSERT_EQ(in.Status, 0) << Describe(in);
        EXPECT_EQ(Read("back.vbk"), table) << options[1] << " " << Read(options[1]);
    }
}

TEST_F(VbkCli, ExportToStandardOutputIsTsvWithBareLineFeeds)
{
    Write("t.vbk", Record("apple", RingoSjis) + Record("banana", "two\nlines"));
    VbkRun r = Vbk({"export", "t.vbk"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(r.Out, "apple\t" + RingoUtf8 + "\nbanana\ttwo\\nlines\n");
    r = Vbk({"export", "t.vbk", "--encoding", "sjis", "--format", "csv"});
    ASSERT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(r.Out, "apple," + RingoSjis + "\r\nbanana,\"two\nlines\"\r\n");
}

TEST_F(VbkCli, CheckAndRepair)
{
    Write("good.vbk", Record("a", "1") + Record("b", "2"));
    VbkRun good = Vbk({"check", "good.vbk"});
    EXPECT_EQ(good.Status, 0) << Describe(good);
    EXPECT_NE(good.Out.find("2 records, 2 entries load"), std::string::npos) << Describe(good);

    const std::string damaged = Record("a", "1") + Record("a", "dup") + Header(100, 0) + "cut";
    Write("bad.vbk", damaged);
    VbkRun bad = Vbk({"check", "bad.vbk"});
    EXPECT_EQ(bad.Status, 1) << Describe(bad);
    EXPECT_NE(bad.Out.find("offset 10: duplicate Key"), std::string::npos) << Describe(bad);
    EXPECT_NE(bad.Out.find("offset 22: damage"), std::string::npos) << Describe(bad);
    EXPECT_NE(bad.Out.find("not sound"), std::string::npos) << Describe(bad);

    VbkRun repair = Vbk({"check", "--repair", "-o", "fixed.vbk", "bad.vbk"});
    EXPECT_EQ(repair.Status, 0) << Describe(repair);
    EXPECT_EQ(Read("fixed.vbk"), Record("a", "1"));
    EXPECT_EQ(Read("bad.vbk"), damaged);
    EXPECT_EQ(Vbk({"check", "fixed.vbk"}).Status, 0);

    VbkRun missing = Vbk({"check", "none.vbk"});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Err.find("none.vbk: no such file"), std::string::npos) << Describe(missing);
}

TEST_F(VbkCli, GetPrintsDataOrCandidate)
{
    Write("t.vbk", Record("apple", RingoSjis) + Record("banana", BananaSjis));
    struct Case {
        std::string word;
        std::string shown; // in code page 932
    } cases[] = {
        {"apple", RingoSjis + "\n"},
        {"b", HeadingSjis + "banana\n" + BananaSjis + "\n"},
        {"zebra", HeadingSjis},
    };
    for (const Case& c : cases) {
        VbkRun r = Vbk({"get", "t.vbk", c.word, "--encoding", "sjis"});
        EXPECT_EQ(r.Status, 0) << Describe(r);
        EXPECT_EQ(r.Out, c.shown) << c.word;
    }
    // Without --encoding it speaks the terminal's encoding.
    VbkRun r = Vbk({"get", "t.vbk", "apple"});
    EXPECT_EQ(r.Status, 0) << Describe(r);
    EXPECT_EQ(r.Out, (TerminalIsUtf8() ? RingoUtf8 : RingoSjis) + "\n");
}

} // namespace
