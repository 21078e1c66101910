#include "table/table_file.h"

#include <windows.h>

#include <memory>
#include <new>

#include "core/table_codec.h"
#include "platform/files.h"
#include "res/texts.h"

namespace {

const size_t IoBlock = 16u << 20;

void ReportWriteFailure(const std::string& text)
{
    MessageBoxA(nullptr, text.c_str(), TEXT_WRITE_FAILURE_CAPTION, MB_OK);
}

// A table needs its file's bytes and a little more for its index; a file
// that would not fit is refused before any of it is read.
bool FitsInMemory(uint64_t size)
{
    if (size > uint64_t(SIZE_MAX / 2))
        return false;
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    if (!GlobalMemoryStatusEx(&memory))
        return true;
    const uint64_t needed = size + size / 4;
    return needed <= memory.ullAvailVirtual && needed <= memory.ullAvailPageFile;
}

// Whether the file may be written, without changing it; a missing file is
// made, and created tells whether this call made it.
bool MayWrite(const std::string& path, bool& created)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    created = GetLastError() != ERROR_ALREADY_EXISTS;
    CloseHandle(h);
    return true;
}

} // namespace

ReadOutcome ReadTableFileBytes(const std::string& path, std::unique_ptr<char[]>& bytes,
                               size_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
        !FitsInMemory(uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow))
        return ReadTooLarge;
    std::string why;
    FileOutcome outcome;
    try {
        outcome = ReadWholeFile(path, bytes, size, why);
    } catch (const std::bad_alloc&) {
        return ReadTooLarge;
    }
    switch (outcome) {
    case FileOutcome::Ok:
        return ReadOk;
    case FileOutcome::Missing:
        return ReadNotOpened;
    default:
        // A file that is there is never taken for a missing one, whatever
        // keeps it from being read: its table would be lost at the next save.
        return ReadFailed;
    }
}

int WriteTableFile(const std::string& path, const CEntryTable& table)
{
    bool created = false;
    if (path.empty() || !MayWrite(path, created)) {
        ReportWriteFailure("Write() INVALID");
        return 0;
    }
    // The new contents go to a file of their own beside the old one, which
    // takes the old one's place only when all of them are on the disk, and
    // keeps what the person set up for it.
    std::string why;
    KeptFiles kept;
    FileOutcome outcome;
    try {
        outcome = PutFileInPlace(
            path,
            [&](const BlockPut& put) {
                return EncodeTable(
                    table, [&](const char* p, size_t n) { return put(std::string_view(p, n)); },
                    IoBlock);
            },
            why, &kept);
    } catch (...) {
        if (created)
            DeleteFileA(path.c_str());
        throw;
    }
    if (outcome == FileOutcome::Ok)
        return 1;
    if (created && kept.empty())
        DeleteFileA(path.c_str());
    std::string text = outcome == FileOutcome::NotRegular ? "Write() INVALID" : "Write() FALSE";
    if (!kept.empty()) {
        text += "\n次のファイルに、表の完全な内容が残っています。";
        for (const std::string& name : kept)
            text += "\n" + name;
    }
    ReportWriteFailure(text);
    return 0;
}
