#pragma once

#include <windows.h>

class CButtonWrap {
public:
    HWND window = nullptr;

    HWND Create(HINSTANCE instance, HWND parent, int id, const char* caption);
    void Move(int x, int y, int width, int height);
};
