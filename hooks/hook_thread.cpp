#include "hooks/hook_thread.h"

#include "hooks/message_sink.h"

HookThread::~HookThread()
{
    Stop();
}

DWORD WINAPI HookThread::Run(void* context)
{
    auto* self = static_cast<HookThread*>(context);
    MSG msg;
    // Gives the thread its queue before anyone can post it WM_QUIT.
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    HHOOK hook = SetWindowsHookExA(self->kind_, self->procedure_, OwnModule(), 0);
    self->set_ = hook != nullptr;
    SetEvent(self->ready_);
    if (!hook)
        return 1;
    // The system calls the hook from inside this loop.
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    UnhookWindowsHookEx(hook);
    return 0;
}

bool HookThread::Start(int kind, HOOKPROC procedure)
{
    if (thread_)
        return true;
    kind_ = kind;
    procedure_ = procedure;
    set_ = false;
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ready_)
        return false;
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    if (thread_) {
        // Every key and mouse event of the machine waits for it.
        SetThreadPriority(thread_, THREAD_PRIORITY_HIGHEST);
        HANDLE both[2] = {ready_, thread_};
        WaitForMultipleObjects(2, both, FALSE, INFINITE);
    }
    CloseHandle(ready_);
    ready_ = nullptr;
    if (thread_ && !set_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return thread_ != nullptr;
}

void HookThread::Stop()
{
    if (!thread_)
        return;
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
}
