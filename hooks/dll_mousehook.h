// The mouse hook: when the user ends a selection in another program (a
// left-button drag or a double-click), it copies the selection there, so the
// capture modes receive it through the clipboard. The copy never types: it
// asks the focused control with WM_COPY, and only where that copies nothing
// presses Ctrl+C, once the person's hands are off the modifier keys.
// It leaves alone the program's own windows and console or terminal windows,
// where Ctrl+C would interrupt a command.
// What the clipboard held before that copy is kept, and given back once the
// program has used the copied selection, unless the clipboard has changed
// again since or the person has pressed a key that copies or cuts.
// The hooks run on threads of their own; the work is done on the thread that
// set them, from its message loop.
#pragma once

#include <windows.h>

#include "core/clipboard_give_back.h"
#include "core/hook_rules.h"
#include "hooks/clipboard_snapshot.h"
#include "hooks/hook_thread.h"

class CDllMouseHook {
public:
    CDllMouseHook();
    // Ends a hook still set, so no callback outlives its object.
    ~CDllMouseHook();
    CDllMouseHook(const CDllMouseHook&) = delete;
    CDllMouseHook& operator=(const CDllMouseHook&) = delete;
    // The program's main window: windows of its process are never copied from.
    int SetMainHWND(HWND window);
    // 1 when the hook is active afterwards (also when it already was), 0 if
    // it could not be set.
    int SetHook();
    // 1 when the hook was active and is now ended, 0 when there was nothing
    // to end; either way it is inactive afterwards.
    int EndHook();
    int IsHooking();
    // The program calls this after it has handled a clipboard change and
    // passed it on: if the change was this hook's copy, the clipboard the
    // person had before it is given back shortly afterwards.
    void CopyHandled();

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK KeyProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SinkProc(HWND sink, UINT message, WPARAM wParam, LPARAM lParam);
    bool MayCopyFrom(HWND window) const;
    void CopySelection();
    bool KeepClipboard(HWND front, HWND under);
    void CopyFrom(HWND front);
    void PressCopyKeysWhenFree();
    void GiveUpCopy();
    void TakePersonsCopy();
    void GiveBackDue();
    void ForgetClipboard();

    HWND mainWindow_;
    HookThread mouse_;
    HookThread keys_;                    // sees the person copy or cut
    HWND sink_;
    hookrules::SelectionGestures gestures_; // the mouse hook's thread only
    hookrules::CopyKeys copyKeys_;          // the keyboard hook's thread only
    volatile LONG personCopied_;         // set by the keyboard hook, taken by the sink
    volatile LONG personHolds_;          // a modifier key, as the keyboard hook saw last
    POINT selectionAt_;                  // where the last selection ended
    DWORD keepUntil_;                    // until when a busy clipboard is tried again
    ClipboardSnapshot kept_;             // the person's clipboard while a copy is in flight
    hookrules::ClipboardGiveBack giveBack_;
    DWORD copyTargets_[2];               // the processes in front and under the pointer
    HWND keysFor_;                       // the window in front when keys are to copy
    DWORD keysUntil_;                    // until when the modifiers may still be held
};
