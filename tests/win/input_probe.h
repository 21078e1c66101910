// Helpers for the hook tests: injected input, a low-level observer that sees
// what the hook under test lets through, and waiting with a deadline while
// this thread's messages (and so the hooks' callbacks) keep running.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

struct SeenKey {
    DWORD vk;
    bool down;
};

// Low-level keyboard and mouse hooks installed before the hook under test,
// so they run after it: they see only what it passes on. The key VK_F24
// serves as a marker and is kept from every program.
class InputProbe {
public:
    InputProbe();
    ~InputProbe();
    InputProbe(const InputProbe&) = delete;
    InputProbe& operator=(const InputProbe&) = delete;

    // Injects a marker and waits until it has come through, then runs every
    // message already queued: all input injected before is then dealt with.
    bool Sync(DWORD timeoutMs = 5000);

    std::vector<SeenKey> Keys() const; // since the last Clear, markers left out
    int LeftButtonUps() const;
    void Clear();
    bool Installed() const { return keyboard_ && mouse_; }

private:
    HHOOK keyboard_, mouse_;
};

// Runs this thread's messages until `done` holds or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Runs every message already queued for this thread.
void DrainMessages();

// One keyboard event; scan code from the key unless given.
INPUT KeyInput(WORD vk, bool down, bool extended = false, WORD scan = 0);
void SendKeys(const std::vector<INPUT>& keys);
// Presses the keys in order and releases them in reverse order.
void PressChord(const std::vector<INPUT>& downs);

// The left button at a screen point: the pointer goes there first, since an
// injected move does not move Wine's pointer.
void LeftButton(POINT at, bool down);
void MoveTo(POINT at);

bool SetClipboardText(const std::string& text);
std::string ClipboardText();

// Renders key events as "+vk -vk" with hex codes, for failure messages.
std::string Describe(const std::vector<SeenKey>& keys);
