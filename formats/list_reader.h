// What the list readers have in common: they hand each entry of a word list
// to a sink as it is found, and stop at the first malformed line.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "encodings/text_encoding.h"

// line: the 1-based line on which the entry starts. The views are valid only
// during the call. A line without a separator gives an empty Data. A sink
// that returns false ends the reading there.
//
// A reader given `unread` sets it, before each call of the sink, to the
// first byte of the text it has not yet looked at: once the sink has taken
// what the views show, the bytes before it are the sink's to overwrite.
using ListSink = std::function<bool(size_t line, std::string_view key, std::string_view data)>;

struct ListReadResult {
    bool Ok = true;
    size_t Line = 0;     // where reading stopped, when not Ok
    std::string Message; // what is wrong there
};

// Flashcards: the plain-text notes that flash-card programs export, with
// header lines such as "#separator:tab" at the top. Edict: the Japanese-English
// dictionary files (edict_reader.h); the dictionaries after it are read only
// too (dsl_reader.h, eijiro_reader.h, pdic_reader.h, kanjidic_reader.h).
enum class ListFormat { Tsv, Csv, Flashcards, Edict, Dsl, Eijiro, Pdic, Kanjidic };

// A line ends with LF, CRLF or a lone CR in every format.

// The text is in the given encoding, already checked and without a byte-order
// mark; the encoding matters only where a trail byte could pass for ASCII.
ListReadResult ReadTsv(std::string_view text, TextEncoding encoding, const ListSink& sink,
                       const char** unread = nullptr);

// Fields split by a separator, quoted as RFC 4180 has it for CSV.
struct DelimitedLayout {
    char Separator = ',';
    size_t KeyColumn = 0, DataColumn = 1; // 0-based
    // Else a column past the Key and Data that holds anything is refused:
    // it would be lost.
    bool ExtraColumnsAllowed = false;
    bool Html = false;    // fields are HTML and are turned into text
    size_t FirstLine = 1; // the line number of the text's first line
};
ListReadResult ReadDelimited(std::string_view text, TextEncoding encoding,
                             const DelimitedLayout& layout, const ListSink& sink,
                             const char** unread = nullptr);

// The header lines of a flash-card export: "#name:value" lines at the top.
struct FlashcardHeader {
    bool Present = false;
    char Separator = 0; // 0: not given
    bool Html = false;
    std::vector<size_t> NonFieldColumns; // 1-based, from lines such as "#deck column:2"
    size_t Lines = 0;                    // how many header lines
    size_t Length = 0;                   // their bytes, line ends included
    std::string Problem;                 // a header line that makes no sense
    size_t ProblemLine = 0;
};
FlashcardHeader ReadFlashcardHeader(std::string_view text);

// The layout a flash-card header gives, with the separator of the list's
// format where the header names none.
DelimitedLayout FlashcardLayout(const FlashcardHeader& header, char defaultSeparator);

// Reads a list. Header lines at the top make it a flash-card export
// whatever its format (their separator, or the format's, splits the fields);
// readAs, if given, tells how it was read.
ListReadResult ReadList(ListFormat format, std::string_view text, TextEncoding encoding,
                        const ListSink& sink, ListFormat* readAs = nullptr,
                        const char** unread = nullptr);
