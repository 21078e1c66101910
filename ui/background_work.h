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
#include <vector>

// How long work runs before the progress window shows.
const DWORD ProgressDelayMs = 500;

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
    // Report, for readers that take a callback.
    std::function<bool(uint64_t, uint64_t)> Reporter()
    {
        return [this](uint64_t done, uint64_t total) { return Report(done, total); };
    }
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    void Cancel() { cancelled_ = true; }
    uint32_t Permille() const { return permille_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> cancelled_{false};
    std::atomic<uint32_t> permille_{0};
};

// Work that starts before there is a window to wait in, so that it runs
// while the window is being made: a CBackgroundWork waits for it later
// (Join), or it is dropped, which stops it and waits for its thread.
class CEarlyWork {
public:
    explicit CEarlyWork(std::function<void(CWorkProgress&)> work);
    ~CEarlyWork();
    CEarlyWork(const CEarlyWork&) = delete;
    CEarlyWork& operator=(const CEarlyWork&) = delete;

    // Waits for the work with no message handled meanwhile: true once it
    // has ended.
    bool Wait(DWORD ms);

private:
    friend class CBackgroundWork;
    std::function<void(CWorkProgress&)> work_;
    CWorkProgress progress_;
    HANDLE thread_ = nullptr; // none to be had: Join does the work
};

// From its making to Finish (or its end), every window of this thread is
// disabled and the messages of all of them are handled whenever work runs.
class CBackgroundWork {
public:
    CBackgroundWork(HWND owner, const std::string& name);
    ~CBackgroundWork() { Finish(); }
    CBackgroundWork(const CBackgroundWork&) = delete;
    CBackgroundWork& operator=(const CBackgroundWork&) = delete;

    // Runs work on another thread and returns once it has ended: true, or
    // false when the person has cancelled. The work must not touch any
    // window; what it made is taken on by the caller afterwards.
    bool Run(const std::function<void(CWorkProgress&)>& work);
    // The same for work that started earlier; the half second counts from
    // the moment someone started to wait, waitedMs ago. Once it returns,
    // the work has ended.
    bool Join(CEarlyWork& early, DWORD waitedMs = 0);
    // What is typed, clicked or posted to the other windows meanwhile is
    // not dropped but kept for when the work is done, as if the window had
    // done the work itself: at start-up, what the person typed before the
    // table came is looked up in it.
    void HoldInput() { holdInput_ = true; }
    // What follows cannot be undone: キャンセル is greyed, the bar full.
    void EndCancel();
    // The windows come back and the progress window goes.
    void Finish();

private:
    void Wait(HANDLE thread);

    HWND owner_;
    std::string name_;
    CWorkProgress ownProgress_;
    CWorkProgress* progress_ = &ownProgress_;
    bool cancellable_ = true;
    bool holdInput_ = false;
    bool finished_ = false;
    std::vector<HWND> disabled_;
    HWND focus_;
    HWND window_ = nullptr;
    DWORD started_;
    bool quit_ = false;
    WPARAM quitCode_ = 0;
};

// One piece of work from start to end.
bool RunInBackground(HWND owner, const std::string& name,
                     const std::function<void(CWorkProgress&)>& work);

// Whether some work is running: commands that arrive meanwhile (sent from
// another program, say) are not carried out.
bool BackgroundWorkRunning();

// The progress window's class, for those who look for it.
extern const char ProgressClassName[];
