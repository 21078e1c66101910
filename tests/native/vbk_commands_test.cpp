// vbk's commands on real files in a folder of their own: what they write,
// what they report, and that a failure writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "table/table_codec.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/table_bytes.h"
#include "tools/vbk/vbk_commands.h"

namespace fs = std::filesystem;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Contents(const std::string& tableBytes)
{
    CEntryTable t;
    DecodeTable(tableBytes, t);
    Pairs p;
    t.ForEachEntry([&](const Entry& e) { p.emplace_back(e.Key, e.Data); });
    return p;
}

std::string TableOf(const Pairs& pairs)
{
    CEntryTable t;
    for (const auto& [k, d] : pairs)
        t.InsertEntry(k, d);
    return EncodeTableToBytes(t);
}

class VbkCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter;
        folder_ = std::make_unique<ScratchFolder>(
            fs::temp_directory_path() /
            ("vbk-cmd-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
             std::to_string(counter++) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    void TearDown() override { folder_.reset(); }

    std::string Path(const std::string& name) const { return folder_->Path(name); }
    void Write(const std::string& name, const std::string& bytes) const
    {
        folder_->Write(name, bytes);
    }
    std::string Read(const std::string& name) const { return folder_->Read(name); }
    std::vector<std::string> Listing() const { return folder_->Listing(); }

    int Import(const std::string& list, const std::string& table, bool merge = false,
               std::optional<TextEncoding> encoding = std::nullopt)
    {
        ImportOptions o;
        o.List = Path(list);
        o.Table = Path(table);
        o.Merge = merge;
        o.Encoding = encoding;
        io_ = CommandIo();
        return RunImport(o, io_);
    }
    int Export(const std::string& table, const std::string& list, TextEncoding encoding,
               std::optional<ListFormat> format = std::nullopt)
    {
        ExportOptions o;
        o.Table = Path(table);
        o.List = list.empty() ? std::string() : Path(list);
        o.Encoding = encoding;
        o.Format = format;
        io_ = CommandIo();
        return RunExport(o, io_);
    }

    std::unique_ptr<ScratchFolder> folder_;
    CommandIo io_;
};

TEST_F(VbkCommands, ImportKeepsFirstDataAndCountsWhatItLeftOut)
{
    // apple → りんご, banana → バナナ in UTF-8; a repeat, an empty Data, an empty Key.
    Write("w.tsv", "apple\t\xE3\x82\x8A\xE3\x82\x93\xE3\x81\x94\n"
                   "banana\t\xE3\x83\x90\xE3\x83\x8A\xE3\x83\x8A\n"
                   "apple\tsecond\n"
                   "lonely\n"
                   "\torphan\n");
    ASSERT_EQ(Import("w.tsv", "t.vbk"), ExitOk) << io_.Err;
    EXPECT_EQ(Read("t.vbk"), TableOf({{"apple", "\x82\xE8\x82\xF1\x82\xB2"},
                                      {"banana", "\x83\x6F\x83\x69\x83\x69"}}));
    EXPECT_NE(io_.Out.find("2 entries"), std::string::npos) << io_.Out;
    EXPECT_NE(io_.Out.find("1 line dropped: Key listed before"), std::string::npos) << io_.Out;
    EXPECT_NE(io_.Out.find("2 lines skipped: empty Key or Data"), std::string::npos) << io_.Out;
}

TEST_F(VbkCommands, ImportDetectsEncodingAndBom)
{
    struct Case {
        const char* name;
        std::string bytes;
        const char* encodingWord;
    } cases[] = {
        {"a.tsv", "\xEF\xBB\xBFk\t\xE8\xA1\xA8\n", "UTF-8"},            // 表 after a BOM
        {"b.tsv", "k\t\x95\x5C\\n\x83\x5C\n", "Shift-JIS"},             // 表\nソ
        {"c.csv", "k,\"\x95\x5C\"\r\n", "Shift-JIS"},
    };
    for (const Case& c : cases) {
        Write(c.name, c.bytes);
        ASSERT_EQ(Import(c.name, "t.vbk"), ExitOk) << c.name << ": " << io_.Err;
        Pairs got = Contents(Read("t.vbk"));
        ASSERT_EQ(got.size(), 1u) << c.name;
        EXPECT_EQ(got[0].first, "k") << c.name; // the BOM is not part of the first Key
        EXPECT_EQ(got[0].second.substr(0, 2), "\x95\x5C") << c.name;
        EXPECT_NE(io_.Out.find(c.encodingWord), std::string::npos) << c.name << ": " << io_.Out;
    }
    EXPECT_EQ(Contents(Read("t.vbk"))[0].second, "\x95\x5C");
}

TEST_F(VbkCommands, BadInputWritesNothingAndNamesThePlace)
{
    const std::string old = TableOf({{"old", "table"}});
    struct Case {
        const char* name;
        std::string bytes;
        std::optional<TextEncoding> encoding;
        std::string message;
    } cases[] = {
        {"snow.tsv", "a\tb\nsnow\t\xE2\x98\x83\n", {}, ":2: the character U+2603"},
        {"quote.csv", "a,b\n\"open,x\n", {}, ":2: the quoted field"},
        {"third.tsv", "a\tb\tc\n", {}, ":1: more than two columns"},
        {"latin.tsv", "a\tb\ncaf\xE9\n", {}, ":2: not valid"},
        {"forced.tsv", "a\t\x95\x5C\n", TextEncoding::Utf8, ":1: not valid UTF-8"},
        {"utf16.tsv", std::string("\xFF\xFE" "a\0", 4), {}, "UTF-16"},
        {"zero.tsv", std::string("a\tb\nc\td\0", 9), {}, ":2: a zero byte"},
        {"missing.tsv", "", {}, "no such file"},
        {"list.xls", "a\tb\n", {}, "--format"},
    };
    for (const Case& c : cases) {
        if (std::string(c.name) != "missing.tsv")
            Write(c.name, c.bytes);
        Write("t.vbk", old);
        EXPECT_EQ(Import(c.name, "t.vbk", false, c.encoding), ExitFailed) << c.name;
        EXPECT_NE(io_.Err.find(c.message), std::string::npos) << c.name << ": " << io_.Err;
        EXPECT_NE(io_.Err.find(c.name), std::string::npos) << c.name << ": " << io_.Err;
        EXPECT_EQ(Read("t.vbk"), old) << c.name;
        if (std::string(c.name) != "missing.tsv")
            fs::remove(Path(c.name));
        EXPECT_EQ(Listing(), std::vector<std::string>{"t.vbk"}) << c.name;
    }
}

TEST_F(VbkCommands, MergeKeepsExistingDataAndRefusesDamagedTable)
{
    Write("t.vbk", TableOf({{"apple", "old"}, {"cherry", "c"}}));
    Write("w.csv", "apple,new\nbanana,b\n");
    ASSERT_EQ(Import("w.csv", "t.vbk", true), ExitOk) << io_.Err;
    EXPECT_EQ(Contents(Read("t.vbk")),
              (Pairs{{"apple", "old"}, {"banana", "b"}, {"cherry", "c"}}));
    EXPECT_NE(io_.Out.find("1 entry not added: Key already in the table"), std::string::npos)
        << io_.Out;

    ASSERT_EQ(Import("w.csv", "new.vbk", true), ExitOk) << io_.Err; // nothing to merge into
    EXPECT_EQ(Contents(Read("new.vbk")), (Pairs{{"apple", "new"}, {"banana", "b"}}));

    const std::string damaged = Record("a", "b") + Header(5, 5) + "xy";
    Write("bad.vbk", damaged);
    EXPECT_EQ(Import("w.csv", "bad.vbk", true), ExitFailed);
    EXPECT_NE(io_.Err.find("offset 10"), std::string::npos) << io_.Err;
    EXPECT_EQ(Read("bad.vbk"), damaged);
}

// An export imported again gives back the same table file, in every format
// and encoding, with the characters that need care.
TEST_F(VbkCommands, ExportThenImportGivesTheSameBytes)
{
    const std::string table = TableOf({
        {"a,b \"q\"", "comma, quote \" and\r\nCRLF"},
        {"back\\slash", "\\n is not a line feed\\"},
        {"tabbed", "one\ttwo\nthree\r"},
        {"\x95\x5C" /* 表 */, "\x83\x5C" /* ソ */ "\\"},
        {"\xB1\xB2" /* ｱｲ */, "\x81\x60" /* ～ */ "\x81\x7C" /* － */},
        {" spaced ", " x "},
    });
    struct Case {
        const char* list;
        TextEncoding encoding;
        ListFormat format;
    } cases[] = {
        {"o.tsv", TextEncoding::Utf8, ListFormat::Tsv},
        {"o.txt", TextEncoding::ShiftJis, ListFormat::Tsv},
        {"o.csv", TextEncoding::Utf8, ListFormat::Csv},
        {"p.csv", TextEncoding::ShiftJis, ListFormat::Csv},
    };
    for (const Case& c : cases) {
        Write("source.vbk", table);
        ASSERT_EQ(Export("source.vbk", c.list, c.encoding), ExitOk) << c.list << io_.Err;
        ASSERT_EQ(Import(c.list, "back.vbk", false, c.encoding), ExitOk) << c.list << io_.Err;
        EXPECT_EQ(Read("back.vbk"), table) << c.list << ": " << Read(c.list);
    }
}

TEST_F(VbkCommands, NeverWritesOverItsOwnInput)
{
    Write("w.tsv", "a\tb\n");
    EXPECT_EQ(Import("w.tsv", "w.tsv"), ExitFailed);
    EXPECT_EQ(Read("w.tsv"), "a\tb\n");
    const std::string table = TableOf({{"a", "b"}});
    Write("t.vbk", table);
    EXPECT_EQ(Export("t.vbk", "t.vbk", TextEncoding::Utf8), ExitFailed);
    EXPECT_EQ(Read("t.vbk"), table);
}

TEST_F(VbkCommands, ExportRefusesWhatWouldNotComeBack)
{
    struct Case {
        Pairs table;
        TextEncoding encoding;
        std::optional<ListFormat> format;
        std::string message;
    } cases[] = {
        // ⅰ as the NEC-selected code 0xEEEF: UTF-8 would bring it back as 0xFA40.
        {{{"k", "\xEE\xEF"}}, TextEncoding::Utf8, {}, "0xEE 0xEF"},
        {{{"k", "\x85\x40"}}, TextEncoding::ShiftJis, {}, "not Shift-JIS"},
        {{{"a\tb", "d"}}, TextEncoding::Utf8, ListFormat::Tsv, "--format csv"},
    };
    for (const Case& c : cases) {
        Write("t.vbk", TableOf(c.table));
        EXPECT_EQ(Export("t.vbk", "o.tsv", c.encoding, c.format), ExitFailed) << c.message;
        EXPECT_NE(io_.Err.find(c.message), std::string::npos) << io_.Err;
        EXPECT_FALSE(fs::exists(Path("o.tsv"))) << c.message;
    }
    // The same code goes out unchanged as Shift-JIS.
    Write("t.vbk", TableOf({{"k", "\xEE\xEF"}}));
    ASSERT_EQ(Export("t.vbk", "", TextEncoding::ShiftJis), ExitOk) << io_.Err;
    EXPECT_EQ(io_.Out, "k\t\xEE\xEF\n");
}

TEST_F(VbkCommands, CheckReportsFaultsWithOffsetsAndRepairs)
{
    struct Case {
        const char* name;
        std::string bytes;
        int status;
        std::vector<std::string> report;
        Pairs repaired;
    } cases[] = {
        {"sound", Record("a", "1") + Record("b", "2"), ExitOk, {"2 records", "sound"},
         {{"a", "1"}, {"b", "2"}}},
        {"empty", "", ExitOk, {"0 records", "sound"}, {}},
        {"duplicate", Record("a", "1") + Record("a", "2"), ExitFailed,
         {"offset 10: duplicate Key \"a\"", "not sound"}, {{"a", "1"}}},
        {"cut", Record("a", "1") + Header(4, 4) + "abc", ExitFailed,
         {"offset 10: damage", "4 + 4 bytes but only 3"}, {{"a", "1"}}},
        {"header cut", Record("a", "1") + std::string("\x01\x00", 2), ExitFailed,
         {"offset 10: damage: 2 bytes left"}, {{"a", "1"}}},
        {"zero", Record(std::string("k\0x", 3), "d"), ExitFailed,
         {"offset 0: a zero byte inside the Key"}, {{"k", "d"}}},
        {"unordered", Record("b", "2") + Record("a", "1"), ExitOk,
         {"out of Key order", "sound"}, {{"a", "1"}, {"b", "2"}}},
    };
    for (const Case& c : cases) {
        Write("t.vbk", c.bytes);
        CheckOptions o;
        o.Table = Path("t.vbk");
        io_ = CommandIo();
        EXPECT_EQ(RunCheck(o, io_), c.status) << c.name << ": " << io_.Out;
        for (const std::string& line : c.report)
            EXPECT_NE(io_.Out.find(line), std::string::npos) << c.name << ": " << io_.Out;

        o.Repair = true;
        o.Output = Path("fixed.vbk");
        io_ = CommandIo();
        EXPECT_EQ(RunCheck(o, io_), ExitOk) << c.name;
        EXPECT_EQ(Read("fixed.vbk"), TableOf(c.repaired)) << c.name;
        EXPECT_EQ(Read("t.vbk"), c.bytes) << c.name;
    }
}

TEST_F(VbkCommands, GetShowsWhatTheProgramShows)
{
    // apple → りんご, banana → バナナ.
    Write("t.vbk", TableOf({{"apple", "\x82\xE8\x82\xF1\x82\xB2"}, {"banana", "\x83\x6F\x83\x69\x83\x69"}}));
    const std::string heading = "\xEF\xBC\x9C\xE5\x80\x99\xE8\xA3\x9C\xE5\x8D\x98\xE8\xAA\x9E\xEF\xBC\x9E\n";
    struct Case {
        const char* word;
        TextEncoding terminal;
        std::string shown;
    } cases[] = {
        {"apple", TextEncoding::Utf8, "\xE3\x82\x8A\xE3\x82\x93\xE3\x81\x94\n"},
        {"b", TextEncoding::Utf8, heading + "banana\n\xE3\x83\x90\xE3\x83\x8A\xE3\x83\x8A\n"},
        {"appl", TextEncoding::Utf8, heading + "apple\n\xE3\x82\x8A\xE3\x82\x93\xE3\x81\x94\n"},
        {"Apple", TextEncoding::Utf8, heading + "apple\n\xE3\x82\x8A\xE3\x82\x93\xE3\x81\x94\n"},
        {"c", TextEncoding::Utf8, heading},
        {"apple", TextEncoding::ShiftJis, "\x82\xE8\x82\xF1\x82\xB2\n"},
        {"c", TextEncoding::ShiftJis, "\x81\x83\x8C\xF3\x95\xE2\x92\x50\x8C\xEA\x81\x84\n"},
    };
    for (const Case& c : cases) {
        GetOptions o;
        o.Table = Path("t.vbk");
        o.Word = c.word;
        io_ = CommandIo();
        io_.Terminal = c.terminal;
        EXPECT_EQ(RunGet(o, io_), ExitOk) << c.word;
        EXPECT_EQ(io_.Out, c.shown) << c.word;
    }
}

} // namespace
