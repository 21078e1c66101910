#include "tests/common/select_target_app.h"

#include "tests/common/windows_of.h"

#include <cstdlib>
#include <cstring>

namespace {

const int kEditId = 100; // the helper's edit control

std::string HelperPath()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.find_last_of("\\/") + 1) + "select_target.exe";
}

} // namespace

SelectTarget::SelectTarget(bool consoleClass, const WaitUntil& wait, const char* options)
{
    std::string command = "\"" + HelperPath() + "\"" + (consoleClass ? " console " : " ") + options;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &process_))
        return;
    const char* cls = consoleClass ? "ConsoleWindowClass" : "VkSelectTarget";
    // The window shows before its edit control exists: wait for both.
    wait(
        [&] {
            window_ = WindowOf(process_.dwProcessId, cls);
            edit_ = window_ ? GetDlgItem(window_, kEditId) : nullptr;
            char text[64] = "";
            if (edit_)
                SendMessageA(edit_, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
            return text[0] != 0;
        },
        15000);
}

SelectTarget::~SelectTarget()
{
    if (!process_.hProcess)
        return;
    if (window_)
        PostMessageA(window_, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

int SelectTarget::Typed() const
{
    char title[64] = "";
    GetWindowTextA(window_, title, sizeof title);
    const char* count = std::strstr(title, "typed ");
    return count ? std::atoi(count + 6) : -1;
}

POINT CharPoint(HWND edit, int i, int dx)
{
    LRESULT pos = SendMessageA(edit, EM_POSFROMCHAR, static_cast<WPARAM>(i), 0);
    RECT client;
    GetClientRect(edit, &client);
    POINT p = {static_cast<short>(LOWORD(pos)) + dx, (client.top + client.bottom) / 2};
    ClientToScreen(edit, &p);
    return p;
}

std::string SelectedText(HWND edit)
{
    char text[256] = "";
    SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    DWORD sel = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
    size_t start = LOWORD(sel), end = HIWORD(sel);
    std::string s = text;
    return start < end && end <= s.size() ? s.substr(start, end - start) : "";
}
