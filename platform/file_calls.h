// The system calls through which platform/files reads, writes and replaces
// files on Windows, and the recovery journal writes its records. Tests put
// failing ones in their place to see what a broken disk or network drive
// would do.
#pragma once

#include <windows.h>

struct FileSystemCalls {
    decltype(&::ReadFile) Read = ::ReadFile;
    decltype(&::WriteFile) Write = ::WriteFile;
    decltype(&::ReplaceFileA) Replace = ::ReplaceFileA;
};

extern FileSystemCalls FileCalls;
