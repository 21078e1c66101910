// The in-memory table of entries: unique Keys held in Key order.
//
// Keys and Data are opaque byte strings. Key order compares bytes as unsigned
// values, a proper prefix first; that is exactly the order of std::string's
// comparison, so the container compares the strings themselves.
#pragma once

#include <cstddef>
#include <map>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>

struct Entry {
    std::string_view Key;
    std::string_view Data;
};

class CEntryTable {
public:
    CEntryTable();
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
        for (const auto& kv : map_)
            visit(Entry{kv.first, kv.second});
    }

    size_t Size() const { return map_.size(); }

private:
    using Text = std::pmr::string;
    using Map = std::pmr::map<Text, Text, std::less<>>;

    // Nodes and strings come from pooled chunks: a table of a million entries
    // is built from a few thousand allocations instead of two million.
    std::pmr::unsynchronized_pool_resource pool_;
    Map map_;
};

// Zero-terminated text as a Key or Data: the bytes before the first zero.
inline std::string_view TextBytes(const char* text)
{
    return text ? std::string_view(text) : std::string_view();
}
