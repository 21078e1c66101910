// A small program to select text in, for the mouse-hook tests: one window
// with an edit control holding known text. Arguments, any of:
//   console   its window class is that of a console window
//   keysonly  its edit control, of a class of its own, copies on Ctrl+C but
//             ignores WM_COPY from outside
//   hang      after each copy it answers nothing for a second
// Every character typed into the edit control is counted in the window's
// title, "select target: typed N".
#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

const int kEditId = 100;
const UINT WM_HANG = WM_APP + 1;
const DWORD kHangMs = 1000;

WNDPROC EditProc = nullptr;
bool KeysOnly = false, Hang = false;
bool CopyKeyDown = false; // Ctrl+C reached the control itself
int Typed = 0;

void ShowTyped(HWND window)
{
    char title[64];
    std::snprintf(title, sizeof title, "select target: typed %d", Typed);
    SetWindowTextA(window, title);
}

LRESULT CALLBACK TargetEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == 'C' && GetKeyState(VK_CONTROL) < 0)
            CopyKeyDown = true;
        break;
    case WM_CHAR:
        if (wParam >= 0x20) {
            Typed++;
            ShowTyped(GetParent(edit));
        }
        break;
    case WM_COPY: {
        bool byKey = CopyKeyDown;
        CopyKeyDown = false;
        if (KeysOnly && !byKey)
            return 0;
        LRESULT r = CallWindowProcA(EditProc, edit, message, wParam, lParam);
        if (Hang)
            PostMessageA(GetParent(edit), WM_HANG, 0, 0);
        return r;
    }
    }
    return CallWindowProcA(EditProc, edit, message, wParam, lParam);
}

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFOCUS:
        SetFocus(GetDlgItem(window, kEditId));
        return 0;
    case WM_HANG:
        Sleep(kHangMs);
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
    KeysOnly = std::strstr(commandLine, "keysonly") != nullptr;
    Hang = std::strstr(commandLine, "hang") != nullptr;
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TargetProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!RegisterClassExA(&wc))
        return 1;
    HWND window = CreateWindowExA(0, className, "select target: typed 0",
                                  WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 480, 120, nullptr,
                                  nullptr, instance, nullptr);
    if (!window)
        return 1;
    // A class of its own, as a control that knows no WM_COPY would have.
    const char* editClass = "EDIT";
    WNDCLASSEXA keysOnly = {};
    keysOnly.cbSize = sizeof keysOnly;
    if (KeysOnly && GetClassInfoExA(nullptr, "EDIT", &keysOnly)) {
        keysOnly.hInstance = instance;
        keysOnly.lpszClassName = editClass = "VkKeysOnlyEdit";
        RegisterClassExA(&keysOnly);
    }
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, editClass, "alpha beta gamma delta",
                                WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 440, 30, window,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), instance,
                                nullptr);
    if (!edit)
        return 1;
    EditProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TargetEditProc)));
    SetForegroundWindow(window);
    SetFocus(edit);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
