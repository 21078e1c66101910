#pragma once

#include <windows.h>

class CPaintWrap {
public:
    PAINTSTRUCT paint = {};
    HDC dc = nullptr;
    int width = 0, height = 0; // of the image drawn last

    void Begin(HWND window);
    void End(HWND window);
    // 1 with the image's size, 0 when the image cannot be loaded.
    int MeasureImage(int id, int* widthOut, int* heightOut);
    void DrawImage(int id, int x, int y);
};
