#include "core/journal_codec.h"

#include <array>
#include <functional>

namespace {

const char Magic[4] = {'V', 'B', 'K', 'J'};
const uint32_t Version = 1;

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t Get64(const uint8_t* p)
{
    return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32;
}

void Put32(std::string& out, uint64_t v)
{
    for (int i = 0; i < 4; i++)
        out += char((v >> (8 * i)) & 0xFF);
}

void Put64(std::string& out, uint64_t v)
{
    Put32(out, v & 0xFFFFFFFFu);
    Put32(out, v >> 32);
}

// The fields a kind has, or for a list, the fields each of its items has.
struct Shape {
    bool list;
    size_t perItem;
};

bool ShapeOf(uint8_t kind, Shape& shape)
{
    switch (JournalKind(kind)) {
    case JournalKind::Store:
        shape = {false, 2};
        return true;
    case JournalKind::Replace:
        shape = {false, 3};
        return true;
    case JournalKind::Erase:
        shape = {true, 1};
        return true;
    case JournalKind::Append:
        shape = {true, 2};
        return true;
    }
    return false;
}

// Reads the payload of one record; false when it does not parse exactly.
bool ParsePayload(const uint8_t* p, uint64_t size, JournalChange& change)
{
    Shape shape = {false, 0};
    if (size < 1 || !ShapeOf(p[0], shape))
        return false;
    change.Kind = JournalKind(p[0]);
    uint64_t at = 1;
    uint64_t fields = shape.perItem;
    if (shape.list) {
        if (size - at < 4)
            return false;
        uint64_t items = Get32(p + at);
        at += 4;
        // Each field takes at least its length: a count that cannot fit is
        // refused before anything is reserved for it.
        if (items * shape.perItem > (size - at) / 4)
            return false;
        fields = items * shape.perItem;
    }
    change.Fields.clear();
    change.Fields.reserve(size_t(fields));
    for (uint64_t i = 0; i < fields; i++) {
        if (size - at < 4)
            return false;
        uint64_t n = Get32(p + at);
        at += 4;
        if (n > size - at)
            return false;
        change.Fields.emplace_back(reinterpret_cast<const char*>(p + at), size_t(n));
        at += n;
    }
    return at == size;
}

} // namespace

// Eight bytes a step through eight tables: a dictionary brought in is one
// record of a hundred megabytes or more, summed before it is written.
uint32_t Crc32(const void* bytes, size_t size, uint32_t crc)
{
    static const std::array<std::array<uint32_t, 256>, 8> tables = [] {
        std::array<std::array<uint32_t, 256>, 8> t{};
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; i++)
            for (int k = 1; k < 8; k++)
                t[k][i] = t[0][t[k - 1][i] & 0xFF] ^ (t[k - 1][i] >> 8);
        return t;
    }();
    const auto& t = tables;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    crc = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        uint32_t low = crc ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24);
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^
              t[4][low >> 24] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (; size > 0; size--, p++)
        crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string EncodeJournalHeader(const JournalBase& base)
{
    std::string out(Magic, sizeof Magic);
    Put32(out, Version);
    Put32(out, base.TablePath.size());
    out += base.TablePath;
    Put64(out, base.Size);
    Put64(out, base.Time);
    Put32(out, Crc32(out.data(), out.size()));
    return out;
}

bool WriteJournalRecord(JournalKind kind, const std::vector<std::string_view>& fields,
                        const std::function<bool(const char*, size_t)>& sink, size_t blockSize)
{
    Shape shape = {false, 0};
    ShapeOf(uint8_t(kind), shape);
    std::string lead(1, char(kind)); // the payload before its fields
    if (shape.list)
        Put32(lead, fields.size() / shape.perItem);
    uint64_t payloadSize = lead.size();
    for (std::string_view f : fields)
        payloadSize += 4 + f.size();
    // The checksum comes before the payload: one pass sums it, a second
    // hands it on, so no block of the record's size is ever made.
    std::string block;
    Put32(block, payloadSize);
    uint32_t crc = Crc32(lead.data(), lead.size(), Crc32(block.data(), 4));
    std::string length;
    for (std::string_view f : fields) {
        length.clear();
        Put32(length, f.size());
        crc = Crc32(f.data(), f.size(), Crc32(length.data(), 4, crc));
    }
    Put32(block, crc);
    block += lead;
    for (std::string_view f : fields) {
        Put32(block, f.size());
        while (block.size() + f.size() >= blockSize) {
            size_t part = blockSize > block.size() ? blockSize - block.size() : 0;
            block.append(f.data(), part);
            f.remove_prefix(part);
            if (!sink(block.data(), block.size()))
                return false;
            block.clear();
        }
        block += f;
    }
    return block.empty() || sink(block.data(), block.size());
}

std::string EncodeJournalRecord(JournalKind kind, const std::vector<std::string_view>& fields)
{
    std::string out;
    WriteJournalRecord(
        kind, fields,
        [&](const char* bytes, size_t size) {
            out.append(bytes, size);
            return true;
        },
        size_t(-1) / 2);
    return out;
}

JournalContents ReadJournal(const uint8_t* bytes, size_t size)
{
    JournalContents j;
    const uint64_t end = size;
    if (end < 12 || std::string_view(reinterpret_cast<const char*>(bytes), 4) !=
                        std::string_view(Magic, 4) ||
        Get32(bytes + 4) != Version)
        return j;
    uint64_t pathLength = Get32(bytes + 8);
    uint64_t headerEnd = 12 + pathLength + 16;
    if (pathLength > end || headerEnd + 4 > end ||
        Crc32(bytes, size_t(headerEnd)) != Get32(bytes + headerEnd))
        return j;
    j.HeaderSound = true;
    j.Base.TablePath.assign(reinterpret_cast<const char*>(bytes + 12), size_t(pathLength));
    j.Base.Size = Get64(bytes + 12 + pathLength);
    j.Base.Time = Get64(bytes + 20 + pathLength);
    uint64_t at = headerEnd + 4;
    j.SoundLength = at;
    while (at < end) {
        if (end - at < 8)
            break;
        uint64_t length = Get32(bytes + at);
        if (length > end - at - 8)
            break;
        uint32_t crc = Crc32(bytes + at, 4);
        if (Crc32(bytes + at + 8, size_t(length), crc) != Get32(bytes + at + 4))
            break;
        JournalChange change;
        if (!ParsePayload(bytes + at + 8, length, change))
            break;
        j.Changes.push_back(std::move(change));
        at += 8 + length;
        j.SoundLength = at;
    }
    j.Torn = j.SoundLength < end;
    return j;
}
