// gzip data inflated whole: the .dz files of dictionaries (dictzip is gzip
// with an index of its blocks in a header field) and gzipped indexes.
#pragma once

#include <string>
#include <string_view>

// Appends the inflated bytes of every gzip member of data to out. On damage,
// returns false with what zlib says.
bool Gunzip(std::string_view data, std::string& out, std::string& problem);
