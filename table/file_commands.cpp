#include "table/file_commands.h"

#include "table/file_name.h"
#include "table/table_document.h"

namespace {

const char* const TableExtension = ".vbk";

bool AskYesNo(HWND owner, const char* text, const char* caption)
{
    return MessageBoxA(owner, text, caption, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

bool RefuseUnmodified(HWND mainWindow)
{
    if (Document.TableModified())
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
    Document.Rename(path);
    Document.SaveTableFile(CreateOrReplace);
    return true;
}

} // namespace

void OnSaveTable(HWND mainWindow)
{
    if (RefuseUnmodified(mainWindow))
        return;
    if (Document.CurrentTablePath()[0]) {
        if (AskYesNo(mainWindow, "上書きしますか？", "確認"))
            Document.SaveTableFile(OverwriteExisting);
        return;
    }
    SaveUnderChosenName();
}

void OnSaveTableAs(HWND mainWindow)
{
    if (RefuseUnmodified(mainWindow))
        return;
    SaveUnderChosenName();
}

// The table keeps its own name: the chosen file is only read.
void OnOpenAppendTable(HWND mainWindow)
{
    std::string path;
    if (ChooseOpenFile(mainWindow, path))
        Document.AppendTableFile(path);
}

void OnOpenNewTable(HWND mainWindow)
{
    if (Document.TableModified() &&
        AskYesNo(mainWindow, "ファイルを開く前に現在開いているファイルを更新しますか？",
                 Document.CurrentTablePath()))
        Document.SaveTableFile(OverwriteExisting);
    std::string path;
    // The table is emptied only once a file is chosen: a cancelled dialog
    // must not leave an empty table under the old name, where the next save
    // would write it over the file.
    if (ChooseOpenFile(mainWindow, path))
        Document.LoadTableFile(path);
}

void OnNewTable(HWND mainWindow)
{
    if (Document.TableModified() &&
        AskYesNo(mainWindow, "現在開いているファイルを更新しますか？", Document.CurrentTablePath()))
        Document.SaveTableFile(OverwriteExisting);
    Document.ClearEntries();
    Document.Rename("");
}

void SaveOnClose(HWND mainWindow)
{
    if (Document.TableModified() &&
        MessageBoxA(mainWindow, "上書きしますか？", "確認", MB_YESNO | MB_ICONQUESTION) == IDYES)
        Document.SaveTableFile(OverwriteExisting);
}
