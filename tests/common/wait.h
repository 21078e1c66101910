// Waiting for a condition, with a deadline: a test never sleeps for a fixed
// time where it can wait for what it expects.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

// Polls every pollMs for at most timeoutMs; true as soon as the condition
// holds.
inline bool WaitFor(const std::function<bool()>& condition, unsigned timeoutMs = 10000,
                    unsigned pollMs = 20)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
}

// Wine now and then fails to start a process at all; a person would start
// it again, and so do the tests, once. start() -> bool says whether it did.
template <class Start>
bool StartedAtMostTwice(Start&& start)
{
    if (start())
        return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return start();
}
