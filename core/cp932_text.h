// Text in code page 932, the program's and the tables' code page: a
// character is one byte, or a lead byte and a trail byte. Whatever cuts or
// walks such text does it here, so that no character is ever cut in two and
// a trail byte is never taken for the ASCII character of the same value
// (0x5C, the backslash, is the trail byte of 表 and ソ).
#pragma once

#include <cstddef>
#include <string_view>

namespace cp932 {

bool IsLeadByte(unsigned char b);
bool IsTrailByte(unsigned char b);

// The bytes of the character that starts at text[at]: 2 for a lead byte
// followed by a trail byte, else 1.
size_t CharacterLength(std::string_view text, size_t at);

// The longest beginning of the text of at most `bytes` bytes that ends
// between two characters.
size_t CutLength(std::string_view text, size_t bytes);

// Where the shortest end of the text of at most `bytes` bytes begins that
// begins between two characters.
size_t TailStart(std::string_view text, size_t bytes);

// The bytes of the first `characters` characters (all of them if fewer).
size_t LengthOfCharacters(std::string_view text, size_t characters);

} // namespace cp932
