#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/table_codec.h"
#include "tests/common/table_bytes.h"

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Contents(const CEntryTable& t)
{
    Pairs p;
    t.ForEachEntry([&](const Entry& e) { p.emplace_back(e.Key, e.Data); });
    return p;
}

std::string Show(const Pairs& p)
{
    std::string s = "{";
    for (const auto& [k, d] : p)
        s += "[" + k.substr(0, 20) + (k.size() > 20 ? "..." : "") + "|" + d.substr(0, 20) +
             (d.size() > 20 ? "..." : "") + "]";
    return s + "}";
}

// Whole fields are compared; the message shows their beginnings.
testing::AssertionResult Same(const Pairs& got, const Pairs& want)
{
    if (got == want)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << Show(got) << " instead of " << Show(want);
}

// Both ways of reading: copying every record, or keeping the bytes and
// indexing their records in place.
DecodeSummary Decode(const std::string& bytes, CEntryTable& t, bool inPlace)
{
    if (!inPlace)
        return DecodeTable(bytes, t);
    std::unique_ptr<char[]> image(new char[bytes.size() + 1]);
    bytes.copy(image.get(), bytes.size());
    return DecodeTableImage(std::move(image), bytes.size(), t);
}

const char* How(bool inPlace)
{
    return inPlace ? " (in place)" : " (copied)";
}

TEST(TableCodec, EmptyTableIsZeroBytes)
{
    CEntryTable t;
    EXPECT_EQ(EncodeTableToBytes(t), "");
    DecodeSummary s = DecodeTable("", t);
    EXPECT_EQ(s.Records, 0u);
    EXPECT_FALSE(s.Damaged);
}

TEST(TableCodec, WritesRecordsInKeyOrderLittleEndian)
{
    CEntryTable t;
    t.InsertEntry("b", "\x83\x6f\x83\x69\x83\x69" /* バナナ */);
    t.InsertEntry("apple", "\x82\xe8\x82\xf1\x82\xb2" /* りんご */);
    std::string want = std::string("\x05\0\0\0\x06\0\0\0", 8) + "apple" +
                       "\x82\xe8\x82\xf1\x82\xb2" + std::string("\x01\0\0\0\x06\0\0\0", 8) + "b" +
                       "\x83\x6f\x83\x69\x83\x69";
    EXPECT_EQ(EncodeTableToBytes(t), want);
    EXPECT_EQ(EncodedSize(t), want.size());
}

TEST(TableCodec, RoundTripIncludingLongAndEmptyFields)
{
    CEntryTable t;
    t.InsertEntry("", "empty key");
    t.InsertEntry("empty data", "");
    t.InsertEntry(std::string(2047, 'k'), std::string(2047, 'd'));
    t.InsertEntry(std::string(2048, 'K'), std::string(5000, 'D'));
    t.InsertEntry("big", std::string(1 << 20, 'x'));
    t.InsertEntry("\x95\x5c" /* 表 */, "\x83\x5c" /* ソ */);

    std::string bytes = EncodeTableToBytes(t);
    for (bool inPlace : {false, true}) {
        CEntryTable back;
        DecodeSummary s = Decode(bytes, back, inPlace);
        EXPECT_FALSE(s.Damaged) << How(inPlace);
        EXPECT_EQ(s.Records, t.Size()) << How(inPlace);
        EXPECT_EQ(Contents(back), Contents(t)) << How(inPlace);
        EXPECT_EQ(EncodeTableToBytes(back), bytes) << How(inPlace);
    }
}

TEST(TableCodec, SmallBlocksGiveTheSameBytes)
{
    CEntryTable t;
    for (int i = 0; i < 300; i++)
        t.InsertEntry("key" + std::to_string(i), std::string(i, 'd'));
    std::string whole = EncodeTableToBytes(t), pieces;
    int blocks = 0;
    EncodeTable(
        t,
        [&](const char* p, size_t n) {
            pieces.append(p, n);
            blocks++;
            return true;
        },
        64);
    EXPECT_EQ(pieces, whole);
    EXPECT_GT(blocks, 10);
}

TEST(TableCodec, RefusingSinkStopsTheWrite)
{
    CEntryTable t;
    for (int i = 0; i < 100; i++)
        t.InsertEntry("key" + std::to_string(i), "data");
    int calls = 0;
    bool ok = EncodeTable(
        t,
        [&](const char*, size_t) {
            calls++;
            return calls < 3;
        },
        16);
    EXPECT_FALSE(ok);
    EXPECT_EQ(calls, 3);
}

TEST(TableCodec, FirstRecordWinsAndPresentKeysKeepTheirData)
{
    CEntryTable t;
    t.InsertEntry("apple", "mine");
    DecodeSummary s = DecodeTable(
        Record("banana", "1") + Record("banana", "2") + Record("apple", "theirs"), t);
    EXPECT_EQ(Contents(t), (Pairs{{"apple", "mine"}, {"banana", "1"}}));
    EXPECT_EQ(s.Records, 3u);
    EXPECT_EQ(s.Inserted, 1u);
    EXPECT_EQ(s.Duplicates, 2u);
}

TEST(TableCodec, FieldsAreCutBeforeTheirFirstZeroByte)
{
    struct {
        std::string name, bytes;
        Pairs want;
    } cases[] = {
        {"zero in key", Record(std::string("ab\0cd", 5), "data"), {{"ab", "data"}}},
        {"key starts with zero", Record(std::string("\0x", 2), "d"), {{"", "d"}}},
        {"zero in data", Record("k", std::string("12\0" "34", 5)), {{"k", "12"}}},
        {"zero in the second eight", Record("k", std::string("12345678\0" "9", 10)), {{"k", "12345678"}}},
        {"zero last of eight", Record(std::string("1234567\0", 8), "d"), {{"1234567", "d"}}},
        {"zero last of sixteen", Record("k", std::string(15, 'a') + '\0'), {{"k", std::string(15, 'a')}}},
        {"zero first after sixteen", Record("k", std::string(16, 'a') + '\0' + "bc"),
         {{"k", std::string(16, 'a')}}},
        {"zero last of thirty-one", Record(std::string(30, 'k') + '\0', "d"), {{std::string(30, 'k'), "d"}}},
        {"twenty bytes, no zero", Record("k", std::string(20, 'a')), {{"k", std::string(20, 'a')}}},
        {"bytes with high bits", Record("k", "\x81\x80\xff\x01\x81\x80\xff\x01\x7f"),
         {{"k", "\x81\x80\xff\x01\x81\x80\xff\x01\x7f"}}},
        {"zero-length key", Record("", "d"), {{"", "d"}}},
        {"long field with zero", Record(std::string(3000, 'a') + std::string(1, '\0') + "b", "d"),
         {{std::string(3000, 'a'), "d"}}},
    };
    for (bool inPlace : {false, true}) {
        for (const auto& c : cases) {
            CEntryTable t;
            DecodeSummary s = Decode(c.bytes, t, inPlace);
            EXPECT_TRUE(Same(Contents(t), c.want)) << c.name << How(inPlace);
            EXPECT_FALSE(s.Damaged) << c.name << How(inPlace);
        }
    }
}

// Bytes borrowed as a mapped file's are: records out of Key order still go
// to their places, and once the table owns its copy, the borrowed bytes may
// go and every handle is found again where Moved says.
TEST(TableCodec, BorrowedBytesInAnyOrderThenTakenOver)
{
    std::string bytes;
    Pairs want;
    for (int i = 0; i < 300; i++) {
        char k[8];
        snprintf(k, sizeof k, "k%04d", i < 200 ? i : 499 - i); // then backwards into the middle
        bytes += Record(k, std::string("d") + k);
        want.push_back({k, std::string("d") + k});
    }
    bytes += Record("k0005", "second");
    std::sort(want.begin(), want.end());
    std::string borrowed = bytes;
    CEntryTable t;
    DecodeSummary s =
        DecodeTableImage(std::shared_ptr<char>(borrowed.data(), [](char*) {}), borrowed.size(), true, t);
    EXPECT_TRUE(Same(Contents(t), want));
    EXPECT_EQ(s.Duplicates, 1u);
    const EntryHandle before = t.FindEntry("k0150")->Handle;

    std::vector<CEntryTable::ImageMove> moves = t.OwnImages();
    ASSERT_EQ(moves.size(), 1u);
    borrowed.assign(borrowed.size(), 'x');
    EXPECT_TRUE(Same(Contents(t), want));
    EXPECT_EQ(CEntryTable::EntryAt(CEntryTable::Moved(before, moves)).Data, "dk0150");
    EXPECT_TRUE(t.OwnImages().empty()) << "nothing is borrowed any more";
}

// A large file is read in two halves at once: the result is the one the
// copying reader gives, whatever lies where (Keys and Data with a zero
// byte, records out of order, a Key again in the other half, a cut end),
// and for a file in order throughout, the halves joined are a table that
// takes changes as any other.
// A reader waiting on it hears how far the reading has come, in rising
// steps that end at the whole, and may stop it part-way.
TEST(TableCodec, LargeFilesReadInPlaceAsCopiedWithProgressAndStop)
{
    std::string sound, ordered;
    for (int i = 0; i < 40000; i++) {
        char k[8];
        snprintf(k, sizeof k, "k%05d", i);
        sound += Record(k, "some data of a record");
        ordered +=
            Record(k, i % 10000 == 7 ? std::string("data\0cut", 8) : "some data of a record");
        if (i % 9973 == 5)
            sound += Record(std::string("z\0cut", 5) + k, "key with a zero") +
                     Record("a" + std::string(k), std::string("data\0cut", 8)) +
                     Record("k00003", "again, later") + Record(k, "the same Key again");
    }
    const std::string damaged = sound + Header(5, 100) + "short";
    const std::string orderedDamaged = ordered + Header(5, 100) + "short";
    const std::pair<const char*, const std::string*> inputs[] = {
        {"sound", &sound}, {"damaged", &damaged}, {"ordered", &ordered},
        {"ordered, damaged", &orderedDamaged}};
    for (const auto& [which, bytes] : inputs) {
        CEntryTable copied;
        DecodeSummary want = DecodeTable(*bytes, copied);
        for (uint64_t stopAt : {uint64_t(0), uint64_t(bytes->size() / 2), uint64_t(UINT64_MAX)}) {
            std::string image = *bytes;
            std::vector<uint64_t> seen;
            CEntryTable t;
            DecodeSummary s = DecodeTableImage(
                std::shared_ptr<char>(image.data(), [](char*) {}), image.size(), true, t,
                [&](uint64_t done, uint64_t total) {
                    EXPECT_EQ(total, bytes->size());
                    seen.push_back(done);
                    return done < stopAt;
                });
            ASSERT_FALSE(seen.empty()) << which << " " << stopAt;
            EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end())) << which << " " << stopAt;
            if (stopAt == UINT64_MAX) {
                EXPECT_FALSE(s.Stopped);
                EXPECT_EQ(seen.back(), bytes->size()) << which;
                EXPECT_GT(seen.size(), 3u) << "one report for the whole file";
                EXPECT_TRUE(Same(Contents(t), Contents(copied))) << which;
                EXPECT_EQ(s.Records, want.Records) << which;
                EXPECT_EQ(s.Duplicates, want.Duplicates) << which;
                EXPECT_EQ(s.Damaged, want.Damaged) << which;
                EXPECT_EQ(s.DamageOffset, want.DamageOffset) << which;
                for (const char* k : {"k20000+", "k00000", "k39999", "k19999", "k20001"}) {
                    t.EraseEntry(k);
                    copied.EraseEntry(k);
                    t.InsertEntry(std::string(k) + "!", "new");
                    copied.InsertEntry(std::string(k) + "!", "new");
                }
                EXPECT_TRUE(Same(Contents(t), Contents(copied))) << which << ", changed";
                EXPECT_EQ(t.FindCandidate("k2")->Key, "k20000") << which;
            } else {
                EXPECT_TRUE(s.Stopped) << which << " " << stopAt;
                EXPECT_GE(seen.back(), stopAt);
                EXPECT_LT(seen.back(), bytes->size()) << which << " " << stopAt;
                EXPECT_LT(t.Size(), copied.Size()) << which << " " << stopAt;
            }
        }
    }
}

TEST(TableCodec, DamagedFilesKeepEveryCompleteRecordBefore)
{
    const std::string good = Record("a", "1") + Record("b", "2");
    struct {
        std::string name, bytes;
        Pairs want;
        uint64_t damageOffset;
    } cases[] = {
        {"3 bytes", "abc", {}, 0},
        {"header cut short", good + Le32(1) + "\x02", {{"a", "1"}, {"b", "2"}}, good.size()},
        {"header only", good + Header(1, 1), {{"a", "1"}, {"b", "2"}}, good.size()},
        {"data cut short", good + Header(1, 5) + "c12", {{"a", "1"}, {"b", "2"}}, good.size()},
        {"key length past the end", Header(100, 0) + "abc", {}, 0},
        {"lengths near 2^32", good + Header(0xFFFFFFFF, 0xFFFFFFFF) + "xyz",
         {{"a", "1"}, {"b", "2"}}, good.size()},
        {"lengths summing to 2^32", good + Header(0xFFFFFFF8, 8) + std::string(16, 'q'),
         {{"a", "1"}, {"b", "2"}}, good.size()},
        {"damage then a valid-looking record", Header(50, 0) + Record("z", "9"), {}, 0},
    };
    for (bool inPlace : {false, true}) {
        for (const auto& c : cases) {
            CEntryTable t;
            DecodeSummary s = Decode(c.bytes, t, inPlace);
            EXPECT_TRUE(Same(Contents(t), c.want)) << c.name << How(inPlace);
            EXPECT_TRUE(s.Damaged) << c.name << How(inPlace);
            EXPECT_EQ(s.DamageOffset, c.damageOffset) << c.name << How(inPlace);
        }
    }
}

TEST(TableCodec, ZeroLengthRecordsAdvance)
{
    CEntryTable t;
    DecodeSummary s = DecodeTable(Header(0, 0) + Header(0, 0) + Record("k", "v"), t);
    EXPECT_EQ(s.Records, 3u);
    EXPECT_EQ(Contents(t), (Pairs{{"", ""}, {"k", "v"}}));
}

} // namespace
