// The File menu: new, save, save as, and the two ways of opening a table.
#pragma once

#include <windows.h>

#include <string>

// The system's open and save dialogs. Each gives the chosen file's full path
// and returns true, or false when the user cancelled.
bool ChooseOpenFile(HWND owner, std::string& fullPath);
bool ChooseSaveFile(HWND owner, std::string& fullPath);

void OnNewTable(HWND mainWindow);
void OnSaveTable(HWND mainWindow);
void OnSaveTableAs(HWND mainWindow);
void OnOpenNewTable(HWND mainWindow);
void OnOpenAppendTable(HWND mainWindow);

// Asks whether to save a modified table before the main window closes.
void SaveOnClose(HWND mainWindow);
