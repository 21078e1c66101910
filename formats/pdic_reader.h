// The one-line text of PDIC dictionaries: one entry a line,
//   headword /// meaning \ more of the meaning / an example
// where " \ " stands for a line break and " / " comes before the example.
#pragma once

#include <string_view>

#include "formats/list_reader.h"

// Whether the first lines of a text have " /// " in them (any encoding with
// ASCII in place).
bool LooksLikePdic(std::string_view text);

// Reads the text (UTF-8 or code page 932): the headword as written is the
// Key, the meaning its Data, the example on a line of its own.
ListReadResult ReadPdic(std::string_view text, const ListSink& sink,
                        const char** unread = nullptr);
