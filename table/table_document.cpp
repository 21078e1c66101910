#include "table/table_document.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "core/cp932_text.h"
#include "core/file_name.h"
#include "res/texts.h"
#include "table/table_file_view.h"

CTableDocument Document;
const char DefaultTableName[] = "data.vbk";

namespace {

std::string FullPathOf(const std::string& path)
{
    DWORD need = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
    if (need == 0)
        return path;
    std::string full(need, '\0');
    DWORD got = GetFullPathNameA(path.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need)
        return path;
    full.resize(got);
    return full;
}

// Copies the file to the first free name of NAME.damaged, NAME.damaged.2,
// ... Nothing to keep when the file has gone.
bool KeepDamagedFile(const std::string& path)
{
    for (int n = 1; n < 10000; n++) {
        std::string copy = path + ".damaged" + (n > 1 ? "." + std::to_string(n) : "");
        if (CopyFileA(path.c_str(), copy.c_str(), TRUE))
            return true;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    std::string text = "壊れていたファイルの元の内容を " + path +
                       ".damaged として残せなかったため、保存しませんでした。";
    MessageBoxA(nullptr, text.c_str(), TEXT_WRITE_FAILURE_CAPTION, MB_OK);
    return false;
}

EntryHandle HandleOf(const CEntryTable& table, std::string_view key)
{
    std::optional<Entry> e = table.FindEntry(key);
    return e ? e->Handle : nullptr;
}

} // namespace

CTableDocument::CTableDocument() : table_(std::make_unique<CEntryTable>()) {}

void CTableDocument::AddView(CDocumentView* view)
{
    if (std::find(views_.begin(), views_.end(), view) == views_.end())
        views_.push_back(view);
}

void CTableDocument::RemoveView(CDocumentView* view)
{
    views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

// Each change is made whole before anyone hears of it: the table's own
// operations either succeed or, when memory runs out, change nothing. The
// journal hears first, so that no view (the title's * included) shows a
// change that a crash would lose.
void CTableDocument::StoreEntry(std::string_view key, std::string_view data)
{
    const std::string k(key), d(data);
    EntryHandle before = HandleOf(*table_, k);
    if (before)
        table_->ReplaceData(k, d);
    else
        table_->InsertEntry(k, d);
    if (journal_)
        journal_->Stored(k, d);
    MarkModified();
    NotifyChanged({before, HandleOf(*table_, k)});
    Settle();
}

void CTableDocument::ReplaceEntry(std::string_view formerKey, std::string_view key,
                                  std::string_view data)
{
    if (formerKey == key) {
        StoreEntry(key, data);
        return;
    }
    const std::string former(formerKey), k(key), d(data);
    EntryHandle before = HandleOf(*table_, former);
    if (!before) {
        StoreEntry(k, d);
        return;
    }
    // The new entry first, then the former Key goes: erasing needs no memory.
    EntryHandle other = HandleOf(*table_, k);
    if (other)
        table_->ReplaceData(k, d);
    else
        table_->InsertEntry(k, d);
    table_->EraseEntry(former);
    if (journal_)
        journal_->Replaced(former, k, d);
    MarkModified();
    if (other)
        NotifyChanged({other, nullptr});
    NotifyChanged({before, HandleOf(*table_, k)});
    Settle();
}

void CTableDocument::EraseEntry(std::string_view key)
{
    EntryHandle before = HandleOf(*table_, key);
    // The key may be the entry's own bytes: the journal hears of a copy.
    std::string erased = before && journal_ ? std::string(key) : std::string();
    table_->EraseEntry(key);
    if (before && journal_)
        journal_->Erased({erased});
    MarkModified();
    if (before)
        NotifyChanged({before, nullptr});
    Settle();
}

void CTableDocument::MarkModified()
{
    SetModified(1);
}

void CTableDocument::ResetModified()
{
    SetModified(0);
}

void CTableDocument::ClearEntries()
{
    table_->ClearEntries();
    NotifyReplaced();
}

void CTableDocument::NewTable()
{
    ClearEntries();
    SetName(std::string(), std::string());
    if (journal_)
        journal_->Rebased();
}

TableLoad CTableDocument::LoadTableFile(const std::string& path)
{
    return TakeReadTable(ReadTableForLoad(path));
}

ReadTable ReadTableForLoad(const std::string& path, const DecodeProgress& progress)
{
    ReadTable read;
    TableLoad& load = read.load;
    try {
        read.path = path;
        read.fullPath = FullPathOf(path);
        TableFileBytes file;
        load.outcome = OpenTableFileBytes(read.fullPath, file);
        if (load.outcome == ReadTooLarge || load.outcome == ReadFailed)
            return read;
        read.table = std::make_unique<CEntryTable>();
        if (load.outcome == ReadOk)
            load.summary = DecodeTableImage(std::move(file.bytes), file.size, file.mapped,
                                            *read.table, progress);
    } catch (const std::bad_alloc&) {
        read.table.reset();
        load.outcome = ReadTooLarge; // the table stays as it was
    }
    if (load.summary.Stopped) {
        read.table.reset(); // its mapping goes with it
        read.stopped = true;
    }
    return read;
}

TableLoad CTableDocument::TakeReadTable(ReadTable&& read)
{
    TableLoad load = read.load;
    if (!read.table)
        return load;
    std::string& full = read.fullPath;
    if (load.outcome == ReadOk && load.summary.Damaged &&
        std::find(damagedFiles_.begin(), damagedFiles_.end(), full) == damagedFiles_.end())
        damagedFiles_.push_back(full);
    table_.swap(read.table);
    if (load.outcome == ReadOk)
        SetName(read.path, std::move(full));
    else
        SetName(std::string(), std::string());
    if (journal_)
        journal_->Rebased();
    NotifyReplaced(); // before the old entries go: the views still point at them
    return load;
}

TableLoad CTableDocument::AppendTableFile(const std::string& path)
{
    return TakeAppendedTable(ReadTableForLoad(path));
}

// The file's table is read whole before any entry of it comes in, so that
// a file that cannot be read changes nothing; when memory runs out on the
// way in, AppendEntries leaves the table as it was.
TableLoad CTableDocument::TakeAppendedTable(ReadTable&& read)
{
    TableLoad load = read.load;
    if (!read.table)
        return load;
    try {
        uint64_t added = AppendEntries(*read.table);
        load.summary.Inserted = added;
        load.summary.Duplicates = load.summary.Records - added;
    } catch (const std::bad_alloc&) {
        load.outcome = ReadTooLarge;
    }
    return load;
}

void CTableDocument::AdoptImportedTable(std::unique_ptr<CEntryTable> table,
                                        const std::string& suggestedPath)
{
    std::vector<std::string_view> added; // Key, Data, Key, Data, ...
    if (journal_) {
        added.reserve(2 * table->Size());
        table->ForEachEntry([&](const Entry& e) {
            added.push_back(e.Key);
            added.push_back(e.Data);
        });
    }
    std::string suggested = suggestedPath;
    // The journal is written while the views still show the old table: its
    // writing may let them paint.
    SetName(std::string(), std::string());
    suggestedPath_.swap(suggested);
    if (journal_) {
        journal_->Rebased();
        journal_->Appended(added);
    }
    table_.swap(table);
    MarkModified();
    NotifyReplaced(); // before the old entries go: the views still point at them
    table.reset();    // not held through a warning the journal may show
    Settle();
}

uint64_t CTableDocument::AppendEntries(const CEntryTable& entries)
{
    std::vector<std::string_view> added; // Key, Data, Key, Data, ...
    try {
        added.reserve(2 * entries.Size());
        entries.ForEachEntry([&](const Entry& e) {
            if (table_->InsertEntry(e.Key, e.Data)) {
                added.push_back(e.Key);
                added.push_back(e.Data);
            }
        });
    } catch (const std::bad_alloc&) {
        for (size_t i = 0; i < added.size(); i += 2)
            table_->EraseEntry(added[i]);
        throw;
    }
    if (journal_ && !added.empty())
        journal_->Appended(added);
    MarkModified(); // after the journal: the title's * is never ahead of it
    NotifyReplaced();
    Settle();
    return added.size() / 2;
}

int CTableDocument::SaveTableFile()
{
    auto damaged = std::find(damagedFiles_.begin(), damagedFiles_.end(), fullPath_);
    if (damaged != damagedFiles_.end()) {
        if (!KeepDamagedFile(fullPath_))
            return 0;
        damagedFiles_.erase(damaged);
    }
    // A file still mapped could not be replaced: the table takes its own
    // copy of the bytes first.
    std::vector<CEntryTable::ImageMove> moves = table_->OwnImages();
    if (!moves.empty())
        for (size_t i = 0; i < views_.size(); i++)
            views_[i]->EntriesMoved(moves);
    if (!WriteTableFile(fullPath_, *table_))
        return 0;
    if (journal_)
        journal_->Rebased();
    ResetModified();
    return 1;
}

void CTableDocument::Rename(const std::string& path)
{
    SetName(path, path.empty() ? std::string() : FullPathOf(path));
}

// Needs no memory, so that a load can name its table once it is there.
void CTableDocument::SetName(const std::string& path, std::string&& fullPath)
{
    suggestedPath_.clear();
    fullPath_.swap(fullPath);
    std::string_view name = NamePart(path);
    size_t n = cp932::CutLength(name, sizeof name_ - 1);
    memcpy(name_, name.data(), n);
    name_[n] = '\0';
    NotifyFileState();
}

void CTableDocument::SetModified(int modified)
{
    if (modified_ == modified)
        return;
    modified_ = modified;
    NotifyFileState();
}

void CTableDocument::NotifyChanged(const EntryChange& change)
{
    if (!change.before && !change.after)
        return;
    for (size_t i = 0; i < views_.size(); i++)
        views_[i]->EntryChanged(change);
}

void CTableDocument::NotifyReplaced()
{
    for (size_t i = 0; i < views_.size(); i++)
        views_[i]->TableReplaced();
}

void CTableDocument::NotifyFileState()
{
    for (size_t i = 0; i < views_.size(); i++)
        views_[i]->FileStateChanged();
}

void CTableDocument::Settle()
{
    if (journal_ && !warningsHeld_)
        journal_->Settled();
}

TableLoad LoadDefaultTable()
{
    Document.ResetModified();
    return Document.LoadTableFile(DefaultTableName);
}
