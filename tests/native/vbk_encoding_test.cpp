// Code page 932 conversion and encoding detection for vbk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encodings/cp932_tables.h"
#include "encodings/euc_jp.h"
#include "encodings/latin_text.h"
#include "encodings/text_encoding.h"
#include "encodings/utf16.h"
#include "encodings/x_sampa.h"

namespace {

std::string Utf8Of(uint32_t cp)
{
    std::string s;
    AppendUtf8(cp, s);
    return s;
}

std::string HexOf(const std::string& bytes)
{
    std::string s;
    char b[4];
    for (unsigned char c : bytes) {
        snprintf(b, sizeof b, "%02X ", c);
        s += b;
    }
    return s;
}

TEST(Cp932Conversion, CharactersAndTheirVariantsGetTheirCodes)
{
    struct Case {
        uint32_t cp;
        std::string code;
    } cases[] = {
        {'A', "A"},
        {'\\', "\\"},
        {0xFF71, "\xB1"},           // ｱ half-width katakana
        {0x8868, "\x95\x5C"},       // 表, trail byte 0x5C
        {0x30BD, "\x83\x5C"},       // ソ, trail byte 0x5C
        {0xFF5E, "\x81\x60"},       // ～ FULLWIDTH TILDE
        {0x301C, "\x81\x60"},       // 〜 WAVE DASH, its variant
        {0x2225, "\x81\x61"},       // ∥ PARALLEL TO
        {0x2016, "\x81\x61"},       // ‖ DOUBLE VERTICAL LINE
        {0xFF0D, "\x81\x7C"},       // － FULLWIDTH HYPHEN-MINUS
        {0x2212, "\x81\x7C"},       // − MINUS SIGN
        {0xFFE0, "\x81\x91"},       // ￠
        {0x00A2, "\x81\x91"},       // ¢
        {0xFFE1, "\x81\x92"},       // ￡
        {0x00A3, "\x81\x92"},       // £
        {0xFFE2, "\x81\xCA"},       // ￢
        {0x00AC, "\x81\xCA"},       // ¬
        {0x2015, "\x81\x5C"},       // ― HORIZONTAL BAR
        {0x2014, "\x81\x5C"},       // — EM DASH
        {0x2170, "\xFA\x40"},       // ⅰ: the IBM code, not the NEC-selected 0xEEEF
        {0x2235, "\x81\xE6"},       // ∵: the JIS code of three
        {0xE000, "\xF0\x40"},       // the first user-defined character
    };
    for (const Case& c : cases) {
        std::string out;
        ConvertResult r = Utf8ToCp932(Utf8Of(c.cp), out);
        EXPECT_TRUE(r.Ok) << CodePointName(c.cp);
        EXPECT_EQ(HexOf(out), HexOf(c.code)) << CodePointName(c.cp);
    }
}

TEST(Cp932Conversion, CharacterWithoutCodeIsNamedWithItsOffset)
{
    struct Case {
        std::string text;
        size_t offset;
        uint32_t cp;
    } cases[] = {
        {"caf\xC3\xA9", 3, 0xE9},                     // é
        {"\xE3\x81\x82\xE2\x98\x83", 3, 0x2603},      // あ☃
        {"x\xF0\x9F\x98\x80", 1, 0x1F600},            // an emoji, outside the BMP
        {"\xC2\xA5", 0, 0xA5},                        // ¥ is not taken for a backslash
    };
    for (const Case& c : cases) {
        std::string out;
        ConvertResult r = Utf8ToCp932(c.text, out);
        EXPECT_FALSE(r.Ok) << HexOf(c.text);
        EXPECT_EQ(r.Offset, c.offset) << HexOf(c.text);
        EXPECT_EQ(CodePointName(r.CodePoint), CodePointName(c.cp)) << HexOf(c.text);
    }
}

// Every code the page assigns decodes to a character that encodes back to
// a code for the same character; exact conversion succeeds exactly for the
// codes that come back as themselves.
TEST(Cp932Conversion, TablesAgreeBothWays)
{
    size_t exactCodes = 0;
    for (size_t i = 0; i < Cp932DoubleByteCount; i++) {
        const Cp932Pair& p = Cp932DoubleByteCodes[i];
        std::string code = {char(p.Code >> 8), char(p.Code & 0xFF)};
        std::string utf8, back, again;
        ASSERT_TRUE(Cp932ToUtf8(code, utf8, false).Ok) << HexOf(code);
        ASSERT_EQ(utf8, Utf8Of(p.Unicode)) << HexOf(code);
        ASSERT_TRUE(Utf8ToCp932(utf8, back).Ok) << HexOf(code);
        ASSERT_TRUE(Cp932ToUtf8(back, again, true).Ok) << HexOf(back);
        ASSERT_EQ(again, utf8) << HexOf(code) << "-> " << HexOf(back);
        std::string exact;
        bool isExact = Cp932ToUtf8(code, exact, true).Ok;
        EXPECT_EQ(isExact, back == code) << HexOf(code);
        exactCodes += isExact;
    }
    // 7724 JIS and extension codes less 398 duplicates, plus 1880 user-defined.
    EXPECT_EQ(exactCodes, Cp932DoubleByteCount - 398);
}

TEST(Cp932Conversion, BytesThatAreNotCharacters)
{
    const std::vector<std::string> bad = {
        "\x80", "\xA0", "\xFD", "\xFF",   // single bytes the page leaves unassigned
        "\x82",                            // a lead byte at the end
        "\x85\x40",                        // an unassigned double-byte code
        "ab\x81\x20",                      // a lead byte before a space
    };
    for (const std::string& b : bad) {
        std::string out;
        EXPECT_FALSE(Cp932ToUtf8(b, out, false).Ok) << HexOf(b);
        EXPECT_TRUE(FindShiftJisFault(b).has_value()) << HexOf(b);
    }
    EXPECT_EQ(Cp932ToUtf8Lossy("a\x80" "b"), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(Utf8ToCp932Lossy("a\xE2\x98\x83" "b"), "a?b");
}

TEST(Cp932Conversion, BestFitWritesWindowsLookAlikesElseQuestionMarks)
{
    struct Case {
        std::string text, want;
        size_t replaced;
    } cases[] = {
        {"\xC3\xA0 la carte", "a la carte", 1},              // à
        {"Stra\xC3\x9F" "e", "Strase", 1},                   // ß
        {"fa\xC3\xA7" "ade", "facade", 1},                   // ç
        {"\xC2\xB5", "\x83\xCA", 1},                         // µ as μ, a double-byte code
        {"/\xCB\x88\xC3\xA6p.\xC9\x99l/", "/?ap.?l/", 3},   // ˈæp.əl: æ has a look-alike
        {"\xE2\x98\x83 \xF0\x9F\x98\x80", "? ?", 2},          // ☃ and an emoji
        {"\xE8\xA1\xA8\xE3\x80\x9C", "\x95\x5C\x81\x60", 0},  // 表〜 have codes
    };
    for (const Case& c : cases) {
        std::string out;
        size_t replaced = Utf8ToCp932BestFit(c.text, out);
        EXPECT_EQ(HexOf(out), HexOf(c.want)) << HexOf(c.text);
        EXPECT_EQ(replaced, c.replaced) << HexOf(c.text);
        EXPECT_EQ(CountUnencodable(c.text), c.replaced) << HexOf(c.text);
    }
}

// What a Latin-1 list read as Shift-JIS looks like; Shift-JIS trail bytes
// that happen to be letters do not count as letters.
TEST(Cp932Conversion, KatakanaInsideLatinWords)
{
    struct Case {
        std::string text;
        size_t want;
    } cases[] = {
        {"Stra\xDF" "e", 4},           // Straße in Latin-1: ﾟ between a and e
        {"ab\xB1\xB2" "cd", 2},         // a run of them
        {"\xB1\xB2\xB3", std::string::npos},          // ｱｲｳ alone
        {"a \xB1 b", std::string::npos},               // separate words
        {"word\xB1", std::string::npos},               // at the end
        {"\x83\x41\xB1" "b", std::string::npos},        // after ア, not a letter
        {"x\x95\x61\xB1y", std::string::npos},        // after a kanji whose trail byte is 'a'
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindKatakanaInsideLatinWord(c.text), c.want) << HexOf(c.text);
}

TEST(EncodingDetection, DecidesByMarkThenValidity)
{
    struct Case {
        std::string text;
        DetectOutcome want;
    } cases[] = {
        {"", DetectOutcome::Utf8},
        {"apple\tx\n", DetectOutcome::Utf8},
        {"\xEF\xBB\xBF" "apple", DetectOutcome::Utf8WithBom},
        {"\xE8\xA1\xA8", DetectOutcome::Utf8},                 // 表 in UTF-8
        {"\x95\x5C\t\x83\x5C", DetectOutcome::ShiftJis},       // 表 and ソ in Shift-JIS
        {"\x82\xA0\x82\xA2", DetectOutcome::ShiftJis},         // あい
        {"\xFF\xFEh\0", DetectOutcome::Utf16},
        {"\x80\x80", DetectOutcome::Neither},
        {"\x82", DetectOutcome::Neither},
    };
    for (const Case& c : cases)
        EXPECT_EQ(int(DetectEncoding(c.text)), int(c.want)) << HexOf(c.text);
}

TEST(Utf16, ByteOrdersSurrogatesAndFaults)
{
    struct Case {
        std::string text;
        bool bigEndian;
        std::string utf8; // what comes out before a fault
        bool ok;
        size_t offset;
    } cases[] = {
        {std::string("a\0\x34\x6C", 4), false, "a\xE6\xB0\xB4", true, 0},             // a水
        {std::string("\0a\x6C\x34", 4), true, "a\xE6\xB0\xB4", true, 0},
        {std::string("\x3D\xD8\x00\xDE", 4), false, "\xF0\x9F\x98\x80", true, 0},                   // U+1F600, a pair
        {std::string("\xE9\0\x3D\xD8" "b\0", 6), false, "\xC3\xA9", false, 2},       // é, a lone high surrogate
        {std::string("\x00\xDC", 2), false, "", false, 0},                              // a lone low one
        {std::string("a\0b", 3), false, "a", false, 2},                                  // an odd last byte
    };
    for (const Case& c : cases) {
        std::string out(Utf16Utf8Bound(c.text.size()), '\0');
        size_t written = 0;
        ConvertResult r = Utf16ToUtf8(c.text, c.bigEndian, &out[0], written);
        EXPECT_EQ(HexOf(out.substr(0, written)), HexOf(c.utf8)) << HexOf(c.text);
        EXPECT_EQ(r.Ok, c.ok) << HexOf(c.text);
        if (!c.ok) {
            EXPECT_EQ(r.Offset, c.offset) << HexOf(c.text);
        }
    }
    // Without a mark, where the zero bytes fall tells the order: Cyrillic
    // with a little ASCII among it too; UTF-8 and CJK text say nothing.
    std::string cyrillic;
    for (int i = 0; i < 100; i++)
        cyrillic += i % 6 ? std::string("\x30\x04", 2) : std::string(" \0", 2);
    EXPECT_EQ(Utf16ByZeroBytes(cyrillic), TextEncoding::Utf16Le);
    EXPECT_EQ(Utf16ByZeroBytes(std::string("\0#\0N", 4)), TextEncoding::Utf16Be);
    EXPECT_EQ(Utf16ByZeroBytes("#NAME \"x\""), std::nullopt);
    EXPECT_EQ(Utf16ByZeroBytes("\x34\x6C\x34\x6C"), std::nullopt);
    EXPECT_EQ(Utf16ByBom("\xFE\xFF"), TextEncoding::Utf16Be);
}

TEST(EncodingDetection, FaultsNameLineAndOffset)
{
    struct Case {
        std::string text;
        bool utf8;
        size_t offset, line;
    } cases[] = {
        {"a\nb\n\xFF", true, 4, 3},
        {"\xC0\x80", true, 0, 1},               // overlong NUL
        {"x\xED\xA0\x80", true, 1, 1},          // a surrogate
        {"ok\n\xE3\x81", true, 3, 2},           // cut short at the end
        {"\xF4\x90\x80\x80", true, 0, 1},       // above U+10FFFF
        {"\x95\x5C\n\x85\x40", false, 3, 2},    // 表, then an unassigned code
        {"\x81", false, 0, 1},
        {"a\rb\r\nc\r\xFF", true, 7, 4},         // lone CRs end lines too
        {"a\r\x81", false, 2, 2},
    };
    for (const Case& c : cases) {
        auto f = c.utf8 ? FindUtf8Fault(c.text) : FindShiftJisFault(c.text);
        ASSERT_TRUE(f.has_value()) << HexOf(c.text);
        EXPECT_EQ(f->Offset, c.offset) << HexOf(c.text);
        EXPECT_EQ(f->Line, c.line) << HexOf(c.text);
    }
}

// EUC-JP as it stands in a string, turned into UTF-8; false and the offset
// of the fault where it is not EUC-JP.
std::pair<bool, std::string> FromEucJp(const std::string& euc)
{
    std::string out(EucJpUtf8Bound(euc.size()), '\0');
    size_t written = 0;
    ConvertResult r = EucJpToUtf8(euc, &out[0], written);
    out.resize(written);
    return {r.Ok, r.Ok ? out : std::to_string(r.Offset)};
}

TEST(EucJp, EveryKindOfCodeBecomesUtf8)
{
    struct Case {
        std::string euc;
        bool ok;
        std::string want; // UTF-8, or the offset of the fault
    } cases[] = {
        {"a\tb\n", true, "a\tb\n"},
        {"\xC6\xFC\xCB\xDC", true, "\xE6\x97\xA5\xE6\x9C\xAC"},          // 日本
        {"\xA4\xDF\xA4\xBA", true, "\xE3\x81\xBF\xE3\x81\x9A"},          // みず
        {"\xA1\xC1", true, "\xEF\xBD\x9E"},                             // ～ as code page 932 has it
        {"\x8E\xB1x", true, "\xEF\xBD\xB1x"},                           // ｱ half-width
        {"\x8E\xDF", true, "\xEF\xBE\x9F"},                             // ﾟ, the last half-width
        {"\xAD\xA1", true, "\xE2\x91\xA0"},                             // ① NEC row 13
        {"T\x8F\xAB\xD7ky\x8F\xAB\xD7", true, "T\xC5\x8Dky\xC5\x8D"},   // Tōkyō, JIS X 0212
        {"\x8F\xA2\xB7", true, "\xEF\xBD\x9E"},                         // JIS X 0212 tilde
        {"\x8F\xB0\xA1", true, "\xE4\xB8\x82"},                         // 丂, a JIS X 0212 kanji
        {"ok\x80", false, "2"},                                       // not a lead byte
        {"\xC6\xFC\xC6", false, "2"},                                 // cut short
        {"\xC6\x41", false, "0"},                                     // trail byte out of range
        {"\x8E\xE0", false, "0"},                                     // no such half-width code
        {"\x8F\xA1\xA1", false, "0"},                                 // unassigned in JIS X 0212
        {"\x8F\xAB", false, "0"},
        {"\x8F\xB2\x41", false, "0"},                                 // JIS X 0212 trail out of range
        {"\xA9\xA1", false, "0"},                                     // unassigned row 9
    };
    for (const Case& c : cases) {
        auto [ok, got] = FromEucJp(c.euc);
        EXPECT_EQ(ok, c.ok) << HexOf(c.euc);
        EXPECT_EQ(HexOf(got), HexOf(c.want)) << HexOf(c.euc);
    }
}

// Every row and cell of JIS X 0208 that code page 932 has stands for the
// character of the Shift-JIS code that the usual arithmetic gives it.
TEST(EucJp, JisX0208IsCodePage932ByArithmetic)
{
    size_t decoded = 0;
    for (unsigned j1 = 0x21; j1 <= 0x7E; j1++) {
        for (unsigned j2 = 0x21; j2 <= 0x7E; j2++) {
            std::string euc = {char(j1 | 0x80), char(j2 | 0x80)};
            std::string sjis = {char(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0)),
                                char(j2 + (j1 & 1 ? (j2 < 0x60 ? 0x1F : 0x20) : 0x7E))};
            std::string want;
            bool inPage = Cp932ToUtf8(sjis, want, false).Ok;
            auto [ok, got] = FromEucJp(euc);
            EXPECT_EQ(ok, inPage) << HexOf(euc);
            if (ok) {
                EXPECT_EQ(HexOf(got), HexOf(want)) << HexOf(euc) << "as " << HexOf(sjis);
            }
            decoded += ok;
        }
    }
    // JIS X 0208, NEC row 13 and the NEC-selected IBM rows 89 to 92.
    EXPECT_EQ(decoded, 6879u + 83u + 374u);
}

// What dictionaries need beyond the conversion: their stray Windows-1252
// bytes, Latin capitals, and IPA spelt in ASCII.
TEST(DictionaryText, StrayBytesCaseAndIpa)
{
    struct Stray {
        std::string text, want;
        size_t read;
    } strays[] = {
        {"market\x92s", "market\xE2\x80\x99s", 1},                 // ’
        {"fa\xE7" "ade haven\xB9t", "fa\xC3\xA7" "ade haven\xC2\xB9t", 2}, // ç, ¹
        {"\x81\x80", "\xC2\x81\xE2\x82\xAC", 2},                 // a free code, €
        {"caf\xC3\xA9 \xE9", "caf\xC3\xA9 \xC3\xA9", 1},            // valid é stays
    };
    for (const Stray& c : strays) {
        std::string out;
        EXPECT_EQ(ReadStrayBytesAsWindows1252(c.text, out), c.read) << HexOf(c.text);
        EXPECT_EQ(HexOf(out), HexOf(c.want)) << HexOf(c.text);
    }

    // Run ÉMILE Ÿ İ Ạ Α Þ 2×3 Ňň ZOO
    std::string lower = "Run \xC3\x89MILE \xC5\xB8 \xC4\xB0 \xE1\xBA\xA0 \xCE\x91 \xC3\x9E 2\xC3\x97" "3 "
                        "\xC5\x87\xC5\x88 ZOO";
    LowerLatinCase(lower);
    EXPECT_EQ(HexOf(lower), HexOf("run \xC3\xA9mile \xC3\xBF \xC4\xB0 \xE1\xBA\xA1 \xCE\x91 \xC3\xBE 2\xC3\x97" "3 "
                                  "\xC5\x88\xC5\x88 zoo"));
    EXPECT_TRUE(EqualsIgnoringLatinCase("Jean-\xC3\x89mile", "jean-\xC3\xA9mile"));
    EXPECT_FALSE(EqualsIgnoringLatinCase("emile", "\xC3\xA9mile"));

    struct Ipa {
        std::string text, want;
        size_t written;
    } ipa[] = {
        {"apple //\xCB\x88\xC3\xA6p.\xC9\x99l// <n>", "apple //\"{p.@l// <n>", 3}, // ˈæp.əl
        {"/\xCB\x88\xCE\xB8\xC9\xAA\xC5\x8Bk/", "/\"TINk/", 4},                 // ˈθɪŋk
        {"[t\xCD\xA1\xCA\x83\xC9\xB9\xCB\x90]", "[t_Sr\\:]", 4},               // t͡ʃɹː
        {"/k\xC3\xA6t/ and encyclop\xC3\xA6" "dia", "/k{t/ and encyclop\xC3\xA6" "dia", 1},
        {"\xCE\xB8 and /\xCE\xB8/", "\xCE\xB8 and /\xCE\xB8/", 0}, // Greek alone is no IPA
        {"/p\xCA\x8At/", "/pUt/", 1},                                    // pʊt
        {"si\xC5\x8B", "siN", 1},                                        // siŋ
        {"[k\xC3\xA6t]", "[k{t]", 1},                                    // kæt
        // Words of languages that IPA shares letters with, bracketed.
        {"[gar\xC3\xA7on] /sm\xC3\xB8rrebr\xC3\xB8" "d/", "", 0},      // garçon, smørrebrød
        {"plain text", "plain text", 0},
    };
    for (const Ipa& c : ipa) {
        std::string out = "x";
        size_t written = WriteIpaAsXSampa(c.text, out);
        EXPECT_EQ(written, c.written) << c.text;
        EXPECT_EQ(out, written ? "x" + c.want : "x") << c.text;
    }
}

TEST(EncodingNames, AcceptTheUsualSpellings)
{
    for (const char* n : {"utf-8", "UTF8", "Utf-8"})
        EXPECT_EQ(ParseEncodingName(n), TextEncoding::Utf8) << n;
    for (const char* n : {"sjis", "Shift_JIS", "shift-jis", "CP932"})
        EXPECT_EQ(ParseEncodingName(n), TextEncoding::ShiftJis) << n;
    for (const char* n : {"euc-jp", "EUC_JP", "eucjp"})
        EXPECT_EQ(ParseEncodingName(n), TextEncoding::EucJp) << n;
    for (const char* n : {"utf-16le", "UTF16LE"})
        EXPECT_EQ(ParseEncodingName(n), TextEncoding::Utf16Le) << n;
    for (const char* n : {"utf-16be", "utf16be"})
        EXPECT_EQ(ParseEncodingName(n), TextEncoding::Utf16Be) << n;
    for (const char* n : {"", "latin1", "utf-16"})
        EXPECT_FALSE(ParseEncodingName(n).has_value()) << n;
}

} // namespace
