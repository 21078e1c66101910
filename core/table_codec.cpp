#include "core/table_codec.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

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
// Below this a second thread costs more to start than it saves.
const size_t SplitAbove = 1 << 20;

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A Data that holds a zero byte is cut there by rewriting its length.
void CutData(uint8_t* head, uint32_t keyLength, uint32_t dataLength)
{
    size_t length = FieldLength(head + 8 + keyLength, dataLength);
    if (length < dataLength)
        for (int i = 0; i < 4; i++)
            head[4 + i] = uint8_t((length >> (8 * i)) & 0xFF);
}

// A record whose Data has been cut already. One whose Key holds a zero byte
// cannot be seen in place: its entry is a copy.
bool AddRecord(CEntryTable& table, uint8_t* head)
{
    uint32_t keyLength = Get32(head), dataLength = Get32(head + 4);
    const uint8_t* key = head + 8;
    if (FieldLength(key, keyLength) < keyLength)
        return table.InsertEntry(Field(key, keyLength),
                                 {reinterpret_cast<const char*>(key + keyLength), dataLength});
    return table.InsertRecord(reinterpret_cast<const char*>(head));
}

// The records of the bytes' second half, found and cut on a thread of their
// own while the first half goes into the table: the walk and the first
// touch of the pages are much of a load's time.
class CSecondHalf {
public:
    // About as many records as the first half holds are expected.
    CSecondHalf(uint8_t* bytes, size_t size, size_t expected) : bytes_(bytes), size_(size)
    {
        heads_.reserve(expected + expected / 8);
        thread_ = std::thread([this] { Find(); });
    }
    ~CSecondHalf()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // Once the thread has ended: its records in file order, and what the
    // walk found (offsets within the half).
    const std::vector<uint8_t*>& Heads()
    {
        thread_.join();
        if (failed_)
            throw std::bad_alloc();
        return heads_;
    }
    const DecodeSummary& Summary() const { return summary_; }

private:
    void Find()
    {
        try {
            summary_ = WalkRecords(bytes_, size_, [&](const RecordSpan& r) {
                if (stop_)
                    throw Stop();
                uint8_t* head = bytes_ + r.offset;
                CutData(head, r.keyLength, r.dataLength);
                heads_.push_back(head);
            });
        } catch (const Stop&) {
        } catch (const std::bad_alloc&) {
            failed_ = true;
        }
    }

    uint8_t* bytes_;
    size_t size_;
    std::vector<uint8_t*> heads_;
    DecodeSummary summary_;
    std::atomic<bool> stop_{false};
    bool failed_ = false;
    std::thread thread_;
};

// The sound records up to about the middle: where the second half starts,
// and how many records lie before it.
size_t Middle(const uint8_t* bytes, size_t size, size_t& records)
{
    size_t offset = 0;
    records = 0;
    while (offset < size / 2 && size - offset >= 8) {
        uint64_t next = offset + 8 + uint64_t(Get32(bytes + offset)) + Get32(bytes + offset + 4);
        if (next > size)
            break;
        offset = size_t(next);
        records++;
    }
    return offset;
}

DecodeSummary IndexImage(uint8_t* bytes, size_t size, CEntryTable& table,
                         const DecodeProgress& progress)
{
    uint64_t inserted = 0;
    uint64_t nextReport = progress ? 0 : UINT64_MAX;
    auto report = [&](uint64_t done) {
        if (done >= nextReport) {
            if (!progress(done, size))
                throw Stop();
            nextReport = done + ProgressStep;
        }
    };
    std::unique_ptr<CSecondHalf> second;
    size_t first = size;
    if (size > SplitAbove) {
        size_t records = 0;
        first = Middle(bytes, size, records);
        try {
            second = std::make_unique<CSecondHalf>(bytes + first, size - first, records);
        } catch (const std::system_error&) {
            first = size; // no thread to be had: one reads it all
        } catch (const std::bad_alloc&) {
            first = size; // nor room for the list of its records
        }
    }
    DecodeSummary summary;
    try {
        summary = WalkRecords(bytes, first, [&](const RecordSpan& r) {
            report(r.offset);
            uint8_t* head = bytes + r.offset;
            CutData(head, r.keyLength, r.dataLength);
            if (AddRecord(table, head))
                inserted++;
        });
        if (second) {
            const std::vector<uint8_t*>& heads = second->Heads();
            for (uint8_t* head : heads) {
                report(uint64_t(head - bytes));
                if (AddRecord(table, head))
                    inserted++;
            }
            const DecodeSummary& rest = second->Summary();
            summary.Records += rest.Records;
            if (rest.Damaged) {
                summary.Damaged = true;
                summary.DamageOffset = first + rest.DamageOffset;
            }
        }
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
