// The one file object through which tables are read and written. It holds at
// most one open file; every call that opens one closes it before it returns.
#pragma once

#include <windows.h>

#include <cstdint>

enum OpenResult : int {
    OPEN_REFUSED = -1, // the system refused to open the file
    OPEN_BUSY = 0,     // this object already holds an open file
    OPEN_OK = 1,
};

class CFileWrap {
public:
    HANDLE file = INVALID_HANDLE_VALUE;
    int open = 0;
    uint64_t size = 0;

    // Existing file, read access, no sharing.
    OpenResult OpenRead(const char* name);
    // Created, or emptied if it exists; write access, no sharing.
    OpenResult OpenCreate(const char* name);
    // Whether the file could be opened for writing, without emptying it; a
    // missing file is made, and *created tells whether this call made it.
    OpenResult ProbeWrite(const char* name, bool* created);

    uint64_t FileSize();
    int Rewind();
    // 1 when all count bytes were transferred, 0 otherwise.
    int Read(void* buffer, uint32_t count);
    int Write(const void* buffer, uint32_t count);
    // Forces the written bytes to the disk: 1 on success.
    int Flush();
    void Close();

    // Tests replace this to make writes fail.
    using WriteFileFn = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    static WriteFileFn WriteFileCall;

private:
    OpenResult Open(const char* name, DWORD access, DWORD disposition);
};

extern CFileWrap TableFile;
