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

    // The box's edit field takes editProc as its procedure, which hands
    // what it does not handle to SavedEditProc.
    struct EditField {
        WNDPROC editProc;
        WORD enterCommand;
    };

    CComboWrap();
    HWND Create(HINSTANCE instance, HWND parent, int id, int kind, EditField field);
    void Move(int x, int y, int width, int height);
    void ReadText();
    void InsertTop(const char* item);
};
