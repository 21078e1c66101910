#include "core/entry_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

const size_t HeaderSize = 8;

// Records of an image may start at any byte, so lengths are read bytewise.
uint32_t Get32(const char* p)
{
    const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24;
}

void Put32(char* p, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

size_t RecordSize(const char* r)
{
    return HeaderSize + size_t(Get32(r)) + size_t(Get32(r + 4));
}

} // namespace

CEntryTable::CEntryTable()
{
    root_ = first_ = last_ = NewLeaf();
}

CEntryTable::~CEntryTable()
{
    ReleaseSpares();
    FreeNodes(root_); // the records go with the pool and the images
}

// Not cleared: a leaf's slots are written before they are read.
CEntryTable::Leaf* CEntryTable::NewLeaf()
{
    if (!freeLeaves_)
        return CarveLeaf(leafBlocks_, leavesCarved_, FirstBlockLeaves);
    Leaf* freed = freeLeaves_;
    freeLeaves_ = freed->next;
    Record* slots = freed->records;
    Leaf* leaf = new (freed) Leaf;
    leaf->leaf = true;
    leaf->records = slots;
    return leaf;
}

// The slots are not touched here: a packed leaf never touches its own.
CEntryTable::LeafBlock CEntryTable::NewLeafBlock(size_t leaves)
{
    LeafBlock block;
    block.bytes.reset(new char[leaves * sizeof(Leaf)]);
    block.slots.reset(new Record[leaves * (LeafCapacity + 1)]);
    block.leaves = leaves;
    return block;
}

// A leaf from the last of the blocks. Blocks grow with the table, to some
// thousands of leaves.
CEntryTable::Leaf* CEntryTable::CarveLeaf(std::vector<LeafBlock>& blocks, size_t& carved,
                                          size_t firstLeaves)
{
    if (blocks.empty() || carved == blocks.back().leaves) {
        size_t leaves =
            blocks.empty() ? firstLeaves : std::min(blocks.back().leaves * 2, MostBlockLeaves);
        blocks.reserve(blocks.size() + 1);
        blocks.push_back(NewLeafBlock(leaves));
        carved = 0;
    }
    LeafBlock& block = blocks.back();
    Leaf* leaf = new (block.bytes.get() + carved * sizeof(Leaf)) Leaf;
    leaf->leaf = true;
    leaf->records = block.slots.get() + carved * (LeafCapacity + 1);
    carved++;
    return leaf;
}

void CEntryTable::FreeLeaf(Leaf* leaf)
{
    if (!leaf)
        return;
    leaf->next = freeLeaves_;
    freeLeaves_ = leaf;
}

Entry CEntryTable::View(Record r)
{
    uint32_t keyLength = Get32(r), dataLength = Get32(r + 4);
    return {{r + HeaderSize, keyLength}, {r + HeaderSize + keyLength, dataLength}, r};
}

std::string_view CEntryTable::KeyOf(Record r)
{
    return {r + HeaderSize, Get32(r)};
}

CEntryTable::Record CEntryTable::After(Record r)
{
    return r + RecordSize(r);
}

CEntryTable::Record CEntryTable::FirstRecord(const Leaf* leaf)
{
    return leaf->packedFirst ? leaf->packedFirst : leaf->records[0];
}

CEntryTable::Record CEntryTable::LastRecord(const Leaf* leaf)
{
    return leaf->packedFirst ? leaf->packedLast : leaf->records[leaf->count - 1];
}

void CEntryTable::Unpack(Leaf* leaf)
{
    if (!leaf->packedFirst)
        return;
    int i = 0;
    ForEachRecord(leaf, [&](Record r) { leaf->records[i++] = r; });
    leaf->packedFirst = leaf->packedLast = nullptr;
}

void CEntryTable::PutLast(Leaf* leaf, Record r)
{
    const int n = leaf->count;
    if (n == 0) {
        leaf->packedFirst = leaf->packedLast = r;
    } else if (leaf->packedFirst && r == After(leaf->packedLast)) {
        leaf->packedLast = r;
    } else {
        Unpack(leaf);
        leaf->records[n] = r;
    }
    leaf->count = n + 1;
}

// Big-endian prefixes padded with zeros order Keys as their bytes do, so
// only Keys with equal prefixes need their whole bytes compared.
uint64_t CEntryTable::InnerPrefix(std::string_view key)
{
    uint64_t v = 0;
    for (size_t i = 0; i < 8; i++)
        v = v << 8 | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return v;
}

int CEntryTable::Compare(uint64_t prefixA, std::string_view a, uint64_t prefixB,
                         std::string_view b)
{
    if (prefixA != prefixB)
        return prefixA < prefixB ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0;
}

CEntryTable::Position CEntryTable::LowerBound(std::string_view key) const
{
    const Node* node = root_;
    if (!node->leaf) {
        const uint64_t prefix = InnerPrefix(key);
        do {
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
        } while (!node->leaf);
    }
    Leaf* leaf = const_cast<Leaf*>(static_cast<const Leaf*>(node));
    if (Record r = leaf->packedFirst) {
        // A leaf holds few records, and a packed one's lie side by side.
        for (int i = 0;; r = After(r)) {
            if (KeyOf(r).compare(key) >= 0)
                return {leaf, i, r};
            if (++i == leaf->count)
                return {leaf, i, nullptr};
        }
    }
    int lo = 0, hi = leaf->count;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        if (KeyOf(leaf->records[mid]).compare(key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return {leaf, lo, lo < leaf->count ? leaf->records[lo] : nullptr};
}

bool CEntryTable::Matches(Position at, std::string_view key) const
{
    return at.record && KeyOf(at.record) == key;
}

std::optional<Entry> CEntryTable::FindCandidate(std::string_view word) const
{
    Position at = LowerBound(word);
    if (at.record)
        return View(at.record);
    // Every Key of this leaf sorts first: the bound is the next leaf's first.
    if (!at.leaf->next)
        return std::nullopt;
    return View(FirstRecord(at.leaf->next));
}

std::optional<Entry> CEntryTable::FindEntry(std::string_view key) const
{
    Position at = LowerBound(key);
    if (!Matches(at, key))
        return std::nullopt;
    return View(at.record);
}

CEntryTable::Record CEntryTable::NewRecord(std::string_view key, std::string_view data)
{
    if (key.size() > UINT32_MAX || data.size() > UINT32_MAX)
        throw std::length_error("a Key or Data of 4 GiB or more");
    char* r = static_cast<char*>(pool_.allocate(HeaderSize + key.size() + data.size(), 1));
    Put32(r, uint32_t(key.size()));
    Put32(r + 4, uint32_t(data.size()));
    if (!key.empty())
        memcpy(r + HeaderSize, key.data(), key.size());
    if (!data.empty())
        memcpy(r + HeaderSize + key.size(), data.data(), data.size());
    return r;
}

// Records inside an image go with the image.
void CEntryTable::FreeRecord(Record r)
{
    for (const Image& image : images_)
        if (r >= image.bytes.get() && r < image.bytes.get() + image.size)
            return;
    pool_.deallocate(const_cast<char*>(r), RecordSize(r), 1);
}

void CEntryTable::AdoptImage(std::unique_ptr<char[]> image, size_t size)
{
    images_.reserve(images_.size() + 1);
    // Should the count's memory run out, the bytes are deleted with it.
    std::shared_ptr<char> bytes(image.release(), std::default_delete<char[]>());
    images_.push_back({std::move(bytes), size, false});
}

void CEntryTable::AdoptImage(std::shared_ptr<char> image, size_t size, bool borrowed)
{
    images_.reserve(images_.size() + 1);
    images_.push_back({std::move(image), size, borrowed});
}

std::vector<CEntryTable::ImageMove> CEntryTable::OwnImages()
{
    std::vector<ImageMove> moves;
    std::vector<std::shared_ptr<char>> copies;
    for (const Image& image : images_) {
        if (!image.borrowed)
            continue;
        std::shared_ptr<char> copy(new char[image.size], std::default_delete<char[]>());
        memcpy(copy.get(), image.bytes.get(), image.size);
        moves.push_back({image.bytes.get(), image.size, copy.get()});
        copies.push_back(std::move(copy));
    }
    if (moves.empty())
        return moves;
    // Nothing can fail from here on. A packed leaf stays packed when its
    // records all moved together, as they do unless they lay in two images.
    for (Leaf* leaf = first_; leaf; leaf = leaf->next) {
        if (leaf->packedFirst) {
            Record first = static_cast<Record>(Moved(leaf->packedFirst, moves));
            Record last = static_cast<Record>(Moved(leaf->packedLast, moves));
            if (first - leaf->packedFirst == last - leaf->packedLast) {
                leaf->packedFirst = first;
                leaf->packedLast = last;
                continue;
            }
            Unpack(leaf);
        }
        for (int i = 0; i < leaf->count; i++)
            leaf->records[i] = static_cast<Record>(Moved(leaf->records[i], moves));
    }
    size_t next = 0;
    for (Image& image : images_) {
        if (!image.borrowed)
            continue;
        image.bytes = std::move(copies[next++]);
        image.borrowed = false;
    }
    return moves;
}

EntryHandle CEntryTable::Moved(EntryHandle handle, const std::vector<ImageMove>& moves)
{
    const char* p = static_cast<const char*>(handle);
    for (const ImageMove& m : moves)
        if (p >= m.from && p < m.from + m.size)
            return m.to + (p - m.from);
    return handle;
}

CEntryTable::Position CEntryTable::InsertPosition(std::string_view key, bool* present) const
{
    *present = false;
    // Table files are written in Key order, so a load appends at the very
    // end nearly always: no search, and full nodes.
    if (last_->count > 0 && KeyOf(LastRecord(last_)).compare(key) < 0)
        return {last_, last_->count, nullptr};
    Position at = LowerBound(key);
    *present = Matches(at, key);
    return at;
}

bool CEntryTable::InsertEntry(std::string_view key, std::string_view data)
{
    bool present;
    Position at = InsertPosition(key, &present);
    if (present)
        return false;
    Record r = NewRecord(key, data);
    return InsertNew(at, r, true);
}

bool CEntryTable::InsertRecord(const char* record)
{
    std::string_view key = KeyOf(record);
    if (AppendRecord(record, key))
        return true;
    bool present;
    Position at = InsertPosition(key, &present);
    if (present)
        return false;
    return InsertNew(at, record, false);
}

// Whether key sorts after last. The previous record was read a moment ago,
// so its Key is at hand, and neighbours in a file share their first bytes
// often: compared here, without a call for every record.
bool CEntryTable::Follows(std::string_view last, std::string_view key)
{
    size_t common = std::min(last.size(), key.size()), i = 0;
    while (i < common && last[i] == key[i])
        i++;
    return i < common ? static_cast<unsigned char>(last[i]) < static_cast<unsigned char>(key[i])
                      : last.size() < key.size();
}

// A load meets its records in Key order: each goes after the last entry,
// into the last leaf while it has room, with no search, and into a new leaf
// of its own once that one is full. An empty last leaf is the root of an
// empty table.
bool CEntryTable::AppendRecord(Record r, std::string_view key)
{
    Leaf* leaf = last_;
    if (leaf->count > 0 && !Follows(KeyOf(LastRecord(leaf)), key))
        return false;
    if (leaf->count == LeafCapacity)
        AppendLeaf(r);
    else
        PutLast(leaf, r);
    size_++;
    return true;
}

void CEntryTable::AppendLeaf(Record r)
{
    try {
        PrepareSplits({last_, last_->count, nullptr}, r);
    } catch (...) {
        ReleaseSpares();
        throw;
    }
    Leaf* right = spares_.leaf;
    spares_.leaf = nullptr;
    PutLast(right, r);
    LinkLeaf(last_, right);
}

bool CEntryTable::CLeafRun::Append(const char* record)
{
    if (last_ && !Follows(KeyOf(LastRecord(last_)), KeyOf(record)))
        return false;
    if (!last_ || last_->count == LeafCapacity) {
        Leaf* leaf = CarveLeaf(blocks_, carved_, FirstBlockLeaves);
        leaf->prev = last_;
        if (last_)
            last_->next = leaf;
        else
            first_ = leaf;
        last_ = leaf;
    }
    PutLast(last_, record);
    size_++;
    return true;
}

std::string_view CEntryTable::FirstKey(const Node* node)
{
    while (!node->leaf)
        node = static_cast<const Inner*>(node)->children[0];
    return KeyOf(FirstRecord(static_cast<const Leaf*>(node)));
}

// The table's leaves keep their parents; the run's get theirs, and the
// nodes above both are made anew, level by level, before anything changes.
// Only then are the old ones let go and the leaves joined. The run's
// parents are not made on its own thread: the heap's lock, taken there and
// on the table's thread at once, cost both more than the making.
bool CEntryTable::AppendRun(CLeafRun& run)
{
    if (run.size_ == 0)
        return true;
    if (size_ > 0 && !Follows(KeyOf(LastRecord(last_)), KeyOf(FirstRecord(run.first_))))
        return false;

    std::vector<Node*> level;
    std::vector<Inner*> made;
    try {
        leafBlocks_.reserve(leafBlocks_.size() + run.blocks_.size());
        std::vector<Node*> leaves;
        if (size_ > 0 && root_->leaf) {
            leaves.push_back(root_);
        } else if (size_ > 0) {
            for (Leaf* leaf = first_; leaf; leaf = leaf->next)
                if (level.empty() || level.back() != leaf->parent)
                    level.push_back(leaf->parent);
        }
        for (Leaf* leaf = run.first_; leaf; leaf = leaf->next)
            leaves.push_back(leaf);
        std::vector<Node*> parents = MakeParents(leaves, made);
        level.insert(level.end(), parents.begin(), parents.end());
        while (level.size() > 1)
            level = MakeParents(level, made);
    } catch (...) {
        for (Inner* inner : made)
            delete inner;
        throw;
    }

    FreeAbove(root_);
    for (Inner* inner : made)
        for (int c = 0; c < inner->count; c++)
            inner->children[c]->parent = inner;
    if (size_ == 0) {
        FreeLeaf(first_);
        first_ = run.first_;
    } else {
        last_->next = run.first_;
        run.first_->prev = last_;
    }
    last_ = run.last_;
    root_ = level.front();
    root_->parent = nullptr;
    // Before the last block, which later leaves are still carved from.
    leafBlocks_.insert(leafBlocks_.end() - 1, std::make_move_iterator(run.blocks_.begin()),
                       std::make_move_iterator(run.blocks_.end()));
    size_ += run.size_;
    run.blocks_.clear();
    run.carved_ = 0;
    run.first_ = run.last_ = nullptr;
    run.size_ = 0;
    return true;
}

bool CEntryTable::InsertNew(Position at, Record r, bool ownsRecord)
{
    Unpack(at.leaf);
    try {
        PrepareSplits(at, r);
    } catch (...) {
        ReleaseSpares();
        if (ownsRecord)
            FreeRecord(r);
        throw;
    }
    InsertAt(at.leaf, at.index, r);
    size_++;
    return true;
}

// A full leaf splits, and so does every full node above it that receives
// the new child; a split of the root makes a new root. All their nodes, and
// the separator the leaf's split hands up, are made here, before anything
// changes, so that the insertion itself cannot fail.
void CEntryTable::PrepareSplits(Position at, Record r)
{
    Leaf* leaf = at.leaf;
    const int n = leaf->count;
    if (n < LeafCapacity)
        return;
    spares_.leaf = NewLeaf();
    const bool appending = leaf == last_ && at.index == n;
    const int keep = appending ? n : (n + 1) / 2;
    Record first = keep < at.index ? leaf->records[keep]
                   : keep == at.index ? r
                                      : leaf->records[keep - 1];
    spares_.separator.assign(KeyOf(first));
    spares_.separatorPrefix = InnerPrefix(KeyOf(first));
    for (Inner* parent = leaf->parent;; parent = parent->parent) {
        if (parent && parent->count < InnerCapacity)
            break;
        if (spares_.innerCount == MaxSplits)
            throw std::length_error("the table is too deep");
        spares_.inners[spares_.innerCount++] = new Inner();
        if (!parent)
            break; // the new root
    }
}

void CEntryTable::ReleaseSpares()
{
    FreeLeaf(spares_.leaf);
    spares_.leaf = nullptr;
    while (spares_.innerCount > 0)
        delete spares_.inners[--spares_.innerCount];
}

CEntryTable::Inner* CEntryTable::TakeInner()
{
    Inner* inner = spares_.inners[--spares_.innerCount];
    spares_.inners[spares_.innerCount] = nullptr;
    inner->leaf = false;
    return inner;
}

bool CEntryTable::ReplaceData(std::string_view key, std::string_view data)
{
    Position at = LowerBound(key);
    if (!Matches(at, key))
        return false;
    Record fresh = NewRecord(key, data);
    Unpack(at.leaf);
    at.leaf->records[at.index] = fresh;
    FreeRecord(at.record);
    return true;
}

void CEntryTable::InsertAt(Leaf* leaf, int index, Record r)
{
    int n = leaf->count;
    memmove(leaf->records + index + 1, leaf->records + index, sizeof(Record) * (n - index));
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
    Leaf* right = spares_.leaf;
    spares_.leaf = nullptr;
    right->count = leaf->count - keep;
    memcpy(right->records, leaf->records + keep, sizeof(Record) * right->count);
    leaf->count = keep;
    LinkLeaf(leaf, right);
}

// The new leaf goes after the one it came from, and its first Key up to
// their parent as the separator the splits' spares hold.
void CEntryTable::LinkLeaf(Leaf* leaf, Leaf* right)
{
    right->prev = leaf;
    right->next = leaf->next;
    if (leaf->next)
        leaf->next->prev = right;
    else
        last_ = right;
    leaf->next = right;

    HandUp(leaf, right, std::move(spares_.separator), spares_.separatorPrefix);
}

// The parent of a node that split takes the new right half after it; a root
// that split gets a new root above it.
void CEntryTable::HandUp(Node* left, Node* right, std::string separator, uint64_t prefix)
{
    if (!left->parent) {
        Inner* root = TakeInner();
        root->count = 1;
        root->children[0] = left;
        left->parent = root;
        root_ = root;
        InsertChild(root, 1, right, std::move(separator), prefix);
    } else {
        InsertChild(left->parent, ChildIndex(left->parent, left) + 1, right, std::move(separator),
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
    Inner* right = TakeInner();
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
    HandUp(inner, right, std::move(separator), right->prefixes[0]);
}

void CEntryTable::EraseEntry(std::string_view key)
{
    Position at = LowerBound(key);
    if (!Matches(at, key))
        return;
    Leaf* leaf = at.leaf;
    int i = at.index;
    Unpack(leaf);
    FreeRecord(leaf->records[i]);
    int n = leaf->count;
    memmove(leaf->records + i, leaf->records + i + 1, sizeof(Record) * (n - i - 1));
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
    FreeLeaf(leaf);
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
        FreeLeaf(static_cast<Leaf*>(node));
        return;
    }
    Inner* inner = static_cast<Inner*>(node);
    for (int i = 0; i < inner->count; i++)
        FreeNodes(inner->children[i]);
    delete inner;
}

// Nodes for a level of the tree, in order, InnerCapacity children each;
// every one made is also put in `made`.
std::vector<CEntryTable::Node*> CEntryTable::MakeParents(const std::vector<Node*>& level,
                                                         std::vector<Inner*>& made)
{
    const size_t count = (level.size() + InnerCapacity - 1) / InnerCapacity;
    std::vector<Node*> parents;
    parents.reserve(count);
    made.reserve(made.size() + count);
    for (size_t i = 0; i < level.size(); i += InnerCapacity) {
        Inner* inner = new Inner();
        made.push_back(inner);
        const int children = int(std::min<size_t>(InnerCapacity, level.size() - i));
        for (int c = 0; c < children; c++) {
            inner->children[c] = level[i + c];
            if (c > 0) {
                std::string_view key = FirstKey(level[i + c]);
                inner->separators[c].assign(key);
                inner->prefixes[c] = InnerPrefix(key);
            }
        }
        inner->count = children;
        parents.push_back(inner);
    }
    return parents;
}

// Lets go the inner nodes but the leaves' parents.
void CEntryTable::FreeAbove(Node* node)
{
    if (node->leaf)
        return;
    Inner* inner = static_cast<Inner*>(node);
    if (inner->count > 0 && inner->children[0]->leaf)
        return;
    for (int i = 0; i < inner->count; i++)
        FreeAbove(inner->children[i]);
    delete inner;
}

void CEntryTable::ClearEntries()
{
    // The new root's block first, so that running out of memory changes nothing.
    LeafBlock fresh = NewLeafBlock(FirstBlockLeaves);
    FreeNodes(root_);
    leafBlocks_.clear(); // room for one stays
    leafBlocks_.push_back(std::move(fresh));
    leavesCarved_ = 0;
    freeLeaves_ = nullptr;
    pool_.release();
    images_.clear();
    root_ = first_ = last_ = NewLeaf();
    size_ = 0;
}
