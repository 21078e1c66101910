#include "app/file_commands.h"

#include <new>

#include "app/import_command.h"
#include "core/file_name.h"
#include "res/texts.h"
#include "table/file_dialogs.h"
#include "table/table_document.h"
#include "ui/background_work.h"

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
    MessageBoxA(mainWindow, "内容は変更されていません", TEXT_CONFIRM_CAPTION, MB_OK);
    return true;
}

// The chosen name is taken before the write, and kept even if it fails.
// False when the dialog was cancelled or the write failed.
bool SaveUnderChosenName(HWND owner)
{
    std::string path;
    if (!ChooseSaveFile(owner, path, Document.SuggestedPath()))
        return false;
    EnsureExtension(path, TableExtension);
    Document.Rename(path);
    return Document.SaveTableFile() != 0;
}

// Reads the file on the work's thread: false when the person stopped it.
bool ReadInBackground(CBackgroundWork& work, const std::string& path, ReadTable& read)
{
    return work.Run([&](CWorkProgress& progress) {
        read = ReadTableForLoad(path, progress.Reporter());
    }) && !read.stopped;
}

TableLoad StoppedLoad()
{
    TableLoad stopped;
    stopped.summary.Stopped = true;
    return stopped;
}

// The file is read whole away from the window's thread before any entry of
// it comes in; a cancel keeps the table that was there.
// A journal that cannot take the record is told of once the progress
// window has gone.
TableLoad AppendTableInBackground(HWND mainWindow, const std::string& path)
{
    CTableDocument::CHeldWarnings held(Document);
    TableLoad load;
    {
        ReadTable read;
        CBackgroundWork work(mainWindow, std::string(NamePart(path)));
        if (!ReadInBackground(work, path, read))
            return StoppedLoad();
        work.EndCancel();
        CJournalWritesAside aside(work);
        load = Document.TakeAppendedTable(std::move(read));
    }
    held.Show();
    return load;
}

} // namespace

SaveAnswer OfferToSave(HWND owner, const char* question, const char* caption)
{
    if (!Document.TableModified() || !AskYesNo(owner, question, caption))
        return SaveDeclined;
    // An untitled table is named in the save dialog first, as Save does it.
    bool saved = Document.CurrentTablePath()[0] ? Document.SaveTableFile() != 0
                                                : SaveUnderChosenName(owner);
    return saved ? SaveDone : SaveStopped;
}

TableLoad LoadTableInBackground(HWND mainWindow, const std::string& path)
{
    ReadTable read;
    CBackgroundWork work(mainWindow, std::string(NamePart(path)));
    if (!ReadInBackground(work, path, read))
        return StoppedLoad();
    work.Finish();
    return Document.TakeReadTable(std::move(read));
}

void ReportLoad(HWND owner, const std::string& path, const TableLoad& load, LoadKind kind)
{
    if (load.summary.Stopped)
        return;
    if (load.outcome == ReadTooLarge || load.outcome == ReadFailed) {
        const char* what = load.outcome == ReadTooLarge
                               ? " は大きすぎるため、メモリに読み込めませんでした。\n"
                               : " を読み込めませんでした。\n";
        std::string text = std::string(NamePart(path)) + what +
                           (kind == StartLoad ? "空の表で始めます。" : "今の表はそのままです。");
        MessageBoxA(owner, text.c_str(), TEXT_ERROR_CAPTION, MB_OK | MB_ICONWARNING);
    } else if (load.outcome == ReadOk && load.summary.Damaged) {
        ReportDamagedTable(owner, path, load.summary.Records, kind != AppendLoad);
    }
}

void ReportDamagedTable(HWND owner, const std::string& path, uint64_t entriesRead,
                        bool willBeSavedOver)
{
    std::string name = std::string(NamePart(path));
    std::string text = name + " は壊れています。\n先頭から " + std::to_string(entriesRead) +
                       " 件を読み込みましたが、残りは読み込めませんでした。";
    if (willBeSavedOver)
        text += "\n最初に保存するとき、元の内容を " + name + ".damaged として残します。";
    MessageBoxA(owner, text.c_str(), TEXT_CONFIRM_CAPTION, MB_OK | MB_ICONWARNING);
}

// The save dialog of Save and Save As has no owner, so the main window
// stays usable meanwhile.
void OnSaveTable(HWND mainWindow)
{
    if (RefuseUnmodified(mainWindow))
        return;
    if (!Document.CurrentTablePath()[0]) {
        SaveUnderChosenName(nullptr);
        return;
    }
    if (AskYesNo(mainWindow, TEXT_OVERWRITE, TEXT_CONFIRM_CAPTION))
        Document.SaveTableFile();
}

void OnSaveTableAs(HWND mainWindow)
{
    if (RefuseUnmodified(mainWindow))
        return;
    SaveUnderChosenName(nullptr);
}

// The table keeps its own name: the chosen file is only read.
void OnOpenAppendTable(HWND mainWindow)
{
    std::string path;
    if (!ChooseOpenFile(mainWindow, path))
        return;
    if (IsTableFile(path))
        ReportLoad(mainWindow, path, AppendTableInBackground(mainWindow, path), AppendLoad);
    else
        ImportFile(mainWindow, path, ImportInto::CurrentTable);
}

void OnOpenNewTable(HWND mainWindow)
{
    if (OfferToSave(mainWindow, "ファイルを開く前に現在開いているファイルを更新しますか？",
                    Document.CurrentTablePath()) == SaveStopped)
        return;
    std::string path;
    // The table is replaced only once a file is chosen: a cancelled dialog
    // must not leave an empty table under the old name, where the next save
    // would write it over the file.
    if (!ChooseOpenFile(mainWindow, path))
        return;
    if (IsTableFile(path))
        ReportLoad(mainWindow, path, LoadTableInBackground(mainWindow, path), OpenLoad);
    else
        ImportFile(mainWindow, path, ImportInto::NewTable);
}

void OnNewTable(HWND mainWindow)
{
    if (OfferToSave(mainWindow, "現在開いているファイルを更新しますか？",
                    Document.CurrentTablePath()) == SaveStopped)
        return;
    Document.NewTable();
}

bool SaveOnClose(HWND mainWindow)
{
    return OfferToSave(mainWindow, TEXT_OVERWRITE, TEXT_CONFIRM_CAPTION) != SaveStopped;
}
