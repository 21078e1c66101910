// What the TSV and CSV readers have in common: they hand each entry of a word
// list to a sink as it is found, and stop at the first malformed line.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "tools/vbk/text_encoding.h"

// line: the 1-based line on which the entry starts. The views are valid only
// during the call. A line without a separator gives an empty Data. A sink
// that returns false ends the reading there.
using ListSink = std::function<bool(size_t line, std::string_view key, std::string_view data)>;

struct ListReadResult {
    bool Ok = true;
    size_t Line = 0;     // where reading stopped, when not Ok
    std::string Message; // what is wrong there
};

enum class ListFormat { Tsv, Csv };

// The text is in the given encoding, already checked and without a byte-order
// mark; the encoding matters only where a trail byte could pass for ASCII.
ListReadResult ReadTsv(std::string_view text, TextEncoding encoding, const ListSink& sink);
ListReadResult ReadCsv(std::string_view text, const ListSink& sink);

inline ListReadResult ReadList(ListFormat format, std::string_view text, TextEncoding encoding,
                               const ListSink& sink)
{
    return format == ListFormat::Tsv ? ReadTsv(text, encoding, sink) : ReadCsv(text, sink);
}
