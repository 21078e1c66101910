#include "table/recovery_journal.h"

#include <shlobj.h>

#include <new>

#include "platform/file_calls.h"
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

JournalFind CRecoveryJournal::Find(JournalContents& found, std::string& why) const
{
    std::string bytes;
    if (path_.empty())
        return JournalFind::Nothing;
    switch (ReadWholeFile(path_, bytes, why)) {
    case FileOutcome::Ok:
        found = ReadJournal(bytes);
        // A journal torn before its first change holds nothing.
        return found.HeaderSound && !found.Changes.empty() ? JournalFind::Changes
                                                          : JournalFind::Nothing;
    case FileOutcome::Missing:
        return JournalFind::Nothing;
    default:
        return JournalFind::Unreadable;
    }
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

TableLoad CRecoveryJournal::Restore(const JournalContents& found, const TableLoader& loader)
{
    TableLoad load;
    replaying_ = true;
    try {
        if (found.Base.TablePath.empty()) {
            document_->NewTable();
            load.outcome = ReadOk;
        } else {
            load = loader ? loader(found.Base.TablePath)
                          : document_->LoadTableFile(found.Base.TablePath);
        }
        if (load.outcome == ReadFailed || load.outcome == ReadTooLarge || load.summary.Stopped) {
            // The changes belong on top of that table, not on an empty one.
            replaying_ = false;
            Keep();
            return load;
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

    // Later changes follow the last sound record; a torn one is cut off
    // when the next is written.
    basePath_ = found.Base.TablePath;
    Forget();
    written_ = found.SoundLength;
    return load;
}

void CRecoveryJournal::Keep()
{
    Forget();
    kept_ = true;
}

void CRecoveryJournal::Discard()
{
    Forget();
    if (!path_.empty() && !kept_)
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
    told_ = false;
    basePath_ = document_->CurrentTablePath()[0] ? document_->CurrentTableFullPath() : "";
}

void CRecoveryJournal::Settled()
{
    if (warning_.empty())
        return;
    std::string text = "変更の控えを書けません。\n" + warning_ +
                       "\n保存するまで、異常終了すると変更は失われます。";
    warning_.clear();
    MessageBoxA(GetActiveWindow(), text.c_str(), "警告", MB_OK | MB_ICONWARNING);
}

// Written and on the disk before the caller goes on to show the change. A
// record that cannot be written waits, with every one after it, for the
// next change to try again; the journal never goes on without one of them.
void CRecoveryJournal::Record(JournalKind kind, const std::vector<std::string_view>& fields)
{
    if (!document_ || replaying_)
        return;
    std::string why;
    bool written = false;
    // Memory that runs out here may be on another thread: caught here.
    auto write = [&] {
        try {
            written = WriteRecord(kind, fields, why);
        } catch (const std::bad_alloc&) {
            lost_ = true;
            headed_ = false;
            std::string().swap(pending_);
            why = "メモリが足りず、変更を控えに残せませんでした。";
        }
    };
    size_t size = 0;
    for (std::string_view f : fields)
        size += f.size();
    // Seconds for a dictionary's record: the window goes on painting.
    if (longWrite_ && size >= (4u << 20))
        longWrite_(write);
    else
        write();
    if (written) {
        told_ = false;
        return;
    }
    Close();
    if (!told_)
        warning_ = why.empty() ? std::string("(理由不明)") : why;
    told_ = true;
}

// The record of a whole dictionary brought in is as large as its table:
// with nothing waiting before it, it goes to the file in blocks, never held
// whole. It is held only when it could not be written.
bool CRecoveryJournal::WriteRecord(JournalKind kind, const std::vector<std::string_view>& fields,
                                   std::string& why)
{
    if (kept_ || lost_ || !pending_.empty()) {
        if (!kept_ && !lost_)
            pending_ += EncodeJournalRecord(kind, fields);
        return WritePending(why);
    }
    uint64_t size = 0;
    auto put = [&](const char* bytes, size_t n) {
        size += n;
        return Put(bytes, n, why);
    };
    // A new journal's header waits in pending_ once the file is made.
    if ((file_ != INVALID_HANDLE_VALUE || Open(why)) && put(pending_.data(), pending_.size()) &&
        WriteJournalRecord(kind, fields, put) && Flush(why)) {
        written_ += size;
        headed_ = false;
        std::string().swap(pending_);
        return true;
    }
    // What reached the file is cut back when the journal is next opened.
    pending_ += EncodeJournalRecord(kind, fields);
    return false;
}

bool CRecoveryJournal::WritePending(std::string& why)
{
    if (kept_) {
        why = "前回の変更の控えを、復元できるまで上書きしないで残しています。";
        return false;
    }
    if (lost_) {
        why = "メモリが足りず、変更を控えに残せませんでした。";
        return false;
    }
    if (file_ == INVALID_HANDLE_VALUE && !Open(why))
        return false;
    if (!Put(pending_.data(), pending_.size(), why) || !Flush(why))
        return false;
    written_ += pending_.size();
    headed_ = false;
    std::string().swap(pending_);
    return true;
}

bool CRecoveryJournal::Put(const char* bytes, size_t size, std::string& why)
{
    size_t done = 0;
    while (done < size) {
        DWORD chunk = DWORD(size - done < (1u << 24) ? size - done : 1u << 24);
        DWORD written = 0;
        if (!FileCalls.Write(file_, bytes + done, chunk, &written, nullptr) || written != chunk) {
            why = SystemErrorText(GetLastError());
            return false;
        }
        done += written;
    }
    return true;
}

bool CRecoveryJournal::Flush(std::string& why)
{
    if (FlushFileBuffers(file_))
        return true;
    why = SystemErrorText(GetLastError());
    return false;
}

// A new journal, named after the file the table was last read from or
// written to, by its full path; or the one begun before, cut back to what
// is known to be on the disk.
bool CRecoveryJournal::Open(std::string& why)
{
    if (written_ == 0) {
        std::string folder = FolderOf(path_);
        CreateDirectoryA(FolderOf(folder).c_str(), nullptr);
        CreateDirectoryA(folder.c_str(), nullptr);
        file_ = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            why = SystemErrorText(GetLastError());
            return false;
        }
        if (!headed_) {
            JournalBase base;
            base.TablePath = basePath_;
            Stamp(base.TablePath, base.Size, base.Time);
            pending_.insert(0, EncodeJournalHeader(base));
            headed_ = true;
        }
        return true;
    }
    file_ = CreateFileA(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = LONGLONG(written_);
    if (file_ == INVALID_HANDLE_VALUE ||
        !SetFilePointerEx(file_, end, nullptr, FILE_BEGIN) || !SetEndOfFile(file_)) {
        why = SystemErrorText(GetLastError());
        Close();
        return false;
    }
    return true;
}

// Nothing written, nothing waiting: the next change begins a new journal.
void CRecoveryJournal::Forget()
{
    Close();
    written_ = 0;
    headed_ = false;
    lost_ = false;
    warning_.clear();
    std::string().swap(pending_);
}

void CRecoveryJournal::Close()
{
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}
