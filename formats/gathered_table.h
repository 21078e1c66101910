// Entries read from a list or dictionary made into a table of their own, in
// the table file's layout: the program builds it away from its window, and
// takes it in whole once it is done.
#pragma once

#include <functional>

#include "core/entry_table.h"
#include "formats/entry_gatherer.h"

// Fills the empty table with the sorted entries, taking them over: the table
// may keep their bytes and rewrite them, so they are not to be read again.
// goOn is asked now and then; false stops the building, and the table is to
// be thrown away.
bool BuildGatheredTable(EntryGatherer& entries, CEntryTable& table,
                        const std::function<bool()>& goOn);
