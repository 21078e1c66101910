#include "ui/paint_wrap.h"

void CPaintWrap::Begin(HWND window)
{
    dc = BeginPaint(window, &paint);
}

void CPaintWrap::End(HWND window)
{
    EndPaint(window, &paint);
    dc = nullptr;
}

int CPaintWrap::MeasureImage(int id, int* widthOut, int* heightOut)
{
    HBITMAP image = loadPng ? loadPng(instance, MAKEINTRESOURCEA(id), 0) : nullptr;
    if (!image)
        return 0;
    BITMAP info = {};
    GetObjectA(image, sizeof info, &info);
    *widthOut = info.bmWidth;
    *heightOut = info.bmHeight;
    DeleteObject(image);
    return 1;
}

void CPaintWrap::DrawImage(int id, int x, int y)
{
    // Loaded and released on every paint: the images are tiny and nothing
    // has to be kept or freed between paints.
    HBITMAP image = loadPng ? loadPng(instance, MAKEINTRESOURCEA(id), 0) : nullptr;
    if (!image || !dc) {
        if (image)
            DeleteObject(image);
        return;
    }
    BITMAP info = {};
    GetObjectA(image, sizeof info, &info);
    width = info.bmWidth;
    height = info.bmHeight;
    HDC memory = CreateCompatibleDC(dc);
    if (memory) {
        HGDIOBJ old = SelectObject(memory, image);
        BitBlt(dc, x, y, width, height, memory, 0, 0, SRCAND);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    DeleteObject(image);
}
