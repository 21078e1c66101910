// The main window's title: "Vocabrik - " and the table's file name, "*" while
// the table has unsaved changes, and a closing space.
#pragma once

#include <cstddef>

const size_t TitleBufferSize = 256;

// Writes the title into out (TitleBufferSize bytes). A name too long for the
// buffer is shortened in its middle with "...", never inside a character.
void FormatTitle(const char* path, int modified, char* out);
