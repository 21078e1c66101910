// libFuzzer target for the table-file reader. Whatever the bytes, the reader
// must stay inside them, end, and yield a table that writes and reads back
// unchanged.
#include <cstdint>
#include <cstdlib>

#include "table/table_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CEntryTable table;
    DecodeSummary s = DecodeTable(data, size, table);
    if (s.Inserted != table.Size() || s.Records != s.Inserted + s.Duplicates)
        abort();

    std::string bytes = EncodeTableToBytes(table);
    CEntryTable again;
    DecodeSummary back = DecodeTable(bytes, again);
    if (back.Damaged || back.Duplicates != 0 || EncodeTableToBytes(again) != bytes)
        abort();
    return 0;
}
