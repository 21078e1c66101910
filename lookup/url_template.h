// Fills a word into the external-search address template.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The longest address that is opened, as a count of bytes.
const size_t MaxSearchUrlLength = 1023;

// Every "%s" becomes the word, "%%" becomes "%", any other "%" stays as it
// is. The word goes in as raw bytes, without any encoding. The result is cut
// at MaxSearchUrlLength bytes.
std::string ExpandUrlTemplate(std::string_view urlTemplate, std::string_view word);
