// The list and dictionary-text readers and the writers of vbk.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "formats/dsl_reader.h"
#include "formats/edict_reader.h"
#include "formats/eijiro_reader.h"
#include "formats/gathered_table.h"
#include "formats/kanjidic_reader.h"
#include "formats/pdic_reader.h"
#include "formats/html_text.h"
#include "formats/list_reader.h"
#include "formats/import_source.h"
#include "formats/list_writer.h"
#include "tests/common/scratch_folder.h"

namespace {

using Row = std::tuple<size_t, std::string, std::string>; // line, Key, Data
using Rows = std::vector<Row>;

std::string Visible(std::string s)
{
    std::string out;
    char b[8];
    for (unsigned char c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += char(c);
        } else {
            snprintf(b, sizeof b, "\\x%02X", c);
            out += b;
        }
    }
    return out;
}

std::string Show(const Rows& rows)
{
    std::string s;
    for (const auto& [line, key, data] : rows)
        s += "(" + std::to_string(line) + " " + Visible(key) + " | " + Visible(data) + ") ";
    return s;
}

struct Outcome {
    Rows rows;
    ListReadResult result;
};

// Also holds every reader to what lets import write entries over the text
// behind it: the bytes a reader says it has passed are overwritten at once,
// which must change nothing it reads; and no entry takes more bytes than the
// reader passed since the one before (but for EDICT, DSL and KANJIDIC, whose
// entries are written apart).
Outcome Read(ListFormat format, const std::string& text,
             TextEncoding encoding = TextEncoding::Utf8)
{
    Outcome o;
    std::string bytes = text;
    char* const begin = &bytes[0];
    const char *unread = begin, *passed = begin;
    o.result = ReadList(
        format, bytes, encoding,
        [&](size_t line, std::string_view k, std::string_view d) {
            o.rows.emplace_back(line, std::string(k), std::string(d));
            if (format != ListFormat::Edict && format != ListFormat::Dsl &&
                format != ListFormat::Kanjidic) {
                EXPECT_LE(k.size() + d.size(), size_t(unread - passed))
                    << "line " << line << " of " << Visible(text) << ": passed "
                    << unread - begin << ", before " << passed - begin;
            }
            EXPECT_LE(unread, begin + bytes.size()) << Visible(text);
            std::fill(begin, const_cast<char*>(unread), '\n');
            passed = unread;
            return true;
        },
        nullptr, &unread);
    return o;
}

struct Case {
    const char* name;
    std::string text;
    Rows want;
    size_t errorLine = 0; // 0: no error expected
};

void RunCases(ListFormat format, const std::vector<Case>& cases, TextEncoding encoding)
{
    for (const Case& c : cases) {
        Outcome o = Read(format, c.text, encoding);
        EXPECT_EQ(Show(o.rows), Show(c.want)) << c.name << ": " << Visible(c.text);
        if (c.errorLine) {
            EXPECT_FALSE(o.result.Ok) << c.name;
            EXPECT_EQ(o.result.Line, c.errorLine) << c.name << ": " << o.result.Message;
            EXPECT_FALSE(o.result.Message.empty()) << c.name;
        } else {
            EXPECT_TRUE(o.result.Ok) << c.name << ": " << o.result.Message;
        }
    }
}

TEST(TsvReader, LinesColumnsAndEscapes)
{
    RunCases(ListFormat::Tsv,
             {
                 {"plain", "apple\tx\nbanana\ty\n", {{1, "apple", "x"}, {2, "banana", "y"}}},
                 {"CRLF and no final line break", "a\tb\r\nc\td", {{1, "a", "b"}, {2, "c", "d"}}},
                 {"lone CRs end lines", "a\tb\rc\td\r", {{1, "a", "b"}, {2, "c", "d"}}},
                 {"one column, CR only", "apple\rbanana\r", {{1, "apple", ""}, {2, "banana", ""}}},
                 {"mixed line ends", "a\tb\r\r\nc\td\n\re\tf", {{1, "a", "b"}, {3, "c", "d"}, {5, "e", "f"}}},
                 {"blank lines keep the numbering", "a\tb\n\n\r\nc\td\n", {{1, "a", "b"}, {4, "c", "d"}}},
                 {"escapes", "k\ta\\nb\\tc\\\\d\\re", {{1, "k", "a\nb\tc\\d\re"}}},
                 {"other backslashes stay", "k\tC:\\x\\", {{1, "k", "C:\\x\\"}}},
                 {"escapes only in the Data", "a\\nb\tc", {{1, "a\\nb", "c"}}},
                 {"no tab: empty Data", "word\n", {{1, "word", ""}}},
                 {"empty Key", "\tdata\n", {{1, "", "data"}}},
                 {"empty trailing columns", "k\td\t\t\n", {{1, "k", "d"}}},
                 {"a third column is refused", "a\tb\nk\td\textra\nz\tz\n", {{1, "a", "b"}}, 2},
                 {"spaces are kept", " k \t d \n", {{1, " k ", " d "}}},
             },
             TextEncoding::Utf8);
}

TEST(TsvReader, ShiftJisTrailBytesAreNotBackslashes)
{
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C: read byte by byte, "ソn" would
    // become ソ's lead byte and a line feed.
    RunCases(ListFormat::Tsv,
             {
                 {"trail byte before n", "\x95\x5C\t\x83\x5Cn", {{1, "\x95\x5C", "\x83\x5Cn"}}},
                 {"trail byte before an escape", "k\t\x95\x5C\\\\\\n",
                  {{1, "k", "\x95\x5C\\\n"}}},
                 {"half-width katakana are single bytes", "k\t\xB1\\n", {{1, "k", "\xB1\n"}}},
             },
             TextEncoding::ShiftJis);
}

TEST(CsvReader, QuotingAsRfc4180)
{
    RunCases(ListFormat::Csv,
             {
                 {"plain CRLF", "a,b\r\nc,d\r\n", {{1, "a", "b"}, {2, "c", "d"}}},
                 {"lone CRs end records", "a,b\rc,d\r", {{1, "a", "b"}, {2, "c", "d"}}},
                 {"lone CR in quotes is kept and counted", "k,\"x\ry\"\rz,w\r",
                  {{1, "k", "x\ry"}, {3, "z", "w"}}},
                 {"comma in quotes", "\"a,b\",c", {{1, "a,b", "c"}}},
                 {"doubled quotes", "k,\"say \"\"hi\"\"\"\n", {{1, "k", "say \"hi\""}}},
                 {"line break in quotes", "k,\"l1\nl2\"\nnext,x\n",
                  {{1, "k", "l1\nl2"}, {3, "next", "x"}}},
                 {"CRLF in quotes is kept", "k,\"a\r\nb\"\r\n", {{1, "k", "a\r\nb"}}},
                 {"empty quoted Key", "\"\",x\n", {{1, "", "x"}}},
                 {"one field: empty Data", "word\n", {{1, "word", ""}}},
                 {"blank lines", "\n\r\na,b\n\n", {{3, "a", "b"}}},
                 {"empty trailing fields", "k,d,,\n", {{1, "k", "d"}}},
                 {"backslashes are plain", "k,a\\nb", {{1, "k", "a\\nb"}}},
                 {"Shift-JIS bytes pass", "\x95\x5C,\x83\x5C", {{1, "\x95\x5C", "\x83\x5C"}}},
                 {"three fields", "a,b\nk,d,e\n", {{1, "a", "b"}}, 2},
                 {"a great many empty fields", "k,d" + std::string(100000, ',') + "\nx,y",
                  {{1, "k", "d"}, {2, "x", "y"}}},
                 {"a field far past the Data", "k,d" + std::string(100000, ',') + "\"\"\"\"\n",
                  {}, 1},
                 {"unclosed quote names its line", "a,b\nk,\"open\nmore\n", {{1, "a", "b"}}, 2},
                 {"text after closing quote", "k,\"a\"b\n", {}, 1},
                 {"quote inside a plain field", "x,y\nk,a\"b\n", {{1, "x", "y"}}, 2},
             },
             TextEncoding::Utf8);
}

// Flash-card exports: header lines choose the separator, the columns of the
// Key and Data and whether fields are HTML; without them a list reads as
// before.
TEST(FlashcardReader, HeaderLinesChooseSeparatorColumnsAndHtml)
{
    struct FlashCase {
        const char* name;
        ListFormat format;
        std::string text;
        Rows want;
        size_t errorLine = 0;
    } cases[] = {
        {"tab and HTML", ListFormat::Tsv,
         "#separator:tab\n#html:true\nfront\tback<br>more &amp; &lt;i&gt;<b>bold</b>\n",
         {{3, "front", "back\nmore & <i>bold"}}},
        {"references", ListFormat::Tsv, "#html:true\nk\t&#x41;&#66;&nbsp;&quot;&bogus; a < b\n",
         {{2, "k", "AB \"&bogus; a < b"}}},
        // Every named reference of HTML, two of them a letter and a mark;
        // hex digits in either case; a surrogate names no character.
        {"named and numbered references", ListFormat::Tsv,
         "#html:true\nk\t&mdash;&hellip;&rarr;&#xFF21;&#xff41;&#xD800;&NotEqualTilde;&amp"
         "&CounterClockwiseContourIntegral;\n", // the longest name, ∳
         {{2, "k", "\xE2\x80\x94\xE2\x80\xA6\xE2\x86\x92\xEF\xBC\xA1\xEF\xBD\x81&#xD800;"
                   "\xE2\x89\x82\xCC\xB8&amp\xE2\x88\xB3"}}},
        {"many a '&' and '<' that end nothing", ListFormat::Tsv,
         "#html:true\nk\t" + std::string(100000, '&') + std::string(1000, '<') + "a\n",
         {{2, "k", std::string(100000, '&') + std::string(1000, '<') + "a"}}},
        {"semicolon by name, no HTML, extra column ignored", ListFormat::Tsv,
         "#separator:Semicolon\n#html:false\na;b<br>;extra\n", {{3, "a", "b<br>"}}},
        {"pipe; marked columns hold no field", ListFormat::Tsv,
         "#separator:|\n#notetype column:1\n#deck column:2\nBasic|Deck|k|d|tags\n",
         {{4, "k", "d"}}},
        {"comma, quoting, CRLF, other lines skipped", ListFormat::Tsv,
         "#separator:comma\r\n#columns:Front,Back\r\n#deck:Default\r\n#tags column:1\r\n"
         "t,\"a,1\",\"b\"\"\"\r\n",
         {{5, "a,1", "b\""}}},
        {"space", ListFormat::Tsv, "#separator:space\nk d\n", {{2, "k", "d"}}},
        {"the format's separator when none is named", ListFormat::Csv, "#html:true\nk,d\n",
         {{2, "k", "d"}}},
        {"asked for without header lines", ListFormat::Flashcards, "k\td<br>e\tx\n",
         {{1, "k", "d<br>e"}}},
        {"a Key that starts with # is no header", ListFormat::Tsv, "#1 hit\tdata\n",
         {{1, "#1 hit", "data"}}},
        {"unknown separator", ListFormat::Tsv, "#html:true\n#separator:slash\nk\td\n", {}, 2},
        {"html neither true nor false", ListFormat::Tsv, "#html:yes\nk\td\n", {}, 1},
        {"column without a number", ListFormat::Tsv, "#deck column:two\nk\td\n", {}, 1},
    };
    for (const FlashCase& c : cases) {
        Outcome o = Read(c.format, c.text);
        EXPECT_EQ(Show(o.rows), Show(c.want)) << c.name << ": " << Visible(c.text);
        EXPECT_EQ(o.result.Ok, c.errorLine == 0) << c.name << ": " << o.result.Message;
        EXPECT_EQ(o.result.Line, c.errorLine) << c.name << ": " << o.result.Message;
    }
}

// EDICT and EDICT2 lines: every writing and reading a Key, the line's head
// and its glosses the Data.
TEST(EdictReader, EveryWritingAndReadingIsAKey)
{
    // 日本, にほん, 日ノ本, にっぽん, 水, みず, ４°, しど in UTF-8.
    const std::string nihon = "\xE6\x97\xA5\xE6\x9C\xAC", hiragana = "\xE3\x81\xAB\xE3\x81\xBB\xE3\x82\x93";
    const std::string hinomoto = "\xE6\x97\xA5\xE3\x83\x8E\xE6\x9C\xAC";
    const std::string nippon = "\xE3\x81\xAB\xE3\x81\xA3\xE3\x81\xBD\xE3\x82\x93";
    const std::string mizu = "\xE6\xB0\xB4", mizuKana = "\xE3\x81\xBF\xE3\x81\x9A";
    const std::string marks = "\xE3\x80\x80\xEF\xBC\x9F\xEF\xBC\x9F\xEF\xBC\x9F"; // 　？？？
    const std::string header = marks + " /EDICT, EDICT_SUB(P)/Created: 2021-02-03/\n";
    const std::string four = "\xEF\xBC\x94\xC2\xB0", shido = "\xE3\x81\x97\xE3\x81\xA9";
    const std::string edict2Head = nihon + "(P);" + hinomoto + " [" + hiragana + "(P);" + nippon +
                                   ";" + hiragana + "(" + nihon + ")]";
    // 後ろ;後 [うしろ(後ろ;後);あと(後)]
    const std::string ushiro2 = "\xE5\xBE\x8C\xE3\x82\x8D", ato = "\xE5\xBE\x8C";
    const std::string ushiro = "\xE3\x81\x86\xE3\x81\x97\xE3\x82\x8D", atoKana = "\xE3\x81\x82\xE3\x81\xA8";
    const std::string restricted = ushiro2 + ";" + ato + " [" + ushiro + "(" + ushiro2 + ";" + ato + ");" +
                                   atoKana + "(" + ato + ")]";
    RunCases(ListFormat::Edict,
             {
                 {"EDICT, the description line out", header + nihon + " [" + hiragana + "] /(n) Japan/(P)/\n",
                  {{2, nihon, nihon + " [" + hiragana + "]\n(n) Japan\n(P)"},
                   {2, hiragana, nihon + " [" + hiragana + "]\n(n) Japan\n(P)"}}},
                 {"kana alone, CRLF, blank lines", "\r\n" + mizuKana + " /(n) water/\r\n",
                  {{2, mizuKana, mizuKana + "\n(n) water"}}},
                 {"EDICT2: markers off the Keys, the entry number out",
                  edict2Head + " /(n) Japan/EntL1582710X/",
                  {{1, nihon, edict2Head + "\n(n) Japan"},
                   {1, hinomoto, edict2Head + "\n(n) Japan"},
                   {1, hiragana, edict2Head + "\n(n) Japan"},
                   {1, nippon, edict2Head + "\n(n) Japan"}}},
                 {"no gloss at all", four + " [" + shido + "] /",
                  {{1, four, four + " [" + shido + "]"}, {1, shido, four + " [" + shido + "]"}}},
                 {"the description line only counts first", mizu + " /w/\n" + header,
                  {{1, mizu, mizu + "\nw"},
                   {2, marks, marks + "\nEDICT, EDICT_SUB(P)\nCreated: 2021-02-03"}}},
                 {"a line of another shape", mizu + " /w/\n" + mizu + "\tmizu\n", {{1, mizu, mizu + "\nw"}}, 2},
                 {"a reading never closed", mizu + " [" + mizuKana + " /w/\n", {}, 1},
                 {"no space before the glosses", mizu + " [" + mizuKana + "]/w/\n", {}, 1},
                 {"an empty reading", mizu + " [] /w/\n", {}, 1},
                 {"a writing in parentheses", "(" + mizu + ") [" + mizuKana + "] /(int) lol/",
                  {{1, "(" + mizu + ")", "(" + mizu + ") [" + mizuKana + "]\n(int) lol"},
                   {1, mizuKana, "(" + mizu + ") [" + mizuKana + "]\n(int) lol"}}},
                 // A reading kept for some writings: the ';' between them
                 // ends no reading.
                 {"EDICT2: a restricted reading", restricted + " /behind/",
                  {{1, ushiro2, restricted + "\nbehind"}, {1, ato, restricted + "\nbehind"},
                   {1, ushiro, restricted + "\nbehind"}, {1, atoKana, restricted + "\nbehind"}}},
             },
             TextEncoding::Utf8);

    struct ShapeCase {
        std::string text;
        bool edict;
    } shapes[] = {
        {header + "\xC6\xFC\xCB\xDC [\xA4\xCB\xA4\xDB\xA4\xF3] /(n) Japan/\n", true}, // EUC-JP
        {"\n" + mizuKana + " /(n) water/\r\n", true},
        {"apple\tred /fruit/\n", false},     // a TSV line
        {"k /a/,b/\n", true},                 // no tab, ends in a slash
        {"k /a/\nk\td\n", false},            // only while every line has the shape
        {"see /usr/bin/ for it\n", false},  // a slash that starts no gloss list
        {"#separator:tab\n", false},
        {"", false},
    };
    for (const ShapeCase& c : shapes)
        EXPECT_EQ(LooksLikeEdict(c.text), c.edict) << Visible(c.text);
}

TEST(EijiroReader, LinesOfOneHeadwordAreOneEntry)
{
    // ■abandon  {他動-1} : 〔計画を〕断念する◆【用法】注■・They abandoned it. 彼らは断念した。
    // ■abandon  {他動-2} : 見捨てる堰檗 (堰 ends in 0x81 and 檗 starts with 0x9F: not a ◆)
    // ■Polish  {形} : ポーランドの / ■polish  {他動} : 磨く / ■No.1 : 第１位、①、㈱、Ⅰ
    // ■a : b : c, then ■abandon again, in code page 932.
    const std::string label1 = "{\x91\xBC\x93\xAE-1} : \x81k\x8Cv\x89\xE6\x82\xF0\x81l\x92" "f\x94O\x82\xB7\x82\xE9";
    const std::string note = "\x81\x9F\x81y\x97p\x96@\x81z\x92\x8D";
    const std::string example = "\x81\xA1\x81" "EThey abandoned it. \x94\xDE\x82\xE7\x82\xCD\x92" "f\x94O\x82\xB5\x82\xBD\x81" "B";
    const std::string label2 = "{\x91\xBC\x93\xAE-2} : \x8C\xA9\x8E\xCC\x82\xC4\x82\xE9\x89\x81\x9F@";
    const std::string polishUpper = "{\x8C`} : \x83|\x81[\x83\x89\x83\x93\x83h\x82\xCC";
    const std::string polishLower = "{\x91\xBC\x93\xAE} : \x96\x81\x82\xAD";
    const std::string nec = "\x91\xE6\x82P\x88\xCA\x81" "A\x87@\x81" "A\x87\x8A\x81" "A\x87T";
    const std::string mark = "\x81\xA1";
    const std::string text = mark + "abandon  " + label1 + note + example + "\r\n" + mark +
                             "abandon  " + label2 + "\r\n\r\n" + mark + "Polish  " + polishUpper +
                             "\r\n" + mark + "polish  " + polishLower + "\r\n" + mark +
                             "No.1 : " + nec + "\r\n" + mark + "a : b : c\r\n" + mark +
                             "abandon : x\r\n";
    RunCases(ListFormat::Eijiro,
             {
                 {"Shift-JIS", text,
                  {{1, "abandon", label1 + "\n" + note + "\n" + example + "\n" + label2},
                   {4, "Polish", polishUpper},
                   {5, "polish", polishLower},
                   {6, "No.1", nec},
                   {7, "a", "b : c"},
                   {8, "abandon", "x"}}},
                 {"a line without its mark", mark + "a : b\nb : c\n", {}, 2},
                 {"a line without \" : \"", mark + "a {b}\n", {}, 1},
             },
             TextEncoding::ShiftJis);
    // ■a  {名} : b◆c, in UTF-8.
    RunCases(ListFormat::Eijiro,
             {{"UTF-8", "\xE2\x96\xA0" "a  {\xE5\x90\x8D} : b\xE2\x97\x86" "c\n",
               {{1, "a", "{\xE5\x90\x8D} : b\n\xE2\x97\x86" "c"}}}},
             TextEncoding::Utf8);
    EXPECT_TRUE(LooksLikeEijiro(text));
    EXPECT_TRUE(LooksLikeEijiro("\xE2\x96\xA0" "a : b\n"));
    EXPECT_FALSE(LooksLikeEijiro(mark + "a : b\nplain line\n"));
    EXPECT_FALSE(LooksLikeEijiro(mark + "a : b\tc\n")); // a TSV line
    EXPECT_FALSE(LooksLikeEijiro(""));
}

TEST(PdicReader, MeaningLineBreaksAndExample)
{
    // りんご and 林檎 in code page 932; 表 ends in a backslash byte.
    RunCases(ListFormat::Pdic,
             {
                 {"line break and example", "apple /// \x82\xE8\x82\xF1\x82\xB2 \\ \x97\xD1\x8C\xE7 / an apple a day / more\r\n",
                  {{1, "apple", "\x82\xE8\x82\xF1\x82\xB2\n\x97\xD1\x8C\xE7\nan apple a day / more"}}},
                 {"a trail byte is no backslash", "k /// \x95\\ x\n\nk /// y\n",
                  {{1, "k", "\x95\\ x"}, {3, "k", "y"}}},
                 {"a line without \" /// \"", "a /// b\nc // d\n", {{1, "a", "b"}}, 2},
             },
             TextEncoding::ShiftJis);
    EXPECT_TRUE(LooksLikePdic("a /// b\n\nc /// d"));
    EXPECT_FALSE(LooksLikePdic("a /// b\tc\n"));
    EXPECT_FALSE(LooksLikePdic("a // b\n"));
}

TEST(KanjidicReader, ReadingsMeaningsStrokesAndGrade)
{
    // 水 3F65 ... スイ みず みず- T1 うず ず {water}; 亜 with grade 8; 〆 with neither.
    const std::string sui = "\xE3\x82\xB9\xE3\x82\xA4", mizu = "\xE3\x81\xBF\xE3\x81\x9A";
    const std::string uzu = "\xE3\x81\x86\xE3\x81\x9A", comma = "\xE3\x80\x81";
    const std::string text = "# KANJIDIC JIS X 0208 Kanji Information File/\n"
                             "\xE6\xB0\xB4 3F65 U6c34 B85 G1 S4 S5 XJ0 F223 Yshui3 " + sui + " " + mizu +
                             " " + mizu + "- T1 " + uzu + " T2 " + mizu + " {water} {Wednesday} \n"
                             "\xE4\xBA\x9C 3021 U4e9c G8 S7 \xE3\x82\xA2 {Asia}\n"
                             "\xE3\x80\x86 3026 U3006 {seal}\n";
    RunCases(ListFormat::Kanjidic,
             {
                 {"three kanji", text,
                  {{2, "\xE6\xB0\xB4", sui + "\n" + mizu + comma + mizu + "-\nnames: " + uzu +
                                         "\nwater\nWednesday\n4 strokes, grade 1"},
                   {3, "\xE4\xBA\x9C", "\xE3\x82\xA2\nAsia\n7 strokes, secondary school"},
                   {4, "\xE3\x80\x86", "seal"}}},
                 {"a line of another shape", "\xE6\xB0\xB4 3F65 {water}\nx y\n", {{1, "\xE6\xB0\xB4", "water"}}, 2},
             },
             TextEncoding::Utf8);
    EXPECT_TRUE(LooksLikeKanjidic(text));
    EXPECT_TRUE(LooksLikeKanjidic("\xBF\xE5 3F65 U6c34 {water}\n")); // EUC-JP
    EXPECT_FALSE(LooksLikeKanjidic("# comment\nword\tdata\n"));
    EXPECT_FALSE(LooksLikeKanjidic("apple 12345 x\n"));
}

TEST(DslReader, CardsHeadwordsAndBodies)
{
    const std::string header = "#NAME \"Test\"\n#INDEX_LANGUAGE \"English\"\n\n";
    RunCases(ListFormat::Dsl,
             {
                 {"two headword lines, tags and indentation",
                  header + "Colour\ncolor\n\t[m1][p]noun[/p][/m]\n\t[m2][trn]a hue[/trn] [com](see <<hue>>)[/com][/m]\n"
                           "\t[m3][c blue]\xE2\x80\xA2[/c] Syn: <<tint>>\n",
                  {{4, "colour", "Colour; color\n  noun\n    a hue (see hue)\n      \xE3\x83\xBB Syn: tint"},
                   {4, "color", "Colour; color\n  noun\n    a hue (see hue)\n      \xE3\x83\xBB Syn: tint"}}},
                 {"unsorted and optional parts, ~, comments, escapes, media",
                  "{to }go(es)\n\t~ away{{a comment}} \\[sic\\] \\~[s]go.wav[/s][video]v.mp4[/video]\n"
                  " [ref]went[/ref]\n\t[s]only.wav[/s]\n",
                  {{1, "go", "to go(es)\ngoes away [sic] ~\nwent"},
                   {1, "goes", "to go(es)\ngoes away [sic] ~\nwent"}}},
                 {"subentries are entries of their own",
                  "run\n\tto move fast\n\t@ run out\n\t[m1]to end[/m]\n\t@\n\tmore of run\nwalk\n\tto go on foot\n",
                  {{1, "run out", "  to end"}, {1, "run", "to move fast\nmore of run"}, {7, "walk", "to go on foot"}}},
                 {"a body line first", "\tbody\nword\n\tx\n", {}, 1},
             },
             TextEncoding::Utf8);
}

// A pipe may be a Shift-JIS trail byte: ポ is 0x83 0x7C.
TEST(FlashcardReader, ShiftJisTrailBytesAreNotSeparators)
{
    Outcome o = Read(ListFormat::Tsv, "#separator:pipe\n\x83\x7C|x\n", TextEncoding::ShiftJis);
    EXPECT_EQ(Show(o.rows), Show({{2, "\x83\x7C", "x"}}));
}

TEST(ListWriter, TsvRefusesKeysItCannotCarry)
{
    for (const char* key : {"a\tb", "a\nb", "a\r"}) {
        std::string out;
        EXPECT_FALSE(AppendTsvRecord(out, key, "d", TextEncoding::Utf8)) << Visible(key);
        EXPECT_EQ(out, "");
    }
    std::string out;
    ASSERT_TRUE(AppendTsvRecord(out, "\x95\x5C", "\x83\x5C\\\n", TextEncoding::ShiftJis));
    EXPECT_EQ(Visible(out), Visible("\x95\x5C\t\x83\x5C\\\\\\n\n"));
}

// Random entries built from the troublesome pieces go through a writer and
// its reader unchanged.
TEST(ListWriter, RandomEntriesComeBackUnchanged)
{
    const std::vector<std::string> pieces = {"a", "Z", " ",  ",",  "\"", "\\", "\\n", "\t",
                                             "\n", "\r", "\r\n", "\x95\x5C" /* 表 */,
                                             "\x83\x5C" /* ソ */, "\xB1" /* ｱ */};
    const std::vector<std::string> keyPieces = {"a", "Z", " ", ",", "\"", "\\", "\\n",
                                                "\x95\x5C", "\x83\x5C"};
    std::mt19937 rng(42);
    auto make = [&](const std::vector<std::string>& from) {
        std::string s;
        int n = 1 + int(rng() % 6);
        for (int i = 0; i < n; i++)
            s += from[rng() % from.size()];
        return s;
    };
    for (int round = 0; round < 300; round++) {
        Rows want;
        std::string csv, tsv;
        for (size_t line = 1; line <= 5; line++) {
            std::string csvKey = make(pieces), tsvKey = make(keyPieces), data = make(pieces);
            AppendCsvRecord(csv, csvKey, data);
            ASSERT_TRUE(AppendTsvRecord(tsv, tsvKey, data, TextEncoding::ShiftJis));
            want.emplace_back(line, csvKey, data);
        }
        Outcome fromCsv = Read(ListFormat::Csv, csv);
        ASSERT_TRUE(fromCsv.result.Ok) << fromCsv.result.Message << ": " << Visible(csv);
        Rows gotCsv = fromCsv.rows;
        for (auto& r : gotCsv)
            std::get<0>(r) = 0;
        Rows wantCsv = want;
        for (auto& r : wantCsv)
            std::get<0>(r) = 0;
        ASSERT_EQ(Show(gotCsv), Show(wantCsv)) << Visible(csv);

        for (const auto& [line, key, data] : want)
            ASSERT_EQ(Visible(HtmlToText(TextToHtml(data), TextEncoding::Utf8)), Visible(data));

        Outcome fromTsv = Read(ListFormat::Tsv, tsv, TextEncoding::ShiftJis);
        ASSERT_TRUE(fromTsv.result.Ok) << fromTsv.result.Message;
        ASSERT_EQ(fromTsv.rows.size(), want.size()) << Visible(tsv);
        for (size_t i = 0; i < want.size(); i++) {
            ASSERT_EQ(std::get<0>(fromTsv.rows[i]), i + 1) << Visible(tsv);
            ASSERT_EQ(Visible(std::get<2>(fromTsv.rows[i])), Visible(std::get<2>(want[i])))
                << Visible(tsv);
        }
    }
}

} // namespace

// What the program's Open dialogs rely on: a reason it can word itself for
// each source that gives no table, a cancel that ends any reading, and the
// gathered entries as a table in Key order.
TEST(ImportSource, FailureKindsCancelAndTheTableBuilt)
{
    ScratchFolder folder = ScratchFolder::Fresh("import-source");
    std::string noise;
    std::mt19937 rng(22);
    for (int i = 0; i < 4096; i++)
        noise += char(rng());
    std::string many;
    for (int i = 0; i < 5000; i++)
        many += "key" + std::to_string(i) + "\tdata\n";
    folder.Write("noise.csv", noise);
    folder.Write("empty.txt", "");
    folder.Write("blank.tsv", "\tno key\nno data\t\n");
    folder.Write("words", "apple,red\n");
    folder.Write("open.csv", "apple,\"never closed\n");
    folder.Write("many.tsv", many);
    folder.Write("words.csv", "pear,green\napple,red\npear,again\n");
    folder.Write("a.out", std::string("\x7F" "ELF\0\xFF\x80", 7));
    folder.Write("latin.tsv", "a\tb\ncaf\xE9\n");
    folder.Write("wn_abrv.dsl", "adj.\n\tadjective\n");
    folder.Write("odd.tsv", std::string("\xFF\xFE" "a\0\t\0b\0\n", 9));
    folder.Write("wn.dsl.dz", "not compressed");
    std::string eijiro; // in code page 932, as EIJIRO comes
    for (int i = 0; i < 5000; i++)
        eijiro += "\x81\xA1word" + std::to_string(i) + " : \x8C\xEA\n";
    folder.Write("eijiro.txt", eijiro);
    struct {
        const char* file;
        bool cancel;
        SourceFailure want;
    } cases[] = {
        {"empty.txt", false, SourceFailure::NoEntries},
        {"blank.tsv", false, SourceFailure::NoEntries},
        {"words", false, SourceFailure::UnknownFormat},
        {"open.csv", false, SourceFailure::Malformed},
        {"missing.csv", false, SourceFailure::Unreadable},
        {"many.tsv", true, SourceFailure::Cancelled},
        {"many.tsv", false, SourceFailure::None},
        {"words.csv", false, SourceFailure::None},
        {"noise.csv", false, SourceFailure::UnknownFormat}, // binary: zero bytes
        {"a.out", false, SourceFailure::UnknownFormat},
        {"latin.tsv", false, SourceFailure::NotText},
        {"wn_abrv.dsl", false, SourceFailure::UnknownFormat},
        {"odd.tsv", false, SourceFailure::NotText},
        {"wn.dsl.dz", false, SourceFailure::Malformed},
        {"eijiro.txt", true, SourceFailure::Cancelled},
        {"eijiro.txt", false, SourceFailure::None},
    };
    for (const auto& c : cases) {
        SourceOptions options;
        options.Path = folder.Path(c.file);
        uint64_t lastPlace = 0, places = 0;
        int calls = 0;
        options.Progress = [&](uint64_t place, uint64_t of) {
            EXPECT_GE(place, lastPlace) << c.file;
            lastPlace = place;
            places = of;
            return !(c.cancel && ++calls == 2);
        };
        ImportedSource source;
        std::string failure;
        bool read = ReadSource(options, source, failure);
        EXPECT_EQ(read, c.want == SourceFailure::None) << c.file << ": " << failure;
        EXPECT_EQ(int(source.failure), int(c.want)) << c.file << ": " << failure;
        if (c.cancel) {
            EXPECT_EQ(source.entries->Entries(), 1024u) << c.file << ": read on after the cancel";
        }
        if ((std::string(c.file) == "many.tsv" || std::string(c.file) == "eijiro.txt") && read) {
            EXPECT_EQ(places, 5001u) << "the lines a list has, to show progress against";
        }
    }

    SourceOptions options;
    options.Path = folder.Path("words.csv");
    ImportedSource source;
    std::string failure;
    ASSERT_TRUE(ReadSource(options, source, failure)) << failure;
    CEntryTable table;
    ASSERT_TRUE(BuildGatheredTable(*source.entries, table, nullptr));
    Rows rows;
    table.ForEachEntry([&](const Entry& e) { rows.emplace_back(0, e.Key, e.Data); });
    EXPECT_EQ(rows, (Rows{{0, "apple", "red"}, {0, "pear", "green"}})) << Show(rows);
}
