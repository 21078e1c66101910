#include "table/entry_table.h"

CEntryTable::CEntryTable() : map_(&pool_) {}

bool CEntryTable::InsertEntry(std::string_view key, std::string_view data)
{
    // Table files are written in Key order, so loading appends at the end
    // nearly always; the hint makes that constant time.
    if (!map_.empty() && std::string_view(map_.rbegin()->first) < key) {
        map_.emplace_hint(map_.end(), std::piecewise_construct, std::forward_as_tuple(key),
                          std::forward_as_tuple(data));
        return true;
    }
    auto it = map_.lower_bound(key);
    if (it != map_.end() && std::string_view(it->first) == key)
        return false;
    map_.emplace_hint(it, std::piecewise_construct, std::forward_as_tuple(key),
                      std::forward_as_tuple(data));
    return true;
}

std::optional<Entry> CEntryTable::FindEntry(std::string_view key) const
{
    auto it = map_.lower_bound(key);
    if (it == map_.end() || std::string_view(it->first) != key)
        return std::nullopt;
    return Entry{it->first, it->second};
}

void CEntryTable::EraseEntry(std::string_view key)
{
    auto it = map_.find(key);
    if (it != map_.end())
        map_.erase(it);
}

std::optional<Entry> CEntryTable::FindCandidate(std::string_view word) const
{
    auto it = map_.lower_bound(word);
    if (it == map_.end())
        return std::nullopt;
    return Entry{it->first, it->second};
}

void CEntryTable::ClearEntries()
{
    map_.clear();
    pool_.release();
}
