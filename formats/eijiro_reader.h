// EIJIRO text, the English-Japanese dictionary files that Japanese learners
// keep (code page 932, one line a meaning):
//   ■abandon  {他動-1} : 〔計画などを〕断念する◆...■・They abandoned it.
//   ■abandon  {他動-2} : 見捨てる
//   ■abandoned : 見捨てられた
// The label in braces is optional; the text after " : " may hold " : " too.
#pragma once

#include <string_view>

#include "formats/list_reader.h"

// Whether the first lines of a text (UTF-8 or code page 932) are EIJIRO lines.
bool LooksLikeEijiro(std::string_view text);

// Reads EIJIRO text in UTF-8 or code page 932. The Key is the headword as
// written (its case kept); its Data is each line from the label on, with the
// notes (◆) and examples (■・) on lines of their own. Consecutive lines of
// one headword come to the sink as one entry, one line each, in file order.
ListReadResult ReadEijiro(std::string_view text, TextEncoding encoding, const ListSink& sink,
                          const char** unread = nullptr);
