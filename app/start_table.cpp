#include "app/start_table.h"

#include <memory>
#include <new>

#include "app/file_commands.h"
#include "app/recovery_offer.h"
#include "table/table_document.h"
#include "ui/background_work.h"
#include "ui/guarded.h"

namespace {

ReadTable StartRead;
std::unique_ptr<CEarlyWork> StartReading;

// A reading nobody wants any more (the recovery loads its own table) is
// stopped, and its mapping of the file goes with it.
void DropStartRead()
{
    StartReading.reset();
    StartRead = ReadTable();
}

// A table read within the half second is taken in as if it had been read
// here: what is typed or sent meanwhile waits for it, and is then handled.
// A larger one takes its time in a window that has shown itself, with the
// progress window over it, and takes no commands. A cancel starts the
// program with an empty untitled table: the file stays as it is, and no
// save can write the empty table over it without the person naming it in
// the save dialog.
TableLoad TakeStartTable(HWND window)
{
    Document.ResetModified();
    if (!StartReading)
        return LoadTableInBackground(window, DefaultTableName);
    bool finished = true;
    if (!StartReading->Wait(ProgressDelayMs)) {
        CBackgroundWork work(window, DefaultTableName);
        finished = work.Join(*StartReading, ProgressDelayMs);
    }
    ReadTable read = std::move(StartRead);
    DropStartRead();
    if (!finished || read.stopped) {
        TableLoad stopped;
        stopped.summary.Stopped = true;
        return stopped;
    }
    return Document.TakeReadTable(std::move(read));
}

} // namespace

void BeginReadingStartTable()
{
    try {
        StartReading = std::make_unique<CEarlyWork>([](CWorkProgress& progress) {
            StartRead = ReadTableForLoad(DefaultTableName, progress.Reporter());
        });
    } catch (const std::bad_alloc&) {
        // read once the window is there
    }
}

void LoadStartTable(HWND window)
{
    Guarded(window, 0, [&] {
        auto restoreLoad = [window](const std::string& path) {
            DropStartRead();
            return LoadTableInBackground(window, path);
        };
        if (!OfferRecovery(window, restoreLoad))
            ReportLoad(window, DefaultTableName, TakeStartTable(window), StartLoad);
        else
            DropStartRead();
        return 0;
    });
}
