// The helper program select_target.exe, started beside the test program:
// a window with an edit control holding "alpha beta gamma delta", for
// selecting text with the mouse as a person does in another program.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// How a test waits: in-process hook tests must keep pumping their messages.
using WaitUntil = std::function<bool(const std::function<bool()>&, DWORD timeoutMs)>;

class SelectTarget {
public:
    // consoleClass: its window class is that of a console window. options:
    // more of the helper's arguments ("keysonly", "hang").
    SelectTarget(bool consoleClass, const WaitUntil& wait, const char* options = "");
    // Ended when the object goes.
    ~SelectTarget();
    SelectTarget(const SelectTarget&) = delete;
    SelectTarget& operator=(const SelectTarget&) = delete;
    HWND Window() const { return window_; }
    HWND Edit() const { return edit_; }
    // How many characters were typed into its edit control.
    int Typed() const;

private:
    PROCESS_INFORMATION process_ = {};
    HWND window_ = nullptr, edit_ = nullptr;
};

// Screen point in the middle of the line at the left edge of character i.
POINT CharPoint(HWND edit, int i, int dx = 0);
// What the edit control has selected.
std::string SelectedText(HWND edit);
