// Writing entries as a TSV or CSV word list that the readers take back
// unchanged.
#pragma once

#include <string>
#include <string_view>

#include "encodings/text_encoding.h"

// One line "Key<TAB>Data\n" with the Data escaped. The Key is written as it
// is, so it must hold no tab, line feed or carriage return: false then, and
// nothing is appended. The encoding is that of key and data (a Shift-JIS
// trail byte 0x5C is not a backslash and is not escaped).
bool AppendTsvRecord(std::string& out, std::string_view key, std::string_view data,
                     TextEncoding encoding);

// One record "Key,Data\r\n"; a field is quoted when it holds a comma, a quote,
// a line break or starts or ends with a space.
void AppendCsvRecord(std::string& out, std::string_view key, std::string_view data);
