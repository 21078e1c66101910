// A low-level hook on a thread of its own. The system calls a low-level
// hook on the thread that set it, and holds back the input of every program
// until it returns: on the program's thread, anything that thread waits for
// (another program's answer, a dialog's file, a long save) would stall the
// whole machine's keyboard and mouse.
#pragma once

#include <windows.h>

class HookThread {
public:
    HookThread() = default;
    // Ends a hook still set.
    ~HookThread();
    HookThread(const HookThread&) = delete;
    HookThread& operator=(const HookThread&) = delete;

    // Sets a WH_KEYBOARD_LL or WH_MOUSE_LL hook on a new thread and waits
    // until it is set. False (and no thread left) when it could not be.
    bool Start(int kind, HOOKPROC procedure);
    // Takes the hook away and waits for its thread to end: no call of the
    // procedure comes afterwards. Nothing to do when none is set.
    void Stop();
    bool Running() const { return thread_ != nullptr; }

private:
    static DWORD WINAPI Run(void* self);

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE ready_ = nullptr;
    int kind_ = 0;
    HOOKPROC procedure_ = nullptr;
    bool set_ = false;
};
