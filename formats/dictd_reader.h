// dictd dictionaries: NAME.index with NAME.dict or NAME.dict.dz.
#pragma once

#include <string>

#include "formats/dictionary_files.h"

DictionaryReadResult ReadDictdEntries(const std::string& indexPath, const RawDictionarySink& sink,
                                      const DictionarySizeHint& expect);
