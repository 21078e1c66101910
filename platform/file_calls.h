// The system calls through which platform/files reads, writes and replaces
// files on Windows, the recovery journal writes its records, and table files
// are mapped. Tests put failing ones in their place to see what a broken disk
// or network drive would do.
#pragma once

#include <windows.h>

struct FileSystemCalls {
    decltype(&::ReadFile) Read = ::ReadFile;
    decltype(&::WriteFile) Write = ::WriteFile;
    decltype(&::ReplaceFileA) Replace = ::ReplaceFileA;
    decltype(&::MapViewOfFile) MapView = ::MapViewOfFile;
};

extern FileSystemCalls FileCalls;
