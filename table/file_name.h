// The extension rule of the save dialog's names.
#pragma once

#include <string>
#include <string_view>

// Appends the extension unless the name already ends with it, byte for byte
// (so "dict.VBK" becomes "dict.VBK.vbk").
void EnsureExtension(std::string& name, std::string_view extension);
