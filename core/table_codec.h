// The table file format: a headerless run of records
//   u32 Key length (LE), u32 Data length (LE), Key bytes, Data bytes
// in Key order. Bytes in, entries out; entries in, bytes out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/entry_table.h"

struct DecodeSummary {
    uint64_t Records = 0;    // complete records read
    uint64_t Inserted = 0;   // records that added an entry
    uint64_t Duplicates = 0; // records whose Key was already in the table
    bool Damaged = false;    // the file ends inside a record
    uint64_t DamageOffset = 0; // offset of the first record that is cut short
    bool Stopped = false;      // the reader asked to stop: the table is partial
};

// Told, every few hundred kilobytes, how many of the bytes have been read
// (done of total); false stops the reading there.
using DecodeProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Reads every complete record into the table with InsertEntry, so the first
// record of a Key wins and Keys already present keep their Data. A Key or Data
// is taken up to its first zero byte. A record that runs past the end of the
// bytes is dropped, with everything after it.
DecodeSummary DecodeTable(const uint8_t* bytes, size_t size, CEntryTable& table);

inline DecodeSummary DecodeTable(std::string_view bytes, CEntryTable& table)
{
    return DecodeTable(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), table);
}

// The same, into a table that keeps the bytes and indexes their records in
// place: no record is copied unless its Key holds a zero byte. Data with a
// zero byte is cut by rewriting its length in the bytes.
DecodeSummary DecodeTableImage(std::unique_ptr<char[]> image, size_t size, CEntryTable& table);
// The same over shared bytes, which the table may only borrow
// (CEntryTable::AdoptImage). They must be writable all the same: a Data cut
// short is rewritten in them.
DecodeSummary DecodeTableImage(std::shared_ptr<char> image, size_t size, bool borrowed,
                               CEntryTable& table, const DecodeProgress& progress = nullptr);

// One record of table-file bytes: where it starts and its declared lengths.
struct RecordSpan {
    uint64_t offset;
    uint32_t keyLength, dataLength;
};

// Hands every complete record to visit(const RecordSpan&) in file order and
// says where the bytes stop being sound: Damaged is set when they end inside
// a record, whose offset is DamageOffset. Records counts the records visited.
template <class Visit>
DecodeSummary WalkRecords(const uint8_t* bytes, size_t size, Visit&& visit)
{
    DecodeSummary summary;
    // Offsets are 64-bit so that no sum of declared lengths can wrap around.
    uint64_t offset = 0;
    const uint64_t end = size;
    auto get32 = [](const uint8_t* p) {
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    };
    while (offset < end) {
        const uint8_t* head = bytes + offset;
        if (end - offset < 8 ||
            uint64_t(get32(head)) + get32(head + 4) > end - offset - 8) {
            summary.Damaged = true;
            summary.DamageOffset = offset;
            break;
        }
        RecordSpan span = {offset, get32(head), get32(head + 4)};
        visit(span);
        summary.Records++;
        offset += 8 + uint64_t(span.keyLength) + span.dataLength;
    }
    return summary;
}

// Size in bytes of the file that EncodeTable writes for the table.
uint64_t EncodedSize(const CEntryTable& table);

// Writes records, in the order given, into blocks of about blockSize bytes
// and hands each to sink(const char*, size_t) -> bool.
template <class Sink>
class RecordWriter {
public:
    explicit RecordWriter(Sink& sink, size_t blockSize = 1 << 20)
        : sink_(sink), blockSize_(blockSize)
    {
        block_.reserve(blockSize + 16);
    }

    // False from the first block that the sink refuses on, or for a Key or
    // Data longer than a record can say.
    bool Put(std::string_view key, std::string_view data)
    {
        if (!ok_)
            return false;
        if (key.size() > 0xFFFFFFFFu || data.size() > 0xFFFFFFFFu)
            return ok_ = false;
        Put32(key.size());
        Put32(data.size());
        block_.append(key);
        if (block_.size() >= blockSize_)
            Flush();
        block_.append(data);
        if (block_.size() >= blockSize_)
            Flush();
        return ok_;
    }

    // Hands on the last block: true when every record went out.
    bool Finish()
    {
        Flush();
        return ok_;
    }

private:
    void Put32(uint64_t v)
    {
        char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                     char((v >> 24) & 0xFF)};
        block_.append(b, 4);
    }
    void Flush()
    {
        if (ok_ && !block_.empty())
            ok_ = sink_(block_.data(), block_.size());
        block_.clear();
    }

    Sink& sink_;
    size_t blockSize_;
    std::string block_;
    bool ok_ = true;
};

// Encodes the table in Key order into blocks of about blockSize bytes and
// hands each to sink(const char*, size_t) -> bool. Stops at the first block
// that the sink refuses and returns false; true when all was written.
template <class Sink>
bool EncodeTable(const CEntryTable& table, Sink&& sink, size_t blockSize = 1 << 20)
{
    RecordWriter<std::remove_reference_t<Sink>> writer(sink, blockSize);
    table.ForEachEntry([&](const Entry& e) { writer.Put(e.Key, e.Data); });
    return writer.Finish();
}

inline std::string EncodeTableToBytes(const CEntryTable& table)
{
    std::string out;
    EncodeTable(table, [&](const char* p, size_t n) {
        out.append(p, n);
        return true;
    });
    return out;
}
