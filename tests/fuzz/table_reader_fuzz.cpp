// libFuzzer target for the table-file reader. Whatever the bytes, the reader
// must stay inside them, end, and yield a table that writes and reads back
// unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/table_codec.h"

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

    // Read in place, the bytes must give the same table.
    std::unique_ptr<char[]> image(new char[size + 1]);
    if (size)
        memcpy(image.get(), data, size);
    CEntryTable inPlace;
    DecodeTableImage(std::move(image), size, inPlace);
    if (EncodeTableToBytes(inPlace) != bytes)
        abort();
    return 0;
}
