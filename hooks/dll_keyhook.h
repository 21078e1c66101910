// The keyboard hook: global shortcuts that switch the capture mode and the
// focus while another program is in front.
//   Ctrl+Alt+1, 2, 3  press the first, second, third button of the mode toolbar
//   Ctrl+Alt+Space    sends IDC_FOCUS (126) to the main window
// Only the left Alt counts. Keys it does not act on pass through untouched.
#pragma once

#include <windows.h>

#include "core/hook_rules.h"
#include "hooks/hook_thread.h"

class CDllKeyhook {
public:
    CDllKeyhook();
    // Ends a hook still set, so no callback outlives its object.
    ~CDllKeyhook();
    CDllKeyhook(const CDllKeyhook&) = delete;
    CDllKeyhook& operator=(const CDllKeyhook&) = delete;
    // Slot 0: the main window; slot 1: the mode toolbar. 1 on success, 0 for
    // another slot.
    int SetHWND(HWND window, int slot);
    // 1 when the hook is active afterwards (also when it already was), 0 if
    // it could not be set.
    int SetHook();
    // 1 when the hook was active and is now ended, 0 when there was nothing
    // to end; either way it is inactive afterwards.
    int EndHook();
    int IsHooking();
    // The current capture mode: 0 Edit, 1 Selection-edit, 2 Search.
    void SetTBBMode(int mode);

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SinkProc(HWND sink, UINT message, WPARAM wParam, LPARAM lParam);
    void PressModeButton(int mode);
    void SendFocusSwitch();

    HWND windows_[2];
    HookThread hook_;
    HWND sink_;
    int mode_;
    hookrules::ShortcutKeys keys_;
};
