#pragma once

#include <windows.h>

// Painting, and drawing the PNG resources of a module as bitmaps.
class CPaintWrap {
public:
    // Turns a PNG resource into a bitmap that the caller deletes.
    using LoadPng = HBITMAP (*)(HINSTANCE module, LPCSTR name, int flags);

    PAINTSTRUCT paint = {};
    HDC dc = nullptr;
    int width = 0, height = 0; // of the image drawn last
    HINSTANCE instance = nullptr; // whose PNG resources the images are
    LoadPng loadPng = nullptr;

    void Begin(HWND window);
    void End(HWND window);
    // 1 with the image's size, 0 when the image cannot be loaded.
    int MeasureImage(int id, int* widthOut, int* heightOut);
    void DrawImage(int id, int x, int y);
};
