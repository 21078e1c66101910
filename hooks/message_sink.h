// A message-only window for a hook: hook callbacks must return at once, so
// they post what they saw here and the work is done from the message loop.
#pragma once

#include <windows.h>

// Creates a message-only window of the given class on the calling thread,
// registering the class on first use. `context` is kept in GWLP_USERDATA.
// Returns null on failure.
HWND CreateMessageSink(const char* className, WNDPROC procedure, void* context);

// The module this code is linked into, whether an executable or a library.
HINSTANCE OwnModule();
