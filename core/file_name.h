// File names as the program shows and makes them.
#pragma once

#include <string>
#include <string_view>

// Appends the extension unless the name already ends with it, byte for byte
// (so "dict.VBK" becomes "dict.VBK.vbk").
void EnsureExtension(std::string& name, std::string_view extension);

// The name part of a path: what follows its last '\', '/' or ':', each a
// character of its own (code page 932).
std::string_view NamePart(std::string_view path);

// Where a table made from a list or dictionary is first offered to be saved:
// beside it, under its name with its last extension replaced by ".vbk"
// (freedict-eng-jpn.index gives freedict-eng-jpn.vbk, edict edict.vbk).
std::string TableNameBeside(std::string_view path);
