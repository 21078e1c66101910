// What the keyboard and mouse hooks make of raw input. No window system here:
// the hooks feed events in and carry out the action that comes back, so the
// rules can be tested without a desktop.
#pragma once

#include <cstdint>

namespace hookrules {

// Virtual-key codes, with the values the window system gives them.
enum : unsigned {
    VkShift = 0x10,
    VkControl = 0x11,
    VkMenu = 0x12, // Alt, side given by the extended flag
    VkSpace = 0x20,
    VkInsert = 0x2D,
    VkDelete = 0x2E,
    Vk1 = 0x31,
    Vk2 = 0x32,
    Vk3 = 0x33,
    VkC = 0x43,
    VkX = 0x58,
    VkLWin = 0x5B,
    VkRWin = 0x5C,
    VkLShift = 0xA0,
    VkRShift = 0xA1,
    VkLControl = 0xA2,
    VkRControl = 0xA3,
    VkLMenu = 0xA4,
    VkRMenu = 0xA5,
};

struct KeyEvent {
    unsigned vk;
    bool down;     // press (or auto-repeat) rather than release
    bool extended; // the right-hand key of a pair when vk does not say which
};

enum class KeyAction {
    PassOn,            // not ours: the key goes on to the program in front
    Swallow,           // the release or repeat of a key whose press we acted on
    ModeEdit,          // Ctrl+Alt+1
    ModeSelectionEdit, // Ctrl+Alt+2
    ModeSearch,        // Ctrl+Alt+3
    FocusSwitch,       // Ctrl+Alt+Space
};

// Which windows there are to act on; a shortcut without its window is not
// taken from the program in front.
struct KeyTargets {
    bool mainWindow;
    bool modeToolbar;
};

// The modifier keys held, as the key events tell them.
class HeldModifiers {
public:
    // False when the event is no modifier key.
    bool Update(const KeyEvent& event);
    bool Ctrl() const { return leftCtrl_ || rightCtrl_; }
    bool Shift() const { return leftShift_ || rightShift_; }
    bool LeftAltOnly() const { return leftAlt_ && !rightAlt_; }
    bool Alt() const { return leftAlt_ || rightAlt_; }
    bool Win() const { return leftWin_ || rightWin_; }

private:
    bool leftCtrl_ = false, rightCtrl_ = false;
    bool leftAlt_ = false, rightAlt_ = false;
    bool leftShift_ = false, rightShift_ = false;
    bool leftWin_ = false, rightWin_ = false;
};

// Follows the modifier keys and recognises the global shortcuts. Only the
// left Alt counts: AltGr arrives as Ctrl + right Alt and must keep typing
// characters on keyboards that have it.
class ShortcutKeys {
public:
    KeyAction OnKey(const KeyEvent& event, const KeyTargets& targets);
    void Reset();

private:
    HeldModifiers held_;
    unsigned eaten_ = 0; // key whose press was acted on, until it is released
};

// Recognises the person copying or cutting with the keyboard in whatever
// program is in front: Ctrl+C, Ctrl+X, Ctrl+Insert, Shift+Delete.
class CopyKeys {
public:
    // True for the press that copies or cuts.
    bool OnKey(const KeyEvent& event);
    // Any of Ctrl, Shift, Alt, Win is held.
    bool ModifierHeld() const { return held_.Ctrl() || held_.Shift() || held_.Alt() || held_.Win(); }

private:
    HeldModifiers held_;
};

// The capture mode a mode shortcut asks for (0 Edit, 1 Selection-edit,
// 2 Search), or -1 for any other action.
int ModeOfAction(KeyAction action);

struct MouseSettings {
    int dragX, dragY;             // movement beyond this many pixels is a drag
    uint32_t doubleClickMs;       // the longest time between the two presses
    int doubleClickX, doubleClickY; // size of the box the second press must land in
};

enum class MouseAction { Nothing, CopySelection };

// Recognises the end of a mouse selection: a left-button drag or a
// double-click. Times are the event times in milliseconds, which wrap.
class SelectionGestures {
public:
    explicit SelectionGestures(const MouseSettings& settings) : settings_(settings) {}
    MouseAction OnLeftDown(int x, int y, uint32_t timeMs);
    MouseAction OnLeftUp(int x, int y);
    void Reset();

private:
    MouseSettings settings_;
    bool pressed_ = false;      // a press we saw is not yet released
    int downX_ = 0, downY_ = 0; // where it was
    bool secondPress_ = false;  // the press is the second of a double-click
    bool haveClick_ = false;    // an earlier plain click could start a double-click
    int clickX_ = 0, clickY_ = 0;
    uint32_t clickTime_ = 0;
};

// Windows of these classes are consoles or terminal emulators, where Ctrl+C
// interrupts the running command instead of copying.
bool IsTerminalWindowClass(const char* className);

// Controls of these classes copy on WM_COPY: when that copies nothing, they
// have nothing selected, and Ctrl+C would copy nothing either.
bool CopiesOnWmCopy(const char* className);

} // namespace hookrules
