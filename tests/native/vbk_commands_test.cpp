// vbk's commands on real files in a folder of their own: what they write,
// what they report, and that a failure writes nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>
#include <string>
#include <vector>

#include <zlib.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "core/table_codec.h"
#include "tests/common/dictd_number.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/table_bytes.h"
#include "encodings/text_encoding.h"
#include "formats/gathered_table.h"
#include "formats/import_source.h"
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

// UTF-8 text in code page 932, and in UTF-16 (with a byte-order mark first
// if asked for).
std::string Sjis(const std::string& utf8)
{
    std::string out;
    Utf8ToCp932(utf8, out);
    return out;
}

std::string Utf16(const std::string& utf8, bool bigEndian, bool mark)
{
    std::string out = !mark ? "" : bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp;
        i += DecodeUtf8At(utf8, i, cp);
        char hi = char(cp >> 8), lo = char(cp & 0xFF);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
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
               std::optional<TextEncoding> encoding = std::nullopt,
               Unencodable unencodable = Unencodable::Error,
               std::optional<ListFormat> format = std::nullopt, bool keepCase = false)
    {
        ImportOptions o;
        o.KeepCase = keepCase;
        o.List = Path(list);
        o.Table = Path(table);
        o.Merge = merge;
        o.Encoding = encoding;
        o.WhenUnencodable = unencodable;
        o.Format = format;
        io_ = CommandIo();
        return RunImport(o, io_);
    }

    // What the program's Open dialogs make of the same file: the table
    // built from the gathered entries, largely where they were gathered.
    Pairs Opened(const std::string& list, std::optional<TextEncoding> encoding,
                 Unencodable unencodable, std::optional<ListFormat> format, bool keepCase)
    {
        SourceOptions o;
        o.Path = Path(list);
        o.Encoding = encoding;
        o.WhenUnencodable = unencodable;
        o.Format = format;
        o.KeepCase = keepCase;
        ImportedSource source;
        std::string failure;
        CEntryTable table;
        if (!ReadSource(o, source, failure) || !BuildGatheredTable(*source.entries, table, nullptr))
            return {{"failed", failure}};
        Pairs p;
        table.ForEachEntry([&](const Entry& e) { p.emplace_back(e.Key, e.Data); });
        return p;
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

    // Enough lines of few Keys that the sort moves them about: the first still wins.
    std::string many;
    std::map<std::string, std::string> first;
    for (int i = 0; i < 400; i++) {
        std::string key = "k" + std::to_string(i * 7 % 20);
        many += key + "\t" + std::to_string(i) + "\n";
        first.emplace(key, std::to_string(i));
    }
    Write("many.tsv", many);
    ASSERT_EQ(Import("many.tsv", "many.vbk"), ExitOk) << io_.Err;
    EXPECT_EQ(Contents(Read("many.vbk")), Pairs(first.begin(), first.end()));
    EXPECT_NE(io_.Out.find("380 lines dropped"), std::string::npos) << io_.Out;
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
        {"utf16.tsv", std::string("\xFF\xFE" "a\0\t", 5), {}, ":1: not valid UTF-16LE (byte 0x9 at offset 4)"},
        {"zero.tsv", std::string("a\tb\nc\td\0", 9), {}, ":2: a zero byte"},
        {"missing.tsv", "", {}, "no such file"},
        // No reader knows them: one sentence says so.
        {"list.xls", "a\tb\n", {}, "list.xls: not a list or dictionary vbk knows (it reads TSV"},
        {"kanjidic.txt", "\xBF\xE5 J3F65 B85 \xA5\xB9\xA5\xA4 {water}\n", {}, "not a list or dictionary vbk knows"},
        {"a.out", std::string("\x7F" "ELF\x02\x01\x01\0\0\0\xFF\x80", 12), {}, "not a list or dictionary vbk knows"},
        {"photo.txt", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\t\xFF\x80", 19), {}, "not a list or dictionary vbk knows"},
        {"wn_abrv.dsl", "adj.\n\tadjective\n", {}, "the abbreviations of a DSL dictionary, not its entries"},
        // Straße and façade in Latin-1 are valid Shift-JIS, with ß as a half-width katakana.
        {"latin1.tsv", "street\tStra\xDF" "e\nfront\tfa\xE7" "ade\n", {}, ":1: \"Stra"},
        {"cr.tsv", "apple\rbanana\r", {}, "none of its 2 lines gave an entry"},
        // Nothing to bring in never empties a table.
        {"empty.tsv", "", {}, "empty.tsv: there is no entry in it; nothing was written"},
        {"empty.txt", "\r\n", {}, "empty.txt: there is no entry in it"},
        {"blank.csv", "\n\r\n\r", {}, "blank.csv: there is no entry in it"},
        {"header.txt", "#separator:tab\n#html:true\n", {}, "header.txt: there is no entry in it"},
        // EUC-JP (日本, みず) is named when neither UTF-8 nor Shift-JIS reads a list.
        {"euc.tsv", "\xC6\xFC\xCB\xDC\t\xA4\xDF\xA4\xBA\xA4\xF2\n", {}, "give --encoding euc-jp"},
        {"bad-euc.tsv", "a\tb\nc\t\xC6\x41\n", TextEncoding::EucJp, ":2: not valid EUC-JP (byte 0xC6"},
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
    // Told that it is Shift-JIS, vbk reads the same list.
    Write("latin1.tsv", "street\tStra\xDF" "e\n");
    EXPECT_EQ(Import("latin1.tsv", "t.vbk", false, TextEncoding::ShiftJis), ExitOk) << io_.Err;
    EXPECT_EQ(Read("t.vbk"), TableOf({{"street", "Stra\xDF" "e"}}));
}

TEST_F(VbkCommands, CharactersWithoutCodeFailOrAreReplacedOrLeftOut)
{
    // à la carte, a snowman, Straße, the IPA ɪ as a Key.
    Write("w.tsv", "menu\t\xC3\xA0 la carte\nsnow\t\xE2\x98\x83\nplain\tok\n"
                   "street\tStra\xC3\x9F" "e\n\xC9\xAA\tipa\n");
    struct Case {
        Unencodable policy;
        int status;
        Pairs table;
        std::string report;
    } cases[] = {
        {Unencodable::Error, ExitFailed, {}, "w.tsv:1: the character U+00E0"},
        {Unencodable::Replace, ExitOk,
         {{"?", "ipa"}, {"menu", "a la carte"}, {"plain", "ok"}, {"snow", "?"}, {"street", "Strase"}},
         "4 lines with characters that code page 932 lacks: 4 characters written as a look-alike "
         "or ? (first at lines 1, 2, 4, 5)"},
        {Unencodable::Skip, ExitOk, {{"plain", "ok"}},
         "4 lines left out: 4 characters that code page 932 lacks (first at lines 1, 2, 4, 5)"},
    };
    for (const Case& c : cases) {
        fs::remove(Path("t.vbk"));
        EXPECT_EQ(Import("w.tsv", "t.vbk", false, std::nullopt, c.policy), c.status) << c.report;
        EXPECT_NE((io_.Out + io_.Err).find(c.report), std::string::npos) << io_.Out << io_.Err;
        if (c.status == ExitOk)
            EXPECT_EQ(Contents(Read("t.vbk")), c.table) << c.report;
        else
            EXPECT_FALSE(fs::exists(Path("t.vbk"))) << c.report;
    }
}

std::string Be32(uint32_t v)
{
    return {char(v >> 24), char(v >> 16 & 0xFF), char(v >> 8 & 0xFF), char(v & 0xFF)};
}

std::string Be64(uint64_t v) { return Be32(uint32_t(v >> 32)) + Be32(uint32_t(v)); }

std::string Gzip(const std::string& bytes)
{
    z_stream z = {};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, uLong(bytes.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Le16(size_t v) { return {char(v & 0xFF), char(v >> 8 & 0xFF)}; }

// The dictzip form of gzip: blocks of `chunk` bytes, each deflated after a
// full flush, and a table of their compressed sizes in the header field "RA".
std::string Dictzip(const std::string& bytes, size_t chunk)
{
    z_stream z = {};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string body, sizes;
    size_t blocks = 0;
    for (size_t at = 0; at < bytes.size(); at += chunk, blocks++) {
        size_t n = std::min(chunk, bytes.size() - at);
        std::string out(deflateBound(&z, uLong(n)) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at));
        z.avail_in = uInt(n);
        z.next_out = reinterpret_cast<Bytef*>(&out[0]);
        z.avail_out = uInt(out.size());
        deflate(&z, at + n == bytes.size() ? Z_FINISH : Z_FULL_FLUSH);
        out.resize(out.size() - z.avail_out);
        sizes += Le16(out.size());
        body += out;
    }
    deflateEnd(&z);
    const std::string extra = "RA" + Le16(6 + sizes.size()) + Le16(1) + Le16(chunk) + Le16(blocks) + sizes;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size()));
    return std::string("\x1F\x8B\x08\x04\0\0\0\0\0\x03", 10) + Le16(extra.size()) + extra + body +
           Le16(crc & 0xFFFF) + Le16(crc >> 16) + Le16(bytes.size() & 0xFFFF) + Le16(bytes.size() >> 16);
}

// Dictionaries made here in both formats: the entries come in, the
// dictionary's own entries and first lines that only repeat the headword
// stay out, the definitions of homographs are joined, and damage is refused.
TEST_F(VbkCommands, DictionariesComeInByTheFileNamed)
{
    // dictd: the definitions one after another, an index pointing into them.
    const std::vector<std::pair<std::string, std::string>> definitions = {
        {"00-database-info", "00-database-info\nA dictionary made by a test\n"},
        {"apple", "apple\nred fruit\n"},
        {"bank", "bank\nmoney house\n"},
        {"bank", "Bank <v>\nto rely\n"},
    };
    std::string dict, index;
    for (const auto& [headword, text] : definitions) {
        index += headword + "\t" + DictdNumber(dict.size()) + "\t" + DictdNumber(text.size()) + "\n";
        dict += text;
    }
    const Pairs dictdWant = {{"apple", "red fruit"}, {"bank", "money house\n\nBank <v>\nto rely"}};

    // StarDict: typed fields, one of them HTML; and a plain one with sametypesequence=m.
    const std::string typedData = std::string("mred fruit\0", 11) +
                                  std::string("h<b>money</b> house<br>safe\0", 28) + "mto rely";
    const std::string typedIdx = std::string("apple\0", 6) + Be32(0) + Be32(11) +
                                 std::string("bank\0", 5) + Be32(11) + Be32(28) +
                                 std::string("bank\0", 5) + Be32(39) + Be32(8);
    const std::string plainIdx = std::string("apple\0", 6) + Be32(0) + Be32(9) +
                                 std::string("bank\0", 5) + Be32(9) + Be32(11);
    auto ifo = [](int count, const std::string& more) {
        return "StarDict's dict ifo file\nversion=2.4.2\nbookname=Test\nwordcount=" +
               std::to_string(count) + "\n" + more;
    };
    const Pairs starWant = {{"apple", "red fruit"}, {"bank", "money house\nsafe\n\nto rely"}};
    const std::string pango = std::string("&lt;red&gt;\0", 12) +
                              "<span foreground=\"#0000CD\">fruit</span> &amp; <b>tree</b>\n  sweet";
    const std::string wideIdx = std::string("apple\0", 6) + Be64(0) + Be32(11) +
                                std::string("bank\0", 5) + Be64(11) + Be32(28) +
                                std::string("bank\0", 5) + Be64(39) + Be32(8);

    // Index lines as real dictionaries have them: homographs in another
    // case, two lines that share their bytes of the .dict, a headword as
    // written in the fourth column, a stray Windows-1252 byte, a first line
    // that repeats the headword with an accented capital, an IPA
    // pronunciation, and two headwords that become one Key.
    const std::vector<std::string> texts = {
        "Bank\nthe side of a river\n",
        "bank\n    1: side\n    2: a slope\n",
        "Black Friday\nthe market\x92s busiest day\n",
        "Jean-\xC3\x89mile Baudot\n   telegraph engineer\n",          // É
        "apple //\xCB\x88\xC3\xA6p.\xC9\x99l// <n>\nfruit\n",        // ˈæp.əl
        "Expos\xC3\xA9 (n.)\nshowing\n",                               // Exposé
        "00-database-info\nmade by a test\n",
        "bank\nriver\n",
        "schon\njust\n",
        "sch\xC3\xB6n\nbeautiful\n", // schön
    };
    const struct {
        std::string headword, asWritten;
        size_t text;
    } lines[] = {
        {"00-database-info", "", 6}, {"Bank", "", 0}, {"bank", "", 1}, {"bank", "", 0}, {"bank", "", 7},
        {"black friday", "Black Friday", 2}, {"expose", "", 5},
        {"jean-emile baudot", "jean-\xC3\xA9mile baudot", 3}, {"apple", "", 4},
        {"expos\xC3\xA9", "", 5}, {"schon", "", 8}, {"sch\xC3\xB6n", "", 9},
    };
    std::string homographDict, homographIndex;
    std::vector<size_t> at;
    for (const std::string& t : texts) {
        at.push_back(homographDict.size());
        homographDict += t;
    }
    for (const auto& l : lines)
        homographIndex += l.headword + "\t" + DictdNumber(at[l.text]) + "\t" +
                          DictdNumber(texts[l.text].size()) +
                          (l.asWritten.empty() ? "" : "\t" + l.asWritten) + "\n";
    // Headwords that became one Key each keep the line that names them;
    // the definition listed under both is shown under each.
    const std::string bankWant =
        "Bank\nthe side of a river\n\nbank\n    1: side\n    2: a slope\n\nthe side of a river\n\nriver";
    const std::vector<std::pair<std::string, std::string>> homographFiles = {
        {"h.index", homographIndex}, {"h.dict", homographDict}};
    // The sixth block, in "apple", made to start with a block type that
    // deflate does not have.
    std::string damagedDictzip = Dictzip(dict, 8);
    auto le16 = [&](size_t at) {
        return size_t(uint8_t(damagedDictzip[at])) | size_t(uint8_t(damagedDictzip[at + 1])) << 8;
    };
    size_t sixth = 12 + le16(10);
    for (size_t block = 0; block < 5; block++)
        sixth += le16(22 + 2 * block);
    damagedDictzip[sixth] = '\xFF';
    const std::string marketS = "the market\x81\x66s busiest day"; // ’ in code page 932

    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> files; // the first is named to import
        Pairs want;
        std::string failure; // empty: success
        Unencodable policy = Unencodable::Error;
        bool keepCase = false;
        std::vector<std::string> report = {};
    } cases[] = {
        {"dictd", {{"d.index", index}, {"d.dict", dict}}, dictdWant, ""},
        {"dictd, gzip", {{"d.index", index}, {"d.dict.dz", Gzip(dict)}}, dictdWant, ""},
        // Blocks smaller than an entry: entries span them, and homographs
        // go back to blocks read before.
        {"dictd, dictzip", {{"d.index", index}, {"d.dict.dz", Dictzip(dict, 8)}}, dictdWant, ""},
        {"homographs, dictzip", {homographFiles[0], {"h.dict.dz", Dictzip(homographDict, 16)}},
         {{"bank", bankWant}, {"schon", "just"}}, "", Unencodable::Skip},
        {"StarDict, typed", {{"s.ifo", ifo(3, "")}, {"s.idx", typedIdx}, {"s.dict", typedData}},
         starWant, ""},
        {"StarDict, sametypesequence, compressed",
         {{"s.ifo", ifo(2, "sametypesequence=m\nidxfilesize=" + std::to_string(plainIdx.size()) + "\n")},
          {"s.idx", plainIdx}, {"s.dict.dz", Gzip("red fruitmoney house")}},
         {{"apple", "red fruit"}, {"bank", "money house"}}, ""},
        {"dictd without its .dict", {{"d.index", index}}, {}, "d.dict.dz: no such file"},
        {"dictd of nothing but its own entries",
         {{"d.index", index.substr(0, index.find('\n') + 1)}, {"d.dict", dict}}, {},
         "d.index: there is no entry in it"},
        {"dictd index past the end", {{"d.index", index}, {"d.dict", dict.substr(0, 50)}}, {},
         "d.index:2: the entry lies past the end"},
        {"dictd index line without numbers", {{"d.index", "apple\tA\n"}, {"d.dict", dict}}, {},
         "d.index:1: not an index line"},
        {"gzip cut short", {{"d.index", index}, {"d.dict.dz", Gzip(dict).substr(0, 30)}}, {},
         "d.dict.dz: damaged compressed file"},
        {"dictzip cut short", {{"d.index", index}, {"d.dict.dz", Dictzip(dict, 8).substr(0, 60)}}, {},
         "d.dict.dz: damaged compressed file: it ends in the middle of its compressed data"},
        {"dictzip block damaged", {{"d.index", index}, {"d.dict.dz", damagedDictzip}}, {},
         "d.dict.dz: damaged compressed file: block 6 of 12 does not inflate"},
        {"StarDict sound refused",
         {{"s.ifo", ifo(2, "sametypesequence=mW\n")}, {"s.idx", plainIdx}, {"s.dict", typedData}},
         {}, "type 'W' (a sound)"},
        {"StarDict entry of a refused type",
         {{"s.ifo", ifo(1, "")}, {"s.idx", std::string("a\0", 2) + Be32(0) + Be32(3)}, {"s.dict", "kab"}},
         {}, "s.idx: entry 1: entries of type 'k' (KingSoft PowerWord XML)"},
        {"StarDict, two types in one entry",
         {{"s.ifo", ifo(1, "")}, {"s.idx", std::string("apple\0", 6) + Be32(0) + Be32(11)},
          {"s.dict", std::string("mred\0hfruit", 11)}},
         {{"apple", "red\nfruit"}}, ""},
        // Pango markup: its line breaks written out, tags and references as in HTML.
        {"StarDict, sametypesequence of plain text and Pango markup",
         {{"s.ifo", ifo(1, "sametypesequence=mg\n")},
          {"s.idx", std::string("apple\0", 6) + Be32(0) + Be32(pango.size())}, {"s.dict", pango}},
         {{"apple", "&lt;red&gt;\nfruit & tree\n  sweet"}}, ""},
        // Index lines without a headword, as FreeDict has for entries of
        // punctuation alone; a fourth column left empty.
        {"dictd, lines without a headword",
         {{"d.index", "\tA\tB\n" + index + "\tB\tC\n"}, {"d.dict", dict}}, dictdWant, "",
         Unencodable::Error, false, {"2 index lines left out: no headword (first at index lines 1, 6)"}},
        {"dictd, an empty fourth column and a blank line after the headword",
         {{"d.index", "apple\tA\tR\t\n"}, {"d.dict", "apple\n\nred fruit\n"}}, {{"apple", "red fruit"}}, ""},
        {"StarDict wordcount", {{"s.ifo", ifo(5, "")}, {"s.idx", typedIdx}, {"s.dict", typedData}},
         {}, "wordcount=5"},
        {"StarDict index cut", {{"s.ifo", ifo(3, "")}, {"s.idx", typedIdx.substr(0, 20)}, {"s.dict", typedData}},
         {}, "s.idx: entry 2: damaged"},
        {"StarDict index cut in the last size", {{"s.ifo", ifo(3, "")},
         {"s.idx", typedIdx.substr(0, typedIdx.size() - 2)}, {"s.dict", typedData}},
         {}, "s.idx: entry 3: damaged: the index ends inside it"},
        {"StarDict, 64-bit offsets", {{"s.ifo", ifo(3, "idxoffsetbits=64\n")}, {"s.idx", wideIdx},
         {"s.dict", typedData}}, starWant, ""},
        {"homographs, case, stray bytes, IPA", homographFiles,
         {{"apple", "apple //\"{p.@l// <n>\nfruit"},
          {"bank", bankWant},
          {"black friday", marketS}, {"expose", "Expose (n.)\nshowing"},
          {"jean-emile baudot", "   telegraph engineer"}, {"schon", "schon\njust\n\nschon\nbeautiful"}},
         "", Unencodable::Replace, false,
         {"1 entry with bytes that are not UTF-8: 1 byte read as Windows-1252 (first at index lines 6)",
          "1 entry with pronunciations in IPA: 3 characters written in X-SAMPA"}},
        {"the same, keeping the index's case", homographFiles,
         {{"Bank", "the side of a river"}, {"Black Friday", marketS}, {"apple", "apple //\"{p.@l// <n>\nfruit"},
          {"bank", "    1: side\n    2: a slope\n\nthe side of a river\n\nriver"},
          {"expose", "Expose (n.)\nshowing"}, {"jean-emile baudot", "   telegraph engineer"},
          {"schon", "schon\njust\n\nschon\nbeautiful"}},
         "", Unencodable::Replace, true},
        {"the same, leaving out what needs replacing", homographFiles,
         {{"bank", bankWant}, {"schon", "just"}}, "", Unencodable::Skip, false,
         {"1 entry left out: bytes that are not UTF-8 (first at index lines 6)"}},
        {"the same, refusing a stray byte", homographFiles, {},
         "h.index:6: \"Black Friday\": a byte that is not UTF-8 (0x92 on line 2 of the entry); "
         "--unencodable replace reads such bytes as Windows-1252, --unencodable skip leaves the "
         "entry out"},
        {"not a StarDict .ifo", {{"s.ifo", "version=2.4.2\n"}, {"s.idx", plainIdx}}, {},
         "not a StarDict .ifo file"},
    };
    for (const Case& c : cases) {
        for (const auto& [name, bytes] : c.files)
            Write(name, bytes);
        int status = Import(c.files[0].first, "t.vbk", false, std::nullopt, c.policy, std::nullopt, c.keepCase);
        if (c.failure.empty()) {
            EXPECT_EQ(status, ExitOk) << c.name << ": " << io_.Err;
            EXPECT_EQ(Contents(Read("t.vbk")), c.want) << c.name;
            EXPECT_EQ(Opened(c.files[0].first, std::nullopt, c.policy, std::nullopt, c.keepCase),
                      c.want)
                << c.name << ", opened in the program";
            for (const std::string& line : c.report)
                EXPECT_NE(io_.Out.find(line), std::string::npos) << c.name << ": " << io_.Out;
        } else {
            EXPECT_EQ(status, ExitFailed) << c.name;
            EXPECT_NE(io_.Err.find(c.failure), std::string::npos) << c.name << ": " << io_.Err;
            EXPECT_FALSE(fs::exists(Path("t.vbk"))) << c.name;
        }
        for (const std::string& name : Listing())
            fs::remove(Path(name));
    }
}

// EDICT in EUC-JP, as published: known by its lines, the description line
// out, every writing and reading a Key, the entries of one Key joined in file
// order; JIS X 0212 characters follow --unencodable. And EUC-JP for any list.
TEST_F(VbkCommands, EdictAndEucJpListsComeIn)
{
    // 　？？？ /EDICT.../, 水 [すい] /(n) Wednesday/, 水 [みず] /(n) water/(P)/,
    // 日本 [にほん] /(n) Japan/, Tōkyō (ō of JIS X 0212) as an English gloss of 東京.
    const std::string edict =
        "\xA1\xA1\xA1\xA9\xA1\xA9\xA1\xA9 /EDICT, EDICT_SUB(P)/\n"
        "\xBF\xE5 [\xA4\xB9\xA4\xA4] /(n) Wednesday/\n"
        "\xBF\xE5 [\xA4\xDF\xA4\xBA] /(n) water/(P)/\n"
        "\xC6\xFC\xCB\xDC [\xA4\xCB\xA4\xDB\xA4\xF3] /(n) Japan/\n"
        "\xC5\xEC\xB5\xFE [\xA4\xC8\xA4\xA6\xA4\xAD\xA4\xE7\xA4\xA6] /(n) T\x8F\xAB\xD7ky\x8F\xAB\xD7/\n";
    // The same in code page 932.
    const std::string sui = "\x90\x85 [\x82\xB7\x82\xA2]\n(n) Wednesday";
    const std::string mizu = "\x90\x85 [\x82\xDD\x82\xB8]\n(n) water\n(P)";
    const std::string nihon = "\x93\xFA\x96\x7B [\x82\xC9\x82\xD9\x82\xF1]\n(n) Japan";
    const std::string tokyo = "\x93\x8C\x8B\x9E [\x82\xC6\x82\xA4\x82\xAB\x82\xE5\x82\xA4]\n(n) T?ky?";
    const Pairs common = {
        {"\x82\xB7\x82\xA2", sui},                 // すい
        {"\x82\xC9\x82\xD9\x82\xF1", nihon},      // にほん
        {"\x82\xDD\x82\xB8", mizu},                // みず
        {"\x90\x85", sui + "\n\n" + mizu},          // 水
        {"\x93\xFA\x96\x7B", nihon},                // 日本
    };
    Pairs withTokyo = common;
    withTokyo.insert(withTokyo.begin() + 1, {"\x82\xC6\x82\xA4\x82\xAB\x82\xE5\x82\xA4", tokyo});
    withTokyo.insert(withTokyo.begin() + 5, {"\x93\x8C\x8B\x9E", tokyo});

    // Repeated headwords, a note and an example, NEC's special characters,
    // labels after two spaces, a text with " : " in it.
    const std::string eijiro = u8"■abandon  {他動-1} : 断念する◆【用法】注■・They abandoned it. 彼らは断念した。\r\n"
                               u8"■abandon  {他動-2} : 見捨てる\r\n"
                               u8"■Polish  {形} : ポーランドの\r\n■polish  {他動} : 磨く\r\n"
                               u8"■No.1 : 第１位、①、㈱、Ⅰ\r\n■time : 時 : 時間\r\n■abandon : x\r\n";
    const Pairs eijiroTable = {
        {"No.1", Sjis(u8"第１位、①、㈱、Ⅰ")},
        {"Polish", Sjis(u8"{形} : ポーランドの")},
        {"abandon", Sjis(u8"{他動-1} : 断念する\n◆【用法】注\n■・They abandoned it. 彼らは断念した。\n"
                         u8"{他動-2} : 見捨てる\n\nx")},
        {"polish", Sjis(u8"{他動} : 磨く")},
        {"time", Sjis(u8"時 : 時間")},
    };
    const std::string pdic = u8"apple /// りんご \\ 林檎 / an apple a day\r\napple /// 林檎の木\r\n";
    const std::string dsl = u8"#NAME \"T\"\n\nWater\n\t[m1]水[/m]\n";

    struct Case {
        const char* name;
        std::string bytes;
        std::optional<TextEncoding> encoding;
        Unencodable policy;
        std::optional<ListFormat> format;
        Pairs want;
        std::string report; // in the output, or the failure
    } cases[] = {
        {"edict", edict, {}, Unencodable::Replace, {}, withTokyo,
         "7 entries (EUC-JP EDICT, 8 headwords read)\n  1 headword joined"},
        {"edict", edict, {}, Unencodable::Skip, {}, common,
         "2 headwords left out: 4 characters that code page 932 lacks (first at lines 5)"},
        {"edict", edict, {}, Unencodable::Error, {}, {},
         "edict:5: the character U+014D"},
        {"edict2.txt", "\xBF\xE5;\xA4\xDF\xA4\xBA(P) /(n) water/EntL1/\n", {}, Unencodable::Error,
         ListFormat::Edict, {{"\x82\xDD\x82\xB8", "\x90\x85;\x82\xDD\x82\xB8(P)\n(n) water"},
                             {"\x90\x85", "\x90\x85;\x82\xDD\x82\xB8(P)\n(n) water"}},
         "(EUC-JP EDICT, 2 headwords read)"},
        {"edict-utf8", "\xE6\xB0\xB4 [\xE3\x81\xBF\xE3\x81\x9A] /(n) water/(P)/\n", {},
         Unencodable::Error, {}, {{"\x82\xDD\x82\xB8", mizu}, {"\x90\x85", mizu}}, "(UTF-8 EDICT"},
        {"header-only", edict.substr(0, edict.find('\n') + 1), {}, Unencodable::Error, {}, {},
         "there is no entry in it"},
        {"broken", edict.substr(0, edict.find('\n') + 1) + "\xBF\xE5 [\xC6] /x/\n", {},
         Unencodable::Error, {}, {}, "broken:2: not valid EUC-JP (byte 0xC6"},
        {"w.tsv", "\xBF\xE5\t\xA4\xDF\xA4\xBA\\n\x8E\xB1\n", TextEncoding::EucJp,
         Unencodable::Error, {}, {{"\x90\x85", "\x82\xDD\x82\xB8\n\xB1"}}, "(EUC-JP TSV, 1 line read)"},
        // EIJIRO, in code page 932 (NEC's special characters among it) and in UTF-16.
        {"EIJIRO.TXT", Sjis(eijiro), {}, Unencodable::Error, {}, eijiroTable,
         "5 entries (Shift-JIS EIJIRO, 6 headwords read)"},
        {"eijiro", Utf16(eijiro, false, true), {}, Unencodable::Error, {}, eijiroTable,
         "(UTF-16LE EIJIRO, 6 headwords read)"},
        {"eijiro.txt", "\xEF\xBB\xBF" + eijiro, {}, Unencodable::Error, {}, eijiroTable,
         "(UTF-8 EIJIRO, 6 headwords read)"},
        {"w2.tsv", "a\tb\n", {}, Unencodable::Error, ListFormat::Eijiro, {}, "w2.tsv:1: not an EIJIRO line"},
        // PDIC in UTF-16 and Shift-JIS.
        {"pdic.txt", Utf16(pdic, false, true), {}, Unencodable::Error, {},
         {{"apple", Sjis(u8"りんご\n林檎\nan apple a day\n\n林檎の木")}}, "(UTF-16LE PDIC text, 2 headwords read)"},
        {"pdic", Sjis(u8"水 /// みず\n"), {}, Unencodable::Error, {}, {{Sjis(u8"水"), Sjis(u8"みず")}},
         "(Shift-JIS PDIC text, 1 headword read)"},
        // Excel's Unicode text; UTF-16 without a mark when named.
        {"excel.txt", Utf16(u8"word\tりんご\r\nfruit\t林檎\r\n", false, true), {}, Unencodable::Error, {},
         {{"fruit", Sjis(u8"林檎")}, {"word", Sjis(u8"りんご")}}, "(UTF-16LE TSV, 2 lines read)"},
        {"be.tsv", Utf16(u8"word\tりんご\n", true, false), TextEncoding::Utf16Be, Unencodable::Error, {},
         {{"word", Sjis(u8"りんご")}}, "(UTF-16BE TSV, 1 line read)"},
        // DSL as dictzip in UTF-16 without a mark, and in UTF-8.
        {"wn.dsl.dz", Gzip(Utf16(dsl, false, false)), {}, Unencodable::Error, {},
         {{"water", Sjis(u8"  水")}}, "(UTF-16LE DSL dictionary, 1 headword read)"},
        {"wn.dsl", "\xEF\xBB\xBF" + dsl, {}, Unencodable::Error, {}, {{"water", Sjis(u8"  水")}},
         "(UTF-8 DSL dictionary"},
        // KANJIDIC: 水 3F65 U6c34 G1 S4 スイ みず {water}, in EUC-JP.
        {"kanjidic", "# KANJIDIC\n\xBF\xE5 3F65 U6c34 G1 S4 \xA5\xB9\xA5\xA4 \xA4\xDF\xA4\xBA {water}\n", {},
         Unencodable::Error, {}, {{"\x90\x85", Sjis(u8"スイ\nみず\nwater\n4 strokes, grade 1")}},
         "1 entry (EUC-JP KANJIDIC, 1 headword read)"},
    };
    for (const Case& c : cases) {
        Write(c.name, c.bytes);
        fs::remove(Path("t.vbk"));
        int status = Import(c.name, "t.vbk", false, c.encoding, c.policy, c.format);
        EXPECT_EQ(status, c.want.empty() ? ExitFailed : ExitOk) << c.name << ": " << io_.Err;
        EXPECT_NE((io_.Out + io_.Err).find(c.report), std::string::npos)
            << c.name << ": " << io_.Out << io_.Err;
        if (c.want.empty())
            EXPECT_FALSE(fs::exists(Path("t.vbk"))) << c.name;
        else
            EXPECT_EQ(Contents(Read("t.vbk")), c.want) << c.name;
        if (!c.want.empty()) {
            EXPECT_EQ(Opened(c.name, c.encoding, c.policy, c.format, false), c.want)
                << c.name << ", opened in the program";
        }
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

    // New Keys before, among and after the table's own, written in Key order.
    Write("t.vbk", TableOf({{"b", "old b"}, {"d", "old d"}}));
    Write("x.tsv", "e\tnew e\nb\tnew b\na\tnew a\nc\tnew c\n");
    ASSERT_EQ(Import("x.tsv", "t.vbk", true), ExitOk) << io_.Err;
    EXPECT_EQ(Read("t.vbk"), Record("a", "new a") + Record("b", "old b") + Record("c", "new c") +
                                 Record("d", "old d") + Record("e", "new e"));
    EXPECT_NE(io_.Out.find("t.vbk: 5 entries"), std::string::npos) << io_.Out;
}

// An export imported again gives back the same table file, in every format
// and encoding, with the characters that need care and first Keys that look
// like the header lines of a flash-card export.
TEST_F(VbkCommands, ExportThenImportGivesTheSameBytes)
{
    const std::string tables[] = {
        TableOf({
            {"a,b \"q\"", "comma, quote \" and\r\nCRLF"},
            {"back\\slash", "\\n is not a line feed\\"},
            {"tabbed", "one\ttwo\nthree\r"},
            {"\x95\x5C" /* 表 */, "\x83\x5C" /* ソ */ "\\"},
            {"\xB1\xB2" /* ｱｲ */, "\x81\x60" /* ～ */ "\x81\x7C" /* － */},
            {" spaced ", " x "},
        }),
        TableOf({{"#a:", "x"}, {"zz", "y"}}),
        TableOf({{"#html:x", "y"}}),
        TableOf({{"#separator:comma", "#deck column:2"}, {"#tags:", "t"}}),
    };
    struct Case {
        const char* list;
        TextEncoding encoding;
        std::optional<ListFormat> format;
    } cases[] = {
        {"o.tsv", TextEncoding::Utf8, {}},
        {"o.txt", TextEncoding::ShiftJis, {}},
        {"o.csv", TextEncoding::Utf8, {}},
        {"p.csv", TextEncoding::ShiftJis, {}},
        {"deck.txt", TextEncoding::Utf8, ListFormat::Flashcards},
    };
    for (const std::string& table : tables) {
        for (const Case& c : cases) {
            Write("source.vbk", table);
            ASSERT_EQ(Export("source.vbk", c.list, c.encoding, c.format), ExitOk) << c.list << io_.Err;
            ASSERT_EQ(Import(c.list, "back.vbk", false, c.encoding), ExitOk) << c.list << io_.Err;
            EXPECT_EQ(Contents(Read("back.vbk")), Contents(table)) << c.list << ": " << Read(c.list);
        }
    }
}

// Not the list, nor any file of a dictionary, under any of its names.
TEST_F(VbkCommands, NeverWritesOverItsOwnInput)
{
    const std::string idx = std::string("a\0", 2) + Be32(0) + Be32(1);
    const std::map<std::string, std::string> files = {
        {"w.tsv", "a\tb\n"},
        {"d.index", "a\tA\tB\n"},
        {"d.dict", "x"},
        {"z.index", "a\tA\tB\n"},
        {"z.dict.dz", Gzip("x")},
        {"s.ifo", "StarDict's dict ifo file\nversion=2.4.2\nwordcount=1\nsametypesequence=m\n"},
        {"s.idx", idx},
        {"s.dict", "x"},
        {"g.ifo", "StarDict's dict ifo file\nversion=2.4.2\nwordcount=1\nsametypesequence=m\n"},
        {"g.idx.gz", Gzip(idx)},
        {"g.dict", "x"},
    };
    for (const auto& [name, bytes] : files)
        Write(name, bytes);
    fs::create_directory(Path("sub"));
    fs::create_hard_link(Path("d.dict"), Path("sub/linked.vbk"));
    struct Case {
        std::string list, table, message;
    } cases[] = {
        {"w.tsv", "w.tsv", "that is the list itself"},
        {"w.tsv", "sub/../w.tsv", "that is the list itself"},
        {"d.index", "d.dict", "d.dict, a file of the dictionary"},
        {"d.index", "sub/linked.vbk", "d.dict, a file of the dictionary"},
        {"z.index", "./z.dict.dz", "z.dict.dz, a file of the dictionary"},
        {"s.ifo", "s.idx", "s.idx, a file of the dictionary"},
        {"s.ifo", "s.dict", "s.dict, a file of the dictionary"},
        {"g.ifo", "g.idx.gz", "g.idx.gz, a file of the dictionary"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Import(c.list, c.table), ExitFailed) << c.list << " -o " << c.table;
        EXPECT_NE(io_.Err.find(c.message), std::string::npos) << c.table << ": " << io_.Err;
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(Read(name), bytes) << name << " after -o " << c.table;
    }
    // The dictionary's files are fine to name as tables once they are not its own.
    EXPECT_EQ(Import("s.ifo", "d.dict"), ExitOk) << io_.Err;

    const std::string table = TableOf({{"a", "b"}});
    Write("t.vbk", table);
    EXPECT_EQ(Export("t.vbk", "t.vbk", TextEncoding::Utf8), ExitFailed);
    EXPECT_EQ(Read("t.vbk"), table);

    // A repair leaves out what did not load: never over the damaged table.
    const std::string damaged = table + std::string("\x01\x00", 2);
    Write("t.vbk", damaged);
    fs::create_hard_link(Path("t.vbk"), Path("sub/t.vbk"));
    for (const char* output : {"t.vbk", "sub/t.vbk", "sub/../t.vbk"}) {
        CheckOptions o;
        o.Table = Path("t.vbk");
        o.Repair = true;
        o.Output = Path(output);
        io_ = CommandIo();
        EXPECT_EQ(RunCheck(o, io_), ExitFailed) << output;
        EXPECT_NE(io_.Err.find("that is the damaged table itself"), std::string::npos)
            << output << ": " << io_.Err;
        EXPECT_EQ(Read("t.vbk"), damaged) << output;
    }
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
    // apple → りんご, banana → バナナ; a Key that differs from another only in
    // case, and lower-case Keys as dictionaries bring them in.
    Write("t.vbk", TableOf({{"Polish", "polski"}, {"apple", "\x82\xE8\x82\xF1\x82\xB2"},
                            {"banana", "\x83\x6F\x83\x69\x83\x69"}, {"haus", "house"},
                            {"polish", "shine"}, {"uber", "over"}}));
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
        {"zz", TextEncoding::Utf8, heading},
        {"apple", TextEncoding::ShiftJis, "\x82\xE8\x82\xF1\x82\xB2\n"},
        {"zz", TextEncoding::ShiftJis, "\x81\x83\x8C\xF3\x95\xE2\x92\x50\x8C\xEA\x81\x84\n"},
        // Capitals: the lower-case Key before the next in order, an exact
        // Key before either.
        {"Haus", TextEncoding::Utf8, heading + "haus\nhouse\n"},
        {"Polish", TextEncoding::Utf8, "polski\n"},
        {"polish", TextEncoding::Utf8, "shine\n"},
        {"POLISH", TextEncoding::Utf8, heading + "polish\nshine\n"},
        {"Pol", TextEncoding::Utf8, heading + "Polish\npolski\n"},
        // An accented word as Windows hands it to the program.
        {"\xC3\xBC" "ber", TextEncoding::Utf8, "over\n"},                  // über
        {"\xC3\x9C" "BER", TextEncoding::Utf8, heading + "uber\nover\n"}, // ÜBER
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
