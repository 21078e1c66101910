// Latin text as dictionaries hold it: stray bytes of the Windows code page
// among UTF-8, and letters that differ only in case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Appends the text to out with every byte that starts no valid UTF-8
// sequence read as the Windows-1252 character it stands for there ("market
// \x92s" as "market’s"); valid sequences are kept. Returns how many bytes
// were so read.
size_t ReadStrayBytesAsWindows1252(std::string_view text, std::string& out);

// Valid UTF-8 with its Latin capitals, accented ones included (A-Z, À-Þ,
// Latin Extended-A and Additional), in lower case, in place: each
// lower-case form takes as many bytes as its capital.
void LowerLatinCase(std::string& utf8);

// Equal but for the case of Latin letters.
bool EqualsIgnoringLatinCase(std::string_view a, std::string_view b);
