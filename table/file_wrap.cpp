#include "table/file_wrap.h"

CFileWrap TableFile;
CFileWrap::WriteFileFn CFileWrap::WriteFileCall = ::WriteFile;

OpenResult CFileWrap::Open(const char* name, DWORD access, DWORD disposition)
{
    if (open)
        return OPEN_BUSY;
    HANDLE h = CreateFileA(name, access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return OPEN_REFUSED;
    file = h;
    open = 1;
    size = 0;
    return OPEN_OK;
}

OpenResult CFileWrap::OpenRead(const char* name)
{
    return Open(name, GENERIC_READ, OPEN_EXISTING);
}

OpenResult CFileWrap::OpenCreate(const char* name)
{
    return Open(name, GENERIC_WRITE, CREATE_ALWAYS);
}

OpenResult CFileWrap::ProbeWrite(const char* name, bool* created)
{
    *created = false;
    OpenResult r = Open(name, GENERIC_WRITE, OPEN_ALWAYS);
    if (r == OPEN_OK) {
        *created = GetLastError() != ERROR_ALREADY_EXISTS;
        Close();
    }
    return r;
}

uint64_t CFileWrap::FileSize()
{
    LARGE_INTEGER li;
    size = GetFileSizeEx(file, &li) ? uint64_t(li.QuadPart) : 0;
    return size;
}

int CFileWrap::Rewind()
{
    LARGE_INTEGER zero = {};
    SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
    return 1;
}

int CFileWrap::Read(void* buffer, uint32_t count)
{
    DWORD done = 0;
    return ReadFile(file, buffer, count, &done, nullptr) && done == count;
}

int CFileWrap::Write(const void* buffer, uint32_t count)
{
    DWORD done = 0;
    return WriteFileCall(file, buffer, count, &done, nullptr) && done == count;
}

int CFileWrap::Flush()
{
    return FlushFileBuffers(file) != 0;
}

void CFileWrap::Close()
{
    if (open) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
        open = 0;
    }
}
