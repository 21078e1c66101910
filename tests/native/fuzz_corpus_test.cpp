// Replays the fuzzer's corpus: every file there once found a new path.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/journal_codec.h"
#include "core/table_codec.h"

namespace fs = std::filesystem;

namespace {

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace

TEST(FuzzCorpus, EveryInputReadsAndRoundTrips)
{
    int files = 0;
    for (const auto& f : fs::directory_iterator(VK_FUZZ_CORPUS)) {
        if (!f.is_regular_file())
            continue;
        std::string input = Slurp(f.path());

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

TEST(FuzzCorpus, EveryJournalReadsAndWritesBackItsSoundPart)
{
    int files = 0;
    for (const auto& f : fs::directory_iterator(VK_JOURNAL_CORPUS)) {
        if (!f.is_regular_file())
            continue;
        std::string input = Slurp(f.path());
        JournalContents j = ReadJournal(input);
        ASSERT_LE(j.SoundLength, input.size()) << f.path();
        files++;
        if (!j.HeaderSound)
            continue;
        std::string bytes = EncodeJournalHeader(j.Base);
        for (const JournalChange& c : j.Changes)
            bytes += EncodeJournalRecord(c.Kind, {c.Fields.begin(), c.Fields.end()});
        EXPECT_EQ(bytes, input.substr(0, size_t(j.SoundLength))) << f.path();
    }
    EXPECT_GT(files, 0) << "no corpus in " << VK_JOURNAL_CORPUS;
}
