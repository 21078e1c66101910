#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table/entry_table.h"

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
