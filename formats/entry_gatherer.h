// Collecting the entries that a list or dictionary reader hands on: each
// converted to code page 932 as the table holds it, then all put in Key order
// at once.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/cp932_text.h"
#include "encodings/text_encoding.h"
#include "formats/message_text.h"
#include "formats/platform.h"

// What an import does with a character that code page 932 has no code for.
enum class Unencodable {
    Error,   // the import fails, naming the line
    Replace, // the look-alike Windows would write (à as a), else '?'
    Skip,    // the line is left out
};

// How many places of a kind a report names ("first at lines 3, 8, ...").
const size_t FirstPlacesShown = 5;

// How the places of a source are named in messages and in the summary.
struct SourceNames {
    std::function<std::string(size_t)> placeOf; // "words.tsv:12"
    const char* unit = "line";                  // what the source counts
    const char* units = "lines";
    const char* places = "lines"; // "first at lines 3, 8"
    std::string kind;             // "UTF-8 TSV", "dictd dictionary"
    bool joinsDuplicates = false;
};

// Collects the entries a reader finds, converted to code page 932, to be
// sorted once and written in Key order: inserting a million random Keys into
// a tree one by one is several times slower, and a tree would hold every
// entry a second time.
class EntryGatherer {
public:
    struct Settings {
        TextEncoding encoding = TextEncoding::Utf8;
        Unencodable policy = Unencodable::Error;
        bool checkZeroBytes = false;  // the text was not checked whole before
        // Dictionaries: a Key that comes again (exposé written as expose)
        // gets both definitions rather than losing the second.
        bool joinDuplicates = false;
        // Dictionaries: each Data starts with a line that names its
        // headword; a line that is the Key and no more is shown only where
        // it tells the parts of a joined Data apart.
        bool headingLines = false;
        bool fieldsSpanLines = false; // CSV: a quoted field may hold line breaks
    };

    EntryGatherer(const Settings& settings, const SourceNames& names, TextEncoding shownIn)
        : settings_(settings), names_(names), shownIn_(shownIn)
    {
    }

    // The entries go into the list's own bytes, behind the reader (which
    // keeps `unread` at the first byte it has yet to look at): a list of
    // hundreds of megabytes is then held once, not twice. Entries come no
    // longer than their lines, so they fit.
    void WriteBehindReader(std::unique_ptr<char[]> list, const char* const* unread,
                           size_t expectedEntries)
    {
        list_ = std::move(list);
        unread_ = unread;
        inPlace_ = true;
        pending_.reserve(expectedEntries);
    }

    // For a reader that hands on more than it reads (EDICT gives an entry for
    // each writing and reading of a line): the entries go to a block of their
    // own, with room made once rather than copied as it grows.
    void WriteAside(size_t expectedEntries, size_t expectedBytes)
    {
        pending_.reserve(expectedEntries);
        Reserve(expectedBytes + HeadRoom * expectedEntries);
    }

    // A dictionary tells how many entries and bytes are coming: room for
    // them is made once, as a block grown on the way is briefly held twice.
    void Expect(uint64_t entries, uint64_t bytes)
    {
        if (places_ == 0)
            places_ = entries;
        pending_.reserve(size_t(entries));
        Reserve(size_t(bytes + bytes / 8 + HeadRoom * entries));
    }

    // Told now and then how far the reading has come: the place Add was
    // last given (a line, an index entry) of the places expected. False ends
    // the reading, as cancelled.
    using Progress = std::function<bool(uint64_t place, uint64_t places)>;
    void WatchProgress(Progress progress, uint64_t places)
    {
        progress_ = std::move(progress);
        places_ = places;
    }
    bool Cancelled() const { return cancelled_; }

    // The readers' sink: false ends the reading, with Failure() set.
    bool Add(size_t line, std::string_view key, std::string_view data)
    {
        // Seldom enough to cost nothing beside the conversion.
        if (progress_ && (entries_ & 0x3FF) == 0 && !progress_(line, places_)) {
            cancelled_ = true;
            failure_ = "cancelled";
            return false;
        }
        entries_++;
        if (key.empty() || data.empty()) {
            empties_++;
            return true;
        }
        if (settings_.checkZeroBytes && !NoZeroBytes(line, key, data))
            return false;
        // Converted where the entry is to stay, or aside where the views may
        // lie in the bytes it is to be written over. No character takes more
        // bytes in code page 932 than in UTF-8, so the room is known.
        char* at = Destination(key.size() + data.size());
        char* to = at;
        if (settings_.encoding == TextEncoding::ShiftJis) {
            std::memcpy(to, key.data(), key.size());
            std::memcpy(to + key.size(), data.data(), data.size());
            return Keep(line, at, key.size(), data.size());
        }
        ConvertResult keyResult = Utf8ToCp932(key, to), dataResult;
        size_t keyLength = size_t(to - at);
        if (keyResult.Ok)
            dataResult = Utf8ToCp932(data, to);
        if (keyResult.Ok && dataResult.Ok)
            return Keep(line, at, keyLength, size_t(to - at) - keyLength);
        if (settings_.policy != Unencodable::Replace)
            return Unencodable(line, key, data, keyResult, dataResult);
        // What was converted is written over: nothing of it was kept.
        to = at;
        size_t replaced = Utf8ToCp932BestFit(key, to);
        keyLength = size_t(to - at);
        replaced += Utf8ToCp932BestFit(data, to);
        NoteAffected(line, replaced);
        return Keep(line, at, keyLength, size_t(to - at) - keyLength);
    }

    // Puts the entries in Key order, those of one Key in the order they came.
    void Sort()
    {
        std::sort(pending_.begin(), pending_.end(), [this](const Pending& a, const Pending& b) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix;
            int order = KeyOf(a).compare(KeyOf(b));
            return order != 0 ? order < 0 : a.at < b.at; // the first line of a Key wins
        });
        for (size_t i = 1; i < pending_.size(); i++)
            if (pending_[i].prefix == pending_[i - 1].prefix &&
                KeyOf(pending_[i]) == KeyOf(pending_[i - 1]))
                duplicates_++;
    }

    // After Sort: the entries one a Key, in Key order. The first Data of a
    // Key is its Data, or all of them joined for a dictionary.
    class Cursor {
    public:
        explicit Cursor(const EntryGatherer& g) : g_(g) { FindGroupEnd(); }
        bool Valid() const { return at_ < g_.pending_.size(); }
        std::string_view Key() const { return g_.KeyOf(g_.pending_[at_]); }
        // The Data the first entry of the Key brought, as it was stored: Data
        // is this, a part of its end, or several joined.
        std::string_view FirstData() const { return g_.DataOf(g_.pending_[at_]); }
        std::string_view Data()
        {
            if (g_.settings_.headingLines)
                return HeadedData();
            std::string_view data = g_.DataOf(g_.pending_[at_]);
            if (!g_.settings_.joinDuplicates || end_ == at_ + 1)
                return data;
            // The same definition under two headwords that became one Key
            // (systeme and système) is shown once.
            joined_.assign(data);
            std::unordered_set<std::string_view> seen = {data};
            for (size_t k = at_ + 1; k < end_; k++)
                if (seen.insert(g_.DataOf(g_.pending_[k])).second)
                    joined_.append("\n\n").append(g_.DataOf(g_.pending_[k]));
            return joined_;
        }
        void Next()
        {
            at_ = end_;
#if defined(__GNUC__)
            // The entries lie scattered over the bytes they were read from:
            // asking for one some way ahead hides most of the wait for it.
            const size_t ahead = 16;
            if (at_ + ahead < g_.pending_.size())
                __builtin_prefetch(g_.Base() + g_.pending_[at_ + ahead].at);
#endif
            FindGroupEnd();
        }

    private:
        // The Data without its first line where that line is the Key alone
        // (but for the case of ASCII letters).
        std::string_view Body(std::string_view data) const
        {
            size_t end = data.find('\n');
            std::string_view line = data.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (!SameButForAsciiCase(line, Key()))
                return data;
            return end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
        }

        // The same definition under two headwords that became one Key
        // (systeme and système) is shown once; distinct ones each under
        // the line that names their headword.
        std::string_view HeadedData()
        {
            const auto& p = g_.pending_;
            std::string_view first = g_.DataOf(p[at_]);
            if (end_ == at_ + 1)
                return Body(first).empty() ? first : Body(first);
            std::unordered_set<std::string_view> seen = {Body(first)};
            size_t shown = 1;
            for (size_t k = at_ + 1; k < end_; k++)
                if (seen.insert(Body(g_.DataOf(p[k]))).second)
                    shown++;
            if (shown == 1)
                return Body(first).empty() ? first : Body(first);
            joined_.assign(first);
            seen = {Body(first)};
            for (size_t k = at_ + 1; k < end_; k++) {
                std::string_view data = g_.DataOf(p[k]);
                if (seen.insert(Body(data)).second)
                    joined_.append("\n\n").append(data);
            }
            return joined_;
        }

        static bool SameButForAsciiCase(std::string_view a, std::string_view b)
        {
            if (a.size() != b.size())
                return false;
            for (size_t i = 0; i < a.size();) {
                size_t n = cp932::CharacterLength(a, i);
                if (n != cp932::CharacterLength(b, i))
                    return false;
                auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 0x20) : c; };
                if (n == 1 ? lower(a[i]) != lower(b[i]) : a.substr(i, n) != b.substr(i, n))
                    return false;
                i += n;
            }
            return true;
        }

        void FindGroupEnd()
        {
            end_ = at_ + 1;
            const auto& p = g_.pending_;
            while (end_ < p.size() && p[end_].prefix == p[at_].prefix &&
                   g_.KeyOf(p[end_]) == g_.KeyOf(p[at_]))
                end_++;
        }

        const EntryGatherer& g_;
        size_t at_ = 0, end_ = 0;
        std::string joined_;
    };

    // How many Keys there are, and how many lines were dropped (or joined)
    // because their Key came before.
    uint64_t Distinct() const { return pending_.size() - duplicates_; }
    // Bytes of Keys and Data held, duplicates and all (and the heads' room).
    uint64_t StoredBytes() const { return used_; }
    uint64_t Stored() const { return pending_.size(); }
    uint64_t Duplicates() const { return duplicates_; }

    // Whether every entry was stored with HeadRoom bytes before its Key, in
    // the block that Block gives: a table can then index the entries where
    // they lie, writing each record's lengths there.
    bool HasHeadRoom() const { return !inPlace_ && headRoom_; }
    static const size_t HeadRoom = 8;
    // The block the entries lie in when not in the list's own bytes, shared
    // so that a table may keep it; its first StoredBytes are written.
    const std::shared_ptr<char>& Block() const { return block_; }

    const std::string& Failure() const { return failure_; }
    uint64_t Entries() const { return entries_; }
    uint64_t Empties() const { return empties_; }
    uint64_t AffectedLines() const { return affectedLines_; }
    uint64_t AffectedCharacters() const { return affectedCharacters_; }
    const std::vector<size_t>& FirstAffected() const { return firstAffected_; }
    uint64_t AffectedPlaces() const { return affectedPlaces_; }

private:
    struct Pending {
        uint64_t prefix; // the first 8 bytes of the Key, big-endian: most comparisons end here
        uint64_t at;     // where the Key starts; its Data follows it
        uint32_t keyLength, dataLength;
    };

    const char* Base() const { return inPlace_ ? list_.get() : block_.get(); }
    std::string_view KeyOf(const Pending& p) const
    {
        return std::string_view(Base() + p.at, p.keyLength);
    }
    std::string_view DataOf(const Pending& p) const
    {
        return std::string_view(Base() + p.at + p.keyLength, p.dataLength);
    }

    // Makes room in the block for `bytes` more, copying what it holds once
    // when it grows.
    void Reserve(size_t bytes)
    {
        if (capacity_ - used_ >= bytes)
            return;
        size_t capacity = std::max(used_ + bytes, capacity_ + capacity_ / 2);
        std::shared_ptr<char> block(new char[capacity], std::default_delete<char[]>());
        PreferLargePages(block.get(), capacity);
        if (used_)
            std::memcpy(block.get(), block_.get(), used_);
        block_ = std::move(block);
        capacity_ = capacity;
    }

    // Where an entry of at most `bytes` is to be converted.
    char* Destination(size_t bytes)
    {
        if (inPlace_) {
            if (converted_.size() < bytes)
                converted_.resize(std::max(bytes, 2 * converted_.size()));
            return &converted_[0];
        }
        size_t head = headRoom_ ? HeadRoom : 0;
        Reserve(head + bytes);
        return block_.get() + used_ + head;
    }

    // Moves an entry converted aside behind the reader; returns where it
    // now lies.
    const char* StoreInPlace(const char* entry, size_t length)
    {
        char* at = list_.get() + used_;
        if (*unread_ >= at && length <= size_t(*unread_ - at)) {
            std::memcpy(at, entry, length);
            return at;
        }
        // Only a reader that handed more than it read gets here; the
        // entries so far move to a block of their own, without room for
        // heads before them.
        headRoom_ = false;
        size_t capacity = used_ + std::max(length, used_ / 2);
        block_.reset(new char[capacity], std::default_delete<char[]>());
        capacity_ = capacity;
        std::memcpy(block_.get(), list_.get(), used_);
        inPlace_ = false;
        std::memcpy(block_.get() + used_, entry, length);
        return block_.get() + used_;
    }

    // Keeps the entry converted at `at`, Key first.
    bool Keep(size_t line, const char* at, size_t keyLength, size_t dataLength)
    {
        if (keyLength > 0xFFFFFFFFu || dataLength > 0xFFFFFFFFu) {
            failure_ = names_.placeOf(line) + ": a Key or Data longer than a table file can hold";
            return false;
        }
        if (inPlace_)
            at = StoreInPlace(at, keyLength + dataLength);
        Pending p{0, uint64_t(at - Base()), uint32_t(keyLength), uint32_t(dataLength)};
        for (size_t i = 0; i < 8; i++)
            p.prefix = p.prefix << 8 | (i < keyLength ? static_cast<unsigned char>(at[i]) : 0);
        pending_.push_back(p);
        used_ = size_t(p.at) + keyLength + dataLength;
        return true;
    }

    void NoteAffected(size_t line, size_t characters)
    {
        affectedLines_++;
        affectedCharacters_ += characters;
        // A line that gives several Keys (EDICT) is one place.
        if (line == lastAffected_)
            return;
        lastAffected_ = line;
        affectedPlaces_++;
        if (firstAffected_.size() < FirstPlacesShown)
            firstAffected_.push_back(line);
    }

    bool Unencodable(size_t line, std::string_view key, std::string_view data,
                     const ConvertResult& keyResult, const ConvertResult& dataResult)
    {
        switch (settings_.policy) {
        case Unencodable::Skip:
            NoteAffected(line, CountUnencodable(key) + CountUnencodable(data));
            return true;
        case Unencodable::Replace: // converted by Add
        case Unencodable::Error:
            break;
        }
        bool inKey = !keyResult.Ok;
        const ConvertResult& r = inKey ? keyResult : dataResult;
        std::string_view field = inKey ? key : data;
        size_t at = line;
        if (settings_.fieldsSpanLines)
            at += (inKey ? 0 : CountLineBreaks(key)) + CountLineBreaks(field.substr(0, r.Offset));
        std::string shown;
        AppendUtf8(r.CodePoint, shown);
        failure_ = names_.placeOf(at) + ": the character " + CodePointName(r.CodePoint) + " (" +
                   Utf8Text(shownIn_, shown) +
                   ") has no code in code page 932 (--unencodable replace or skip brings such "
                   "lines in)";
        return false;
    }

    bool NoZeroBytes(size_t line, std::string_view key, std::string_view data)
    {
        if (key.find('\0') == std::string_view::npos && data.find('\0') == std::string_view::npos)
            return true;
        failure_ = names_.placeOf(line) + ": a zero byte, which no Key or Data can hold";
        return false;
    }

    Settings settings_;
    const SourceNames& names_;
    TextEncoding shownIn_; // of the messages
    std::unique_ptr<char[]> list_;
    const char* const* unread_ = nullptr;
    bool inPlace_ = false;
    // The entries, when they are not in the list's bytes; each has HeadRoom
    // bytes before its Key while headRoom_ holds.
    std::shared_ptr<char> block_;
    size_t capacity_ = 0;
    bool headRoom_ = true;
    size_t used_ = 0; // bytes of entries stored, heads and all
    std::string converted_; // an entry that is to go behind the reader
    std::vector<Pending> pending_;
    uint64_t duplicates_ = 0;
    std::string failure_;
    uint64_t entries_ = 0, empties_ = 0, affectedLines_ = 0, affectedCharacters_ = 0;
    std::vector<size_t> firstAffected_;
    size_t lastAffected_ = 0; // lines count from 1
    uint64_t affectedPlaces_ = 0;
    Progress progress_;
    uint64_t places_ = 0;
    bool cancelled_ = false;
};
