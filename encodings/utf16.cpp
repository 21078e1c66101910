#include "encodings/utf16.h"

#include <algorithm>

std::optional<TextEncoding> Utf16ByBom(std::string_view text)
{
    if (text.substr(0, 2) == "\xFF\xFE")
        return TextEncoding::Utf16Le;
    if (text.substr(0, 2) == "\xFE\xFF")
        return TextEncoding::Utf16Be;
    return std::nullopt;
}

std::optional<TextEncoding> Utf16ByZeroBytes(std::string_view text)
{
    // A few hundred characters tell; more would only cost.
    size_t looked = std::min<size_t>(text.size() / 2 * 2, 1024);
    size_t even = 0, odd = 0;
    for (size_t i = 0; i < looked; i += 2) {
        even += text[i] == '\0';
        odd += text[i + 1] == '\0';
    }
    if (looked == 0)
        return std::nullopt;
    // An eighth of the characters in ASCII is enough: a dictionary of
    // Cyrillic or Greek has little more, and UTF-8 text has no zero bytes.
    size_t eighth = looked / 16;
    if (odd > eighth && even == 0)
        return TextEncoding::Utf16Le;
    if (even > eighth && odd == 0)
        return TextEncoding::Utf16Be;
    return std::nullopt;
}

ConvertResult Utf16ToUtf8(std::string_view text, bool bigEndian, char* out, size_t& written)
{
    ConvertResult r;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    auto unit = [&](size_t i) {
        return bigEndian ? uint32_t(p[i]) << 8 | p[i + 1] : uint32_t(p[i + 1]) << 8 | p[i];
    };
    char* to = out;
    size_t i = 0;
    while (i < text.size()) {
        if (i + 1 >= text.size()) {
            r.Ok = false;
            r.Offset = i;
            break;
        }
        uint32_t cp = unit(i);
        size_t n = 2;
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < text.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            n = 4;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            r.Ok = false;
            r.Offset = i;
            break;
        }
        if (cp < 0x80) {
            *to++ = char(cp);
        } else if (cp < 0x800) {
            *to++ = char(0xC0 | cp >> 6);
            *to++ = char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *to++ = char(0xE0 | cp >> 12);
            *to++ = char(0x80 | (cp >> 6 & 0x3F));
            *to++ = char(0x80 | (cp & 0x3F));
        } else {
            *to++ = char(0xF0 | cp >> 18);
            *to++ = char(0x80 | (cp >> 12 & 0x3F));
            *to++ = char(0x80 | (cp >> 6 & 0x3F));
            *to++ = char(0x80 | (cp & 0x3F));
        }
        i += n;
    }
    written = size_t(to - out);
    return r;
}
