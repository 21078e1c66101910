#include "table/table_file.h"

#include <windows.h>

#include <memory>
#include <new>

#include "core/table_codec.h"
#include "platform/files.h"
#include "res/texts.h"
#include "table/file_wrap.h"

namespace {

const uint32_t IoBlock = 16u << 20;

void ReportWriteFailure(const char* text)
{
    MessageBoxA(nullptr, text, TEXT_WRITE_FAILURE_CAPTION, MB_OK);
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

ReadOutcome ReadWholeFile(std::unique_ptr<char[]>& bytes, size_t& length)
{
    uint64_t size = TableFile.FileSize();
    if (!FitsInMemory(size))
        return ReadTooLarge;
    length = size_t(size);
    bytes.reset(new (std::nothrow) char[length ? length : 1]);
    if (!bytes)
        return ReadTooLarge;
    TableFile.Rewind();
    size_t done = 0;
    while (done < length) {
        uint32_t chunk = uint32_t(length - done < IoBlock ? length - done : IoBlock);
        if (!TableFile.Read(bytes.get() + done, chunk))
            break; // the file shrank under us: keep what arrived
        done += chunk;
    }
    length = done;
    return ReadOk;
}

bool WriteBlock(const char* p, size_t n)
{
    while (n > 0) {
        uint32_t chunk = uint32_t(n < IoBlock ? n : IoBlock);
        if (!TableFile.Write(p, chunk))
            return false;
        p += chunk;
        n -= chunk;
    }
    return true;
}

} // namespace

ReadOutcome ReadTableFileBytes(const std::string& path, std::unique_ptr<char[]>& bytes,
                               size_t& size)
{
    if (TableFile.OpenRead(path.c_str()) != OPEN_OK) {
        TableFile.Close();
        return ReadNotOpened;
    }
    ReadOutcome outcome = ReadWholeFile(bytes, size);
    TableFile.Close();
    return outcome;
}

int WriteTableFile(const std::string& path, const CEntryTable& table)
{
    bool created = false;
    OpenResult probe = TableFile.ProbeWrite(path.c_str(), &created);
    if (probe != OPEN_OK) {
        ReportWriteFailure(probe == OPEN_BUSY ? "Write() FALSE" : "Write() INVALID");
        return 0;
    }
    auto giveUp = [&](const std::string& temp, const char* text) {
        if (!temp.empty())
            DeleteFileA(temp.c_str());
        if (created)
            DeleteFileA(path.c_str());
        ReportWriteFailure(text);
        return 0;
    };

    // The new contents go to a file of their own beside the old one, which
    // takes the old one's place only when all of them are on the disk, and
    // keeps what the person set up for it.
    std::string temp, why;
    if (CreateTemporaryBeside(path, temp, why) != FileOutcome::Ok ||
        TableFile.OpenCreate(temp.c_str()) != OPEN_OK)
        return giveUp(temp, "Write() INVALID");
    bool written = EncodeTable(table, WriteBlock, IoBlock) && TableFile.Flush();
    TableFile.Close();
    if (!written)
        return giveUp(temp, "Write() FALSE");
    if (PlaceFile(temp, path, why) != FileOutcome::Ok)
        return giveUp(std::string(), "Write() FALSE");
    return 1;
}
