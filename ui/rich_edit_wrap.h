#pragma once

#include <windows.h>

#include <string>

class CRichEditWrap {
public:
    HWND window = nullptr;
    int length = 0; // the last result of TextLength

    int Create(HWND parent, int id);
    void Move(int x, int y, int width, int height);
    void SetBkColor(COLORREF colour);
    void ReplaceSel(const char* text);
    // ReplaceSel of no more characters than the pane's limit leaves room for:
    // for text from outside, which may be of any size.
    void ReplaceSelLimited(const char* text);
    void Clear();
    void ScrollTop();
    void Lock();
    void Unlock();
    int TextLength();
    // The whole text in bytes, however the pane counts its length.
    std::string ReadAll();
};
