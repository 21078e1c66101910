// The table file format: a headerless run of records
//   u32 Key length (LE), u32 Data length (LE), Key bytes, Data bytes
// in Key order. Bytes in, entries out; entries in, bytes out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "table/entry_table.h"

struct DecodeSummary {
    uint64_t Records = 0;    // complete records read
    uint64_t Inserted = 0;   // records that added an entry
    uint64_t Duplicates = 0; // records whose Key was already in the table
    bool Damaged = false;    // the file ends inside a record
    uint64_t DamageOffset = 0; // offset of the first record that is cut short
};

// Reads every complete record into the table with InsertEntry, so the first
// record of a Key wins and Keys already present keep their Data. A Key or Data
// is taken up to its first zero byte. A record that runs past the end of the
// bytes is dropped, with everything after it.
DecodeSummary DecodeTable(const uint8_t* bytes, size_t size, CEntryTable& table);

inline DecodeSummary DecodeTable(std::string_view bytes, CEntryTable& table)
{
    return DecodeTable(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), table);
}

// Size in bytes of the file that EncodeTable writes for the table.
uint64_t EncodedSize(const CEntryTable& table);

// Encodes the table in Key order into blocks of about blockSize bytes and
// hands each to sink(const char*, size_t) -> bool. Stops at the first block
// that the sink refuses and returns false; true when all was written.
template <class Sink>
bool EncodeTable(const CEntryTable& table, Sink&& sink, size_t blockSize = 1 << 20)
{
    std::string block;
    block.reserve(blockSize + 16);
    bool ok = true;
    auto flush = [&] {
        if (ok && !block.empty())
            ok = sink(block.data(), block.size());
        block.clear();
    };
    auto put32 = [&](uint64_t v) {
        char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                     char((v >> 24) & 0xFF)};
        block.append(b, 4);
    };
    table.ForEachEntry([&](const Entry& e) {
        if (!ok)
            return;
        if (e.Key.size() > 0xFFFFFFFFu || e.Data.size() > 0xFFFFFFFFu) {
            ok = false; // a length the format cannot hold
            return;
        }
        put32(e.Key.size());
        put32(e.Data.size());
        block.append(e.Key);
        if (block.size() >= blockSize)
            flush();
        block.append(e.Data);
        if (block.size() >= blockSize)
            flush();
    });
    flush();
    return ok;
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
