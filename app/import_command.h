// Lists and dictionaries chosen in the Open dialogs: read with the readers
// vbk import uses, off the window's thread, then taken into the table at once.
#pragma once

#include <windows.h>

#include <string>

enum class ImportInto {
    NewTable,     // 開く（新しい表を作る）: an untitled table of its entries
    CurrentTable, // 開く（現在の表に追加）: Keys already there keep their Data
};

// Whether a chosen file is a table file: named .vbk or .vbk.damaged, or with
// bytes that read as table records. Anything else is a list or dictionary.
bool IsTableFile(const std::string& path);

// Reads the file and, unless the person cancels or it cannot be read, puts
// its entries into the table and says how many; else tells why not, and the
// table, its name and the journal are as they were.
void ImportFile(HWND mainWindow, const std::string& path, ImportInto into);

class CBackgroundWork;

// While the table takes many entries on, the journal's record of them (as
// large as they are) is written with the window waiting on it, not frozen.
class CJournalWritesAside {
public:
    explicit CJournalWritesAside(CBackgroundWork& work);
    ~CJournalWritesAside();
    CJournalWritesAside(const CJournalWritesAside&) = delete;
    CJournalWritesAside& operator=(const CJournalWritesAside&) = delete;
};
