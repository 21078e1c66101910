// EDICT and EDICT2, the Japanese-English dictionary files: one entry a line,
//   KANJI [KANA] /(n) gloss/gloss/.../            (EDICT)
//   KANA /(n) gloss/.../
//   KANJI-1;KANJI-2 [KANA-1;KANA-2] /(n) gloss/.../EntL1234567X/   (EDICT2)
// where a writing or reading may carry markers such as "(P)" or, for a
// reading, the writings it belongs to ("ひのもと(日ノ本)"). The first line of
// the published files ("　？？？ /EDICT, ...") describes the file itself.
#pragma once

#include <string_view>

#include "formats/list_reader.h"

// Whether the first lines of a text have the shape of EDICT lines. Looks only
// at ASCII bytes, so it holds for EUC-JP and UTF-8 alike.
bool LooksLikeEdict(std::string_view text);

// Reads UTF-8 EDICT text: every writing and every reading of an entry (its
// markers taken off) comes to the sink as a Key, each with the same Data:
// the writings and readings as the line has them, then one gloss a line,
// markers kept. The entry number of EDICT2 and the description line stay out.
// `unread` stays at the start of the line whose entries are being handed on.
ListReadResult ReadEdict(std::string_view text, const ListSink& sink,
                         const char** unread = nullptr);
