#include "core/table_codec.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A Key or Data is the bytes before its first zero byte. A load looks at
// every byte of the file, so they are tested sixteen or eight at a time.
size_t FieldLength(const uint8_t* p, uint32_t length)
{
    const uint64_t ones = 0x0101010101010101ull, highs = 0x8080808080808080ull;
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i zeros = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        if (int found = _mm_movemask_epi8(_mm_cmpeq_epi8(v, zeros)))
            return i + size_t(__builtin_ctz(unsigned(found)));
    }
#endif
    for (; i + 8 <= length; i += 8) {
        uint64_t v;
        std::memcpy(&v, p + i, 8);
        if ((v - ones) & ~v & highs)
            break; // a zero among these eight
    }
    for (; i < length; i++)
        if (p[i] == 0)
            return i;
    return length;
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

namespace {

// Thrown out of the walk when the reader asks to stop.
struct Stop {};

const uint64_t ProgressStep = 256 * 1024;

DecodeSummary IndexImage(uint8_t* bytes, size_t size, CEntryTable& table,
                         const DecodeProgress& progress)
{
    uint64_t inserted = 0;
    uint64_t nextReport = progress ? 0 : UINT64_MAX;
    DecodeSummary summary;
    try {
        summary = WalkRecords(bytes, size, [&](const RecordSpan& r) {
            if (r.offset >= nextReport) {
                if (!progress(r.offset, size))
                    throw Stop();
                nextReport = r.offset + ProgressStep;
            }
            uint8_t* head = bytes + r.offset;
            uint8_t* key = head + 8;
            bool added;
            if (FieldLength(key, r.keyLength) < r.keyLength) {
                added = table.InsertEntry(Field(key, r.keyLength),
                                          Field(key + r.keyLength, r.dataLength));
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
    } catch (const Stop&) {
        summary.Stopped = true;
        return summary;
    }
    if (progress)
        progress(size, size);
    summary.Inserted = inserted;
    summary.Duplicates = summary.Records - inserted;
    return summary;
}

} // namespace

DecodeSummary DecodeTableImage(std::unique_ptr<char[]> image, size_t size, CEntryTable& table)
{
    uint8_t* bytes = reinterpret_cast<uint8_t*>(image.get());
    table.AdoptImage(std::move(image), size);
    return IndexImage(bytes, size, table, nullptr);
}

DecodeSummary DecodeTableImage(std::shared_ptr<char> image, size_t size, bool borrowed,
                               CEntryTable& table, const DecodeProgress& progress)
{
    uint8_t* bytes = reinterpret_cast<uint8_t*>(image.get());
    table.AdoptImage(std::move(image), size, borrowed);
    return IndexImage(bytes, size, table, progress);
}

uint64_t EncodedSize(const CEntryTable& table)
{
    uint64_t total = 0;
    table.ForEachEntry([&](const Entry& e) { total += 8 + e.Key.size() + e.Data.size(); });
    return total;
}
