// Fills a word into the external-search address template.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest address that is opened, as a count of bytes.
const size_t MaxSearchUrlLength = 1023;

// Every "%s" becomes the word, "%%" becomes "%", any other "%" stays as it
// is. In the word, the bytes that would change the address's structure or
// break its quoting on a command line are percent-encoded: control bytes,
// '"', '#', '%', '&', '+', '<' and '>'. Spaces and double-byte characters
// go in as they are, as dictionary sites expect them. The result is cut at
// MaxSearchUrlLength bytes, never inside an escape or a double-byte
// character.
std::string ExpandUrlTemplate(std::string_view urlTemplate, std::string_view word);
