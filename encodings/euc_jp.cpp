#include "encodings/euc_jp.h"

#include <cstring>
#include <vector>

#include "encodings/cp932_tables.h"

namespace {

// JIS X 0208 by (row - 1) * 94 + (cell - 1), taken from code page 932 once:
// a row and cell are a Shift-JIS code by arithmetic alone.
struct JisX0208Map {
    std::vector<uint16_t> toUnicode;
    JisX0208Map() : toUnicode(94 * 94, 0)
    {
        std::vector<uint16_t> bySjis(0x10000, 0);
        for (size_t i = 0; i < Cp932DoubleByteCount; i++)
            bySjis[Cp932DoubleByteCodes[i].Code] = Cp932DoubleByteCodes[i].Unicode;
        for (unsigned row = 1; row <= 94; row++) {
            for (unsigned cell = 1; cell <= 94; cell++) {
                unsigned lead = (row + 1) / 2 + (row <= 62 ? 0x80 : 0xC0);
                unsigned trail = row % 2 ? cell + (cell <= 63 ? 0x3F : 0x40) : cell + 0x9E;
                toUnicode[(row - 1) * 94 + (cell - 1)] = bySjis[lead << 8 | trail];
            }
        }
    }
};

const std::vector<uint16_t>& JisX0208()
{
    static const JisX0208Map map;
    return map.toUnicode;
}

bool IsCell(unsigned char c) { return c >= 0xA1 && c <= 0xFE; }

char* PutUtf8(uint32_t cp, char* to)
{
    if (cp < 0x800) {
        *to++ = char(0xC0 | cp >> 6);
    } else {
        *to++ = char(0xE0 | cp >> 12);
        *to++ = char(0x80 | (cp >> 6 & 0x3F));
    }
    *to++ = char(0x80 | (cp & 0x3F));
    return to;
}

} // namespace

ConvertResult EucJpToUtf8(std::string_view text, char* out, size_t& written)
{
    const std::vector<uint16_t>& jis0208 = JisX0208();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    ConvertResult r;
    char* to = out;
    size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            // Runs of ASCII go across at once: most of a dictionary's bytes.
            size_t run = i + 1;
            while (run < n && p[run] < 0x80)
                run++;
            std::memcpy(to, p + i, run - i);
            to += run - i;
            i = run;
            continue;
        }
        uint32_t cp = 0;
        size_t length = 0;
        if (IsCell(c) && i + 1 < n && IsCell(p[i + 1])) {
            cp = jis0208[(c - 0xA1) * 94 + (p[i + 1] - 0xA1)];
            length = 2;
        } else if (c == 0x8E && i + 1 < n && p[i + 1] >= 0xA1 && p[i + 1] <= 0xDF) {
            cp = 0xFF61 + (p[i + 1] - 0xA1); // half-width katakana
            length = 2;
        } else if (c == 0x8F && i + 2 < n && IsCell(p[i + 1]) && IsCell(p[i + 2])) {
            cp = JisX0212ToUnicode[(p[i + 1] - 0xA1) * 94 + (p[i + 2] - 0xA1)];
            length = 3;
        }
        if (cp == 0) {
            r.Ok = false;
            r.Offset = i;
            break;
        }
        to = PutUtf8(cp, to);
        i += length;
    }
    written = size_t(to - out);
    return r;
}
