// The About box: program name, credit line, the home page address in a
// read-only field that can be selected and copied, and the program's icon.
#pragma once

#include <windows.h>

// Dialog procedure of template IDD_ABOUT; open it with DialogBoxParamA.
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
