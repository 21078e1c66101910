// TSV: one entry a line, Key, a tab, Data. In the Data, the escapes \n, \t,
// \r and \\ (a doubled backslash) stand for a line feed, a tab, a carriage
// return and a backslash; any other backslash is an ordinary character.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "formats/list_reader.h"

namespace {

// Where the first byte a or b lies in text from `from` on, or npos. Neither a
// line break, a tab nor a backslash can be a UTF-8 continuation byte, and all
// but the backslash cannot be a Shift-JIS trail byte, so plain byte searches
// serve. They look at eight bytes at a time: every byte of a list passes
// through them, and the C runtime's memchr is a byte loop on some systems.
size_t FindEither(std::string_view text, size_t from, char a, char b)
{
    const uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    const uint64_t withA = ones * static_cast<unsigned char>(a);
    const uint64_t withB = ones * static_cast<unsigned char>(b);
    const char* p = text.data() + from;
    const char* end = text.data() + text.size();
    for (; end - p >= 8; p += 8) {
        uint64_t word, x, y;
        std::memcpy(&word, p, 8);
        x = word ^ withA;
        y = word ^ withB;
        // A byte of x or y is zero where a or b is; the lowest flag is exact.
        uint64_t found = ((x - ones) & ~x & highs) | ((y - ones) & ~y & highs);
        if (found) // bytes are loaded little-endian: the lowest is the first
            return size_t(p - text.data()) + size_t(__builtin_ctzll(found)) / 8;
    }
    for (; p < end; p++)
        if (*p == a || *p == b)
            return size_t(p - text.data());
    return std::string_view::npos;
}

// The text with its escapes replaced: the text itself when it has none, else
// its copy in out.
std::string_view Unescape(std::string_view in, TextEncoding encoding, std::string& out)
{
    out.clear();
    size_t i = 0, copied = 0; // in[copied, i) goes out as it stands
    while (i < in.size()) {
        size_t n = 1;
        if (encoding == TextEncoding::ShiftJis) {
            n = ShiftJisCharLength(in, i);
        } else {
            // In UTF-8 no byte of another character is a backslash.
            i = FindEither(in, i, '\\', '\\');
            if (i == std::string_view::npos)
                break;
        }
        if (n == 1 && in[i] == '\\' && i + 1 < in.size()) {
            char next = in[i + 1];
            char replaced = next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r'
                          : next == '\\' ? '\\' : '\0';
            if (replaced) {
                out.append(in.data() + copied, i - copied);
                out += replaced;
                i += 2;
                copied = i;
                continue;
            }
        }
        i += n;
    }
    if (copied == 0)
        return in;
    out.append(in.data() + copied, in.size() - copied);
    return out;
}

bool OnlyTabs(std::string_view s) { return s.find_first_not_of('\t') == std::string_view::npos; }

} // namespace

ListReadResult ReadTsv(std::string_view text, TextEncoding encoding, const ListSink& sink,
                       const char** unread)
{
    ListReadResult result;
    std::string data;
    size_t line = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        line++;
        size_t end = FindEither(text, pos, '\n', '\r');
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view row = text.substr(pos, end - pos);
        pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        if (row.empty())
            continue;
        if (unread)
            *unread = text.data() + std::min(pos, text.size());

        size_t tab = FindEither(row, 0, '\t', '\t');
        if (tab == std::string_view::npos) {
            if (!sink(line, row, std::string_view()))
                return result;
            continue;
        }
        std::string_view key = row.substr(0, tab);
        std::string_view rest = row.substr(tab + 1);
        size_t extra = FindEither(rest, 0, '\t', '\t');
        if (extra != std::string_view::npos) {
            // Empty trailing columns are what spreadsheets leave behind;
            // anything else in a third column would be lost, so it is refused.
            if (!OnlyTabs(rest.substr(extra))) {
                result.Ok = false;
                result.Line = line;
                result.Message = "more than two columns (write a tab inside the Data as \\t)";
                return result;
            }
            rest = rest.substr(0, extra);
        }
        if (!sink(line, key, Unescape(rest, encoding, data)))
            return result;
    }
    return result;
}
