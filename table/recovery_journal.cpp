#include "table/recovery_journal.h"

#include <shlobj.h>

#include <new>

#include "platform/files.h"

CRecoveryJournal RecoveryJournal;

namespace {

// The file's size and last write time, or false when it is not there.
bool Stamp(const std::string& path, uint64_t& size, uint64_t& time)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return false;
    size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    time = uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
           data.ftLastWriteTime.dwLowDateTime;
    return true;
}

std::string FolderOf(const std::string& path)
{
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

CRecoveryJournal::~CRecoveryJournal()
{
    Close();
}

// The environment first, so that a person (or a test) can move it.
std::string CRecoveryJournal::DefaultPath()
{
    char folder[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", folder, sizeof folder);
    if (n == 0 || n >= sizeof folder) {
        folder[0] = '\0';
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder)))
            return std::string();
    }
    return std::string(folder) + "\\Vocabrik\\recovery.journal";
}

void CRecoveryJournal::Attach(CTableDocument& document, const std::string& path)
{
    Detach();
    document_ = &document;
    path_ = path;
    basePath_ = document.CurrentTablePath()[0] ? document.CurrentTableFullPath() : "";
    if (!path_.empty())
        document.SetJournal(this);
}

void CRecoveryJournal::Detach()
{
    Close();
    if (document_)
        document_->SetJournal(nullptr);
    document_ = nullptr;
}

bool CRecoveryJournal::Find(JournalContents& found) const
{
    std::string bytes, why;
    if (path_.empty() || ReadWholeFile(path_, bytes, why) != FileOutcome::Ok)
        return false;
    found = ReadJournal(bytes);
    return found.HeaderSound && !found.Changes.empty();
}

bool CRecoveryJournal::BaseChanged(const JournalBase& base)
{
    if (base.TablePath.empty())
        return false;
    uint64_t size = 0, time = 0;
    if (!Stamp(base.TablePath, size, time))
        return base.Size != 0 || base.Time != 0;
    return size != base.Size || time != base.Time;
}

TableLoad CRecoveryJournal::Restore(const JournalContents& found)
{
    TableLoad load;
    replaying_ = true;
    try {
        if (found.Base.TablePath.empty()) {
            document_->NewTable();
            load.outcome = ReadOk;
        } else {
            load = document_->LoadTableFile(found.Base.TablePath);
        }
        for (const JournalChange& c : found.Changes) {
            const std::vector<std::string>& f = c.Fields;
            switch (c.Kind) {
            case JournalKind::Store:
                document_->StoreEntry(f[0], f[1]);
                break;
            case JournalKind::Replace:
                document_->ReplaceEntry(f[0], f[1], f[2]);
                break;
            case JournalKind::Erase:
                document_->EraseEntries(f, [](size_t) {});
                break;
            case JournalKind::Append:
                // As the append did it: Keys already there keep their Data.
                for (size_t i = 0; i + 1 < f.size(); i += 2)
                    if (!document_->EntryTable().FindEntry(f[i]))
                        document_->StoreEntry(f[i], f[i + 1]);
                break;
            }
        }
        document_->MarkModified();
    } catch (...) {
        replaying_ = false;
        throw;
    }
    replaying_ = false;

    // Later changes follow the last sound record; a torn one is cut off.
    basePath_ = found.Base.TablePath;
    Close();
    file_ = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(found.SoundLength);
    if (file_ != INVALID_HANDLE_VALUE &&
        (!SetFilePointerEx(file_, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file_) ||
         !FlushFileBuffers(file_)))
        Close();
    broken_ = file_ == INVALID_HANDLE_VALUE;
    return load;
}

void CRecoveryJournal::Discard()
{
    Close();
    broken_ = false;
    if (!path_.empty())
        DeleteFileA(path_.c_str());
}

void CRecoveryJournal::Stored(std::string_view key, std::string_view data)
{
    Record(JournalKind::Store, {key, data});
}

void CRecoveryJournal::Replaced(std::string_view formerKey, std::string_view key,
                                std::string_view data)
{
    Record(JournalKind::Replace, {formerKey, key, data});
}

void CRecoveryJournal::Erased(const std::vector<std::string_view>& keys)
{
    Record(JournalKind::Erase, keys);
}

void CRecoveryJournal::Appended(const std::vector<std::string_view>& keysAndData)
{
    Record(JournalKind::Append, keysAndData);
}

void CRecoveryJournal::Rebased()
{
    if (replaying_)
        return;
    Discard();
    basePath_ = document_->CurrentTablePath()[0] ? document_->CurrentTableFullPath() : "";
}

// Written and on the disk before the caller goes on to show the change. A
// journal that cannot be written stops until the table is next saved or
// replaced, rather than begin again without the changes it already holds.
void CRecoveryJournal::Record(JournalKind kind, const std::vector<std::string_view>& fields)
{
    if (!document_ || replaying_ || broken_)
        return;
    try {
        std::string header;
        if (file_ == INVALID_HANDLE_VALUE && !Begin(header)) {
            broken_ = true;
            return;
        }
        // The record of a whole dictionary brought in is as large as its
        // table: it goes to the file in blocks, never held whole.
        size_t size = 0;
        for (std::string_view f : fields)
            size += f.size();
        auto put = [&](const char* bytes, size_t n) {
            size_t done = 0;
            while (!broken_ && done < n) {
                DWORD chunk = DWORD(n - done < (1u << 24) ? n - done : 1u << 24);
                DWORD written = 0;
                if (!WriteFile(file_, bytes + done, chunk, &written, nullptr) || written != chunk)
                    broken_ = true;
                done += written;
            }
            return !broken_;
        };
        // Memory that runs out here may be on another thread: caught here.
        auto write = [&] {
            try {
                if (put(header.data(), header.size()))
                    WriteJournalRecord(kind, fields, put);
            } catch (const std::bad_alloc&) {
                broken_ = true;
            }
            if (!broken_ && !FlushFileBuffers(file_))
                broken_ = true;
        };
        // Seconds for a dictionary's record: the window goes on painting.
        if (longWrite_ && size >= (4u << 20))
            longWrite_(write);
        else
            write();
    } catch (const std::bad_alloc&) {
        broken_ = true;
    }
    if (broken_)
        Close();
}

// A new journal, named after the file the table was last read from or
// written to, by its full path.
bool CRecoveryJournal::Begin(std::string& bytes)
{
    std::string folder = FolderOf(path_);
    CreateDirectoryA(FolderOf(folder).c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    file_ = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE)
        return false;
    JournalBase base;
    base.TablePath = basePath_;
    Stamp(base.TablePath, base.Size, base.Time);
    bytes = EncodeJournalHeader(base);
    return true;
}

void CRecoveryJournal::Close()
{
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}
