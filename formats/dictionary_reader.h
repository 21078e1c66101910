// Dictionaries in the formats that dictionary programs use: dictd (NAME.index
// with NAME.dict or NAME.dict.dz) and StarDict (NAME.ifo with NAME.idx and
// NAME.dict or NAME.dict.dz). Each entry comes out as a headword and the
// text of its definition, in UTF-8.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/dictionary_files.h"

enum class DictionaryFormat { Dictd, StarDict };

// .index is dictd, .ifo is StarDict (any case).
std::optional<DictionaryFormat> DictionaryFormatOfName(const std::string& name);

// What becomes of an entry with bytes that are not UTF-8 (a few dictionaries
// have stray bytes of the Windows code page).
enum class StrayBytes {
    Refuse,       // the reading fails, naming the entry
    AsWindows1252, // read as the Windows-1252 characters they are nearly always
    LeaveOut,     // the entry is left out
};

struct DictionaryReading {
    StrayBytes strayBytes = StrayBytes::Refuse;
    // Headwords as the index has them; else with Latin letters in lower
    // case, as dictionary programs find them.
    bool keepCase = false;
    // Pronunciations in IPA written in X-SAMPA, for text that must come out
    // in ASCII.
    bool ipaAsXSampa = false;
    DictionarySizeHint expect; // optional
};

// number: the entry's 1-based place in the index. The text is the
// definition without surrounding blank lines, its lines keeping their
// indentation, and starts with a line that names the headword: the
// dictionary's own ("Haus /haʊs/ <n>"), else the headword as written on a
// line of its own. The distinct definitions of a headword listed several
// times in a row (homographs) come as one text, in index order, separated by
// blank lines. The headword is the Key: with keepCase unset, in lower case.
// The views are valid only during the call; a sink that returns false ends
// the reading.
using DictionarySink =
    std::function<bool(size_t number, std::string_view headword, std::string_view text)>;

DictionaryReadResult ReadDictionary(DictionaryFormat format, const std::string& path,
                                    const DictionaryReading& reading, const DictionarySink& sink);

// Where entry number n is, for messages: "NAME.index:12" or "NAME.idx: entry 12".
std::string DictionaryPlace(DictionaryFormat format, const std::string& path, size_t number);

// Every file of the dictionary beside the one named, whether it is there or
// not: the files an import may read, which nothing may be written over.
std::vector<std::string> CompanionFiles(DictionaryFormat format, const std::string& path);
