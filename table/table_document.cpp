#include "table/table_document.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

CTableDocument Document;

namespace {

const char* const DefaultTableName = "data.vbk";

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
    MessageBoxA(nullptr, text.c_str(), "Error", MB_OK);
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

void CTableDocument::StoreEntry(std::string_view key, std::string_view data)
{
    const std::string k(key), d(data);
    EntryHandle before = HandleOf(*table_, k);
    table_->EraseEntry(k);
    table_->InsertEntry(k, d);
    NotifyChanged({before, HandleOf(*table_, k)});
    MarkModified();
}

void CTableDocument::ReplaceEntry(std::string_view formerKey, std::string_view key,
                                  std::string_view data)
{
    if (formerKey == key) {
        StoreEntry(key, data);
        return;
    }
    const std::string former(formerKey), k(key), d(data);
    if (EntryHandle other = HandleOf(*table_, k)) {
        table_->EraseEntry(k);
        NotifyChanged({other, nullptr});
    }
    EntryHandle before = HandleOf(*table_, former);
    table_->EraseEntry(former);
    table_->InsertEntry(k, d);
    NotifyChanged({before, HandleOf(*table_, k)});
    MarkModified();
}

void CTableDocument::EraseEntry(std::string_view key)
{
    const std::string k(key);
    if (EntryHandle before = HandleOf(*table_, k)) {
        table_->EraseEntry(k);
        NotifyChanged({before, nullptr});
    }
    MarkModified();
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

TableLoad CTableDocument::LoadTableFile(const std::string& path)
{
    TableLoad load;
    const std::string full = FullPathOf(path);
    auto loaded = std::make_unique<CEntryTable>();
    load.opened = ReadTableFile(full, *loaded, &load.summary) == ReadOk;
    if (load.opened && load.summary.Damaged &&
        std::find(damagedFiles_.begin(), damagedFiles_.end(), full) == damagedFiles_.end())
        damagedFiles_.push_back(full);
    table_.swap(loaded);
    Rename(load.opened ? path : std::string());
    NotifyReplaced(); // before the old entries go: the views still point at them
    return load;
}

TableLoad CTableDocument::AppendTableFile(const std::string& path)
{
    TableLoad load;
    load.opened = ReadTableFile(FullPathOf(path), *table_, &load.summary) == ReadOk;
    NotifyReplaced();
    MarkModified();
    return load;
}

int CTableDocument::SaveTableFile()
{
    auto damaged = std::find(damagedFiles_.begin(), damagedFiles_.end(), fullPath_);
    if (damaged != damagedFiles_.end()) {
        if (!KeepDamagedFile(fullPath_))
            return 0;
        damagedFiles_.erase(damaged);
    }
    if (!WriteTableFile(fullPath_, *table_))
        return 0;
    ResetModified();
    return 1;
}

void CTableDocument::Rename(const std::string& path)
{
    if (path.empty()) {
        name_[0] = '\0';
        fullPath_.clear();
    } else {
        fullPath_ = FullPathOf(path);
        const char* name = NamePartOf(path.c_str());
        size_t n = std::min(strlen(name), sizeof name_ - 1);
        memcpy(name_, name, n);
        name_[n] = '\0';
    }
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

TableLoad LoadDefaultTable()
{
    Document.ResetModified();
    return Document.LoadTableFile(DefaultTableName);
}
