#include "core/table_codec.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
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
size_t FieldLength(const uint8_t* p, size_t length)
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
    if (i < length && length >= 16) {
        // The last sixteen bytes: those of them already looked at hold no zero.
        const size_t last = length - 16;
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + last));
        int found = _mm_movemask_epi8(_mm_cmpeq_epi8(v, zeros));
        return found ? last + size_t(__builtin_ctz(unsigned(found))) : length;
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

// The bytes' second half, indexed on a thread of its own while the first
// half goes into the table: the first touch of the pages is much of a
// load's time. Until the first half has been walked far enough to tell
// where the second starts, the thread touches the pages it will read.
class CSecondHalf {
public:
    CSecondHalf(uint8_t* bytes, size_t size) : bytes_(bytes), size_(size)
    {
        thread_ = std::thread([this] { Work(); });
    }
    ~CSecondHalf()
    {
        stop_ = true;
        Start(size_);
        if (thread_.joinable())
            thread_.join();
    }
    // Where the first record of the half lies.
    void Start(size_t offset)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!started_) {
            start_ = offset;
            started_ = true;
            startedChanged_.notify_one();
        }
    }
    // Waits at most the time given for the thread to end: true once it has.
    bool WaitEnded(std::chrono::milliseconds time)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        return endedChanged_.wait_for(lock, time, [this] { return ended_; });
    }
    // How far the thread has read, as an offset in the whole of the bytes.
    uint64_t Reached() const { return reached_.load(std::memory_order_relaxed); }
    // Once the thread has ended: the leaves of the records from the start,
    // in file order, up to the first record that could not go into them.
    CEntryTable::CLeafRun& Run()
    {
        thread_.join();
        if (failed_)
            throw std::bad_alloc();
        return run_;
    }
    size_t StartOffset() const { return start_; }
    // Where that record lies; the records from there on are the caller's.
    // The whole of the bytes when every one went into the run.
    size_t HandedOver() const { return handedOver_; }
    // What the walk found, when nothing was handed over.
    const DecodeSummary& Summary() const { return summary_; }

private:
    // Thrown out of the walk at a record the run cannot take.
    struct HandOver {
        size_t offset;
    };

    void Work()
    {
        Walk();
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        endedChanged_.notify_all();
    }

    void Walk()
    {
        uint32_t touched = 0;
        for (size_t i = size_ / 2; i < size_ && !stop_; i += 4096)
            touched += static_cast<const volatile uint8_t*>(bytes_)[i];
        (void)touched;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            startedChanged_.wait(lock, [this] { return started_; });
        }
        handedOver_ = size_;
        try {
            summary_ = WalkRecords(bytes_ + start_, size_ - start_, [&](const RecordSpan& r) {
                if (stop_)
                    throw Stop();
                reached_.store(start_ + r.offset, std::memory_order_relaxed);
                uint8_t* head = bytes_ + start_ + r.offset;
                // A Key with a zero byte makes a copy, which only the table
                // can hold. The run takes only ascending Keys; a Data is cut
                // only once its record is in, for the caller walks on from
                // a record that was not taken by its lengths as they stand.
                const char* record = reinterpret_cast<const char*>(head);
                const size_t fields = size_t(r.keyLength) + r.dataLength;
                bool whole = FieldLength(head + 8, fields) == fields;
                if ((!whole && FieldLength(head + 8, r.keyLength) < r.keyLength) ||
                    !run_.Append(record))
                    throw HandOver{size_t(start_ + r.offset)};
                if (!whole)
                    CutData(head, r.keyLength, r.dataLength);
            });
        } catch (const HandOver& at) {
            handedOver_ = at.offset;
        } catch (const Stop&) {
        } catch (const std::bad_alloc&) {
            failed_ = true;
        }
    }

    uint8_t* bytes_;
    size_t size_;
    std::mutex mutex_;
    std::condition_variable startedChanged_, endedChanged_;
    bool started_ = false, ended_ = false;
    std::atomic<uint64_t> reached_{0};
    size_t start_ = 0;
    CEntryTable::CLeafRun run_;
    size_t handedOver_ = 0;
    DecodeSummary summary_;
    std::atomic<bool> stop_{false};
    bool failed_ = false;
    std::thread thread_;
};

// Where the first sound record at or after the middle starts.
size_t Middle(const uint8_t* bytes, size_t size)
{
    size_t offset = 0;
    while (offset < size / 2 && size - offset >= 8) {
        uint64_t next = offset + 8 + uint64_t(Get32(bytes + offset)) + Get32(bytes + offset + 4);
        if (next > size)
            break;
        offset = size_t(next);
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
        try {
            second = std::make_unique<CSecondHalf>(bytes, size);
            first = Middle(bytes, size);
            second->Start(first);
        } catch (const std::system_error&) {
            second.reset();
            first = size; // no thread to be had: one reads it all
        } catch (const std::bad_alloc&) {
            second.reset();
            first = size;
        }
    }
    auto add = [&](const RecordSpan& r, uint64_t base) {
        report(base + r.offset);
        uint8_t* head = bytes + base + r.offset;
        // Key and Data are looked at in one go: most records have no zero
        // byte in either.
        const size_t fields = size_t(r.keyLength) + r.dataLength;
        if (FieldLength(head + 8, fields) < fields) {
            CutData(head, r.keyLength, r.dataLength);
            if (AddRecord(table, head))
                inserted++;
        } else if (table.InsertRecord(reinterpret_cast<const char*>(head))) {
            inserted++;
        }
    };
    DecodeSummary summary;
    try {
        summary = WalkRecords(bytes, first, [&](const RecordSpan& r) { add(r, 0); });
        if (second) {
            // Its progress is told while it runs and once it has ended: a
            // reader who stops there stops before the whole is read.
            for (;;) {
                bool ended = !progress || second->WaitEnded(std::chrono::milliseconds(25));
                report(second->Reached());
                if (ended)
                    break;
            }
            CEntryTable::CLeafRun& run = second->Run();
            const size_t runRecords = run.Size();
            if (table.AppendRun(run)) {
                inserted += runRecords;
            } else {
                // The halves overlap: the file is out of order there.
                run.ForEachRecord([&](const char* record) {
                    if (table.InsertRecord(record))
                        inserted++;
                });
            }
            // The records from where the run stopped, if it did, are read
            // here as the first half's are.
            size_t from = second->HandedOver();
            DecodeSummary rest = second->Summary();
            if (from < size) {
                rest = WalkRecords(bytes + from, size - from,
                                   [&](const RecordSpan& r) { add(r, from); });
                rest.Records += runRecords;
            } else {
                from = second->StartOffset();
            }
            summary.Records += rest.Records;
            if (rest.Damaged) {
                summary.Damaged = true;
                summary.DamageOffset = from + rest.DamageOffset;
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
