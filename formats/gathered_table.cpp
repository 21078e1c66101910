#include "formats/gathered_table.h"

#include <cstring>
#include <memory>

namespace {

char* Put32(char* at, uint64_t v)
{
    for (int i = 0; i < 4; i++)
        *at++ = char((v >> (8 * i)) & 0xFF);
    return at;
}

} // namespace

// One block holds every record, indexed in place: the table then costs
// little more than its file would, and the entries come in Key order, so
// each is added at the end of the tree.
bool BuildGatheredTable(const EntryGatherer& entries, CEntryTable& table,
                        const std::function<bool()>& goOn)
{
    // Room enough without a walk to measure: a Key's record takes its
    // entries' bytes, 8 for the lengths, and 2 between joined Data.
    size_t size = size_t(entries.StoredBytes() + 10 * entries.Stored());
    std::unique_ptr<char[]> image(new char[size ? size : 1]);
    char* block = image.get();
    table.AdoptImage(std::move(image), size);
    char* at = block;
    size_t n = 0;
    for (EntryGatherer::Cursor c(entries); c.Valid(); c.Next()) {
        if ((++n & 0xFFF) == 0 && goOn && !goOn())
            return false;
        std::string_view key = c.Key(), data = c.Data();
        char* record = at;
        at = Put32(Put32(at, key.size()), data.size());
        std::memcpy(at, key.data(), key.size());
        at += key.size();
        std::memcpy(at, data.data(), data.size());
        at += data.size();
        table.InsertRecord(record);
    }
    return true;
}
