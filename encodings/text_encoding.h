// The two encodings a word list may come in, and conversion between UTF-8
// and code page 932 (Shift-JIS as Windows has it), the bytes a table holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

// EUC-JP and UTF-16 are only read, and turned into UTF-8 before a list is
// (euc_jp.h, utf16.h).
enum class TextEncoding { Utf8, ShiftJis, EucJp, Utf16Le, Utf16Be };

// "utf-8", "utf8", "sjis", "shift-jis", "shift_jis", "cp932", "euc-jp",
// "eucjp", "euc_jp", "utf-16le", "utf16le", "utf-16be", "utf16be" (any case).
std::optional<TextEncoding> ParseEncodingName(std::string_view name);
const char* EncodingName(TextEncoding encoding);

// How many bytes from text[i] on are ASCII, eight at a time: most of a list
// or a dictionary is, and a test per byte showed in an import.
inline size_t AsciiRun(const char* text, size_t i, size_t size)
{
    size_t start = i;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, text + i, 8);
        if (word & 0x8080808080808080u)
            break;
    }
    while (i < size && static_cast<unsigned char>(text[i]) < 0x80)
        i++;
    return i - start;
}

// Where a text stops being valid in an encoding.
struct TextFault {
    size_t Offset = 0; // byte offset of the first byte that is wrong
    size_t Line = 0;   // 1-based line of that byte
};

// Checks the whole text; std::nullopt when every byte is in place. UTF-8
// refuses overlong forms, surrogates and code points above U+10FFFF; Shift-JIS
// accepts only the codes that code page 932 assigns.
std::optional<TextFault> FindUtf8Fault(std::string_view text);
std::optional<TextFault> FindShiftJisFault(std::string_view text);

bool HasUtf8Bom(std::string_view text);

enum class DetectOutcome { Utf8, Utf8WithBom, ShiftJis, Utf16, Neither };
// A byte-order mark decides; otherwise valid UTF-8 is UTF-8 (plain ASCII
// included) and valid Shift-JIS is Shift-JIS.
DetectOutcome DetectEncoding(std::string_view text);

// Length of the character that starts at text[i] in code page 932: 2 for a
// lead byte that has a byte after it, else 1. Scanners step with this so that
// a trail byte such as the 0x5C of "表" is never taken for a backslash.
inline size_t ShiftJisCharLength(std::string_view text, size_t i)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return lead && i + 1 < text.size() ? 2 : 1;
}

struct ConvertResult {
    bool Ok = true;
    size_t Offset = 0;      // where the conversion stopped, in the input
    uint32_t CodePoint = 0; // UTF-8 to cp932: the character without a code
};

// Appends the code-page-932 form of valid UTF-8 text to out. Fails on the
// first character without a code, naming it.
ConvertResult Utf8ToCp932(std::string_view utf8, std::string& out);

// The same, writing for each character without a code the look-alike that
// Windows chooses (à as a), or '?' where it has none. Returns how many
// characters were so replaced.
size_t Utf8ToCp932BestFit(std::string_view utf8, std::string& out);

// Both, writing at `to` (room for as many bytes as the text has: no
// character takes more in code page 932 than in UTF-8) and advancing it, for
// a caller that converts straight into memory of its own. On failure `to`
// has moved past the part converted.
ConvertResult Utf8ToCp932(std::string_view utf8, char*& to);
size_t Utf8ToCp932BestFit(std::string_view utf8, char*& to);

// How many characters of valid UTF-8 text have no code in code page 932.
size_t CountUnencodable(std::string_view utf8);

// Appends the UTF-8 form of code-page-932 text to out. Fails at the first
// byte that is not an assigned code; with exact set, also at a code that
// would come back from UTF-8 as a different code (one of the duplicate
// codes of the NEC and IBM extensions), so that the result converts back to
// the very same bytes.
ConvertResult Cp932ToUtf8(std::string_view cp932, std::string& out, bool exact);

// Lenient form for showing text on a terminal: bytes without a character
// become U+FFFD.
std::string Cp932ToUtf8Lossy(std::string_view cp932);
// And back again for a terminal that speaks code page 932: characters
// without a code become '?'.
std::string Utf8ToCp932Lossy(std::string_view utf8);

// Line breaks as the list readers count them: LF, CRLF and a lone CR. No
// byte of them can be a Shift-JIS trail byte.
size_t CountLineBreaks(std::string_view text);

// Whether code-page-932 text has half-width katakana between two Latin
// letters, as in "Stra\xDFe": what a Latin-1 text read as Shift-JIS looks
// like, and hardly ever real Japanese. Returns the offset of the first such
// katakana, or npos.
size_t FindKatakanaInsideLatinWord(std::string_view cp932);

// Byte strings equal but for the case of ASCII letters.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The UTF-8 bytes of one code point.
void AppendUtf8(uint32_t codePoint, std::string& out);

// The code point of the valid UTF-8 sequence at text[i], and its length (a
// sequence cut by the end of the text is taken as far as it goes).
size_t DecodeUtf8At(std::string_view text, size_t i, uint32_t& codePoint);
// "U+301C".
std::string CodePointName(uint32_t codePoint);
