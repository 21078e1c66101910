#include "table/table_codec.h"

#include <cstring>

namespace {

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string_view Field(const uint8_t* p, uint32_t length)
{
    const void* zero = std::memchr(p, 0, length);
    size_t n = zero ? size_t(static_cast<const uint8_t*>(zero) - p) : length;
    return std::string_view(reinterpret_cast<const char*>(p), n);
}

} // namespace

DecodeSummary DecodeTable(const uint8_t* bytes, size_t size, CEntryTable& table)
{
    DecodeSummary summary;
    // Offsets are 64-bit so that no sum of declared lengths can wrap around.
    uint64_t offset = 0;
    const uint64_t end = size;
    while (offset < end) {
        if (end - offset < 8) {
            summary.Damaged = true;
            summary.DamageOffset = offset;
            break;
        }
        const uint8_t* head = bytes + offset;
        uint64_t keyLength = Get32(head);
        uint64_t dataLength = Get32(head + 4);
        if (keyLength + dataLength > end - offset - 8) {
            summary.Damaged = true;
            summary.DamageOffset = offset;
            break;
        }
        std::string_view key = Field(head + 8, uint32_t(keyLength));
        std::string_view data = Field(head + 8 + keyLength, uint32_t(dataLength));
        if (table.InsertEntry(key, data))
            summary.Inserted++;
        else
            summary.Duplicates++;
        summary.Records++;
        offset += 8 + keyLength + dataLength;
    }
    return summary;
}

uint64_t EncodedSize(const CEntryTable& table)
{
    uint64_t total = 0;
    table.ForEachEntry([&](const Entry& e) { total += 8 + e.Key.size() + e.Data.size(); });
    return total;
}
