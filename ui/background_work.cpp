#include "ui/background_work.h"

#include <commctrl.h>
#include <process.h>

#include <memory>
#include <vector>

#include "ui/app_instance.h"

const char ProgressClassName[] = "VocabrikProgress";

namespace {

const int ProgressBarId = 1;
const int CancelId = IDCANCEL;

bool Running = false;

struct Job {
    const std::function<void(CWorkProgress&)>* work;
    CWorkProgress* progress;
};

unsigned __stdcall RunJob(void* argument)
{
    Job* job = static_cast<Job*>(argument);
    (*job->work)(*job->progress);
    return 0;
}

unsigned __stdcall RunEarlyJob(void* argument)
{
    std::unique_ptr<Job> job(static_cast<Job*>(argument));
    (*job->work)(*job->progress);
    return 0;
}

LRESULT OnProgressCommand(HWND window, WORD id)
{
    if (id == CancelId) {
        auto* progress = reinterpret_cast<CWorkProgress*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (progress)
            progress->Cancel();
        EnableWindow(GetDlgItem(window, CancelId), FALSE);
    }
    return 0;
}

LRESULT CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return OnProgressCommand(window, LOWORD(wParam));
    case WM_CLOSE: // closing it is cancelling; it goes once the work has stopped
        return OnProgressCommand(window, CancelId);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterProgressClass()
{
    WNDCLASSEXA wc = {};
    if (GetClassInfoExA(AppInstance, ProgressClassName, &wc))
        return true;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ProgressProc;
    wc.hInstance = AppInstance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = ProgressClassName;
    return RegisterClassExA(&wc) != 0;
}

HWND MakeChild(HWND parent, const char* cls, const char* text, DWORD style, int id, RECT r,
               HFONT font)
{
    HWND child = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                                 r.right - r.left, r.bottom - r.top, parent,
                                 reinterpret_cast<HMENU>(INT_PTR(id)), AppInstance, nullptr);
    SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return child;
}

// Centred on its owner: the name, the bar, and キャンセル.
HWND ShowProgressWindow(HWND owner, const std::string& name, CWorkProgress& progress)
{
    if (!RegisterProgressClass())
        return nullptr;
    const int width = 360, height = 140;
    RECT frame = {0, 0, width, height};
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME);
    RECT o = {};
    GetWindowRect(owner, &o);
    int w = frame.right - frame.left, h = frame.bottom - frame.top;
    int x = (o.left + o.right - w) / 2, y = (o.top + o.bottom - h) / 2;
    HWND window = CreateWindowExA(WS_EX_DLGMODALFRAME, ProgressClassName, "読み込み中", style,
                                  x < 0 ? 0 : x, y < 0 ? 0 : y, w, h, owner, nullptr,
                                  AppInstance, nullptr);
    if (!window)
        return nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&progress));
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    MakeChild(window, "STATIC", name.c_str(), SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, -1,
              {16, 14, width - 16, 34}, font);
    HWND bar = MakeChild(window, PROGRESS_CLASSA, "", 0, ProgressBarId, {16, 44, width - 16, 64},
                         font);
    SendMessageA(bar, PBM_SETRANGE32, 0, 1000);
    MakeChild(window, "BUTTON", "キャンセル", BS_PUSHBUTTON | WS_TABSTOP, CancelId,
              {width - 16 - 96, 84, width - 16, 112}, font);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    return window;
}

// Every enabled window of this thread, disabled, as a modal dialog does to
// its owner: neither the mouse nor the keyboard reaches their commands.
BOOL CALLBACK DisableOne(HWND window, LPARAM list)
{
    if (IsWindowVisible(window) && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    }
    return TRUE;
}

// Handles every waiting message; a quit asked for meanwhile is put back
// for the main loop.
void Pump(HWND progressWindow, bool& quit, WPARAM& quitCode)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            quitCode = msg.wParam;
            continue;
        }
        if (progressWindow && IsDialogMessageA(progressWindow, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Only what keeps the windows alive and the progress window's own messages:
// sent messages (handled inside any peek), paints. The rest waits in the
// queue until the work is done.
void PumpHeld(HWND progressWindow, bool& quit, WPARAM& quitCode)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageA(&msg);
    while (progressWindow && PeekMessageA(&msg, progressWindow, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) { // a filter may not keep it back
            quit = true;
            quitCode = msg.wParam;
        } else if (!IsDialogMessageA(progressWindow, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

} // namespace

bool BackgroundWorkRunning()
{
    return Running;
}

CBackgroundWork::CBackgroundWork(HWND owner, const std::string& name)
    : owner_(owner), name_(name), focus_(GetFocus()), started_(GetTickCount())
{
    Running = true;
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled_));
}

bool CBackgroundWork::Run(const std::function<void(CWorkProgress&)>& work)
{
    Job job{&work, progress_};
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunJob, &job, 0, nullptr));
    if (thread) {
        Wait(thread);
        CloseHandle(thread);
    } else { // no thread to be had: the work is done here, the window waiting
        work(*progress_);
    }
    return !progress_->Cancelled();
}

bool CBackgroundWork::Join(CEarlyWork& early, DWORD waitedMs)
{
    started_ -= waitedMs;
    progress_ = &early.progress_;
    if (!early.thread_)
        return Run(early.work_);
    Wait(early.thread_);
    return !progress_->Cancelled();
}

CEarlyWork::CEarlyWork(std::function<void(CWorkProgress&)> work) : work_(std::move(work))
{
    Job* job = new Job{&work_, &progress_};
    thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunEarlyJob, job, 0, nullptr));
    if (!thread_)
        delete job;
}

bool CEarlyWork::Wait(DWORD ms)
{
    return !thread_ || WaitForSingleObject(thread_, ms) == WAIT_OBJECT_0;
}

CEarlyWork::~CEarlyWork()
{
    if (!thread_)
        return;
    progress_.Cancel();
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
}

void CBackgroundWork::Wait(HANDLE thread)
{
    for (;;) {
        // Held input stays queued: waking for it would only spin.
        DWORD wake = holdInput_ ? QS_PAINT | QS_SENDMESSAGE : QS_ALLINPUT;
        DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, 50, wake);
        if (woke == WAIT_OBJECT_0)
            break;
        if (holdInput_)
            PumpHeld(window_, quit_, quitCode_);
        else
            Pump(window_, quit_, quitCode_);
        if (!window_ && GetTickCount() - started_ >= ProgressDelayMs) {
            window_ = ShowProgressWindow(owner_, name_, *progress_);
            if (window_ && !cancellable_)
                EndCancel();
        }
        if (window_ && cancellable_)
            SendDlgItemMessageA(window_, ProgressBarId, PBM_SETPOS, progress_->Permille(), 0);
    }
}

void CBackgroundWork::EndCancel()
{
    cancellable_ = false;
    if (!window_)
        return;
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    EnableWindow(GetDlgItem(window_, CancelId), FALSE);
    SendDlgItemMessageA(window_, ProgressBarId, PBM_SETPOS, 1000, 0);
}

void CBackgroundWork::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    // The owner comes back before the progress window goes, so that the
    // system gives it the activation rather than some other program.
    for (HWND window : disabled_)
        if (IsWindow(window))
            EnableWindow(window, TRUE);
    if (window_)
        DestroyWindow(window_);
    window_ = nullptr;
    // A disabled window loses the focus: it goes back where it was, as
    // after a modal dialog.
    if (focus_ && IsWindow(focus_) && IsWindowEnabled(focus_) && !GetFocus())
        SetFocus(focus_);
    Running = false;
    if (quit_)
        PostQuitMessage(int(quitCode_));
}

bool RunInBackground(HWND owner, const std::string& name,
                     const std::function<void(CWorkProgress&)>& work)
{
    CBackgroundWork background(owner, name);
    return background.Run(work);
}
