#include "ui/clip_viewer_wrap.h"

#include <cstring>

#include "platform/clipboard_marks.h"

namespace {

// A change this program made itself and marked for viewers to let pass: the
// clipboard the person had, given back after an automatic copy.
bool IsOwnIgnoredChange()
{
    UINT ignore = ViewerIgnoreFormat();
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
    if (!IsPrivateCopy() && !IsOwnIgnoredChange()) {
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
