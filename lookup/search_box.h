// The search box's edit field: Enter starts the external search, every other
// key press an internal search once the key has reached the field.
#pragma once

#include <windows.h>

LRESULT CALLBACK EditSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
