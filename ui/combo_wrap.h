#pragma once

#include <windows.h>

class CComboWrap {
public:
    HWND window = nullptr;
    char SearchText[256] = ""; // the box's text as last read

    // The window that receives the edit field's commands, the command that
    // Enter sends, and the edit field's own procedure: one per program.
    static HWND NotifyWindow;
    static WORD EnterCommand;
    static WNDPROC SavedEditProc;

    CComboWrap();
    HWND Create(HWND parent, int id, int kind);
    void Move(int x, int y, int width, int height);
    void ReadText();
    void InsertTop(const char* item);
};
