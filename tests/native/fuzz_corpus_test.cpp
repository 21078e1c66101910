// Replays the fuzzer's corpus: every file there once found a new path.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/table_codec.h"

namespace fs = std::filesystem;

TEST(FuzzCorpus, EveryInputReadsAndRoundTrips)
{
    int files = 0;
    for (const auto& f : fs::directory_iterator(VK_FUZZ_CORPUS)) {
        if (!f.is_regular_file())
            continue;
        std::ifstream in(f.path(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string input = ss.str();

        CEntryTable table;
        DecodeSummary s = DecodeTable(input, table);
        EXPECT_EQ(s.Inserted, table.Size()) << f.path();
        EXPECT_EQ(s.Records, s.Inserted + s.Duplicates) << f.path();
        std::string bytes = EncodeTableToBytes(table);
        EXPECT_LE(bytes.size(), input.size()) << f.path();
        CEntryTable again;
        EXPECT_FALSE(DecodeTable(bytes, again).Damaged) << f.path();
        EXPECT_EQ(EncodeTableToBytes(again), bytes) << f.path();
        // Read in place, the same input gives the same table.
        std::unique_ptr<char[]> image(new char[input.size() + 1]);
        input.copy(image.get(), input.size());
        CEntryTable inPlace;
        DecodeTableImage(std::move(image), input.size(), inPlace);
        EXPECT_EQ(EncodeTableToBytes(inPlace), bytes) << f.path();
        files++;
    }
    EXPECT_GT(files, 0) << "no corpus in " << VK_FUZZ_CORPUS;
}
