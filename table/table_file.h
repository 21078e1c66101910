// Table files on disk, read into a table or written from one through
// platform/files: no file stays open once a call has returned, on any path.
#pragma once

#include <memory>
#include <string>

#include "core/entry_table.h"

enum ReadOutcome {
    ReadOk,
    ReadNotOpened, // not there: no such file or folder
    ReadTooLarge,  // more than the memory there is to hold it
    ReadFailed,    // there, but not to be read whole: held open elsewhere, no
                   // access, not a file, or a read that failed part-way
};

// The file's bytes, whole. Never shows a message.
ReadOutcome ReadTableFileBytes(const std::string& path, std::unique_ptr<char[]>& bytes,
                               size_t& size);

// Writes the table to the file, which is made if it does not exist: 1 if
// written, 0 after a message box ("Write() INVALID" or "Write() FALSE", the
// latter naming any file left with the only complete copy of the table or
// of the old file). The old file is replaced only once the new one is
// complete. A failure to make the bytes (memory) is thrown on, after the
// temporary file has gone.
int WriteTableFile(const std::string& path, const CEntryTable& table);
