#include "core/hook_rules.h"

#include <cstdlib>

namespace hookrules {

namespace {

bool SameTextIgnoringCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        char ca = *a, cb = *b;
        if (ca >= 'A' && ca <= 'Z')
            ca = static_cast<char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z')
            cb = static_cast<char>(cb - 'A' + 'a');
        if (ca != cb)
            return false;
    }
    return *a == *b;
}

} // namespace

bool HeldModifiers::Update(const KeyEvent& e)
{
    bool* flag = nullptr;
    switch (e.vk) {
    case VkLControl: flag = &leftCtrl_; break;
    case VkRControl: flag = &rightCtrl_; break;
    case VkControl: flag = e.extended ? &rightCtrl_ : &leftCtrl_; break;
    case VkLMenu: flag = &leftAlt_; break;
    case VkRMenu: flag = &rightAlt_; break;
    case VkMenu: flag = e.extended ? &rightAlt_ : &leftAlt_; break;
    case VkLShift: flag = &leftShift_; break;
    case VkRShift: flag = &rightShift_; break;
    case VkShift: flag = &leftShift_; break; // both shifts report alike
    case VkLWin: flag = &leftWin_; break;
    case VkRWin: flag = &rightWin_; break;
    default: return false;
    }
    *flag = e.down;
    return true;
}

KeyAction ShortcutKeys::OnKey(const KeyEvent& e, const KeyTargets& targets)
{
    if (held_.Update(e))
        return KeyAction::PassOn;

    if (eaten_ != 0 && e.vk == eaten_) {
        // Release and auto-repeat of a key we acted on stay with us, so the
        // program in front never sees half a keystroke.
        if (!e.down)
            eaten_ = 0;
        return KeyAction::Swallow;
    }
    if (!e.down)
        return KeyAction::PassOn;

    bool chord = held_.Ctrl() && held_.LeftAltOnly() && !held_.Shift() && !held_.Win();
    if (!chord)
        return KeyAction::PassOn;

    KeyAction action = KeyAction::PassOn;
    switch (e.vk) {
    case Vk1: action = targets.modeToolbar ? KeyAction::ModeEdit : KeyAction::PassOn; break;
    case Vk2: action = targets.modeToolbar ? KeyAction::ModeSelectionEdit : KeyAction::PassOn; break;
    case Vk3: action = targets.modeToolbar ? KeyAction::ModeSearch : KeyAction::PassOn; break;
    case VkSpace: action = targets.mainWindow ? KeyAction::FocusSwitch : KeyAction::PassOn; break;
    default: break;
    }
    if (action != KeyAction::PassOn)
        eaten_ = e.vk;
    return action;
}

void ShortcutKeys::Reset()
{
    *this = ShortcutKeys();
}

bool CopyKeys::OnKey(const KeyEvent& e)
{
    if (held_.Update(e) || !e.down)
        return false;
    // With Alt or Win held these are other programs' shortcuts, or AltGr
    // typing a character.
    if (held_.Alt() || held_.Win())
        return false;
    switch (e.vk) {
    case VkC:
    case VkX:
    case VkInsert:
        return held_.Ctrl();
    case VkDelete:
        return held_.Shift() && !held_.Ctrl();
    }
    return false;
}

int ModeOfAction(KeyAction action)
{
    switch (action) {
    case KeyAction::ModeEdit: return 0;
    case KeyAction::ModeSelectionEdit: return 1;
    case KeyAction::ModeSearch: return 2;
    default: return -1;
    }
}

MouseAction SelectionGestures::OnLeftDown(int x, int y, uint32_t timeMs)
{
    // A second press counts as a double-click only if it comes soon enough
    // and close enough to the first; otherwise it starts afresh.
    secondPress_ = haveClick_ && timeMs - clickTime_ <= settings_.doubleClickMs &&
                   std::abs(x - clickX_) <= settings_.doubleClickX / 2 &&
                   std::abs(y - clickY_) <= settings_.doubleClickY / 2;
    if (!secondPress_) {
        haveClick_ = true;
        clickX_ = x;
        clickY_ = y;
        clickTime_ = timeMs;
    }
    pressed_ = true;
    downX_ = x;
    downY_ = y;
    return MouseAction::Nothing;
}

MouseAction SelectionGestures::OnLeftUp(int x, int y)
{
    if (!pressed_)
        return MouseAction::Nothing; // the press came before we were watching
    pressed_ = false;
    bool dragged = std::abs(x - downX_) > settings_.dragX || std::abs(y - downY_) > settings_.dragY;
    if (dragged) {
        haveClick_ = false; // a drag never begins a double-click
        secondPress_ = false;
        return MouseAction::CopySelection;
    }
    if (secondPress_) {
        // A third press must start a new pair rather than copy again.
        haveClick_ = false;
        secondPress_ = false;
        return MouseAction::CopySelection;
    }
    return MouseAction::Nothing;
}

void SelectionGestures::Reset()
{
    *this = SelectionGestures(settings_);
}

bool IsTerminalWindowClass(const char* className)
{
    if (!className)
        return false;
    static const char* const kTerminalClasses[] = {
        "ConsoleWindowClass",            // the system console
        "PseudoConsoleWindow",           // the hidden window of a pseudo console
        "CASCADIA_HOSTING_WINDOW_CLASS", // Windows Terminal
        "VirtualConsoleClass",           // ConEmu, Cmder
        "Console_2_Main",                // Console2, ConsoleZ
        "mintty",                        // Cygwin, MSYS2, Git Bash
        "PuTTY",
        "KiTTY",
        "TMobaXtermForm",
        "org.wezfurlong.wezterm",
    };
    for (const char* name : kTerminalClasses)
        if (SameTextIgnoringCase(className, name))
            return true;
    return false;
}

bool CopiesOnWmCopy(const char* className)
{
    if (!className)
        return false;
    static const char* const kClasses[] = {
        "Edit", "RichEdit", "RichEdit20A", "RichEdit20W", "RICHEDIT50W", "Scintilla",
    };
    for (const char* name : kClasses)
        if (SameTextIgnoringCase(className, name))
            return true;
    return false;
}

} // namespace hookrules
