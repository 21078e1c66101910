#include "formats/gathered_table.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

char* Put32(char* at, uint64_t v)
{
    for (int i = 0; i < 4; i++)
        *at++ = char((v >> (8 * i)) & 0xFF);
    return at;
}

// Records written one after another into blocks the table keeps.
class RecordBlocks {
public:
    explicit RecordBlocks(CEntryTable& table) : table_(table) {}

    // Room for n bytes, in a new block when the last has too little.
    char* Room(size_t n)
    {
        if (size_t(end_ - at_) < n) {
            size_t size = std::max(n, BlockSize);
            std::unique_ptr<char[]> block(new char[size]);
            at_ = block.get();
            end_ = at_ + size;
            table_.AdoptImage(std::move(block), size);
        }
        char* room = at_;
        at_ += n;
        return room;
    }

    // The whole of an empty table's records in one block, sized ahead.
    void OneBlock(size_t size)
    {
        std::unique_ptr<char[]> block(new char[size ? size : 1]);
        at_ = block.get();
        end_ = at_ + size;
        table_.AdoptImage(std::move(block), size);
    }

private:
    static constexpr size_t BlockSize = size_t(1) << 20;
    CEntryTable& table_;
    char* at_ = nullptr;
    char* end_ = nullptr;
};

char* PutRecord(char* at, std::string_view key, std::string_view data)
{
    at = Put32(Put32(at, key.size()), data.size());
    std::memcpy(at, key.data(), key.size());
    std::memcpy(at + key.size(), data.data(), data.size());
    return at + key.size() + data.size();
}

} // namespace

// The entries come in Key order, so each is added at the end of the tree.
// Where the gatherer left room before every Key, the table keeps the
// gatherer's own block and indexes each entry where it lies: a second block
// as large as the table, filled in fresh memory, cost a dictionary's import
// from the window a third of its time. A Data that is a part of the end of
// the first entry's (its heading line dropped) has its Key moved up to it;
// only Data joined from several entries are written anew.
bool BuildGatheredTable(EntryGatherer& entries, CEntryTable& table,
                        const std::function<bool()>& goOn)
{
    RecordBlocks blocks(table);
    bool inPlace = entries.HasHeadRoom();
    if (inPlace) {
        table.AdoptImage(entries.Block(), size_t(entries.StoredBytes()), false);
    } else {
        // Room enough without a walk to measure: a Key's record takes its
        // entries' bytes, 8 for the lengths, and 2 between joined Data.
        blocks.OneBlock(size_t(entries.StoredBytes() + 10 * entries.Stored()));
    }
    size_t n = 0;
    for (EntryGatherer::Cursor c(entries); c.Valid(); c.Next()) {
        if ((++n & 0xFFF) == 0 && goOn && !goOn())
            return false;
        std::string_view key = c.Key(), data = c.Data(), first = c.FirstData();
        const char* record;
        // A Data joined from equal ones is the first's again.
        bool tail = inPlace && data.size() <= first.size() &&
                    (data.data() == first.data() + (first.size() - data.size()) ||
                     first.substr(first.size() - data.size()) == data);
        if (tail) {
            // Nothing but this Key's record is ever read from these bytes
            // again: the Key may move over its Data's dropped first line.
            char* keyAt = const_cast<char*>(first.data() + first.size() - data.size() - key.size());
            if (keyAt != key.data())
                std::memmove(keyAt, key.data(), key.size());
            Put32(Put32(keyAt - EntryGatherer::HeadRoom, key.size()), data.size());
            record = keyAt - EntryGatherer::HeadRoom;
        } else {
            char* room = blocks.Room(8 + key.size() + data.size());
            PutRecord(room, key, data);
            record = room;
        }
        table.InsertRecord(record);
    }
    return true;
}
