// KANJIDIC, the kanji dictionary file (EUC-JP): one kanji a line, then its
// JIS code, index codes, readings and meanings,
//   水 3F65 U6c34 B85 G1 S4 ... スイ みず みず- {water}
// where katakana are on readings, hiragana kun readings, those after "T1"
// readings used in names, G the school grade and S the stroke count.
#pragma once

#include <string_view>

#include "formats/list_reader.h"

// Whether the first lines of a text have that shape. Looks only at ASCII, so
// it holds for EUC-JP and UTF-8 alike.
bool LooksLikeKanjidic(std::string_view text);

// Reads UTF-8 KANJIDIC text: each kanji a Key, its Data the on, kun and name
// readings (a line each), then one meaning a line, then the stroke count
// and grade in words.
ListReadResult ReadKanjidic(std::string_view text, const ListSink& sink);
