#include "encodings/text_encoding.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/cp932_text.h"
#include "encodings/cp932_tables.h"

namespace {

// Direct lookup tables built once from the generated pairs: a conversion of
// a large list looks up every character, and a binary search per character
// would dominate an import.
struct Cp932Maps {
    std::vector<uint16_t> toUnicode; // by (lead << 8 | trail); 0 = unassigned
    std::vector<uint16_t> fromUnicode; // by code point; 0xFFFF = no code
    Cp932Maps() : toUnicode(0x10000, 0), fromUnicode(0x10000, 0xFFFF)
    {
        for (size_t i = 0; i < Cp932DoubleByteCount; i++)
            toUnicode[Cp932DoubleByteCodes[i].Code] = Cp932DoubleByteCodes[i].Unicode;
        for (size_t i = 0; i < UnicodeToCp932Count; i++)
            fromUnicode[UnicodeToCp932Codes[i].Unicode] = UnicodeToCp932Codes[i].Code;
    }
};

const Cp932Maps& Maps()
{
    static const Cp932Maps maps;
    return maps;
}


bool IsSingleByteCode(unsigned char c) { return c < 0x80 || (c >= 0xA1 && c <= 0xDF); }

// The code point of the single byte: ASCII, or half-width katakana.
uint32_t SingleByteCodePoint(unsigned char c) { return c < 0x80 ? c : 0xFF61 + (c - 0xA1); }

// One UTF-8 sequence at text[i]: its length, or 0 if it is not a valid one.
// Inlined into the scans of whole lists, where a call per character shows.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline size_t Utf8Sequence(std::string_view text, size_t i, uint32_t& codePoint)
{
    const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + i;
    size_t left = text.size() - i;
    uint32_t c = p[0];
    if (c < 0x80) {
        codePoint = c;
        return 1;
    }
    // One path a length, each with its bytes checked at once: the three-byte
    // path alone carries most Japanese text.
    auto follows = [p](size_t k) { return (p[k] & 0xC0) == 0x80; };
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        if (left < 2 || !follows(1))
            return 0;
        codePoint = (c & 0x1F) << 6 | (p[1] & 0x3F);
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !(follows(1) & follows(2)))
            return 0;
        cp = (c & 0x0F) << 12 | uint32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
        if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))
            return 0;
        codePoint = cp;
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !(follows(1) & follows(2) & follows(3)))
            return 0;
        cp = (c & 0x07) << 18 | uint32_t(p[1] & 0x3F) << 12 | uint32_t(p[2] & 0x3F) << 6 |
             (p[3] & 0x3F);
        if (cp < 0x10000 || cp > 0x10FFFF)
            return 0;
        codePoint = cp;
        return 4;
    }
    return 0;
}

// The length of the sequence at text[i], 1 for a byte that starts none.
size_t Utf8LengthAt(std::string_view text, size_t i)
{
    uint32_t cp;
    size_t n = Utf8Sequence(text, i, cp);
    return n ? n : 1;
}

// The look-alike Windows writes for a character without a code, or '?'.
uint16_t BestFitCode(uint32_t codePoint)
{
    const Cp932Pair* end = Cp932BestFitCodes + Cp932BestFitCount;
    const Cp932Pair* at = std::lower_bound(
        Cp932BestFitCodes, end, codePoint,
        [](const Cp932Pair& p, uint32_t cp) { return p.Unicode < cp; });
    return at != end && at->Unicode == codePoint ? at->Code : uint16_t('?');
}

// Writes the code-page-932 form of UTF-8 text at `to`, which has room for
// as many bytes as the text has, and advances it; stops at the first
// character without a code.
ConvertResult ConvertToCp932(std::string_view utf8, char*& to)
{
    const Cp932Maps& maps = Maps();
    ConvertResult r;
    const char* from = utf8.data();
    size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(from[i]) < 0x80) {
            size_t n = AsciiRun(from, i, utf8.size());
            memcpy(to, from + i, n);
            to += n;
            i += n;
            continue;
        }
        uint32_t cp = 0;
        size_t n = Utf8Sequence(utf8, i, cp);
        uint16_t code = n && cp <= 0xFFFF ? maps.fromUnicode[cp] : 0xFFFF;
        if (code == 0xFFFF) {
            r.Ok = false;
            r.Offset = i;
            r.CodePoint = n ? cp : 0xFFFD;
            break;
        }
        if (code > 0xFF)
            *to++ = char(code >> 8);
        *to++ = char(code & 0xFF);
        i += n;
    }
    return r;
}

TextFault FaultAt(std::string_view text, size_t offset)
{
    TextFault f;
    f.Offset = offset;
    f.Line = 1 + CountLineBreaks(text.substr(0, offset));
    return f;
}

} // namespace

std::optional<TextEncoding> ParseEncodingName(std::string_view name)
{
    std::string n;
    for (char c : name)
        n += char(std::tolower(static_cast<unsigned char>(c)));
    if (n == "utf-8" || n == "utf8")
        return TextEncoding::Utf8;
    if (n == "sjis" || n == "shift-jis" || n == "shift_jis" || n == "cp932")
        return TextEncoding::ShiftJis;
    if (n == "euc-jp" || n == "eucjp" || n == "euc_jp")
        return TextEncoding::EucJp;
    if (n == "utf-16le" || n == "utf16le")
        return TextEncoding::Utf16Le;
    if (n == "utf-16be" || n == "utf16be")
        return TextEncoding::Utf16Be;
    return std::nullopt;
}

const char* EncodingName(TextEncoding encoding)
{
    return encoding == TextEncoding::Utf8       ? "UTF-8"
           : encoding == TextEncoding::ShiftJis ? "Shift-JIS"
           : encoding == TextEncoding::EucJp    ? "EUC-JP"
           : encoding == TextEncoding::Utf16Le  ? "UTF-16LE"
                                                : "UTF-16BE";
}

std::optional<TextFault> FindUtf8Fault(std::string_view text)
{
    size_t i = 0;
    uint32_t cp;
    while (i < text.size()) {
        // Runs of ASCII are the bulk of most lists.
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            i += AsciiRun(text.data(), i, text.size());
            continue;
        }
        size_t n = Utf8Sequence(text, i, cp);
        if (n == 0)
            return FaultAt(text, i);
        i += n;
    }
    return std::nullopt;
}

std::optional<TextFault> FindShiftJisFault(std::string_view text)
{
    const Cp932Maps& maps = Maps();
    size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsSingleByteCode(c)) {
            i++;
            continue;
        }
        if (!cp932::IsLeadByte(c) || i + 1 >= text.size())
            return FaultAt(text, i);
        unsigned code = unsigned(c) << 8 | static_cast<unsigned char>(text[i + 1]);
        if (maps.toUnicode[code] == 0)
            return FaultAt(text, i);
        i += 2;
    }
    return std::nullopt;
}

bool HasUtf8Bom(std::string_view text) { return text.substr(0, 3) == "\xEF\xBB\xBF"; }

DetectOutcome DetectEncoding(std::string_view text)
{
    if (HasUtf8Bom(text))
        return DetectOutcome::Utf8WithBom;
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF")
        return DetectOutcome::Utf16;
    if (!FindUtf8Fault(text))
        return DetectOutcome::Utf8;
    if (!FindShiftJisFault(text))
        return DetectOutcome::ShiftJis;
    return DetectOutcome::Neither;
}

ConvertResult Utf8ToCp932(std::string_view utf8, char*& to) { return ConvertToCp932(utf8, to); }

ConvertResult Utf8ToCp932(std::string_view utf8, std::string& out)
{
    // No character takes more bytes in code page 932 than in UTF-8, a
    // look-alike included: the output is written into room made once.
    size_t start = out.size();
    out.resize(start + utf8.size());
    char* to = &out[start];
    ConvertResult r = ConvertToCp932(utf8, to);
    out.resize(size_t(to - out.data()));
    return r;
}

ConvertResult Cp932ToUtf8(std::string_view cp932, std::string& out, bool exact)
{
    const Cp932Maps& maps = Maps();
    ConvertResult r;
    size_t i = 0;
    while (i < cp932.size()) {
        unsigned char c = static_cast<unsigned char>(cp932[i]);
        if (c < 0x80) {
            out += char(c);
            i++;
            continue;
        }
        if (IsSingleByteCode(c)) {
            AppendUtf8(SingleByteCodePoint(c), out);
            i++;
            continue;
        }
        uint16_t u = 0;
        unsigned code = 0;
        if (cp932::IsLeadByte(c) && i + 1 < cp932.size()) {
            code = unsigned(c) << 8 | static_cast<unsigned char>(cp932[i + 1]);
            u = maps.toUnicode[code];
        }
        if (u == 0 || (exact && maps.fromUnicode[u] != code)) {
            r.Ok = false;
            r.Offset = i;
            r.CodePoint = u;
            return r;
        }
        AppendUtf8(u, out);
        i += 2;
    }
    return r;
}

size_t Utf8ToCp932BestFit(std::string_view utf8, char*& to)
{
    size_t replaced = 0;
    while (!utf8.empty()) {
        ConvertResult r = ConvertToCp932(utf8, to);
        if (r.Ok)
            break;
        replaced++;
        uint16_t code = BestFitCode(r.CodePoint);
        if (code > 0xFF)
            *to++ = char(code >> 8);
        *to++ = char(code & 0xFF);
        utf8.remove_prefix(r.Offset + Utf8LengthAt(utf8, r.Offset));
    }
    return replaced;
}

size_t Utf8ToCp932BestFit(std::string_view utf8, std::string& out)
{
    size_t start = out.size();
    out.resize(start + utf8.size());
    char* to = &out[start];
    size_t replaced = Utf8ToCp932BestFit(utf8, to);
    out.resize(size_t(to - out.data()));
    return replaced;
}

size_t CountUnencodable(std::string_view utf8)
{
    const Cp932Maps& maps = Maps();
    size_t count = 0;
    uint32_t cp;
    for (size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            i++;
            continue;
        }
        size_t n = Utf8Sequence(utf8, i, cp);
        if (n == 0 || cp > 0xFFFF || maps.fromUnicode[cp] == 0xFFFF)
            count++;
        i += n ? n : 1;
    }
    return count;
}

size_t CountLineBreaks(std::string_view text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            count++;
    }
    return count;
}

size_t FindKatakanaInsideLatinWord(std::string_view cp932)
{
    // Nearly every field has no letter byte right before a katakana byte at
    // all: a branch-free pass (which the compiler vectorises) settles those
    // before the character-by-character walk.
    const auto* p = reinterpret_cast<const unsigned char*>(cp932.data());
    unsigned pairs = 0;
    for (size_t i = 0; i + 1 < cp932.size(); i++)
        pairs |= unsigned((p[i] | 0x20u) - 'a' < 26u) & unsigned(p[i + 1] - 0xA1u < 0x3Fu);
    if (!pairs)
        return std::string_view::npos;
    auto isLetter = [](unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    auto isKatakana = [](unsigned char c) { return c >= 0xA1 && c <= 0xDF; };
    bool afterLetter = false;
    size_t runStart = std::string_view::npos;
    for (size_t i = 0; i < cp932.size();) {
        size_t n = ShiftJisCharLength(cp932, i);
        unsigned char c = static_cast<unsigned char>(cp932[i]);
        if (n == 1 && isKatakana(c)) {
            if (afterLetter && runStart == std::string_view::npos)
                runStart = i;
        } else {
            if (n == 1 && isLetter(c) && runStart != std::string_view::npos)
                return runStart;
            afterLetter = n == 1 && isLetter(c);
            runStart = std::string_view::npos;
        }
        i += n;
    }
    return std::string_view::npos;
}

std::string Cp932ToUtf8Lossy(std::string_view cp932)
{
    std::string out;
    while (!cp932.empty()) {
        ConvertResult r = Cp932ToUtf8(cp932, out, false);
        if (r.Ok)
            break;
        AppendUtf8(0xFFFD, out);
        cp932.remove_prefix(r.Offset + 1);
    }
    return out;
}

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
    std::string out;
    while (!utf8.empty()) {
        ConvertResult r = Utf8ToCp932(utf8, out);
        if (r.Ok)
            break;
        out += '?';
        utf8.remove_prefix(r.Offset + Utf8LengthAt(utf8, r.Offset));
    }
    return out;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

size_t DecodeUtf8At(std::string_view text, size_t i, uint32_t& cp)
{
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (i + n > text.size())
        n = text.size() - i;
    cp = n == 1 ? c : c & (0x7F >> n);
    for (size_t k = 1; k < n; k++)
        cp = cp << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    return n;
}

void AppendUtf8(uint32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | cp >> 6);
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | cp >> 12);
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | cp >> 18);
        out += char(0x80 | (cp >> 12 & 0x3F));
        out += char(0x80 | (cp >> 6 & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string CodePointName(uint32_t codePoint)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "U+%04X", unsigned(codePoint));
    return buffer;
}
