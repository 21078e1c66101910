#include "platform/clipboard_marks.h"

bool IsPrivateCopy()
{
    static const UINT exclude =
        RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing");
    static const UINT history = RegisterClipboardFormatA("CanIncludeInClipboardHistory");
    if (exclude && IsClipboardFormatAvailable(exclude))
        return true;
    if (!history || !IsClipboardFormatAvailable(history))
        return false;
    HANDLE data = GetClipboardData(history);
    const DWORD* flag = data ? static_cast<const DWORD*>(GlobalLock(data)) : nullptr;
    bool allowed = true;
    if (flag) {
        allowed = GlobalSize(data) < sizeof(DWORD) || *flag != 0;
        GlobalUnlock(data);
    }
    return !allowed;
}

UINT ViewerIgnoreFormat()
{
    static const UINT format = RegisterClipboardFormatA("Clipboard Viewer Ignore");
    return format;
}
