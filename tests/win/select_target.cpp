// A small program to select text in, for the mouse-hook tests: one window
// with an edit control holding known text. With the argument "console" its
// window class is that of a console window.
#include <windows.h>

#include <cstring>

namespace {

const int kEditId = 100;

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFOCUS:
        SetFocus(GetDlgItem(window, kEditId));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    const char* className = std::strstr(commandLine, "console") ? "ConsoleWindowClass"
                                                                : "VkSelectTarget";
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc))
        return 1;
    HWND window = CreateWindowExA(0, className, "select target", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  40, 40, 480, 120, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "alpha beta gamma delta",
                                WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 440, 30, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), instance,
                                nullptr);
    if (!edit)
        return 1;
    SetForegroundWindow(window);
    SetFocus(edit);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
