// The system's open and save dialogs for table files.
#pragma once

#include <windows.h>

#include <string>

// Each gives the chosen file's full path and returns true, or false when the
// person cancelled.
bool ChooseOpenFile(HWND owner, std::string& fullPath);
// The save dialog starts at proposed (a full path) when one is given.
bool ChooseSaveFile(HWND owner, std::string& fullPath, const std::string& proposed = "");
