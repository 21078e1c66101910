#include "tests/win/msgbox_watcher.h"

#include "tests/common/windows_of.h"

std::string WindowText(HWND window)
{
    char buffer[4096] = "";
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

MessageBoxWatcher::MessageBoxWatcher(int button) : button_(button)
{
    InitializeCriticalSection(&lock_);
    thread_ = std::thread([this] { Run(); });
}

MessageBoxWatcher::~MessageBoxWatcher()
{
    stop_ = true;
    thread_.join();
    DeleteCriticalSection(&lock_);
}

std::vector<SeenBox> MessageBoxWatcher::Boxes()
{
    EnterCriticalSection(&lock_);
    std::vector<SeenBox> copy = boxes_;
    LeaveCriticalSection(&lock_);
    return copy;
}

void MessageBoxWatcher::Run()
{
    while (!stop_) {
        HWND box = WindowOf(GetCurrentProcessId(), "#32770");
        if (!box) {
            Sleep(10);
            continue;
        }
        SeenBox seen;
        char text[4096] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        seen.text = text;
        seen.caption = WindowText(box);
        seen.type = 0;
        if (GetDlgItem(box, IDYES) && GetDlgItem(box, IDNO))
            seen.type |= MB_YESNO;
        EnterCriticalSection(&lock_);
        boxes_.push_back(seen);
        LeaveCriticalSection(&lock_);

        int id = button_;
        if (!GetDlgItem(box, id))
            id = GetDlgItem(box, IDOK) ? IDOK : IDCANCEL;
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(box, id));
        // Wait until this box is gone before looking for the next one.
        for (int i = 0; i < 500 && IsWindow(box) && IsWindowVisible(box); i++)
            Sleep(10);
    }
}
