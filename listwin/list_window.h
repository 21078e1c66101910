// The list window: the whole table as a sortable list, with Add, Edit and
// Delete. At most one exists; it has no owner.
#pragma once

#include <windows.h>

extern const char ListClassName[];
extern const char ListWindowTitle[];

// 1 when the list window exists and was brought forward or shown.
int OpenListWindow();
LRESULT CALLBACK ListWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
