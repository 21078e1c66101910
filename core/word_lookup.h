// What the program shows for a word: in the result pane, the Data of the
// entry whose Key is the word; or, for a word the table does not hold, the
// candidate heading and a candidate entry, each on a line of its own. The
// candidate is the entry whose Key is the word with its Latin capitals in
// lower case, as dictionaries' Keys come in, else the entry that follows the
// word in Key order. vbk get prints the same.
#pragma once

#include <string>
#include <string_view>

#include "core/entry_table.h"

// "＜候補単語＞" and a line feed, in code page 932.
extern const char CandidateHeading[];

struct WordShown {
    bool hit = false;
    std::string result; // the result pane's text
};

WordShown ShowWord(const CEntryTable& table, std::string_view word);
