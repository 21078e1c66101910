#include "hooks/dll_keyhook.h"

#include <commctrl.h>

#include "hooks/message_sink.h"

using hookrules::KeyAction;

namespace {

// Low-level hook callbacks carry no context, so the object whose hook is set
// is kept here. One keyboard hook per process.
CDllKeyhook* ActiveKeyhook = nullptr;

const UINT WM_SHORTCUT = WM_APP + 1; // wParam: the KeyAction
const char kSinkClass[] = "VkKeyhookSink";
const int kFocusCommand = 126;

} // namespace

CDllKeyhook::CDllKeyhook() : windows_{nullptr, nullptr}, sink_(nullptr), mode_(0)
{
}

CDllKeyhook::~CDllKeyhook()
{
    EndHook();
}

int CDllKeyhook::SetHWND(HWND window, int slot)
{
    if (slot != 0 && slot != 1)
        return 0;
    windows_[slot] = window;
    return 1;
}

int CDllKeyhook::SetHook()
{
    if (hook_.Running())
        return 1;
    if (ActiveKeyhook)
        return 0; // another object holds the process's keyboard hook
    sink_ = CreateMessageSink(kSinkClass, SinkProc, this);
    if (!sink_)
        return 0;
    keys_.Reset();
    ActiveKeyhook = this;
    if (!hook_.Start(WH_KEYBOARD_LL, HookProc)) {
        ActiveKeyhook = nullptr;
        DestroyWindow(sink_);
        sink_ = nullptr;
        return 0;
    }
    return 1;
}

int CDllKeyhook::EndHook()
{
    if (!hook_.Running())
        return 0;
    hook_.Stop();
    ActiveKeyhook = nullptr;
    // Shortcuts already seen but not yet carried out die with the sink.
    DestroyWindow(sink_);
    sink_ = nullptr;
    return 1;
}

int CDllKeyhook::IsHooking()
{
    return hook_.Running();
}

void CDllKeyhook::SetTBBMode(int mode)
{
    mode_ = mode;
}

// Runs on the hook's own thread: decides at once, and leaves the acting to
// the sink on the program's thread.
LRESULT CALLBACK CDllKeyhook::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    CDllKeyhook* self = ActiveKeyhook;
    if (code == HC_ACTION && self) {
        const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        hookrules::KeyEvent event = {info->vkCode, wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN,
                                     (info->flags & LLKHF_EXTENDED) != 0};
        hookrules::KeyTargets targets = {IsWindow(self->windows_[0]) != FALSE,
                                         IsWindow(self->windows_[1]) != FALSE};
        KeyAction action = self->keys_.OnKey(event, targets);
        if (action != KeyAction::PassOn) {
            if (action != KeyAction::Swallow)
                PostMessageA(self->sink_, WM_SHORTCUT, static_cast<WPARAM>(action), 0);
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CDllKeyhook::SinkProc(HWND sink, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CDllKeyhook*>(GetWindowLongPtrA(sink, GWLP_USERDATA));
    if (message != WM_SHORTCUT || !self)
        return DefWindowProcA(sink, message, wParam, lParam);
    auto action = static_cast<KeyAction>(wParam);
    if (action == KeyAction::FocusSwitch)
        self->SendFocusSwitch();
    else if (hookrules::ModeOfAction(action) >= 0)
        self->PressModeButton(hookrules::ModeOfAction(action));
    return 0;
}

// Does what a click on the toolbar's mode button does: the check moves to the
// button and its command goes to the toolbar's parent.
void CDllKeyhook::PressModeButton(int mode)
{
    HWND toolbar = windows_[1];
    if (!IsWindow(toolbar))
        return;
    TBBUTTON button = {};
    if (!SendMessageA(toolbar, TB_GETBUTTON, static_cast<WPARAM>(mode),
                      reinterpret_cast<LPARAM>(&button)))
        return;
    int command = button.idCommand;
    bool checked = SendMessageA(toolbar, TB_ISBUTTONCHECKED, static_cast<WPARAM>(command), 0) != 0;
    if (mode == mode_ && checked)
        return; // already there
    SendMessageA(toolbar, TB_CHECKBUTTON, static_cast<WPARAM>(command), MAKELPARAM(TRUE, 0));
    SendMessageA(GetParent(toolbar), WM_COMMAND, MAKEWPARAM(command, BN_CLICKED),
                 reinterpret_cast<LPARAM>(toolbar));
}

void CDllKeyhook::SendFocusSwitch()
{
    HWND main = windows_[0];
    if (IsWindow(main))
        SendMessageA(main, WM_COMMAND, MAKEWPARAM(kFocusCommand, 0), 0);
}
