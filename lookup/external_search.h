// Sending the search word to a web dictionary, and changing its address.
#pragma once

#include <windows.h>

extern const char DefaultSearchUrl[];
// Lasts for this run only; every start begins with the default.
extern char SearchUrlTemplate[2048];

void OnExternalSearch(HWND mainWindow);
void OnCustomize(HWND mainWindow);
INT_PTR CALLBACK CustomizeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
