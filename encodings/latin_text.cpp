#include "encodings/latin_text.h"

#include <cstdint>

#include "encodings/text_encoding.h"

namespace {

// What Windows-1252 puts at 0x80-0x9F; the five codes it leaves free come
// out as the control characters of the same number, as Windows has them.
const uint16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

uint32_t Windows1252(unsigned char b)
{
    return b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : b;
}

// The lower-case form of a Latin capital, else the character itself.
uint32_t LowerLatin(uint32_t cp)
{
    if (cp < 0x80)
        return cp >= 'A' && cp <= 'Z' ? cp + 0x20 : cp;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7)
        return cp + 0x20;
    if (cp >= 0x100 && cp <= 0x17F) {
        if (cp == 0x130 || cp == 0x138 || cp == 0x149 || cp == 0x17F)
            return cp; // İ, ĸ, ŉ and ſ have no case pair of the same shape
        if (cp == 0x178)
            return 0xFF; // Ÿ
        bool oddCapitals = (cp >= 0x139 && cp <= 0x148) || (cp >= 0x179 && cp <= 0x17E);
        return (cp % 2 == 1) == oddCapitals ? cp + 1 : cp;
    }
    if ((cp >= 0x1E00 && cp <= 0x1E95) || (cp >= 0x1EA0 && cp <= 0x1EFF))
        return cp % 2 == 0 ? cp + 1 : cp;
    return cp;
}


} // namespace

size_t ReadStrayBytesAsWindows1252(std::string_view text, std::string& out)
{
    size_t read = 0;
    while (!text.empty()) {
        std::optional<TextFault> fault = FindUtf8Fault(text);
        size_t valid = fault ? fault->Offset : text.size();
        out.append(text.substr(0, valid));
        if (!fault)
            break;
        AppendUtf8(Windows1252(static_cast<unsigned char>(text[valid])), out);
        read++;
        text.remove_prefix(valid + 1);
    }
    return read;
}

void LowerLatinCase(std::string& utf8)
{
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            if (c >= 'A' && c <= 'Z')
                utf8[i] = char(c + 0x20);
            i++;
            continue;
        }
        uint32_t cp;
        size_t n = DecodeUtf8At(utf8, i, cp);
        uint32_t lower = LowerLatin(cp);
        if (lower != cp) {
            std::string bytes;
            AppendUtf8(lower, bytes);
            if (bytes.size() == n)
                utf8.replace(i, n, bytes);
        }
        i += n;
    }
}

bool EqualsIgnoringLatinCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    if (a == b)
        return true;
    std::string x(a), y(b);
    LowerLatinCase(x);
    LowerLatinCase(y);
    return x == y;
}
