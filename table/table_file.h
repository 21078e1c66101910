// Table files on disk: read into a table, or written from one, through the
// one file object.
#pragma once

#include <memory>
#include <string>

#include "core/entry_table.h"

enum ReadOutcome {
    ReadOk,
    ReadNotOpened, // missing, held open elsewhere, no access, or the file object busy
    ReadTooLarge,  // more than the memory there is to hold it
};

// The file's bytes, whole. Never shows a message.
ReadOutcome ReadTableFileBytes(const std::string& path, std::unique_ptr<char[]>& bytes,
                               size_t& size);

// Writes the table to the file, which is made if it does not exist: 1 if
// written, 0 after a message box ("Write() INVALID" or "Write() FALSE"). The
// old file is replaced only once the new one is complete.
int WriteTableFile(const std::string& path, const CEntryTable& table);
