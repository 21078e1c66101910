// The document's changes either happen whole or, when memory runs out on
// the way, leave the table, its name and its flag as they were: every
// allocation a change makes is made to fail in turn.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <new>
#include <string>

#include "table/table_document.h"
#include "tests/common/failing_allocator.h"
#include "tests/common/file_bytes.h"
#include "tests/common/scratch_folder.h"
#include "tests/common/table_bytes.h"

namespace {

// The name, the flag, the size and a digest of every entry.
std::string Dump()
{
    uint64_t digest = 1469598103934665603u;
    auto add = [&](std::string_view bytes) {
        for (unsigned char b : bytes)
            digest = (digest ^ b) * 1099511628211u;
        digest = (digest ^ 0xFF) * 1099511628211u;
    };
    Document.EntryTable().ForEachEntry([&](const Entry& e) {
        add(e.Key);
        add(e.Data);
    });
    return std::string(Document.CurrentTablePath()) + "|" +
           std::to_string(Document.TableModified()) + "|" +
           std::to_string(Document.EntryTable().Size()) + "|" + std::to_string(digest);
}

TEST(DocumentMemory, AChangeThatFailsLeavesTheDocumentAsItWas)
{
    ScratchFolder folder = ScratchFolder::Fresh("memory");
    const std::string table = folder.Path("table.vbk");
    const std::string more = folder.Path("more.vbk");
    std::string records, moreRecords;
    for (int i = 0; i < 3000; i++) {
        records += Record("k" + std::to_string(100000 + 2 * i), "d");
        moreRecords += Record("k" + std::to_string(100001 + 2 * i), "more");
    }
    WriteFileBytes(table, records);
    WriteFileBytes(more, moreRecords + Record("k100000", "not this"));

    struct {
        const char* name;
        std::function<void()> change;
    } changes[] = {
        {"store", [] { Document.StoreEntry("k101001", "new"); }},
        {"store new Data", [] { Document.StoreEntry("k100000", std::string(500, 'n')); }},
        {"edit under another Key",
         [] { Document.ReplaceEntry("k100002", "k100004", std::string(500, 'b')); }},
        {"append", [&] {
             if (Document.AppendTableFile(more).outcome == ReadTooLarge)
                 throw std::bad_alloc(); // reported so, and left as it was
         }},
        {"open", [&] {
             if (Document.LoadTableFile(more).outcome == ReadTooLarge)
                 throw std::bad_alloc();
         }},
    };
    for (const auto& c : changes) {
        long failing = 0;
        for (;; failing++) {
            ASSERT_EQ(Document.LoadTableFile(table).outcome, ReadOk);
            Document.ResetModified();
            const std::string before = Dump();
            bool failed = false;
            failing_allocator::FailAt(failing);
            try {
                c.change();
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            failing_allocator::FailAt(-1);
            if (!failed)
                break;
            ASSERT_EQ(Dump(), before) << c.name << ", allocation " << failing << " failing";
        }
        EXPECT_GE(failing, 1) << c.name << " made no allocation that could fail";
    }
}

} // namespace
