// The main window's title: "Vocabrik - " and the table's file name, "*" while
// the table has unsaved changes, and a closing space.
#pragma once

#include <cstddef>

const size_t TitleBufferSize = 256;

// Writes the title into out (TitleBufferSize bytes). A name too long for the
// buffer is shortened in its middle with "..."; isLeadByte tells which bytes
// begin a double-byte character, so that none is cut in two.
void FormatTitle(const char* path, int modified, bool (*isLeadByte)(unsigned char), char* out);
