// The recovery journal: every change to the table not yet saved, on the disk
// before any view shows it, so that a crash, a kill or a power cut loses
// nothing the person saw. One journal for the one running program, under
// %LOCALAPPDATA%\Vocabrik; it names the table its changes belong to.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "core/journal_codec.h"
#include "table/table_document.h"

enum class JournalFind {
    Nothing,    // no journal, or one read whole that holds no change
    Unreadable, // there, but not to be read: kept, and the reason given
    Changes,    // changes to offer
};

class CRecoveryJournal : public CChangeJournal {
public:
    CRecoveryJournal() = default;
    ~CRecoveryJournal();
    CRecoveryJournal(const CRecoveryJournal&) = delete;
    CRecoveryJournal& operator=(const CRecoveryJournal&) = delete;

    // %LOCALAPPDATA%\Vocabrik\recovery.journal
    static std::string DefaultPath();

    // Follows the document's changes, writing to the file at path.
    void Attach(CTableDocument& document, const std::string& path);
    void Detach();
    const std::string& Path() const { return path_; }

    // The journal a program that did not end normally left at path; why
    // says what kept an unreadable one from being read.
    JournalFind Find(JournalContents& found, std::string& why) const;
    // Whether the file the journal names is no longer as it was when the
    // journal began.
    static bool BaseChanged(const JournalBase& base);
    // Opens the table the journal names in the document, as Open-new does
    // (or an empty untitled one), and makes its changes again. The journal
    // goes on from its last sound record. What the load found is returned;
    // when the table's file is there but cannot be read, or its reading was
    // stopped, no change is made and the journal is kept for a later start.
    // load, when given, takes the table's file into the document in place
    // of LoadTableFile.
    using TableLoader = std::function<TableLoad(const std::string& path)>;
    TableLoad Restore(const JournalContents& found, const TableLoader& load = nullptr);
    // The file at path holds changes not yet offered back: for the rest of
    // this run it is neither written over nor removed, and no journal is
    // kept (the person is told at the first change).
    void Keep();
    // No journal any more: a normal end, or the person declined it.
    void Discard();

    void Stored(std::string_view key, std::string_view data) override;
    void Replaced(std::string_view formerKey, std::string_view key,
                  std::string_view data) override;
    void Erased(const std::vector<std::string_view>& keys) override;
    void Appended(const std::vector<std::string_view>& keysAndData) override;
    void Rebased() override;
    void Settled() override;

    // How a large record is written: given the writing, which may run on
    // another thread while nothing else changes the table, it returns once
    // the writing is done. Null: written at once.
    using LongWrite = std::function<void(const std::function<void()>& write)>;
    void SetLongWrite(LongWrite longWrite) { longWrite_ = std::move(longWrite); }

private:
    void Record(JournalKind kind, const std::vector<std::string_view>& fields);
    bool WriteRecord(JournalKind kind, const std::vector<std::string_view>& fields,
                     std::string& why);
    bool WritePending(std::string& why);
    bool Put(const char* bytes, size_t size, std::string& why);
    bool Flush(std::string& why);
    bool Open(std::string& why);
    void Forget();
    void Close();

    CTableDocument* document_ = nullptr;
    std::string path_;
    // The file the table was last read from or written to: the changes are
    // made on top of it. A name given by a save that failed is not it.
    std::string basePath_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    // Bytes known to be on the disk from the start of the file, and the
    // records not yet there, which go to the disk with the next change.
    uint64_t written_ = 0;
    std::string pending_;
    bool headed_ = false; // pending_ begins with the journal's header
    bool replaying_ = false;
    bool kept_ = false;
    // A record could not even be held in memory: the journal would miss it.
    bool lost_ = false;
    // The person has been told that the journal cannot be written, and is
    // not told again until it has been written once more.
    bool told_ = false;
    std::string warning_; // to be shown once the views have the change
    LongWrite longWrite_;
};

extern CRecoveryJournal RecoveryJournal;
