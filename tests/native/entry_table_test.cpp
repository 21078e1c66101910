#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/entry_table.h"
#include "tests/common/table_bytes.h"

namespace {

std::vector<std::string> Keys(const CEntryTable& t)
{
    std::vector<std::string> keys;
    t.ForEachEntry([&](const Entry& e) { keys.emplace_back(e.Key); });
    return keys;
}

std::string Candidate(const CEntryTable& t, std::string_view word)
{
    auto e = t.FindCandidate(word);
    return e ? "[" + std::string(e->Key) + "]" : "none";
}

TEST(EntryTable, InsertNeverReplaces)
{
    CEntryTable t;
    EXPECT_TRUE(t.InsertEntry("apple", "x"));
    EXPECT_FALSE(t.InsertEntry("apple", "y"));
    ASSERT_EQ(t.Size(), 1u);
    EXPECT_EQ(t.FindEntry("apple")->Data, "x");

    t.EraseEntry("apple");
    EXPECT_TRUE(t.InsertEntry("apple", "y"));
    EXPECT_EQ(t.FindEntry("apple")->Data, "y");
}

TEST(EntryTable, KeyOrderIsUnsignedBytesShorterPrefixFirst)
{
    CEntryTable t;
    // Inserted out of order on purpose; some after the current last Key, some not.
    for (const char* k : {"ac", "abd", "", "apple", "Apple", "\x82\xa0" /* あ */, "ab", "abc",
                          "\x7f", "\xb1" /* ｱ */, "zz"})
        t.InsertEntry(k, "d");
    std::vector<std::string> want = {"", "Apple", "ab", "abc", "abd", "ac", "apple", "zz",
                                     "\x7f", "\x82\xa0", "\xb1"};
    EXPECT_EQ(Keys(t), want);
}

TEST(EntryTable, KeysAndDataAreCopied)
{
    CEntryTable t;
    std::string key = "word", data = "meaning";
    t.InsertEntry(key, data);
    key[0] = 'X';
    data[0] = 'X';
    auto e = t.FindEntry("word");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Data, "meaning");
}

TEST(EntryTable, FindCandidateIsLowerBound)
{
    CEntryTable t;
    t.InsertEntry("ab", "1");
    t.InsertEntry("abc", "2");
    struct {
        const char* word;
        const char* want;
    } cases[] = {
        {"abb", "[abc]"}, {"abc", "[abc]"}, {"a", "[ab]"}, {"abd", "none"},
        {"", "[ab]"},     {"ab", "[ab]"},   {"A", "[ab]"}, {"\x82\xa0", "none"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Candidate(t, c.word), c.want) << "word '" << c.word << "'";
}

TEST(EntryTable, FindEntryNeedsTheWholeKey)
{
    CEntryTable t;
    t.InsertEntry("apple", "\x82\xe8\x82\xf1\x82\xb2" /* りんご */);
    EXPECT_TRUE(t.FindEntry("apple"));
    for (const char* w : {"appl", "apples", "Apple", "", "apple\n"})
        EXPECT_FALSE(t.FindEntry(w)) << "word '" << w << "'";
    EXPECT_EQ(t.Size(), 1u) << "a lookup must not add entries";
}

TEST(EntryTable, EmptyTableAndClear)
{
    CEntryTable t;
    EXPECT_FALSE(t.FindEntry(""));
    EXPECT_FALSE(t.FindCandidate(""));
    EXPECT_TRUE(Keys(t).empty());

    t.EraseEntry("absent");
    EXPECT_EQ(t.Size(), 0u);

    for (int i = 0; i < 1000; i++)
        t.InsertEntry("k" + std::to_string(i), std::string(100, 'd'));
    t.ClearEntries();
    EXPECT_TRUE(Keys(t).empty());
    EXPECT_FALSE(t.FindCandidate(""));
    // The table is usable again after its memory was released.
    t.InsertEntry("again", "yes");
    EXPECT_EQ(t.FindEntry("again")->Data, "yes");
}

TEST(EntryTable, EraseLeavesTheOthers)
{
    CEntryTable t;
    for (const char* k : {"a", "b", "c"})
        t.InsertEntry(k, k);
    t.EraseEntry("b");
    t.EraseEntry("zzz");
    EXPECT_EQ(Keys(t), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(Candidate(t, "b"), "[c]");
}

TEST(EntryTable, EmptyKeyAndEmptyData)
{
    CEntryTable t;
    EXPECT_TRUE(t.InsertEntry("", ""));
    auto e = t.FindEntry("");
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->Data.empty());
}

} // namespace

namespace {

// The table against std::map, which orders std::string the same way, over
// long random runs of every operation: many Keys share long beginnings,
// some are empty, some are prefixes of others.
class Model {
public:
    std::string RandomKey(std::mt19937& rng)
    {
        static const char* stems[] = {"", "a", "ab", "abcdefgh", "abcdefghij", "\x82\xa0\x82\xa2",
                                      "zzzzzzzzzzzz", "\xff"};
        std::uniform_int_distribution<int> stem(0, 7), len(0, 4), byte(0, 3);
        std::string k = stems[stem(rng)];
        for (int n = len(rng); n > 0; n--)
            k += "a\x01z\x82"[byte(rng)];
        return k;
    }

    void Check(const CEntryTable& t, const std::map<std::string, std::string>& m,
               const std::string& when)
    {
        ASSERT_EQ(t.Size(), m.size()) << when;
        auto it = m.begin();
        bool same = true;
        t.ForEachEntry([&](const Entry& e) {
            if (it == m.end() || e.Key != it->first || e.Data != it->second)
                same = false;
            if (it != m.end())
                ++it;
        });
        ASSERT_TRUE(same && it == m.end()) << when << ": the walk differs from the model";
    }
};

TEST(EntryTable, AgreesWithAnOrderedMapOverRandomOperations)
{
    Model model;
    for (unsigned seed : {1u, 2u, 3u}) {
        std::mt19937 rng(seed);
        CEntryTable t;
        std::map<std::string, std::string> m;
        std::uniform_int_distribution<int> op(0, 9);
        for (int step = 0; step < 60000; step++) {
            std::string k = model.RandomKey(rng);
            std::string when = "seed " + std::to_string(seed) + " step " + std::to_string(step);
            int o = op(rng);
            // Phases: mostly inserts, then mostly erases, then mixed.
            bool erasing = (step / 15000) % 2 == 1;
            if (o < (erasing ? 2 : 6)) {
                std::string d = "d" + std::to_string(step);
                bool added = m.emplace(k, d).second;
                ASSERT_EQ(t.InsertEntry(k, d), added) << when;
            } else if (o < (erasing ? 8 : 7)) {
                m.erase(k);
                t.EraseEntry(k);
            } else {
                auto bound = m.lower_bound(k);
                auto got = t.FindCandidate(k);
                ASSERT_EQ(bool(got), bound != m.end()) << when << " word '" << k << "'";
                if (got) {
                    ASSERT_EQ(got->Key, bound->first) << when;
                }
                auto exact = t.FindEntry(k);
                auto found = m.find(k);
                ASSERT_EQ(bool(exact), found != m.end()) << when;
                if (exact) {
                    ASSERT_EQ(exact->Data, found->second) << when;
                }
            }
            if (step % 5000 == 0)
                model.Check(t, m, when);
        }
        model.Check(t, m, "seed " + std::to_string(seed) + " end");
    }
}

// A load's way in is among the orders: records of an image, the first
// ones inserted, the others hung after them as a run of leaves made apart.
TEST(EntryTable, GrowsAndShrinksInEveryOrder)
{
    Model model;
    const int n = 20000;
    auto key = [](int i) {
        char b[16];
        snprintf(b, sizeof b, "k%07d", i);
        return std::string(b);
    };
    struct {
        const char* name;
        std::function<int(int)> order;
        int joinedAt; // -1: inserted one by one in the order
    } orders[] = {
        {"ascending", [](int i) { return i; }, -1},
        {"descending", [n](int i) { return n - 1 - i; }, -1},
        {"interleaved", [n](int i) { return i % 2 ? n - 1 - i / 2 : i / 2; }, -1},
        {"a run after half", [](int i) { return i; }, n / 2},
        {"a run alone", [](int i) { return i; }, 0},
    };
    for (const auto& insertOrder : orders) {
        for (const auto& eraseOrder : orders) {
            if (eraseOrder.joinedAt >= 0)
                continue;
            std::string when = std::string(insertOrder.name) + " inserts, " + eraseOrder.name +
                               " erases";
            CEntryTable t;
            std::map<std::string, std::string> m;
            if (insertOrder.joinedAt < 0) {
                for (int i = 0; i < n; i++) {
                    std::string k = key(insertOrder.order(i));
                    t.InsertEntry(k, k);
                    m.emplace(k, k);
                }
            } else {
                std::string bytes;
                for (int i = 0; i < n; i++)
                    bytes += Record(key(i), key(i));
                std::unique_ptr<char[]> image(new char[bytes.size()]);
                bytes.copy(image.get(), bytes.size());
                const char* p = image.get();
                t.AdoptImage(std::move(image), bytes.size());
                CEntryTable::CLeafRun run;
                for (int i = 0; i < n; i++, p += 8 + 2 * key(i).size()) {
                    if (i < insertOrder.joinedAt)
                        ASSERT_TRUE(t.InsertRecord(p)) << when;
                    else
                        ASSERT_TRUE(run.Append(p)) << when;
                    m.emplace(key(i), key(i));
                }
                EXPECT_FALSE(run.Append(p - 8 - key(0).size() * 2)) << "the last Key again";
                ASSERT_EQ(run.Size(), size_t(n - insertOrder.joinedAt));
                ASSERT_TRUE(t.AppendRun(run)) << when;
                EXPECT_EQ(run.Size(), 0u);
                // Leaves as a load leaves them: found, given new Data and
                // thinned before anything else has changed them.
                for (int i = 0; i < n; i++) {
                    auto exact = t.FindEntry(key(i));
                    ASSERT_TRUE(exact && exact->Data == key(i)) << when << ": " << key(i);
                    auto next = t.FindCandidate(key(i) + "+");
                    ASSERT_EQ(next ? std::string(next->Key) : "none",
                              i + 1 < n ? key(i + 1) : "none")
                        << when << ": after " << key(i);
                }
                for (int i = 0; i < n; i += 101) {
                    ASSERT_TRUE(t.ReplaceData(key(i), "new")) << when;
                    m[key(i)] = "new";
                }
                for (int i = 50; i < n; i += 103) {
                    t.EraseEntry(key(i));
                    m.erase(key(i));
                }
            }
            model.Check(t, m, when + ", full");
            // New Keys between the old ones split full nodes everywhere.
            for (int i = 0; i < n; i += 37) {
                t.InsertEntry(key(i) + "+", "between");
                m.emplace(key(i) + "+", "between");
            }
            model.Check(t, m, when + ", more");
            for (int i = 0; i < n; i++) {
                std::string k = key(eraseOrder.order(i));
                t.EraseEntry(k);
                t.EraseEntry(k + "+");
                m.erase(k);
                m.erase(k + "+");
                if (i % 997 == 0) {
                    auto got = t.FindCandidate(k);
                    auto bound = m.lower_bound(k);
                    ASSERT_EQ(bool(got), bound != m.end()) << when << " at " << i;
                    if (got) {
                        ASSERT_EQ(got->Key, bound->first) << when << " at " << i;
                    }
                }
            }
            model.Check(t, m, when + ", emptied");
            EXPECT_FALSE(t.FindCandidate(""));
            // Still usable after it was emptied.
            t.InsertEntry("again", "1");
            EXPECT_EQ(t.FindCandidate("")->Key, "again");
        }
    }
}

// A run is taken only when its first Key sorts after the table's last, bytes
// compared unsigned; a run refused leaves both as they were.
TEST(EntryTable, ARunJoinsOnlyAfterTheTablesLastKey)
{
    struct {
        const char *tableKey, *runKey;
        bool joins;
    } cases[] = {
        {"b", "c", true},          {"b", "b", false},          {"c", "b", false},
        {"ab", "abc", true},       {"abc", "ab", false},       {"\x82\xa0", "\x82\xa1", true},
        {"\x82", "a", false},     {"a", "\xff", true},
    };
    for (const auto& c : cases) {
        const std::string bytes = Record(c.runKey, "run");
        std::unique_ptr<char[]> image(new char[bytes.size()]);
        bytes.copy(image.get(), bytes.size());
        const char* record = image.get();
        CEntryTable t;
        t.AdoptImage(std::move(image), bytes.size());
        t.InsertEntry(c.tableKey, "table");
        CEntryTable::CLeafRun run;
        ASSERT_TRUE(run.Append(record));
        const std::string when = std::string("table ") + c.tableKey + ", run " + c.runKey;
        EXPECT_EQ(t.AppendRun(run), c.joins) << when;
        if (c.joins) {
            EXPECT_EQ(Keys(t), (std::vector<std::string>{c.tableKey, c.runKey})) << when;
            EXPECT_EQ(t.FindEntry(c.runKey)->Data, "run") << when;
            EXPECT_EQ(run.Size(), 0u) << when;
        } else {
            EXPECT_EQ(Keys(t), std::vector<std::string>{c.tableKey}) << when;
            EXPECT_EQ(t.FindEntry(c.tableKey)->Data, "table") << when;
            EXPECT_EQ(run.Size(), 1u) << when;
        }
    }
}

// Two borrowed images may lie side by side, so that records of both follow
// one another as a load's do; once the table owns its copies, which lie
// apart, each record is found in the copy of its own image.
TEST(EntryTable, ImagesSideBySideAreTakenOverApart)
{
    const std::vector<std::string> keys = {"a", "b", "c", "d"};
    std::string bytes;
    for (const std::string& k : keys)
        bytes += Record(k, "data of " + k);
    const size_t each = bytes.size() / keys.size(), half = 2 * each;
    CEntryTable t;
    auto keep = [](char*) {};
    t.AdoptImage(std::shared_ptr<char>(bytes.data(), keep), half, true);
    t.AdoptImage(std::shared_ptr<char>(bytes.data() + half, keep), bytes.size() - half, true);
    for (size_t at = 0; at < bytes.size(); at += each)
        ASSERT_TRUE(t.InsertRecord(bytes.data() + at));
    ASSERT_EQ(t.OwnImages().size(), 2u);
    bytes.assign(bytes.size(), 'x');
    EXPECT_EQ(Keys(t), keys);
    EXPECT_EQ(t.FindEntry("d")->Data, "data of d");
}

} // namespace
