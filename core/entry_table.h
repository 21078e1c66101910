// The in-memory table of entries: unique Keys held in Key order.
//
// Keys and Data are opaque byte strings. Key order compares bytes as unsigned
// values, a proper prefix first. The table is a B+ tree: a lookup in a table
// of a million entries visits four or five nodes, not twenty. The Keys of an
// inner node begin with their first bytes side by side, so that most
// comparisons there need no second memory access. A large table has tens of
// thousands of leaves, and a load makes every one of them in fresh memory,
// whose first touch costs far more than the work done in it: a leaf made by
// a load names only its first and last record, and writes its slots only
// once something changes it.
//
// An entry is stored as one record in the table file's own layout: Key
// length and Data length (u32, little-endian), the Key's bytes, the Data's.
// A table read from a file keeps the file's bytes as they are and indexes the
// records in place, so a large table costs little more memory than its file.
//
// Every change either happens whole or, when memory runs out
// (std::bad_alloc), leaves the table exactly as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Stands for one stored entry for as long as it stays in the table: erasing
// it, giving its Key new Data, or clearing the table ends it. An ended handle
// may still be compared with others, but never read.
using EntryHandle = const void*;

struct Entry {
    std::string_view Key;
    std::string_view Data;
    EntryHandle Handle = nullptr;
};

class CEntryTable {
public:
    CEntryTable();
    ~CEntryTable();
    CEntryTable(const CEntryTable&) = delete;
    CEntryTable& operator=(const CEntryTable&) = delete;

    // Adds (key, data) unless the key is present; never replaces.
    bool InsertEntry(std::string_view key, std::string_view data);
    // Gives a present Key new Data: false when the Key is not in the table.
    bool ReplaceData(std::string_view key, std::string_view data);
    std::optional<Entry> FindEntry(std::string_view key) const;
    // Never needs memory.
    void EraseEntry(std::string_view key);
    // The first entry whose Key does not sort before the word.
    std::optional<Entry> FindCandidate(std::string_view word) const;
    void ClearEntries();

    // Keeps a block of records in the file layout for as long as the table
    // has entries, so that InsertRecord can index its records in place.
    void AdoptImage(std::unique_ptr<char[]> image, size_t size);
    // The same for shared bytes. Borrowed ones are not the table's own (a
    // file's mapped view, say): the table holds them until OwnImages or
    // until it no longer needs them.
    void AdoptImage(std::shared_ptr<char> image, size_t size, bool borrowed);
    // Adds the record that starts at `record`, inside an adopted image,
    // unless its Key is present. Its lengths must lie within the image.
    bool InsertRecord(const char* record);

    // Leaves made away from the table, by another thread say, for records
    // in ascending Key order; AppendRun hangs them after the table's last
    // entry, so that two parts of one file are indexed side by side.
    class CLeafRun;
    // Takes the run's entries and its memory, which leaves the run empty:
    // true. False, with both unchanged, when the run's first Key does not
    // sort after the table's last. Its records must lie in adopted images.
    bool AppendRun(CLeafRun& run);

    // Where the records of a borrowed image went when the table took its
    // own copy: a handle h in [from, from + size) now is to + (h - from).
    struct ImageMove {
        const char* from;
        size_t size;
        const char* to;
    };
    // Copies every borrowed image into memory of the table's own and lets
    // the borrowed bytes go, so that nothing holds their file any longer.
    // The entries stay as they were; their handles move as the result says.
    // When memory runs out, the table is unchanged.
    std::vector<ImageMove> OwnImages();
    static EntryHandle Moved(EntryHandle handle, const std::vector<ImageMove>& moves);

    template <class Visitor>
    void ForEachEntry(Visitor&& visit) const
    {
        for (const Leaf* leaf = first_; leaf; leaf = leaf->next)
            ForEachRecord(leaf, [&](Record r) { visit(View(r)); });
    }

    size_t Size() const { return size_; }

    // The entry a live handle stands for.
    static Entry EntryAt(EntryHandle handle) { return View(static_cast<const char*>(handle)); }

private:
    static constexpr int LeafCapacity = 64;
    static constexpr int InnerCapacity = 32;
    static constexpr int MaxSplits = 48; // far above any height the table can reach

    using Record = const char*;

    struct Inner;
    struct Node {
        bool leaf = false;
        int count = 0;
        Inner* parent = nullptr;
    };
    // Its slots are written before they are read: a new leaf is not cleared.
    // They lie apart from the leaf, so that a packed leaf leaves them
    // untouched.
    struct Leaf : Node {
        Leaf* prev = nullptr;
        Leaf* next = nullptr;
        // Packed: the records lie one after another in an image, as a load
        // meets them, from the first to the last. The last one's Data may be
        // cut after it came in; the next record then no longer lies right
        // after it, so it is never walked past.
        Record packedFirst = nullptr;
        Record packedLast = nullptr;
        // One spare slot: a full node takes one more entry, then splits.
        Record* records;
    };
    // Child i holds the Keys from separator i (inclusive) up to separator
    // i + 1 (exclusive); separator 0 is not used.
    struct Inner : Node {
        uint64_t prefixes[InnerCapacity + 1];
        std::string separators[InnerCapacity + 1];
        Node* children[InnerCapacity + 1];
    };
    struct Position {
        Leaf* leaf;
        int index;
        Record record; // at the index; none past the leaf's last
    };
    // Everything a split needs, made before an insertion changes anything.
    struct Spares {
        Leaf* leaf = nullptr;
        std::string separator;
        uint64_t separatorPrefix = 0;
        Inner* inners[MaxSplits];
        int innerCount = 0;
    };

    static Entry View(Record r);
    static std::string_view KeyOf(Record r);
    // Where the record that follows r in its image starts.
    static Record After(Record r);
    static Record FirstRecord(const Leaf* leaf);
    static Record LastRecord(const Leaf* leaf);
    template <class Visitor>
    static void ForEachRecord(const Leaf* leaf, Visitor&& visit)
    {
        if (Record r = leaf->packedFirst) {
            for (int i = 0;; r = After(r)) {
                visit(r);
                if (++i == leaf->count)
                    break;
            }
        } else {
            for (int i = 0; i < leaf->count; i++)
                visit(leaf->records[i]);
        }
    }
    // Writes a packed leaf's slots; never needs memory.
    static void Unpack(Leaf* leaf);
    // Adds r after a leaf's last record, packed while it lies right after it.
    static void PutLast(Leaf* leaf, Record r);
    static uint64_t InnerPrefix(std::string_view key);
    static int Compare(uint64_t prefixA, std::string_view a, uint64_t prefixB, std::string_view b);

    Position LowerBound(std::string_view key) const;
    bool Matches(Position at, std::string_view key) const;
    Position InsertPosition(std::string_view key, bool* present) const;
    Record NewRecord(std::string_view key, std::string_view data);
    void FreeRecord(Record r);
    bool InsertNew(Position at, Record r, bool ownsRecord);
    void PrepareSplits(Position at, Record r);
    void ReleaseSpares();
    Inner* TakeInner();
    void InsertAt(Leaf* leaf, int index, Record r);
    void SplitLeaf(Leaf* leaf, bool appending);
    void LinkLeaf(Leaf* leaf, Leaf* right);
    void AppendLeaf(Record r);
    void InsertChild(Inner* parent, int index, Node* child, std::string separator,
                     uint64_t prefix);
    void SplitInner(Inner* inner, bool appending);
    void HandUp(Node* left, Node* right, std::string separator, uint64_t prefix);
    void RemoveChild(Inner* parent, Node* child);
    void FreeNodes(Node* node);
    void FreeAbove(Node* node);
    static std::vector<Node*> MakeParents(const std::vector<Node*>& level,
                                          std::vector<Inner*>& made);
    static std::string_view FirstKey(const Node* node);
    static int ChildIndex(const Inner* parent, const Node* child);
    Leaf* NewLeaf();
    void FreeLeaf(Leaf* leaf);
    bool AppendRecord(Record r, std::string_view key);
    static bool Follows(std::string_view last, std::string_view key);

    std::pmr::unsynchronized_pool_resource pool_;
    // Leaves are carved from blocks of many, which go only with the table
    // or when it is cleared: a large table has tens of thousands of leaves,
    // and a load makes them one after another. A freed leaf waits in the
    // free list for the next.
    struct LeafBlock {
        std::unique_ptr<char[]> bytes;
        std::unique_ptr<Record[]> slots;
        size_t leaves;
    };
    static LeafBlock NewLeafBlock(size_t leaves);
    static constexpr size_t FirstBlockLeaves = 4, MostBlockLeaves = 4096;
    static Leaf* CarveLeaf(std::vector<LeafBlock>& blocks, size_t& carved, size_t firstLeaves);
    std::vector<LeafBlock> leafBlocks_;
    size_t leavesCarved_ = 0; // from the last block
    Leaf* freeLeaves_ = nullptr;
    struct Image {
        std::shared_ptr<char> bytes;
        size_t size;
        bool borrowed;
    };
    std::vector<Image> images_;
    Spares spares_;
    Node* root_;
    Leaf* first_;
    Leaf* last_;
    size_t size_ = 0;
};

class CEntryTable::CLeafRun {
public:
    CLeafRun() = default;
    CLeafRun(const CLeafRun&) = delete;
    CLeafRun& operator=(const CLeafRun&) = delete;

    // Adds the record unless its Key does not sort after the last one's:
    // false then, and nothing added.
    bool Append(const char* record);
    size_t Size() const { return size_; }
    template <class Visitor>
    void ForEachRecord(Visitor&& visit) const
    {
        for (const Leaf* leaf = first_; leaf; leaf = leaf->next)
            CEntryTable::ForEachRecord(leaf, visit);
    }

private:
    friend class CEntryTable;
    // Blocks grow as the table's do, so a small run takes little room.
    static constexpr size_t FirstBlockLeaves = 64;
    std::vector<LeafBlock> blocks_;
    size_t carved_ = 0; // from the last block
    Leaf* first_ = nullptr;
    Leaf* last_ = nullptr;
    size_t size_ = 0;
};

// Zero-terminated text as a Key or Data: the bytes before the first zero.
inline std::string_view TextBytes(const char* text)
{
    return text ? std::string_view(text) : std::string_view();
}
