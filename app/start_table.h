// data.vbk, the table a start opens, is read from the moment the program
// starts, so that its reading and the making of the window overlap.
#pragma once

#include <windows.h>

// Once this is known to be the only instance: another one's table is not
// ours to read.
void BeginReadingStartTable();

// After the window was shown: changes a program that did not end normally
// left behind are offered first; then the table read since the start is
// waited for and taken in.
void LoadStartTable(HWND window);
