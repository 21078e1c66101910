#include "table/file_commands.h"

#include "table/file_name.h"
#include "table/table_file.h"

namespace {

const char* const TableExtension = ".vbk";

bool AskYesNo(HWND owner, const char* text, const char* caption)
{
    return MessageBoxA(owner, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool RefuseUnmodified(HWND mainWindow)
{
    if (TableModified)
        return false;
    MessageBoxA(mainWindow, "内容は変更されていません", "確認", MB_OK);
    return true;
}

// The save dialog has no owner, so the main window stays usable meanwhile.
// The chosen name is taken before the write, and kept even if it fails.
bool SaveUnderChosenName()
{
    std::string path;
    if (!ChooseSaveFile(nullptr, path))
        return false;
    EnsureExtension(path, TableExtension);
    SetCurrentTable(path.c_str());
    SaveTableFile(CreateOrReplace);
    return true;
}

} // namespace

void OnSaveTable(HWND mainWindow)
{
    if (RefuseUnmodified(mainWindow))
        return;
    if (CurrentTablePath[0]) {
        if (AskYesNo(mainWindow, "上書きしますか？", "確認"))
            SaveTableFile(OverwriteExisting);
        InvalidateRect(mainWindow, nullptr, FALSE);
        return;
    }
    if (SaveUnderChosenName())
        InvalidateRect(mainWindow, nullptr, TRUE);
}

void OnSaveTableAs(HWND mainWindow)
{
    if (RefuseUnmodified(mainWindow))
        return;
    if (SaveUnderChosenName())
        InvalidateRect(mainWindow, nullptr, FALSE);
}

void OnOpenAppendTable(HWND mainWindow)
{
    std::string path;
    if (!ChooseOpenFile(mainWindow, path))
        return;
    // The table keeps its own name: the chosen file is only read.
    const std::string keptPath = CurrentTableFullPath;
    SetCurrentTable(path.c_str());
    LoadTableFile();
    TableModified = 1;
    SetCurrentTable(keptPath.c_str());
    InvalidateRect(mainWindow, nullptr, FALSE);
}

void OnOpenNewTable(HWND mainWindow)
{
    if (TableModified == 1 &&
        AskYesNo(mainWindow, "ファイルを開く前に現在開いているファイルを更新しますか？",
                 CurrentTablePath))
        SaveTableFile(OverwriteExisting);
    std::string path;
    // The table is emptied only once a file is chosen: a cancelled dialog
    // must not leave an empty table under the old name, where the next save
    // would write it over the file.
    if (!ChooseOpenFile(mainWindow, path))
        return;
    EntryTable.ClearEntries();
    SetCurrentTable(path.c_str());
    LoadTableFile();
    InvalidateRect(mainWindow, nullptr, FALSE);
}

void OnNewTable(HWND mainWindow)
{
    if (TableModified == 1 &&
        AskYesNo(mainWindow, "現在開いているファイルを更新しますか？", CurrentTablePath))
        SaveTableFile(OverwriteExisting);
    EntryTable.ClearEntries();
    SetCurrentTable("");
    InvalidateRect(mainWindow, nullptr, FALSE);
}
