// Every WM_COMMAND of the main window, by its id alone.
#pragma once

#include <windows.h>

void OnCommand(HWND mainWindow, WORD id);
