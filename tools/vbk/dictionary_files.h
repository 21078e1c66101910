// What the readers of the dictionary formats share: their result, how they
// hand entries on, and how they find and read a dictionary's companion files.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

struct DictionaryReadResult {
    bool Ok = true;
    std::string Message; // names the file and, where there is one, the entry
};

// What each format's reader hands on before the texts are cleaned and joined.
using RawDictionarySink =
    std::function<bool(size_t number, std::string_view headword, std::string_view text)>;

// The companion file of a dictionary: base + the first of the suffixes that
// exists, inflated if its name ends in .dz or .gz. usedName tells which.
bool LoadCompanionFile(const std::string& base, std::initializer_list<const char*> suffixes,
                       std::string& bytes, std::string& usedName, std::string& failure);
