#pragma once

#include <windows.h>

#include <string>

// The main window's place in the clipboard-viewer chain.
class CClipViewerWrap {
public:
    HWND next = nullptr;       // the viewer after us; null when we are last
    std::string ClipboardText; // the text last taken from the clipboard

    void JoinChain(HWND window);
    // 1 when this change brought text, which is then in ClipboardText. A
    // password manager's copy brings none, nor does the clipboard this
    // program gives back itself after an automatic copy.
    int ReadClipboardText(HWND window);
    void ForwardDraw(UINT message, WPARAM wParam, LPARAM lParam);
    void ChainChanged(UINT message, WPARAM wParam, LPARAM lParam);
    void LeaveChain(HWND window);
};
