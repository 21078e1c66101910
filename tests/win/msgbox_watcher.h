// Finds the message boxes that the code under test shows in this process,
// records their text and caption, and presses a button, so that a test never
// hangs on a modal box and never skips checking one.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

struct SeenBox {
    std::string text, caption;
    UINT type; // MB_ICON* and buttons, as far as they can be told from outside
};

class MessageBoxWatcher {
public:
    // Presses `button` (IDOK, IDYES, IDNO...) on every box that appears.
    explicit MessageBoxWatcher(int button = IDOK);
    ~MessageBoxWatcher();

    // The boxes seen so far, in order.
    std::vector<SeenBox> Boxes();

private:
    void Run();

    int button_;
    std::atomic<bool> stop_{false};
    CRITICAL_SECTION lock_;
    std::vector<SeenBox> boxes_;
    std::thread thread_;
};

std::string WindowText(HWND window);
