// IPA written in X-SAMPA, its spelling in ASCII, for pronunciations that
// code page 932 cannot hold: "ˈæp.əl" as "\"{p.@l".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Appends valid UTF-8 text to out with the IPA letters and marks of each
// transcription in X-SAMPA. A transcription is a word (a run without spaces
// or line breaks) that holds a letter or mark found only in IPA (ə, ˈ, ŋ,
// ...), or one between slashes or brackets that holds æ (/kæt/); letters
// IPA shares with other languages (ç, ø, Greek β, θ and χ) stay as they are
// in any other word ("[garçon]"). Returns how many characters were written
// in X-SAMPA; when there are none, out is left as it was.
size_t WriteIpaAsXSampa(std::string_view utf8, std::string& out);
