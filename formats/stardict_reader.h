// StarDict dictionaries: NAME.ifo with NAME.idx and NAME.dict or NAME.dict.dz.
#pragma once

#include <string>

#include "formats/dictionary_files.h"

DictionaryReadResult ReadStarDictEntries(const std::string& ifoPath, const RawDictionarySink& sink,
                                         const DictionarySizeHint& expect);
