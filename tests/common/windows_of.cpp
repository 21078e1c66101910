#include "tests/common/windows_of.h"

#include "tests/common/wait.h"

namespace {

struct Walk {
    const WindowSearch* search;
    std::vector<HWND>* found;
};

bool Wanted(HWND w, const WindowSearch& s)
{
    if (s.visibleOnly && !IsWindowVisible(w))
        return false;
    char cls[64] = "";
    return !s.className || (GetClassNameA(w, cls, sizeof cls) && lstrcmpA(cls, s.className) == 0);
}

BOOL CALLBACK Child(HWND w, LPARAM lp)
{
    auto* walk = reinterpret_cast<Walk*>(lp);
    if (Wanted(w, *walk->search))
        walk->found->push_back(w);
    return TRUE;
}

BOOL CALLBACK TopLevel(HWND w, LPARAM lp)
{
    auto* walk = reinterpret_cast<Walk*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != walk->search->pid)
        return TRUE;
    if (Wanted(w, *walk->search))
        walk->found->push_back(w);
    if (walk->search->children)
        EnumChildWindows(w, Child, lp);
    return TRUE;
}

} // namespace

std::vector<HWND> WindowsOf(const WindowSearch& search)
{
    std::vector<HWND> found;
    Walk walk = {&search, &found};
    EnumWindows(TopLevel, reinterpret_cast<LPARAM>(&walk));
    return found;
}

HWND WaitForWindowOf(DWORD pid, const char* className, unsigned timeoutMs)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = WindowOf(pid, className)) != nullptr; }, timeoutMs);
    return found;
}
