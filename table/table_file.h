// The current table, its file name and its modified flag, and loading and
// saving it through the file object.
#pragma once

#include <windows.h>

#include <string>

#include "table/entry_table.h"

enum SaveMode {
    OverwriteExisting, // the file must already exist
    CreateOrReplace,
};

extern CEntryTable EntryTable;
// The bare file name shown in the title; empty for an untitled table.
extern char CurrentTablePath[260];
// Where that file really is. The file dialogs may move the working folder,
// so loads and saves go to this full path, never to the bare name.
extern std::string CurrentTableFullPath;
extern int TableModified;

// Names the current table after a path (relative to the working folder, or
// full); an empty path makes the table untitled.
void SetCurrentTable(const char* path);

// Reads the current file into EntryTable: 1 if it was opened, 0 if not (the
// table is then untitled). Never shows a message.
int LoadTableFile();
// Writes EntryTable to the current file: 1 if written, 0 with a message box
// if not. The old file is replaced only once the new one is complete.
int SaveTableFile(SaveMode mode);

void LoadDefaultTable();
void SaveOnClose(HWND mainWindow);
