// Table files on disk: read into a table, or written from one, through the
// one file object.
#pragma once

#include <string>

#include "table/entry_table.h"
#include "table/table_codec.h"

enum ReadOutcome {
    ReadOk,
    ReadNotOpened, // missing, held open elsewhere, no access, or the file object busy
};

// Adds the file's records to the table, the first record of a Key winning
// and Keys already there keeping their Data. Never shows a message.
ReadOutcome ReadTableFile(const std::string& path, CEntryTable& table,
                          DecodeSummary* summary = nullptr);

// Writes the table to the file, which is made if it does not exist: 1 if
// written, 0 after a message box ("Write() INVALID" or "Write() FALSE"). The
// old file is replaced only once the new one is complete.
int WriteTableFile(const std::string& path, const CEntryTable& table);
