// A clipboard viewer of the test's own, on a thread with its own message
// loop, so that it answers the chain at once.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

class ClipboardSpy {
public:
    ClipboardSpy();
    ~ClipboardSpy();

    int Draws() const { return draws_; }
    int ChainChanges() const { return chainChanges_; }
    HWND Window() const { return window_; }

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp);
    void Run();

    std::thread thread_;
    std::atomic<HWND> window_{nullptr};
    HWND next_ = nullptr;
    std::atomic<int> draws_{0}, chainChanges_{0};
};

// Puts text on the clipboard as CF_TEXT; extra registered formats can mark it
// as a password manager does.
bool SetClipboardText(const std::string& text, bool privateMarker = false,
                      bool historyZero = false);
bool SetClipboardPicture();
