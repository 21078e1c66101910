// UTF-16, the "Unicode text" of Windows programs (Excel saves lists so, with
// a byte-order mark) and of many DSL dictionaries. vbk reads it by turning it
// into UTF-8 first.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "encodings/text_encoding.h"

// The most bytes the UTF-8 form of size bytes of UTF-16 can take.
inline size_t Utf16Utf8Bound(size_t size) { return size / 2 * 3 + 1; }

// The byte order a byte-order mark at the start gives, if there is one.
std::optional<TextEncoding> Utf16ByBom(std::string_view text);

// The byte order of UTF-16 text without a mark, guessed from where its zero
// bytes fall: ASCII text in UTF-16 has one in every pair.
std::optional<TextEncoding> Utf16ByZeroBytes(std::string_view text);

// Writes the UTF-8 form of the text (without a mark) at out, which has room
// for Utf16Utf8Bound(text.size()) bytes, and sets written. Stops at an odd
// last byte or a surrogate without its partner (Ok false, Offset on it).
ConvertResult Utf16ToUtf8(std::string_view text, bool bigEndian, char* out, size_t& written);
