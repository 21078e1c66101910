#include "table/table_file.h"

#include <cstring>
#include <memory>

#include "table/file_wrap.h"
#include "table/table_codec.h"

CEntryTable EntryTable;
char CurrentTablePath[260];
std::string CurrentTableFullPath;
int TableModified;

namespace {

const char* const DefaultTableName = "data.vbk";
const uint32_t IoBlock = 16u << 20;

void ReportWriteFailure(const char* text)
{
    MessageBoxA(nullptr, text, "Error", MB_OK);
}

std::string FullPathOf(const char* path)
{
    DWORD need = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (need == 0)
        return path;
    std::string full(need, '\0');
    DWORD got = GetFullPathNameA(path, need, full.data(), nullptr);
    if (got == 0 || got >= need)
        return path;
    full.resize(got);
    return full;
}

std::string FolderOf(const std::string& full)
{
    size_t slash = full.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : full.substr(0, slash + 1);
}

// The name part, found by walking characters so that a 0x5C trail byte of a
// double-byte character is never taken for a backslash.
const char* NamePartOf(const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; p = CharNextA(p)) {
        if (*p == '\\' || *p == '/' || *p == ':')
            name = p + 1;
    }
    return name;
}

bool ReadWholeFile(std::unique_ptr<uint8_t[]>& bytes, size_t& length)
{
    uint64_t size = TableFile.FileSize();
    if (size > uint64_t(SIZE_MAX / 2))
        return false;
    length = size_t(size);
    bytes.reset(new uint8_t[length ? length : 1]);
    TableFile.Rewind();
    size_t done = 0;
    while (done < length) {
        uint32_t chunk = uint32_t(length - done < IoBlock ? length - done : IoBlock);
        if (!TableFile.Read(bytes.get() + done, chunk))
            break; // the file shrank under us: keep what arrived
        done += chunk;
    }
    length = done;
    return true;
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

void SetCurrentTable(const char* path)
{
    if (!path || !*path) {
        CurrentTablePath[0] = '\0';
        CurrentTableFullPath.clear();
        return;
    }
    CurrentTableFullPath = FullPathOf(path);
    const char* name = NamePartOf(path);
    size_t n = strlen(name);
    if (n >= sizeof CurrentTablePath)
        n = sizeof CurrentTablePath - 1;
    memcpy(CurrentTablePath, name, n);
    CurrentTablePath[n] = '\0';
}

int LoadTableFile()
{
    std::unique_ptr<uint8_t[]> bytes;
    size_t length = 0;
    if (TableFile.OpenRead(CurrentTableFullPath.c_str()) != OPEN_OK ||
        !ReadWholeFile(bytes, length)) {
        SetCurrentTable("");
        TableFile.Close();
        return 0;
    }
    TableFile.Close();
    DecodeTable(bytes.get(), length, EntryTable);
    return 1;
}

int SaveTableFile(SaveMode mode)
{
    const std::string target = CurrentTableFullPath;
    bool created = false;
    OpenResult probe = TableFile.ProbeWrite(target.c_str(), mode == OverwriteExisting, &created);
    if (probe != OPEN_OK) {
        ReportWriteFailure(probe == OPEN_REFUSED ? "Write() INVALID" : "Write() FALSE");
        return 0;
    }

    // The new contents go to a file of their own beside the old one, which is
    // replaced only when all of them are on the disk.
    char temp[MAX_PATH + 16];
    std::string folder = FolderOf(target);
    bool haveTemp = folder.size() <= MAX_PATH - 14 &&
                    GetTempFileNameA(folder.c_str(), "vbk", 0, temp) != 0;
    if (!haveTemp || TableFile.OpenCreate(temp) != OPEN_OK) {
        if (haveTemp)
            DeleteFileA(temp);
        if (created)
            DeleteFileA(target.c_str());
        ReportWriteFailure("Write() INVALID");
        return 0;
    }

    bool written = EncodeTable(EntryTable, WriteBlock, IoBlock) && TableFile.Flush();
    TableFile.Close();
    if (!written ||
        !MoveFileExA(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(temp);
        if (created)
            DeleteFileA(target.c_str());
        ReportWriteFailure("Write() FALSE");
        return 0;
    }
    TableModified = 0;
    return 1;
}

void LoadDefaultTable()
{
    TableModified = 0;
    SetCurrentTable(DefaultTableName);
    LoadTableFile();
}

void SaveOnClose(HWND mainWindow)
{
    if (TableModified == 1 &&
        MessageBoxA(mainWindow, "上書きしますか？", "確認", MB_YESNO | MB_ICONQUESTION) == IDYES)
        SaveTableFile(OverwriteExisting);
}
