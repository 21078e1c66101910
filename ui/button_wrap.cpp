#include "ui/button_wrap.h"

HWND CButtonWrap::Create(HINSTANCE instance, HWND parent, int id, const char* caption)
{
    window = CreateWindowExA(0, "BUTTON", caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0,
                             parent, reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
    return window;
}

void CButtonWrap::Move(int x, int y, int width, int height)
{
    if (window)
        MoveWindow(window, x, y, width, height, TRUE);
}
