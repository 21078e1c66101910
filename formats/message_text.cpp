#include "formats/message_text.h"

#include <cstdio>

std::string Count(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Hex(uint64_t v)
{
    char b[24];
    std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
    return b;
}

std::string TableText(TextEncoding shownIn, std::string_view cp932)
{
    return shownIn == TextEncoding::Utf8 ? Cp932ToUtf8Lossy(cp932) : std::string(cp932);
}

std::string Utf8Text(TextEncoding shownIn, std::string_view utf8)
{
    return shownIn == TextEncoding::Utf8 ? std::string(utf8) : Utf8ToCp932Lossy(utf8);
}

std::string QuotedKey(TextEncoding shownIn, std::string_view cp932)
{
    const size_t limit = 40;
    size_t cut = 0;
    while (cut < cp932.size() && cut < limit)
        cut += ShiftJisCharLength(cp932, cut);
    std::string shown = TableText(shownIn, cp932.substr(0, cut));
    return "\"" + shown + (cp932.size() > cut ? "...\"" : "\"");
}
