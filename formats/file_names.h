// The parts of a file name that choose how vbk reads a file.
#pragma once

#include <string>

// The extension in lower case, without the dot ("Words.TSV" -> "tsv"); empty
// if the last part of the path has none.
std::string LowerExtension(const std::string& path);

// The path without its extension ("dict/words.index" -> "dict/words").
std::string WithoutExtension(const std::string& path);
