// The table a person works on, with the name and full path of its file and
// whether it has changes not yet saved. Every change goes through here, and
// the views that follow the document hear of each one as it happens, so no
// view shows a stale table and no command has to remember to repaint.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/entry_table.h"
#include "core/table_codec.h"
#include "table/table_file.h"

// One Key's entry changed: before is the entry the Key had (null when it was
// added), after the entry it has now (null when it was erased). When a Key is
// stored under another Key's place (an edit that renames), before is the old
// Key's entry. before has ended by the time views hear of it.
struct EntryChange {
    EntryHandle before;
    EntryHandle after;
};

class CDocumentView {
public:
    virtual void EntryChanged(const EntryChange& change) = 0;
    // Any entry may have changed: a load, an append or a clear.
    virtual void TableReplaced() = 0;
    // The file's name or the modified flag changed.
    virtual void FileStateChanged() = 0;
    // The same entries, held elsewhere: every handle kept must be moved
    // (CEntryTable::Moved).
    virtual void EntriesMoved(const std::vector<CEntryTable::ImageMove>& moves) = 0;

protected:
    ~CDocumentView() = default;
};

// Hears of every change to the table before any view does, with what it
// takes to make the change again: a journal of the changes not yet saved.
class CChangeJournal {
public:
    virtual void Stored(std::string_view key, std::string_view data) = 0;
    virtual void Replaced(std::string_view formerKey, std::string_view key,
                          std::string_view data) = 0;
    virtual void Erased(const std::vector<std::string_view>& keys) = 0;
    // The entries an append added: Key, Data, Key, Data, ...
    virtual void Appended(const std::vector<std::string_view>& keysAndData) = 0;
    // The table is its file's again (loaded, saved) or a new one: every
    // change heard of before is obsolete.
    virtual void Rebased() = 0;
    // Every view has heard of the change: the journal may now say what
    // went wrong with its record.
    virtual void Settled() {}

protected:
    ~CChangeJournal() = default;
};

// What a load or an append found.
struct TableLoad {
    ReadOutcome outcome = ReadNotOpened;
    DecodeSummary summary; // Damaged: the file ends inside a record
};

// A table file read, not yet taken into the document: the reading touches
// no document, so that it may run away from the window's thread.
struct ReadTable {
    TableLoad load;
    std::string path, fullPath;
    std::unique_ptr<CEntryTable> table; // null when nothing is to change
    bool stopped = false;               // progress said stop: nothing is to change
};
// Never throws: a table too large for memory is ReadTooLarge.
ReadTable ReadTableForLoad(const std::string& path, const DecodeProgress& progress = nullptr);

class CTableDocument {
public:
    CTableDocument();

    const CEntryTable& EntryTable() const { return *table_; }
    // The bare file name shown in the title; empty for an untitled table.
    const char* CurrentTablePath() const { return name_; }
    // Where that file really is. The file dialogs may move the working
    // folder, so loads and saves go to this full path, never the bare name.
    const std::string& CurrentTableFullPath() const { return fullPath_; }
    int TableModified() const { return modified_; }

    void AddView(CDocumentView* view);
    void RemoveView(CDocumentView* view);
    // At most one; null for none.
    void SetJournal(CChangeJournal* journal) { journal_ = journal; }

    // Changes made by commands. Each marks the table modified, whether or not
    // an entry changed, and happens whole or, when memory runs out, not at
    // all. The texts are copied before the table changes, so they may come
    // from anywhere.
    void StoreEntry(std::string_view key, std::string_view data);
    // The entry of formerKey becomes (key, data); another entry that had key
    // gives way. A formerKey no longer in the table just stores (key, data).
    void ReplaceEntry(std::string_view formerKey, std::string_view key, std::string_view data);
    void EraseEntry(std::string_view key);
    // Erases every one of the Keys, or, if memory runs out first, none;
    // before each erasure, before(i) learns which Key comes next.
    template <class Before>
    void EraseEntries(const std::vector<std::string>& keys, Before&& before);
    void MarkModified();

    // Empties the table; the name and the modified flag stay.
    void ClearEntries();
    // An empty untitled table in place of this one; the modified flag stays.
    void NewTable();
    // The file's entries in place of the table's, named after the file; or,
    // when there is no such file, an empty untitled table. A file too large
    // for memory, or one that is there but cannot be read whole, changes
    // nothing. The modified flag stays.
    TableLoad LoadTableFile(const std::string& path);
    // The second half of LoadTableFile, on a table read by ReadTableForLoad.
    TableLoad TakeReadTable(ReadTable&& read);
    // Adds the file's entries; Keys already in the table keep their Data.
    // The name stays, and the table counts as modified even when there is
    // no such file. A file too large for memory, or one that is there but
    // cannot be read whole, changes nothing.
    TableLoad AppendTableFile(const std::string& path);
    // The second half of AppendTableFile, on a table read by ReadTableForLoad.
    TableLoad TakeAppendedTable(ReadTable&& read);
    // Writes the table to its file, making it anew if it has gone: 1, and no
    // longer modified; or 0 after the failure's message. Before the first
    // save over a file that was loaded damaged, its bytes are kept beside it
    // as NAME.damaged (or NAME.damaged.2, ...), so the part that could not be
    // read can still be salvaged.
    int SaveTableFile();
    // Names the table after a path (relative to the working folder, or
    // full); an empty path makes it untitled.
    void Rename(const std::string& path);

    // A table made from a list or dictionary in place of this one: untitled
    // and modified, so that a save asks for a name and never writes over the
    // list; the save dialog proposes suggestedPath. The journal holds its
    // entries at once, so a crash loses none of them.
    void AdoptImportedTable(std::unique_ptr<CEntryTable> table, const std::string& suggestedPath);
    // Adds every entry of the other table whose Key is not in this one, as
    // one change: one journal record, one notice to the views. Returns how
    // many were added; when memory runs out, the table is left as it was.
    uint64_t AppendEntries(const CEntryTable& entries);
    // The path a save dialog proposes for an untitled table; empty for none.
    const std::string& SuggestedPath() const { return suggestedPath_; }

    // While one lives, what the journal has to say about the changes made
    // waits for Show (or its end): a change made under a progress window is
    // told of once that window has gone.
    class CHeldWarnings {
    public:
        explicit CHeldWarnings(CTableDocument& document) : document_(document)
        {
            document_.warningsHeld_ = true;
        }
        ~CHeldWarnings() { Show(); }
        CHeldWarnings(const CHeldWarnings&) = delete;
        CHeldWarnings& operator=(const CHeldWarnings&) = delete;
        void Show()
        {
            if (!document_.warningsHeld_)
                return;
            document_.warningsHeld_ = false;
            document_.Settle();
        }

    private:
        CTableDocument& document_;
    };
    void ResetModified();

private:
    void SetName(const std::string& path, std::string&& fullPath);
    void SetModified(int modified);
    void NotifyChanged(const EntryChange& change);
    void NotifyReplaced();
    void NotifyFileState();
    void Settle();

    std::unique_ptr<CEntryTable> table_;
    char name_[260] = "";
    std::string fullPath_;
    int modified_ = 0;
    std::vector<CDocumentView*> views_;
    CChangeJournal* journal_ = nullptr;
    bool warningsHeld_ = false;
    // Files loaded damaged whose bytes have not been kept yet.
    std::vector<std::string> damagedFiles_;
    std::string suggestedPath_;
};

template <class Before>
void CTableDocument::EraseEntries(const std::vector<std::string>& keys, Before&& before)
{
    // Erasing needs no memory: the handles are found first, then nothing
    // can stop the rest half-way.
    std::vector<EntryHandle> handles;
    handles.reserve(keys.size());
    for (const std::string& key : keys) {
        std::optional<Entry> e = table_->FindEntry(key);
        handles.push_back(e ? e->Handle : nullptr);
    }
    for (const std::string& key : keys)
        table_->EraseEntry(key);
    if (journal_)
        journal_->Erased(std::vector<std::string_view>(keys.begin(), keys.end()));
    MarkModified();
    for (size_t i = 0; i < keys.size(); i++) {
        before(i);
        NotifyChanged({handles[i], nullptr});
    }
    Settle();
}

extern CTableDocument Document;

// At start-up: "data.vbk" in the working folder, unmodified.
extern const char DefaultTableName[];
TableLoad LoadDefaultTable();
