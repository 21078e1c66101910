#include "ui/clip_viewer_wrap.h"

#include <cstring>

namespace {

// Password managers mark what they copy so that clipboard watchers leave it
// alone; such a change counts as one without text.
bool IsPrivateClipboard()
{
    static const UINT exclude =
        RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing");
    static const UINT history = RegisterClipboardFormatA("CanIncludeInClipboardHistory");
    if (exclude && IsClipboardFormatAvailable(exclude))
        return true;
    if (history && IsClipboardFormatAvailable(history)) {
        HANDLE data = GetClipboardData(history);
        const DWORD* flag = data ? static_cast<const DWORD*>(GlobalLock(data)) : nullptr;
        bool allowed = true;
        if (flag) {
            allowed = GlobalSize(data) < sizeof(DWORD) || *flag != 0;
            GlobalUnlock(data);
        }
        return !allowed;
    }
    return false;
}

// A change this program made itself and marked for viewers to let pass: the
// clipboard the person had, given back after an automatic copy.
bool IsOwnIgnoredChange()
{
    static const UINT ignore = RegisterClipboardFormatA("Clipboard Viewer Ignore");
    if (!ignore || !IsClipboardFormatAvailable(ignore))
        return false;
    HWND owner = GetClipboardOwner();
    DWORD pid = 0;
    if (owner)
        GetWindowThreadProcessId(owner, &pid);
    return pid == GetCurrentProcessId();
}

} // namespace

void CClipViewerWrap::JoinChain(HWND window)
{
    next = SetClipboardViewer(window);
}

int CClipViewerWrap::ReadClipboardText(HWND window)
{
    if (!OpenClipboard(window))
        return 0;
    int taken = 0;
    if (!IsPrivateClipboard() && !IsOwnIgnoredChange()) {
        HANDLE data = GetClipboardData(CF_TEXT);
        const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
        if (text) {
            // Never read past the block, even if its text lacks the zero.
            size_t limit = GlobalSize(data);
            const void* zero = memchr(text, 0, limit);
            ClipboardText.assign(text, zero ? static_cast<const char*>(zero) - text : limit);
            GlobalUnlock(data);
            taken = 1;
        }
    }
    CloseClipboard();
    return taken;
}

void CClipViewerWrap::ForwardDraw(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (next)
        SendMessageA(next, message, wParam, lParam);
}

void CClipViewerWrap::ChainChanged(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (reinterpret_cast<HWND>(wParam) == next)
        next = reinterpret_cast<HWND>(lParam);
    else if (next)
        SendMessageA(next, message, wParam, lParam);
}

void CClipViewerWrap::LeaveChain(HWND window)
{
    ChangeClipboardChain(window, next);
}
