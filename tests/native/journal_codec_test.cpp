// The recovery journal's bytes: every kind of change comes back as written,
// and whatever a power cut leaves of the last record, every record before it
// is used and nothing after it.
#include <gtest/gtest.h>

#include "core/journal_codec.h"

namespace {

struct Written {
    JournalKind kind;
    std::vector<std::string> fields;
};

// blockSize 0: each record made whole; else handed on in blocks of that size.
std::string Encode(const JournalBase& base, const std::vector<Written>& changes,
                   size_t blockSize = 0)
{
    std::string bytes = EncodeJournalHeader(base);
    for (const Written& w : changes) {
        std::vector<std::string_view> fields(w.fields.begin(), w.fields.end());
        if (blockSize == 0)
            bytes += EncodeJournalRecord(w.kind, fields);
        else
            WriteJournalRecord(
                w.kind, fields,
                [&](const char* p, size_t n) {
                    EXPECT_LE(n, blockSize + 16) << "a block far larger than asked for";
                    bytes.append(p, n);
                    return true;
                },
                blockSize);
    }
    return bytes;
}

const JournalBase Base = {"C:\\words\\\x83\x5c\x83\x74\x83\x67.vbk" /* ソフト */, 1234,
                          0x01DB0000AABBCCDDull};

const std::vector<Written> EveryKind = {
    {JournalKind::Store, {"apple", "\x82\xe8\x82\xf1\x82\xb2" /* りんご */}},
    {JournalKind::Store, {"", std::string(70000, 'd')}},
    {JournalKind::Replace, {"apple", "apples", "many"}},
    {JournalKind::Erase, {"apples"}},
    {JournalKind::Erase, {"a", "b", std::string("c\0d", 3)}},
    {JournalKind::Erase, {}},
    {JournalKind::Append, {"k1", "d1", "k2", ""}},
};

void ExpectSame(const std::vector<JournalChange>& got, const std::vector<Written>& want,
                size_t count, const std::string& what)
{
    ASSERT_EQ(got.size(), count) << what;
    for (size_t i = 0; i < count; i++) {
        EXPECT_EQ(got[i].Kind, want[i].kind) << what << ", change " << i;
        EXPECT_EQ(got[i].Fields, want[i].fields) << what << ", change " << i;
    }
}

TEST(JournalCodec, EveryKindOfChangeComesBackAsWritten)
{
    for (const JournalBase& base : {Base, JournalBase{}}) {
        std::string bytes = Encode(base, EveryKind);
        JournalContents j = ReadJournal(bytes);
        EXPECT_TRUE(j.HeaderSound);
        EXPECT_EQ(j.Base.TablePath, base.TablePath);
        EXPECT_EQ(j.Base.Size, base.Size);
        EXPECT_EQ(j.Base.Time, base.Time);
        EXPECT_FALSE(j.Torn);
        EXPECT_EQ(j.SoundLength, bytes.size());
        ExpectSame(j.Changes, EveryKind, EveryKind.size(), "whole journal of " + base.TablePath);
        for (size_t blockSize : {1, 5, 4096})
            EXPECT_TRUE(Encode(base, EveryKind, blockSize) == bytes)
                << "written in blocks of " << blockSize;
    }
}

// Cut anywhere inside the last record, or with one of its bytes changed, the
// journal gives every change before it and says where to write the next.
TEST(JournalCodec, ATornOrDamagedLastRecordIsLeftOut)
{
    const std::string whole = Encode(Base, EveryKind);
    std::vector<Written> earlier(EveryKind.begin(), EveryKind.end() - 1);
    const std::string sound = Encode(Base, earlier);
    for (size_t cut = sound.size(); cut < whole.size(); cut++) {
        JournalContents j = ReadJournal(whole.substr(0, cut));
        ExpectSame(j.Changes, EveryKind, earlier.size(), "cut at " + std::to_string(cut));
        EXPECT_EQ(j.SoundLength, sound.size()) << "cut at " << cut;
        EXPECT_EQ(j.Torn, cut > sound.size()) << "cut at " << cut;
    }
    for (size_t at = sound.size(); at < whole.size(); at++) {
        std::string damaged = whole;
        damaged[at] ^= 0x20;
        JournalContents j = ReadJournal(damaged);
        ExpectSame(j.Changes, EveryKind, earlier.size(), "byte " + std::to_string(at) + " changed");
        EXPECT_TRUE(j.Torn) << "byte " << at << " changed";
    }
}

std::string Le32(uint32_t v)
{
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

// Length and checksum right, the payload wrong: a record written by a
// mistaken or foreign writer is torn all the same, and nothing after it used.
TEST(JournalCodec, ARecordWhosePayloadDoesNotParseExactlyIsTorn)
{
    const std::string header = EncodeJournalHeader(Base);
    const std::string after = EncodeJournalRecord(JournalKind::Store, {"a", "b"});
    struct {
        const char* what;
        std::string payload;
    } cases[] = {
        {"a byte after the last field", "\x01" + Le32(1) + "k" + Le32(1) + "d" + "x"},
        {"a field running past the end", "\x01" + Le32(1) + "k" + Le32(2) + "d"},
        {"a kind unknown", "\x05" + Le32(1) + "k" + Le32(1) + "d"},
        {"more items than fields", "\x03" + Le32(2) + Le32(1) + "k"},
    };
    for (const auto& c : cases) {
        std::string record = Le32(uint32_t(c.payload.size()));
        record += Le32(Crc32(c.payload.data(), c.payload.size(), Crc32(record.data(), 4)));
        JournalContents j = ReadJournal(header + record + c.payload + after);
        EXPECT_TRUE(j.HeaderSound) << c.what;
        EXPECT_TRUE(j.Changes.empty()) << c.what << ": " << j.Changes.size() << " changes read";
        EXPECT_TRUE(j.Torn) << c.what;
        EXPECT_EQ(j.SoundLength, header.size()) << c.what;
    }
}

TEST(JournalCodec, ADamagedHeaderGivesNothing)
{
    const std::string whole = Encode(Base, EveryKind);
    const size_t header = EncodeJournalHeader(Base).size();
    for (size_t at = 0; at < header; at++) {
        std::string damaged = whole;
        damaged[at] ^= 0x01;
        JournalContents j = ReadJournal(damaged);
        EXPECT_FALSE(j.HeaderSound) << "byte " << at;
        EXPECT_TRUE(j.Changes.empty()) << "byte " << at;
    }
    for (size_t cut = 0; cut < header; cut++)
        EXPECT_FALSE(ReadJournal(whole.substr(0, cut)).HeaderSound) << "cut at " << cut;
    EXPECT_TRUE(ReadJournal(whole.substr(0, header)).HeaderSound);
}

TEST(JournalCodec, Crc32IsTheUsualOne)
{
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(Crc32(fox.data(), fox.size()), 0x414FA339u);
    // Summed in pieces at every split, as a record's length and payload are.
    for (size_t split = 0; split <= fox.size(); split++)
        EXPECT_EQ(Crc32(fox.data() + split, fox.size() - split, Crc32(fox.data(), split)),
                  0x414FA339u)
            << "split at " << split;
}

} // namespace
