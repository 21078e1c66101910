// Work too long for a message handler: it runs on a thread of its own while
// the window that started it keeps painting and takes no commands, as under
// a modal dialog. Work not done within half a second shows a progress
// window, owned by that window, with the name of what is read, a bar and
// キャンセル.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// Shared by the waiting window and the work's thread.
class CWorkProgress {
public:
    // From the work: how far it has come. False once the person cancelled.
    bool Report(uint64_t done, uint64_t total)
    {
        uint64_t permille = total ? done * 1000 / total : 0;
        permille_.store(uint32_t(permille < 1000 ? permille : 1000), std::memory_order_relaxed);
        return !cancelled_.load(std::memory_order_relaxed);
    }
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    void Cancel() { cancelled_ = true; }
    uint32_t Permille() const { return permille_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> cancelled_{false};
    std::atomic<uint32_t> permille_{0};
};

// Runs work on another thread and returns once it has ended: true, or false
// when the person cancelled. Meanwhile every window of this thread is
// disabled and the messages of all of them are handled. The work must not
// touch any window; what it made is taken on by the caller afterwards.
bool RunInBackground(HWND owner, const std::string& name,
                     const std::function<void(CWorkProgress&)>& work);

// Whether some work is running: commands that arrive meanwhile (sent from
// another program, say) are not carried out.
bool BackgroundWorkRunning();

// The progress window's class, for those who look for it.
extern const char ProgressClassName[];
