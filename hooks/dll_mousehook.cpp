#include "hooks/dll_mousehook.h"

#include "hooks/message_sink.h"

using hookrules::GiveBackStep;
using hookrules::MouseAction;

namespace {

// Low-level hook callbacks carry no context, so the object whose hook is set
// is kept here. One mouse hook per process.
CDllMouseHook* ActiveMouseHook = nullptr;

const UINT WM_SELECTION_ENDED = WM_APP + 1; // lParam: where the button was released
const UINT WM_GIVE_BACK = WM_APP + 2;       // the copy has been handled
const UINT_PTR kGiveBackTimer = 1;
const UINT_PTR kKeepTimer = 2; // the clipboard was busy when the selection ended
// Another look while the clipboard is held open by someone else, or while the
// timer came a little before its time.
const UINT kRetryMs = 15;
// Keeping the clipboard delays the copy by as much: a "short time".
const DWORD kKeepWithinMs = 200;
const char kSinkClass[] = "VkMouseHookSink";

hookrules::MouseSettings SystemMouseSettings()
{
    hookrules::MouseSettings s;
    s.dragX = GetSystemMetrics(SM_CXDRAG);
    s.dragY = GetSystemMetrics(SM_CYDRAG);
    s.doubleClickMs = GetDoubleClickTime();
    s.doubleClickX = GetSystemMetrics(SM_CXDOUBLECLK);
    s.doubleClickY = GetSystemMetrics(SM_CYDOUBLECLK);
    return s;
}

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// Presses Ctrl+C for whatever window has the keyboard focus.
void PressCopyKeys()
{
    INPUT keys[4] = {};
    const WORD vks[4] = {VK_CONTROL, 'C', 'C', VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = vks[i];
        keys[i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(vks[i], MAPVK_VK_TO_VSC));
        keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, keys, sizeof(INPUT));
}

} // namespace

CDllMouseHook::CDllMouseHook()
    : mainWindow_(nullptr), hook_(nullptr), sink_(nullptr), gestures_(hookrules::MouseSettings{}),
      selectionAt_{0, 0}, keepUntil_(0), copyTargets_{0, 0}
{
}

CDllMouseHook::~CDllMouseHook()
{
    EndHook();
}

int CDllMouseHook::SetMainHWND(HWND window)
{
    mainWindow_ = window;
    return 1;
}

int CDllMouseHook::SetHook()
{
    if (hook_)
        return 1;
    if (ActiveMouseHook)
        return 0; // another object holds the process's mouse hook
    sink_ = CreateMessageSink(kSinkClass, SinkProc, this);
    if (!sink_)
        return 0;
    // Read at every start, so a change of the user's settings is followed.
    gestures_ = hookrules::SelectionGestures(SystemMouseSettings());
    ActiveMouseHook = this;
    hook_ = SetWindowsHookExA(WH_MOUSE_LL, HookProc, OwnModule(), 0);
    if (!hook_) {
        ActiveMouseHook = nullptr;
        DestroyWindow(sink_);
        sink_ = nullptr;
        return 0;
    }
    return 1;
}

int CDllMouseHook::EndHook()
{
    if (!hook_)
        return 0;
    UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    ActiveMouseHook = nullptr;
    // A selection seen but not yet copied is dropped with the sink, and so is
    // a clipboard not yet given back.
    ForgetClipboard();
    DestroyWindow(sink_);
    sink_ = nullptr;
    return 1;
}

int CDllMouseHook::IsHooking()
{
    return hook_ != nullptr;
}

LRESULT CALLBACK CDllMouseHook::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    CDllMouseHook* self = ActiveMouseHook;
    if (code == HC_ACTION && self) {
        const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        MouseAction action = MouseAction::Nothing;
        if (wParam == WM_LBUTTONDOWN)
            action = self->gestures_.OnLeftDown(info->pt.x, info->pt.y, info->time);
        else if (wParam == WM_LBUTTONUP)
            action = self->gestures_.OnLeftUp(info->pt.x, info->pt.y);
        if (action == MouseAction::CopySelection)
            PostMessageA(self->sink_, WM_SELECTION_ENDED, 0, MAKELPARAM(info->pt.x, info->pt.y));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CDllMouseHook::SinkProc(HWND sink, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CDllMouseHook*>(GetWindowLongPtrA(sink, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(sink, message, wParam, lParam);
    switch (message) {
    case WM_SELECTION_ENDED:
        KillTimer(sink, kKeepTimer);
        self->selectionAt_ = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        self->keepUntil_ = GetTickCount() + kKeepWithinMs;
        self->CopySelection();
        return 0;
    case WM_GIVE_BACK:
        self->GiveBackDue();
        return 0;
    case WM_TIMER:
        if (wParam == kKeepTimer) {
            KillTimer(sink, kKeepTimer);
            self->CopySelection();
            return 0;
        }
        if (wParam != kGiveBackTimer)
            break;
        self->GiveBackDue();
        return 0;
    }
    return DefWindowProcA(sink, message, wParam, lParam);
}

bool CDllMouseHook::MayCopyFrom(HWND window) const
{
    if (!window)
        return false;
    DWORD pid = ProcessOf(window);
    if (pid == GetCurrentProcessId() || (mainWindow_ && pid == ProcessOf(mainWindow_)))
        return false;
    char className[256] = "";
    GetClassNameA(window, className, sizeof className);
    return !hookrules::IsTerminalWindowClass(className);
}

// Ctrl+C goes to the window in front; the selection was made in the window
// under the pointer. Both must be fair game.
void CDllMouseHook::CopySelection()
{
    HWND front = GetForegroundWindow();
    HWND under = WindowFromPoint(selectionAt_);
    if (under)
        under = GetAncestor(under, GA_ROOT);
    if (!MayCopyFrom(front) || (under && !MayCopyFrom(under)))
        return;
    if (!KeepClipboard(front, under)) {
        SetTimer(sink_, kKeepTimer, kRetryMs, nullptr);
        return;
    }
    PressCopyKeys();
}

// Taken just before the Ctrl+C. A clipboard that cannot be kept whole in
// time is left to the copy, as it always was. A selection made while an
// earlier copy is in flight keeps what the person had before that one.
// False: the clipboard is open elsewhere for now (clipboard watchers open it
// after every change), and there is time to look again.
bool CDllMouseHook::KeepClipboard(HWND front, HWND under)
{
    if (!giveBack_.Active()) {
        auto kept = kept_.Take(sink_, kKeepWithinMs);
        if (kept == ClipboardSnapshot::TakeResult::Busy &&
            static_cast<int32_t>(GetTickCount() - keepUntil_) < 0)
            return false;
        if (kept != ClipboardSnapshot::TakeResult::Taken)
            return true;
    }
    // The copy may come from either: the system may still report another
    // window in front while the keys already reach the one clicked.
    copyTargets_[0] = ProcessOf(front);
    copyTargets_[1] = under ? ProcessOf(under) : copyTargets_[0];
    giveBack_.CopyPressed(GetClipboardSequenceNumber(), GetTickCount());
    SetTimer(sink_, kGiveBackTimer, hookrules::CopyWaitMs + 1, nullptr);
    return true;
}

void CDllMouseHook::CopyHandled()
{
    if (!giveBack_.Active())
        return;
    // Programs that open the clipboard without a window own what they copy
    // with none.
    HWND owner = GetClipboardOwner();
    DWORD from = owner ? ProcessOf(owner) : 0;
    bool byTarget = !owner || from == copyTargets_[0] || from == copyTargets_[1];
    switch (giveBack_.ChangeHandled(GetClipboardSequenceNumber(), reinterpret_cast<uintptr_t>(owner),
                                    byTarget, GetTickCount())) {
    case GiveBackStep::GiveBack:
        // Not from inside the viewers' notification: the chain has had it
        // once this comes.
        PostMessageA(sink_, WM_GIVE_BACK, 0, 0);
        break;
    case GiveBackStep::Forget:
        ForgetClipboard();
        break;
    case GiveBackStep::Wait:
        break;
    }
}

void CDllMouseHook::GiveBackDue()
{
    switch (giveBack_.Due(GetClipboardSequenceNumber(),
                          reinterpret_cast<uintptr_t>(GetClipboardOwner()), GetTickCount())) {
    case GiveBackStep::Wait:
        SetTimer(sink_, kGiveBackTimer, kRetryMs, nullptr);
        break;
    case GiveBackStep::Forget:
        ForgetClipboard();
        break;
    case GiveBackStep::GiveBack:
        if (kept_.PutBack(sink_) == ClipboardSnapshot::PutResult::Busy) {
            SetTimer(sink_, kGiveBackTimer, kRetryMs, nullptr);
            break;
        }
        ForgetClipboard();
        break;
    }
}

void CDllMouseHook::ForgetClipboard()
{
    giveBack_.Reset();
    kept_.Clear();
    if (sink_)
        KillTimer(sink_, kGiveBackTimer);
}
