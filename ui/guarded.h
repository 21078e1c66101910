// Memory that runs out inside a message handler ends that handler with a
// message to the person instead of ending the program. Every change of the
// table is made whole or not at all, so the person's words are as they were.
#pragma once

#include <windows.h>

#include <exception>

void ReportOutOfMemory(HWND owner);

template <class Result, class Handler>
Result Guarded(HWND owner, Result failed, Handler&& handler)
{
    try {
        return handler();
    } catch (const std::exception&) {
        ReportOutOfMemory(owner);
        return failed;
    }
}
