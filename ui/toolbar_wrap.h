#pragma once

#include <windows.h>
#include <commctrl.h>

class CToolbarWrap {
public:
    HWND window = nullptr;
    HINSTANCE instance = nullptr; // whose strings label the buttons

    HWND Create(HINSTANCE module, HWND parent);
    void Move(int x, int y, int width, int height);
    // Labels each record with the string whose id is its command, then adds
    // the buttons; the records' iString fields are filled in place.
    void AddButtons(int count, TBBUTTON* records);
    void AddCheckedButtons(int count, TBBUTTON* records);
    void AddSeparator();
};
