// Running out of memory in the middle of a change leaves the table exactly
// as it was: every allocation a change makes is made to fail in turn.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>

#include "core/table_codec.h"
#include "tests/common/failing_allocator.h"

namespace {

std::string Key(int i)
{
    char b[16];
    snprintf(b, sizeof b, "k%07d", i);
    return b;
}

// 2048 Keys in order fill 32 leaves of 64 and a root of 32 children: the
// next insertion in the middle splits a leaf, the root, and makes a root.
void Fill(CEntryTable& t)
{
    for (int i = 0; i < 2048; i++)
        t.InsertEntry(Key(i * 2), "data");
}

std::string Dump(const CEntryTable& t)
{
    std::string s = std::to_string(t.Size()) + ":";
    t.ForEachEntry([&](const Entry& e) { s.append(e.Key).append("=").append(e.Data).append(";"); });
    return s;
}

TEST(OutOfMemory, AChangeThatFailsLeavesTheTableAsItWas)
{
    if (!failing_allocator::Available())
        GTEST_SKIP() << "the sanitizer's allocator cannot be made to fail";
    struct {
        const char* name;
        std::function<void(CEntryTable&)> change;
    } changes[] = {
        {"insert splitting up to a new root", [](CEntryTable& t) { t.InsertEntry(Key(1001), "new"); }},
        {"insert at the end", [](CEntryTable& t) { t.InsertEntry("z", std::string(300, 'z')); }},
        {"new Data", [](CEntryTable& t) { t.ReplaceData(Key(1000), std::string(300, 'r')); }},
        {"clear", [](CEntryTable& t) { t.ClearEntries(); }},
    };
    for (const auto& c : changes) {
        long failing = 0;
        for (;; failing++) {
            CEntryTable t;
            Fill(t);
            const std::string before = Dump(t);
            bool failed = false;
            failing_allocator::FailAt(failing);
            try {
                c.change(t);
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            failing_allocator::FailAt(-1);
            if (!failed)
                break;
            ASSERT_EQ(Dump(t), before) << c.name << ", allocation " << failing << " failing";
            // And the table goes on working.
            ASSERT_TRUE(t.InsertEntry(Key(1003), "later")) << c.name;
            ASSERT_EQ(t.FindEntry(Key(1003))->Data, "later") << c.name;
        }
        EXPECT_GE(failing, 1) << c.name << " made no allocation that could fail";
    }
}

} // namespace
