// The in-memory table of entries: unique Keys held in Key order.
//
// Keys and Data are opaque byte strings. Key order compares bytes as unsigned
// values, a proper prefix first. The table is a B+ tree: a lookup in a table
// of a million entries visits four or five nodes, not twenty, and each node's
// Keys begin with their first eight bytes side by side, so that most
// comparisons need no second memory access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>

// Stands for one stored entry for as long as it stays in the table: erasing
// it, or clearing the table, ends it. An ended handle may still be compared
// with others, but never read.
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
    std::optional<Entry> FindEntry(std::string_view key) const;
    void EraseEntry(std::string_view key);
    // The first entry whose Key does not sort before the word.
    std::optional<Entry> FindCandidate(std::string_view word) const;
    void ClearEntries();

    template <class Visitor>
    void ForEachEntry(Visitor&& visit) const
    {
        for (const Leaf* leaf = first_; leaf; leaf = leaf->next)
            for (int i = 0; i < leaf->count; i++)
                visit(View(leaf->records[i]));
    }

    size_t Size() const { return size_; }

    // The entry a live handle stands for.
    static Entry EntryAt(EntryHandle handle) { return View(static_cast<const Record*>(handle)); }

private:
    static constexpr int LeafCapacity = 32;
    static constexpr int InnerCapacity = 32;

    // One entry in one block: the two lengths, the Key's bytes, the Data's.
    struct Record {
        uint32_t keyLength;
        uint32_t dataLength;
        char* Bytes() { return reinterpret_cast<char*>(this + 1); }
        const char* Bytes() const { return reinterpret_cast<const char*>(this + 1); }
        std::string_view Key() const { return {Bytes(), keyLength}; }
    };
    struct Inner;
    struct Node {
        bool leaf;
        int count;
        Inner* parent;
    };
    struct Leaf : Node {
        Leaf* prev;
        Leaf* next;
        // One spare slot: a full node takes one more entry, then splits.
        uint64_t prefixes[LeafCapacity + 1];
        Record* records[LeafCapacity + 1];
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
    };

    static Entry View(const Record* r)
    {
        return {r->Key(), {r->Bytes() + r->keyLength, r->dataLength}, r};
    }
    static uint64_t Prefix(std::string_view key);
    static int Compare(uint64_t prefixA, std::string_view a, uint64_t prefixB, std::string_view b);

    Position LowerBound(std::string_view key, uint64_t prefix) const;
    Record* NewRecord(std::string_view key, std::string_view data);
    void FreeRecord(Record* r);
    void InsertAt(Leaf* leaf, int index, uint64_t prefix, Record* r);
    void SplitLeaf(Leaf* leaf, bool appending);
    void InsertChild(Inner* parent, int index, Node* child, std::string separator,
                     uint64_t prefix);
    void SplitInner(Inner* inner, bool appending);
    void RemoveChild(Inner* parent, Node* child);
    void FreeNodes(Node* node);
    static int ChildIndex(const Inner* parent, const Node* child);

    std::pmr::unsynchronized_pool_resource pool_;
    Node* root_;
    Leaf* first_;
    Leaf* last_;
    size_t size_ = 0;
};

// Zero-terminated text as a Key or Data: the bytes before the first zero.
inline std::string_view TextBytes(const char* text)
{
    return text ? std::string_view(text) : std::string_view();
}
