// The system's open and save dialogs for table files.
#pragma once

#include <windows.h>

#include <string>

// Each gives the chosen file's full path and returns true, or false when the
// person cancelled.
bool ChooseOpenFile(HWND owner, std::string& fullPath);
bool ChooseSaveFile(HWND owner, std::string& fullPath);
