#include "app/start_table.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "app/file_commands.h"
#include "app/recovery_offer.h"
#include "core/file_name.h"
#include "table/table_document.h"
#include "ui/background_work.h"
#include "ui/guarded.h"

namespace {

ReadTable StartRead;
std::unique_ptr<CEarlyWork> StartReading;

// A small table is read in no time: a thread for it would only cost its
// making, in the middle of the window's.
bool WorthAThread(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA file;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &file))
        return false;
    return (uint64_t(file.nFileSizeHigh) << 32 | file.nFileSizeLow) >= (4u << 20);
}

void BeginReading(const std::string& path)
{
    StartReading = std::make_unique<CEarlyWork>([path](CWorkProgress& progress) {
        StartRead = ReadTableForLoad(path, progress.Reporter());
    });
}

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
// progress window over it; what comes meanwhile is handled once it is
// there, as for a small one. A cancel starts the program with an empty
// untitled table: the file stays as it is, and no save can write the empty
// table over it without the person naming it in the save dialog.
TableLoad LoadAtStart(HWND window, const std::string& path)
{
    if (!StartReading && !WorthAThread(path))
        return Document.LoadTableFile(path);
    if (!StartReading) {
        try {
            BeginReading(path);
        } catch (const std::bad_alloc&) {
            return Document.LoadTableFile(path);
        }
    }
    bool finished = true;
    if (!StartReading->Wait(ProgressDelayMs)) {
        CBackgroundWork work(window, std::string(NamePart(path)));
        work.HoldInput();
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
    if (!WorthAThread(DefaultTableName))
        return;
    try {
        BeginReading(DefaultTableName);
    } catch (const std::bad_alloc&) {
        // read once the window is there
    }
}

void LoadStartTable(HWND window)
{
    Guarded(window, 0, [&] {
        auto restoreLoad = [window](const std::string& path) {
            DropStartRead();
            return LoadAtStart(window, path);
        };
        if (OfferRecovery(window, restoreLoad)) {
            DropStartRead();
        } else {
            Document.ResetModified();
            ReportLoad(window, DefaultTableName, LoadAtStart(window, DefaultTableName), StartLoad);
        }
        return 0;
    });
}
