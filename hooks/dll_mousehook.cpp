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
const UINT WM_PERSON_COPIED = WM_APP + 3;   // a copy or cut key of the person's went by
const UINT_PTR kGiveBackTimer = 1;
const UINT_PTR kKeepTimer = 2; // the clipboard was busy, or the control not done, when the selection ended
const UINT_PTR kKeysTimer = 3; // the person holds a modifier key
// Another look while the clipboard is held open by someone else, or while the
// timer came a little before its time.
const UINT kRetryMs = 15;
// Keeping the clipboard delays the copy by as much: a "short time".
const DWORD kKeepWithinMs = 200;
// A control slower than this to take the button's release is copied from
// all the same.
const DWORD kReleaseWithinMs = 1000;
// How long the focused control may take over WM_COPY. A program too busy to
// answer in time gets no keys either: they would wait in its queue and
// arrive at whatever it shows by then.
const DWORD kCopyMessageMs = 500;
// How long a modifier key the person holds may put off the keys.
const DWORD kModifiersWaitMs = 1000;
// Marks the keys the hook sends itself, so they are never taken for the person's.
const ULONG_PTR kOwnInput = 0x56424B43;
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

// The control that has the keyboard focus in the window's program.
HWND FocusOf(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus)
        return info.hwndFocus;
    return window;
}

// The window's thread still holds the mouse: it has not yet taken the
// button's release.
bool StillDragging(HWND window)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
           (info.hwndCapture || (info.flags & GUI_INMOVESIZE));
}

// Keys held since before the hook was set are known only to the system.
bool SystemSaysHeld()
{
    static const int keys[] = {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN, 'C'};
    for (int vk : keys)
        if (GetAsyncKeyState(vk) & 0x8000)
            return true;
    return false;
}

INPUT OwnKey(WORD vk, bool up)
{
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = vk;
    key.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    key.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    key.ki.dwExtraInfo = kOwnInput;
    return key;
}

// Ctrl+C for whatever window has the keyboard focus, in one piece. False
// when the system did not take all four: whatever it took down is let go.
bool PressCopyKeys()
{
    INPUT keys[4] = {OwnKey(VK_CONTROL, false), OwnKey('C', false), OwnKey('C', true),
                     OwnKey(VK_CONTROL, true)};
    UINT sent = SendInput(4, keys, sizeof(INPUT));
    if (sent == 4)
        return true;
    if (sent > 0) {
        INPUT ups[2];
        UINT n = 0;
        if (sent == 2)
            ups[n++] = OwnKey('C', true);
        ups[n++] = OwnKey(VK_CONTROL, true);
        SendInput(n, ups, sizeof(INPUT));
    }
    return false;
}

} // namespace

CDllMouseHook::CDllMouseHook()
    : mainWindow_(nullptr), sink_(nullptr), gestures_(hookrules::MouseSettings{}),
      personCopied_(0), personHolds_(0), selectionAt_{0, 0}, keepUntil_(0), copyTargets_{0, 0}, keysFor_(nullptr),
      keysUntil_(0)
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
    if (mouse_.Running())
        return 1;
    if (ActiveMouseHook)
        return 0; // another object holds the process's mouse hook
    sink_ = CreateMessageSink(kSinkClass, SinkProc, this);
    if (!sink_)
        return 0;
    // Read at every start, so a change of the user's settings is followed.
    gestures_ = hookrules::SelectionGestures(SystemMouseSettings());
    copyKeys_ = hookrules::CopyKeys();
    personCopied_ = 0;
    personHolds_ = 0;
    ActiveMouseHook = this;
    if (!mouse_.Start(WH_MOUSE_LL, HookProc) || !keys_.Start(WH_KEYBOARD_LL, KeyProc)) {
        mouse_.Stop();
        ActiveMouseHook = nullptr;
        DestroyWindow(sink_);
        sink_ = nullptr;
        return 0;
    }
    return 1;
}

int CDllMouseHook::EndHook()
{
    if (!mouse_.Running())
        return 0;
    mouse_.Stop();
    keys_.Stop();
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
    return mouse_.Running();
}

// Both hook procedures run on threads of their own and only post: whatever
// the program or another one does, the input of the machine is held up no
// longer than it takes to look at the event.
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

// Any key not of our own making is the person's, pressed or injected on
// their behalf (an on-screen keyboard, a remote session). The flag is set
// before the key reaches the program in front, so it is there before the
// copy it makes.
LRESULT CALLBACK CDllMouseHook::KeyProc(int code, WPARAM wParam, LPARAM lParam)
{
    CDllMouseHook* self = ActiveMouseHook;
    if (code == HC_ACTION && self) {
        const auto* info = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        hookrules::KeyEvent event = {info->vkCode, wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN,
                                     (info->flags & LLKHF_EXTENDED) != 0};
        if (info->dwExtraInfo != kOwnInput) {
            if (self->copyKeys_.OnKey(event)) {
                InterlockedExchange(&self->personCopied_, 1);
                PostMessageA(self->sink_, WM_PERSON_COPIED, 0, 0);
            }
            InterlockedExchange(&self->personHolds_, self->copyKeys_.ModifierHeld() ? 1 : 0);
        }
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
    case WM_PERSON_COPIED:
        self->TakePersonsCopy();
        return 0;
    case WM_TIMER:
        if (wParam == kKeepTimer) {
            KillTimer(sink, kKeepTimer);
            self->CopySelection();
            return 0;
        }
        if (wParam == kKeysTimer) {
            self->PressCopyKeysWhenFree();
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

// The copy goes to the window in front; the selection was made in the window
// under the pointer. Both must be fair game.
void CDllMouseHook::CopySelection()
{
    TakePersonsCopy();
    HWND front = GetForegroundWindow();
    HWND under = WindowFromPoint(selectionAt_);
    if (under)
        under = GetAncestor(under, GA_ROOT);
    if (!MayCopyFrom(front) || (under && !MayCopyFrom(under)))
        return;
    // The hook sees the release before the control does, and a sent WM_COPY
    // overtakes the input still queued for it (keys queued behind the
    // release never could): until the control has let the mouse go, what it
    // would copy is not yet the selection the person made.
    DWORD endedAt = keepUntil_ - kKeepWithinMs;
    if (StillDragging(front) && GetTickCount() - endedAt < kReleaseWithinMs) {
        SetTimer(sink_, kKeepTimer, kRetryMs, nullptr);
        return;
    }
    if (!KeepClipboard(front, under)) {
        SetTimer(sink_, kKeepTimer, kRetryMs, nullptr);
        return;
    }
    CopyFrom(front);
}

// Taken just before the copy. A clipboard that cannot be kept whole in
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

// WM_COPY to the focused control copies without a keystroke, so nothing can
// be typed over the selection. Sent without SMTO_BLOCK: the clipboard change
// it causes is told to the program's viewer on this thread meanwhile.
void CDllMouseHook::CopyFrom(HWND front)
{
    HWND focus = FocusOf(front);
    DWORD before = GetClipboardSequenceNumber();
    DWORD_PTR result = 0;
    LRESULT answered = SendMessageTimeoutA(focus, WM_COPY, 0, 0, SMTO_ABORTIFHUNG,
                                           kCopyMessageMs, &result);
    if (GetClipboardSequenceNumber() != before)
        return;
    // Too slow to answer: no keys, but the copy it makes later is still
    // given back while there is time.
    if (!answered)
        return;
    char className[256] = "";
    GetClassNameA(focus, className, sizeof className);
    if (hookrules::CopiesOnWmCopy(className)) {
        GiveUpCopy();
        return;
    }
    keysFor_ = front;
    keysUntil_ = GetTickCount() + kModifiersWaitMs;
    PressCopyKeysWhenFree();
}

// The control knows no WM_COPY: Ctrl+C, but only into the same window, and
// only while the person holds no key the two would mix with.
void CDllMouseHook::PressCopyKeysWhenFree()
{
    KillTimer(sink_, kKeysTimer);
    if (!keysFor_)
        return;
    if (GetForegroundWindow() != keysFor_) {
        GiveUpCopy();
        return;
    }
    // Ctrl with the person's Alt is AltGr, a letter on some keyboards; our
    // Ctrl's release would end a Ctrl they hold; their Shift makes a C.
    if (personHolds_ || SystemSaysHeld()) {
        if (static_cast<int32_t>(GetTickCount() - keysUntil_) >= 0)
            GiveUpCopy();
        else
            SetTimer(sink_, kKeysTimer, kRetryMs, nullptr);
        return;
    }
    keysFor_ = nullptr;
    if (!PressCopyKeys())
        GiveUpCopy();
}

// No copy is coming: the clipboard still holds what it held, and what was
// kept of it is dropped, unless that is an earlier copy of ours.
void CDllMouseHook::GiveUpCopy()
{
    keysFor_ = nullptr;
    KillTimer(sink_, kKeysTimer);
    if (giveBack_.CopyAbandoned(GetClipboardSequenceNumber(), GetTickCount()) ==
        GiveBackStep::GiveBack)
        PostMessageA(sink_, WM_GIVE_BACK, 0, 0);
    else
        ForgetClipboard();
}

// Their copy is the one that stays: ours is not made after it, nor is the
// clipboard given back over it.
void CDllMouseHook::TakePersonsCopy()
{
    if (!InterlockedExchange(&personCopied_, 0))
        return;
    if (giveBack_.PersonCopied() == GiveBackStep::Forget || keysFor_)
        ForgetClipboard();
}

void CDllMouseHook::CopyHandled()
{
    TakePersonsCopy();
    if (!giveBack_.Active())
        return;
    // Programs that open the clipboard without a window own what they copy
    // with none.
    HWND owner = GetClipboardOwner();
    DWORD from = owner ? ProcessOf(owner) : 0;
    bool byTarget = !owner || from == copyTargets_[0] || from == copyTargets_[1];
    switch (giveBack_.ChangeHandled(GetClipboardSequenceNumber(), byTarget, GetTickCount())) {
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
    TakePersonsCopy();
    switch (giveBack_.Due(GetClipboardSequenceNumber(), GetTickCount())) {
    case GiveBackStep::Wait:
        SetTimer(sink_, kGiveBackTimer, kRetryMs, nullptr);
        break;
    case GiveBackStep::Forget:
        ForgetClipboard();
        break;
    case GiveBackStep::GiveBack:
        if (kept_.PutBack(sink_, kKeepWithinMs) == ClipboardSnapshot::PutResult::Busy) {
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
    keysFor_ = nullptr;
    if (sink_) {
        KillTimer(sink_, kGiveBackTimer);
        KillTimer(sink_, kKeysTimer);
    }
}
