// The File menu: new, save, save as, and the two ways of opening a table;
// and the question whether to save before a command drops the table.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

void OnNewTable(HWND mainWindow);
void OnSaveTable(HWND mainWindow);
void OnSaveTableAs(HWND mainWindow);
void OnOpenNewTable(HWND mainWindow);
void OnOpenAppendTable(HWND mainWindow);

enum SaveAnswer {
    SaveDeclined, // nothing to save, or the person said no
    SaveDone,
    SaveStopped, // the save dialog was cancelled or the save failed
};

// Asks whether to save a modified table, and saves it on yes, an untitled
// one under a name chosen in the save dialog. A command that would drop the
// table goes on unless the answer is SaveStopped: the table is kept then.
SaveAnswer OfferToSave(HWND owner, const char* question, const char* caption);

// Before the main window closes: false keeps it open.
bool SaveOnClose(HWND mainWindow);

#include "table/table_document.h"

enum LoadKind {
    StartLoad, // data.vbk at start-up
    OpenLoad,  // in place of the table
    AppendLoad,
};

// A table file read away from the window's thread, the window waiting with
// the progress window after half a second, then taken into the document in
// place of its table. A cancel changes nothing (summary.Stopped).
TableLoad LoadTableInBackground(HWND mainWindow, const std::string& path);

// Tells the person what a load could not do: a file too large for memory,
// or a damaged one read as far as it goes. A load the person stopped needs
// no word.
void ReportLoad(HWND owner, const std::string& path, const TableLoad& load, LoadKind kind);

// Says that a table file was damaged: which, how many entries were read,
// that the rest could not be; and, when the file is the current table's,
// that its bytes will be kept before it is first saved over.
void ReportDamagedTable(HWND owner, const std::string& path, uint64_t entriesRead,
                        bool willBeSavedOver);
