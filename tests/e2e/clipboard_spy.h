// A clipboard viewer of the test's own, on a thread with its own message
// loop, so that it answers the chain at once.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One clipboard change as the chain passed it on.
struct SeenChange {
    double ms;       // when it reached the spy, on a clock of the test's own
    std::string text; // its CF_TEXT, "" when it has none
    bool marked;     // it carries "Clipboard Viewer Ignore"
    int formats;
};

class ClipboardSpy {
public:
    ClipboardSpy();
    ~ClipboardSpy();

    int Draws() const { return draws_; }
    int ChainChanges() const { return chainChanges_; }
    HWND Window() const { return window_; }
    std::vector<SeenChange> Changes() const;
    // The next change that reaches the spy is answered at once with a copy of
    // this text, as another program might make while one is passed on.
    void CopyOnNextChange(const std::string& text);

private:
    static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp);
    void Run();

    std::thread thread_;
    std::atomic<HWND> window_{nullptr};
    HWND next_ = nullptr;
    std::atomic<int> draws_{0}, chainChanges_{0};
    mutable std::mutex mutex_;
    std::vector<SeenChange> changes_;
    std::string answer_; // with mutex_
};

// Puts text on the clipboard as CF_TEXT; extra registered formats can mark it
// as a password manager does.
bool SetClipboardText(const std::string& text, bool privateMarker = false,
                      bool historyZero = false);
bool SetClipboardPicture();

// Puts blocks of global memory on the clipboard, each in its format, in order;
// none empties it.
struct ClipboardBlock {
    UINT format;
    std::string bytes;
};
bool SetClipboardBlocks(const std::vector<ClipboardBlock>& blocks);
// The bytes of a format held as global memory; "<none>" when it is missing.
std::string ClipboardBytes(UINT format);
// An 8 by 8 bitmap whose pixels follow the seed.
bool SetClipboardBitmap(int seed);
// The CF_BITMAP's pixels as 32-bit values, or "<none>".
std::string ClipboardBitmapBits();
// A CF_HDROP block naming the files.
std::string FileListBlock(const std::vector<std::string>& paths);
