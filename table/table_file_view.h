// A table file's bytes seen in place, through a mapped view of the file, so
// that a large table is ready without its bytes being copied into memory.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "table/table_file.h"

struct TableFileBytes {
    // Writable: pages the table writes to become private copies and never
    // reach the file.
    std::shared_ptr<char> bytes;
    size_t size = 0;
    // A view of the file: while the bytes are held, the file cannot be
    // replaced (a save first has the table copy them, CEntryTable::OwnImages).
    bool mapped = false;
};

// The bytes of a file on a fixed drive are mapped; those of any other file
// (removable or network drives, whose pages could vanish) and those of a
// file the system will not map are read whole, as ReadTableFileBytes does.
// Never shows a message.
ReadOutcome OpenTableFileBytes(const std::string& path, TableFileBytes& file);
