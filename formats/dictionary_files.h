// What the readers of the dictionary formats share: their result, how they
// hand entries on, and how they find and read a dictionary's companion files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

struct DictionaryReadResult {
    bool Ok = true;
    std::string Message; // names the file and, where there is one, the entry
    // Lines for the report: what was done to the text on its way in.
    std::vector<std::string> Notes;
    uint64_t Windows1252Bytes = 0; // of the Notes, for a report that counts them
};

// What each format's reader hands on before the texts are cleaned and joined.
using RawDictionarySink =
    std::function<bool(size_t number, std::string_view headword, std::string_view text)>;

// Told once, before the first entry: how many entries the index lists and
// how many bytes their headwords and texts take together.
using DictionarySizeHint = std::function<void(uint64_t entries, uint64_t bytes)>;

// The first of base + suffixes that is there in any form: a folder or a FIFO
// of that name is found, to be refused as what it is.
bool FindCompanionFile(const std::string& base, std::initializer_list<const char*> suffixes,
                       std::string& usedName, std::string& failure);

// The companion file of a dictionary: base + the first of the suffixes that
// exists, inflated if its name ends in .dz or .gz. usedName tells which.
bool LoadCompanionFile(const std::string& base, std::initializer_list<const char*> suffixes,
                       std::string& bytes, std::string& usedName, std::string& failure);

bool EndsWith(const std::string& s, const char* end);
