#include "core/table_codec.h"

#include <cstring>

namespace {

// A Key or Data is the bytes before its first zero byte.
size_t FieldLength(const uint8_t* p, uint32_t length)
{
    const void* zero = std::memchr(p, 0, length);
    return zero ? size_t(static_cast<const uint8_t*>(zero) - p) : length;
}

std::string_view Field(const uint8_t* p, uint32_t length)
{
    return std::string_view(reinterpret_cast<const char*>(p), FieldLength(p, length));
}

} // namespace

DecodeSummary DecodeTable(const uint8_t* bytes, size_t size, CEntryTable& table)
{
    uint64_t inserted = 0;
    DecodeSummary summary = WalkRecords(bytes, size, [&](const RecordSpan& r) {
        const uint8_t* key = bytes + r.offset + 8;
        if (table.InsertEntry(Field(key, r.keyLength), Field(key + r.keyLength, r.dataLength)))
            inserted++;
    });
    summary.Inserted = inserted;
    summary.Duplicates = summary.Records - inserted;
    return summary;
}

DecodeSummary DecodeTableImage(std::unique_ptr<char[]> image, size_t size, CEntryTable& table)
{
    uint8_t* bytes = reinterpret_cast<uint8_t*>(image.get());
    table.AdoptImage(std::move(image), size);
    uint64_t inserted = 0;
    DecodeSummary summary = WalkRecords(bytes, size, [&](const RecordSpan& r) {
        uint8_t* head = bytes + r.offset;
        uint8_t* key = head + 8;
        bool added;
        if (FieldLength(key, r.keyLength) < r.keyLength) {
            added = table.InsertEntry(Field(key, r.keyLength), Field(key + r.keyLength, r.dataLength));
        } else {
            size_t dataLength = FieldLength(key + r.keyLength, r.dataLength);
            if (dataLength < r.dataLength)
                for (int i = 0; i < 4; i++)
                    head[4 + i] = uint8_t((dataLength >> (8 * i)) & 0xFF);
            added = table.InsertRecord(reinterpret_cast<const char*>(head));
        }
        if (added)
            inserted++;
    });
    summary.Inserted = inserted;
    summary.Duplicates = summary.Records - inserted;
    return summary;
}

uint64_t EncodedSize(const CEntryTable& table)
{
    uint64_t total = 0;
    table.ForEachEntry([&](const Entry& e) { total += 8 + e.Key.size() + e.Data.size(); });
    return total;
}
