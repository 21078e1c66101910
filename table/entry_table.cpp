#include "table/entry_table.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

CEntryTable::CEntryTable()
{
    Leaf* leaf = new Leaf();
    leaf->leaf = true;
    root_ = first_ = last_ = leaf;
}

CEntryTable::~CEntryTable()
{
    FreeNodes(root_); // the records go with the pool
}

uint64_t CEntryTable::Prefix(std::string_view key)
{
    uint64_t v = 0;
    for (size_t i = 0; i < 8; i++)
        v = v << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return v;
}

// Big-endian prefixes padded with zeros order Keys as their bytes do, so
// only Keys with equal prefixes need their whole bytes compared.
int CEntryTable::Compare(uint64_t prefixA, std::string_view a, uint64_t prefixB,
                         std::string_view b)
{
    if (prefixA != prefixB)
        return prefixA < prefixB ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0;
}

CEntryTable::Position CEntryTable::LowerBound(std::string_view key, uint64_t prefix) const
{
    const Node* node = root_;
    while (!node->leaf) {
        const Inner* inner = static_cast<const Inner*>(node);
        // The last child whose separator does not sort after the key.
        int lo = 1, hi = inner->count;
        while (lo < hi) {
            int mid = (lo + hi) / 2;
            if (Compare(inner->prefixes[mid], inner->separators[mid], prefix, key) <= 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        node = inner->children[lo - 1];
    }
    Leaf* leaf = const_cast<Leaf*>(static_cast<const Leaf*>(node));
    int lo = 0, hi = leaf->count;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (Compare(leaf->prefixes[mid], leaf->records[mid]->Key(), prefix, key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return {leaf, lo};
}

std::optional<Entry> CEntryTable::FindCandidate(std::string_view word) const
{
    Position at = LowerBound(word, Prefix(word));
    if (at.index == at.leaf->count) {
        // Every Key of this leaf sorts first: the bound is the next leaf's first.
        at.leaf = at.leaf->next;
        at.index = 0;
        if (!at.leaf)
            return std::nullopt;
    }
    return View(at.leaf->records[at.index]);
}

std::optional<Entry> CEntryTable::FindEntry(std::string_view key) const
{
    std::optional<Entry> e = FindCandidate(key);
    if (e && e->Key == key)
        return e;
    return std::nullopt;
}

CEntryTable::Record* CEntryTable::NewRecord(std::string_view key, std::string_view data)
{
    if (key.size() > UINT32_MAX || data.size() > UINT32_MAX)
        throw std::length_error("a Key or Data of 4 GiB or more");
    void* block = pool_.allocate(sizeof(Record) + key.size() + data.size(), alignof(Record));
    Record* r = new (block) Record{uint32_t(key.size()), uint32_t(data.size())};
    if (!key.empty())
        memcpy(r->Bytes(), key.data(), key.size());
    if (!data.empty())
        memcpy(r->Bytes() + key.size(), data.data(), data.size());
    return r;
}

void CEntryTable::FreeRecord(Record* r)
{
    pool_.deallocate(r, sizeof(Record) + r->keyLength + r->dataLength, alignof(Record));
}

bool CEntryTable::InsertEntry(std::string_view key, std::string_view data)
{
    const uint64_t prefix = Prefix(key);
    Position at;
    // Table files are written in Key order, so a load appends at the very
    // end nearly always: no search, and full nodes.
    if (last_->count > 0 && Compare(last_->prefixes[last_->count - 1],
                                    last_->records[last_->count - 1]->Key(), prefix, key) < 0) {
        at = {last_, last_->count};
    } else {
        at = LowerBound(key, prefix);
        if (at.index < at.leaf->count && at.leaf->prefixes[at.index] == prefix &&
            at.leaf->records[at.index]->Key() == key)
            return false;
    }
    InsertAt(at.leaf, at.index, prefix, NewRecord(key, data));
    size_++;
    return true;
}

void CEntryTable::InsertAt(Leaf* leaf, int index, uint64_t prefix, Record* r)
{
    int n = leaf->count;
    memmove(leaf->prefixes + index + 1, leaf->prefixes + index, sizeof(uint64_t) * (n - index));
    memmove(leaf->records + index + 1, leaf->records + index, sizeof(Record*) * (n - index));
    leaf->prefixes[index] = prefix;
    leaf->records[index] = r;
    leaf->count = n + 1;
    if (leaf->count > LeafCapacity)
        SplitLeaf(leaf, leaf == last_ && index == n);
}

// A node split while appending keeps the left node full and starts the new
// one with the last entry alone; any other split halves the node.
void CEntryTable::SplitLeaf(Leaf* leaf, bool appending)
{
    int keep = appending ? leaf->count - 1 : leaf->count / 2;
    Leaf* right = new Leaf();
    right->leaf = true;
    right->count = leaf->count - keep;
    memcpy(right->prefixes, leaf->prefixes + keep, sizeof(uint64_t) * right->count);
    memcpy(right->records, leaf->records + keep, sizeof(Record*) * right->count);
    leaf->count = keep;

    right->prev = leaf;
    right->next = leaf->next;
    if (leaf->next)
        leaf->next->prev = right;
    else
        last_ = right;
    leaf->next = right;

    std::string separator(right->records[0]->Key());
    const uint64_t prefix = right->prefixes[0];
    if (!leaf->parent) {
        Inner* root = new Inner();
        root->leaf = false;
        root->count = 1;
        root->children[0] = leaf;
        leaf->parent = root;
        root_ = root;
        InsertChild(root, 1, right, std::move(separator), prefix);
    } else {
        InsertChild(leaf->parent, ChildIndex(leaf->parent, leaf) + 1, right, std::move(separator),
                    prefix);
    }
}

int CEntryTable::ChildIndex(const Inner* parent, const Node* child)
{
    int i = 0;
    while (parent->children[i] != child)
        i++;
    return i;
}

void CEntryTable::InsertChild(Inner* parent, int index, Node* child, std::string separator,
                              uint64_t prefix)
{
    int n = parent->count;
    for (int i = n; i > index; i--) {
        parent->children[i] = parent->children[i - 1];
        parent->separators[i] = std::move(parent->separators[i - 1]);
        parent->prefixes[i] = parent->prefixes[i - 1];
    }
    parent->children[index] = child;
    parent->prefixes[index] = prefix;
    parent->separators[index] = std::move(separator);
    child->parent = parent;
    parent->count = n + 1;
    if (parent->count > InnerCapacity)
        SplitInner(parent, index == n);
}

void CEntryTable::SplitInner(Inner* inner, bool appending)
{
    int keep = appending ? inner->count - 1 : inner->count / 2;
    Inner* right = new Inner();
    right->leaf = false;
    right->count = inner->count - keep;
    for (int i = 0; i < right->count; i++) {
        right->children[i] = inner->children[keep + i];
        right->children[i]->parent = right;
        right->separators[i] = std::move(inner->separators[keep + i]);
        right->prefixes[i] = inner->prefixes[keep + i];
    }
    inner->count = keep;
    // The right node's first separator is its lower bound, which the parent keeps.
    std::string separator = std::move(right->separators[0]);
    right->separators[0].clear();
    const uint64_t prefix = right->prefixes[0];

    if (!inner->parent) {
        Inner* root = new Inner();
        root->leaf = false;
        root->count = 1;
        root->children[0] = inner;
        inner->parent = root;
        root_ = root;
        InsertChild(root, 1, right, std::move(separator), prefix);
    } else {
        InsertChild(inner->parent, ChildIndex(inner->parent, inner) + 1, right,
                    std::move(separator), prefix);
    }
}

void CEntryTable::EraseEntry(std::string_view key)
{
    const uint64_t prefix = Prefix(key);
    Position at = LowerBound(key, prefix);
    Leaf* leaf = at.leaf;
    int i = at.index;
    if (i == leaf->count || leaf->prefixes[i] != prefix || leaf->records[i]->Key() != key)
        return;
    FreeRecord(leaf->records[i]);
    int n = leaf->count;
    memmove(leaf->prefixes + i, leaf->prefixes + i + 1, sizeof(uint64_t) * (n - i - 1));
    memmove(leaf->records + i, leaf->records + i + 1, sizeof(Record*) * (n - i - 1));
    leaf->count = n - 1;
    size_--;
    if (leaf->count > 0 || leaf == root_)
        return;

    // An empty leaf leaves the tree; nodes are not merged otherwise, so the
    // height never exceeds what the largest size of the table gave it.
    if (leaf->prev)
        leaf->prev->next = leaf->next;
    else
        first_ = leaf->next;
    if (leaf->next)
        leaf->next->prev = leaf->prev;
    else
        last_ = leaf->prev;
    RemoveChild(leaf->parent, leaf);
    delete leaf;
}

void CEntryTable::RemoveChild(Inner* parent, Node* child)
{
    int i = ChildIndex(parent, child);
    for (int k = i; k + 1 < parent->count; k++) {
        parent->children[k] = parent->children[k + 1];
        parent->separators[k] = std::move(parent->separators[k + 1]);
        parent->prefixes[k] = parent->prefixes[k + 1];
    }
    parent->count--;
    parent->separators[parent->count].clear();
    // The first child needs no separator: it takes over its parent's lower bound.
    parent->separators[0].clear();

    if (parent->count == 0 && parent->parent) {
        RemoveChild(parent->parent, parent);
        delete parent;
        return;
    }
    // A root with a single child hands the root over to it.
    while (!root_->leaf && root_->count == 1) {
        Inner* old = static_cast<Inner*>(root_);
        root_ = old->children[0];
        root_->parent = nullptr;
        delete old;
    }
}

void CEntryTable::FreeNodes(Node* node)
{
    if (node->leaf) {
        delete static_cast<Leaf*>(node);
        return;
    }
    Inner* inner = static_cast<Inner*>(node);
    for (int i = 0; i < inner->count; i++)
        FreeNodes(inner->children[i]);
    delete inner;
}

void CEntryTable::ClearEntries()
{
    FreeNodes(root_);
    pool_.release();
    Leaf* leaf = new Leaf();
    leaf->leaf = true;
    root_ = first_ = last_ = leaf;
    size_ = 0;
}
