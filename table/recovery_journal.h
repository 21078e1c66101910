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

    // The journal a program that did not end normally left at path: false
    // when there is none, or nothing of it can be used.
    bool Find(JournalContents& found) const;
    // Whether the file the journal names is no longer as it was when the
    // journal began.
    static bool BaseChanged(const JournalBase& base);
    // Opens the table the journal names in the document, as Open-new does
    // (or an empty untitled one), and makes its changes again. The journal
    // goes on from its last sound record. What the load found is returned.
    TableLoad Restore(const JournalContents& found);
    // No journal any more: a normal end, or the person declined it.
    void Discard();

    void Stored(std::string_view key, std::string_view data) override;
    void Replaced(std::string_view formerKey, std::string_view key,
                  std::string_view data) override;
    void Erased(const std::vector<std::string_view>& keys) override;
    void Appended(const std::vector<std::string_view>& keysAndData) override;
    void Rebased() override;

    // How a large record is written: given the writing, which may run on
    // another thread while nothing else changes the table, it returns once
    // the writing is done. Null: written at once.
    using LongWrite = std::function<void(const std::function<void()>& write)>;
    void SetLongWrite(LongWrite longWrite) { longWrite_ = std::move(longWrite); }

private:
    void Record(JournalKind kind, const std::vector<std::string_view>& fields);
    bool Begin(std::string& bytes);
    void Close();

    CTableDocument* document_ = nullptr;
    std::string path_;
    // The file the table was last read from or written to: the changes are
    // made on top of it. A name given by a save that failed is not it.
    std::string basePath_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool replaying_ = false;
    bool broken_ = false;
    LongWrite longWrite_;
};

extern CRecoveryJournal RecoveryJournal;
