// Walking a text line by line, as the list readers count lines: a line ends
// with LF, CRLF or a lone CR.
#pragma once

#include <string_view>

// The line at pos, without its line break; pos moves past it.
inline std::string_view NextTextLine(std::string_view text, size_t& pos)
{
    // A plain scan: find_first_of asks memchr about every byte.
    size_t end = pos;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r')
        end++;
    std::string_view line = text.substr(pos, end - pos);
    pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    return line;
}

inline std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}
