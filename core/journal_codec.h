// The recovery journal's bytes: a header that names the table the changes
// belong to, then one record per change, each with its own checksum, so that
// a record torn by a power cut is known and left out with nothing after it.
//
//   header:  "VBKJ", u32 version 1, u32 path length, path bytes,
//            u64 base size, u64 base time, u32 CRC-32 of all of the above
//   record:  u32 payload length, u32 CRC-32 of the length and the payload,
//            payload = u8 kind, then its fields
//
// All integers little-endian. A field is a u32 length and its bytes; a list
// is a u32 count and its fields. Bytes in, changes out; changes in, bytes out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class JournalKind : uint8_t {
    Store = 1,   // Key, Data: added, or new Data for the Key
    Replace = 2, // former Key, Key, Data: an edit under another Key
    Erase = 3,   // list of Keys
    Append = 4,  // list of Key, Data, Key, Data, ...: entries an append added
};

struct JournalChange {
    JournalKind Kind = JournalKind::Store;
    std::vector<std::string> Fields;
};

// What the table's file was when the journal began: a later change of either
// means someone else wrote it meanwhile. Both 0 for an untitled table.
struct JournalBase {
    std::string TablePath; // full path; empty for an untitled table
    uint64_t Size = 0;
    uint64_t Time = 0;
};

struct JournalContents {
    bool HeaderSound = false;
    JournalBase Base;
    std::vector<JournalChange> Changes;
    // Bytes from the start to the end of the last sound record: where the
    // next record goes once anything torn after it has been cut off.
    uint64_t SoundLength = 0;
    bool Torn = false; // bytes after the last sound record were left out
};

uint32_t Crc32(const void* bytes, size_t size, uint32_t crc = 0);

std::string EncodeJournalHeader(const JournalBase& base);
std::string EncodeJournalRecord(JournalKind kind, const std::vector<std::string_view>& fields);
// The same bytes handed to sink in blocks of about blockSize: a record as
// large as a dictionary is written without being held whole. False when the
// sink refused one.
bool WriteJournalRecord(JournalKind kind, const std::vector<std::string_view>& fields,
                        const std::function<bool(const char*, size_t)>& sink,
                        size_t blockSize = 1 << 20);

// Never reads outside the bytes; stops at the first record that is cut short,
// fails its checksum or does not parse.
JournalContents ReadJournal(const uint8_t* bytes, size_t size);
inline JournalContents ReadJournal(std::string_view bytes)
{
    return ReadJournal(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
