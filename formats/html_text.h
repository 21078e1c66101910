// The little HTML that flash-card programs put into fields, as text and back.
#pragma once

#include <string>
#include <string_view>

#include "encodings/text_encoding.h"

// "<br>" becomes a line break, every other tag is removed, and character
// references are decoded: numbered ones and every named one of HTML
// ("&nbsp;" as a plain space). A reference to a character that the text's
// encoding cannot hold, or that names no character (a surrogate such as
// "&#xD800;"), stays as it was written; so does a "<" that starts no tag.
// Takes time in proportion to the text, whatever it holds.
std::string HtmlToText(std::string_view html, TextEncoding encoding);

// UTF-8 text as HTML that HtmlToText gives back unchanged: line feeds as
// "<br>", and "&", "<", ">", quotes, tabs and carriage returns as references,
// so that the field needs no quoting in a delimited file.
std::string TextToHtml(std::string_view text);
