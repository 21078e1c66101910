#include "lookup/capture.h"

#include "lookup/controls.h"
#include "lookup/lookup.h"

int CaptureMode = Edit;
int CaptureEnabled = 0;

namespace {

void PreparePane(CRichEditWrap& pane, bool readOnly, COLORREF background)
{
    if (readOnly)
        pane.Lock();
    else
        pane.Unlock();
    pane.SetBkColor(background);
}

} // namespace

void SwitchCaptureMode(CaptureModeValue mode)
{
    const bool search = mode == Search;
    const COLORREF background = search ? GetSysColor(COLOR_BTNFACE) : RGB(255, 255, 255);
    PreparePane(KeyPane, search, background);
    PreparePane(ResultPane, search, background);
    if (mode == Edit)
        MouseHook.EndHook();
    else
        MouseHook.SetHook();
    CaptureEnabled = mode != Edit;
    CaptureMode = mode;
    KeyHook.SetTBBMode(CaptureMode);
}

void OnClipboardChange(HWND mainWindow)
{
    bool gotText = ClipboardLink.ReadClipboardText(mainWindow) != 0;
    if (!CaptureEnabled || !gotText)
        return;
    switch (CaptureMode) {
    case Search:
        LookUpWord(ClipboardLink.ClipboardText.c_str());
        InvalidateRect(mainWindow, nullptr, FALSE);
        break;
    case SelectionEdit:
        ResultPane.Clear();
        ResultPane.ReplaceSelLimited(ClipboardLink.ClipboardText.c_str());
        ResultPane.ScrollTop();
        break;
    }
}
