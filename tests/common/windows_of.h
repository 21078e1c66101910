// The windows of a process, found by their class.
#pragma once

#include <windows.h>

#include <vector>

struct WindowSearch {
    DWORD pid;
    const char* className = nullptr; // null: any class
    bool visibleOnly = true;
    bool children = false; // the children of every window found as well
};

// In the order the system lists them, the top-level windows first.
std::vector<HWND> WindowsOf(const WindowSearch& search);

// The first visible top-level window of the process with the class, or null.
inline HWND WindowOf(DWORD pid, const char* className)
{
    std::vector<HWND> found = WindowsOf({pid, className});
    return found.empty() ? nullptr : found.front();
}

// The same, waiting for it up to timeoutMs.
HWND WaitForWindowOf(DWORD pid, const char* className, unsigned timeoutMs);
