// The pieces of messages about lists, dictionaries and tables: counts, byte
// values, and text from them written in the encoding the message is read in
// (UTF-8 on a Linux terminal, code page 932 on Windows).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "encodings/text_encoding.h"

// "1 entry", "2 entries".
std::string Count(uint64_t n, const char* one, const char* many);
// "0x5C".
std::string Hex(uint64_t v);

// Table text (code page 932) as a message in `shownIn` shows it.
std::string TableText(TextEncoding shownIn, std::string_view cp932);
// UTF-8 text as a message in `shownIn` shows it.
std::string Utf8Text(TextEncoding shownIn, std::string_view utf8);
// Table text quoted for a message, cut short if long.
std::string QuotedKey(TextEncoding shownIn, std::string_view cp932);
