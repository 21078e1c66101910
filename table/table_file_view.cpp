#include "table/table_file_view.h"

#include <windows.h>

#include <cstdint>
#include <new>

#include "platform/file_calls.h"

namespace {

bool OnFixedDrive(const std::string& path)
{
    char root[MAX_PATH + 1];
    return GetVolumePathNameA(path.c_str(), root, sizeof root) &&
           GetDriveTypeA(root) == DRIVE_FIXED;
}

// The view takes address space as large as the file, and the table's index
// about a quarter more; only the index and pages written to need the page
// file.
bool RoomForView(uint64_t size)
{
    if (size > uint64_t(SIZE_MAX / 2))
        return false;
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    if (!GlobalMemoryStatusEx(&memory))
        return true;
    return size + size / 4 <= memory.ullAvailVirtual && size / 4 <= memory.ullAvailPageFile;
}

ReadOutcome ReadWhole(const std::string& path, TableFileBytes& file)
{
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    ReadOutcome outcome = ReadTableFileBytes(path, bytes, size);
    if (outcome != ReadOk)
        return outcome;
    try {
        file.bytes = std::shared_ptr<char>(bytes.release(), std::default_delete<char[]>());
    } catch (const std::bad_alloc&) {
        return ReadTooLarge;
    }
    file.size = size;
    return ReadOk;
}

// The file stays open, shared for reading but not for writing, for as long
// as its view is held: a view alone does not stop another program from
// writing into the file (only from cutting it short), and those writes
// would show through every page the table has not written to. Removing or
// renaming the file takes nothing from a view that is already there.
class CViewRelease {
public:
    explicit CViewRelease(HANDLE file) : file_(file) {}
    void operator()(char* view) const
    {
        UnmapViewOfFile(view);
        CloseHandle(file_);
    }

private:
    HANDLE file_;
};

} // namespace

ReadOutcome OpenTableFileBytes(const std::string& path, TableFileBytes& file)
{
    file = TableFileBytes();
    if (!OnFixedDrive(path))
        return ReadWhole(path, file);
    // Without write sharing, held with the view: no other program can write
    // the bytes the table points into while it is mapped (it is told the
    // file is in use instead).
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ReadWhole(path, file); // which says why
    LARGE_INTEGER length = {};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &length) || length.QuadPart <= 0) {
        CloseHandle(h);
        return ReadWhole(path, file);
    }
    if (!RoomForView(uint64_t(length.QuadPart))) {
        CloseHandle(h);
        return ReadTooLarge;
    }
    HANDLE mapping = CreateFileMappingA(h, nullptr, PAGE_WRITECOPY, 0, 0, nullptr);
    // Once mapped the file cannot be cut short, so its size now is the
    // size of the view.
    bool sized = mapping && GetFileSizeEx(h, &length) && length.QuadPart > 0 &&
                 RoomForView(uint64_t(length.QuadPart));
    void* view = sized ? FileCalls.MapView(mapping, FILE_MAP_COPY, 0, 0, 0) : nullptr;
    if (mapping)
        CloseHandle(mapping); // the view keeps what it needs
    if (!view) {
        CloseHandle(h);
        return ReadWhole(path, file);
    }
    try {
        file.bytes = std::shared_ptr<char>(static_cast<char*>(view), CViewRelease(h));
    } catch (const std::bad_alloc&) {
        // the deleter has run: the view and the file are let go
        return ReadTooLarge;
    }
    file.size = size_t(length.QuadPart);
    file.mapped = true;
    return ReadOk;
}
