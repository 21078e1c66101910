// vbk import: a word list, a flash-card export or a dictionary becomes a
// table, or is added to one.
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

#include "encodings/euc_jp.h"
#include "formats/dictionary_reader.h"
#include "formats/edict_reader.h"
#include "formats/platform.h"
#include "tools/vbk/command_support.h"

namespace {

const size_t PlacesShown = 5;

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
        bool fieldsSpanLines = false; // CSV: a quoted field may hold line breaks
    };

    EntryGatherer(const Settings& settings, const SourceNames& names, const CommandIo& io)
        : settings_(settings), names_(names), io_(io)
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
        own_.reserve(expectedBytes);
    }

    // A dictionary tells how many entries and bytes are coming: room for
    // them is made once, as a block grown on the way is briefly held twice.
    void Expect(uint64_t entries, uint64_t bytes)
    {
        pending_.reserve(size_t(entries));
        own_.reserve(size_t(bytes + bytes / 8));
    }

    // The readers' sink: false ends the reading, with Failure() set.
    bool Add(size_t line, std::string_view key, std::string_view data)
    {
        entries_++;
        if (key.empty() || data.empty()) {
            empties_++;
            return true;
        }
        if (settings_.checkZeroBytes && !NoZeroBytes(line, key, data))
            return false;
        // Converted aside first: the views may lie in the bytes the entry is
        // to be written over, and a failed conversion must leave them whole.
        converted_.clear();
        if (settings_.encoding == TextEncoding::ShiftJis) {
            converted_.append(key);
            converted_.append(data);
            return Keep(line, key.size());
        }
        ConvertResult keyResult = Utf8ToCp932(key, converted_), dataResult;
        if (keyResult.Ok) {
            size_t keyLength = converted_.size();
            dataResult = Utf8ToCp932(data, converted_);
            if (dataResult.Ok)
                return Keep(line, keyLength);
        }
        return Unencodable(line, key, data, keyResult, dataResult);
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
        std::string_view Data()
        {
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
    uint64_t Duplicates() const { return duplicates_; }

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

    const char* Base() const { return inPlace_ ? list_.get() : own_.data(); }
    std::string_view KeyOf(const Pending& p) const
    {
        return std::string_view(Base() + p.at, p.keyLength);
    }
    std::string_view DataOf(const Pending& p) const
    {
        return std::string_view(Base() + p.at + p.keyLength, p.dataLength);
    }

    // Appends the bytes to the entries stored.
    void Store(const std::string& bytes)
    {
        if (inPlace_) {
            char* at = list_.get() + used_;
            if (*unread_ >= at && bytes.size() <= size_t(*unread_ - at)) {
                std::memcpy(at, bytes.data(), bytes.size());
                return;
            }
            // Only a reader that handed more than it read gets here; the
            // entries so far move to a block of their own.
            own_.assign(list_.get(), used_);
            inPlace_ = false;
        }
        own_.append(bytes);
    }

    // Stores the entry that converted_ holds, Key first.
    bool Keep(size_t line, size_t keyLength)
    {
        size_t dataLength = converted_.size() - keyLength;
        if (keyLength > 0xFFFFFFFFu || dataLength > 0xFFFFFFFFu) {
            failure_ = names_.placeOf(line) + ": a Key or Data longer than a table file can hold";
            return false;
        }
        Store(converted_);
        Pending p{0, used_, uint32_t(keyLength), uint32_t(dataLength)};
        for (size_t i = 0; i < 8; i++)
            p.prefix = p.prefix << 8 |
                       (i < keyLength ? static_cast<unsigned char>(converted_[i]) : 0);
        pending_.push_back(p);
        used_ += converted_.size();
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
        if (firstAffected_.size() < PlacesShown)
            firstAffected_.push_back(line);
    }

    bool Unencodable(size_t line, std::string_view key, std::string_view data,
                     const ConvertResult& keyResult, const ConvertResult& dataResult)
    {
        switch (settings_.policy) {
        case Unencodable::Skip:
            NoteAffected(line, CountUnencodable(key) + CountUnencodable(data));
            return true;
        case Unencodable::Replace: {
            converted_.clear();
            size_t replaced = Utf8ToCp932BestFit(key, converted_);
            size_t keyLength = converted_.size();
            replaced += Utf8ToCp932BestFit(data, converted_);
            NoteAffected(line, replaced);
            return Keep(line, keyLength);
        }
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
                   Utf8Text(io_, shown) +
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
    const CommandIo& io_;
    std::unique_ptr<char[]> list_;
    const char* const* unread_ = nullptr;
    bool inPlace_ = false;
    std::string own_; // the entries, when they are not in the list's bytes
    size_t used_ = 0; // bytes of entries stored
    std::string converted_;
    std::vector<Pending> pending_;
    uint64_t duplicates_ = 0;
    std::string failure_;
    uint64_t entries_ = 0, empties_ = 0, affectedLines_ = 0, affectedCharacters_ = 0;
    std::vector<size_t> firstAffected_;
    size_t lastAffected_ = 0; // lines count from 1
    uint64_t affectedPlaces_ = 0;
};

std::string NotValid(const std::string& name, std::string_view text, const TextFault& f,
                     const char* what)
{
    return name + ":" + std::to_string(f.Line) + ": not valid " + what + " (byte " +
           Hex(static_cast<unsigned char>(text[f.Offset])) + " at offset " +
           std::to_string(f.Offset) + ")";
}

// Whether the text is EUC-JP, for a message.
bool IsEucJp(std::string_view text)
{
    std::unique_ptr<char[]> utf8(new char[EucJpUtf8Bound(text.size())]);
    size_t written = 0;
    return EucJpToUtf8(text, utf8.get(), written).Ok;
}

// Settles the encoding of a list and takes off a UTF-8 byte-order mark. An
// EDICT file is UTF-8 or else EUC-JP, its own encoding. EUC-JP is checked as
// it is turned into UTF-8.
bool SettleEncoding(const ImportOptions& options, bool edict, std::string_view& text,
                    TextEncoding& encoding, std::string& failure)
{
    const std::string& name = options.List;
    auto faultText = [&](const TextFault& f, const char* what) {
        return NotValid(name, text, f, what);
    };
    if (!options.Encoding && edict && !HasUtf8Bom(text)) {
        encoding = FindUtf8Fault(text) ? TextEncoding::EucJp : TextEncoding::Utf8;
        return true;
    }
    if (options.Encoding) {
        encoding = *options.Encoding;
        if (encoding == TextEncoding::EucJp)
            return true;
        if (encoding == TextEncoding::Utf8 && HasUtf8Bom(text))
            text.remove_prefix(3);
        std::optional<TextFault> fault =
            encoding == TextEncoding::Utf8 ? FindUtf8Fault(text) : FindShiftJisFault(text);
        if (fault)
            failure = faultText(*fault, EncodingName(encoding));
        return !fault;
    }
    switch (DetectEncoding(text)) {
    case DetectOutcome::Utf8WithBom:
        text.remove_prefix(3);
        encoding = TextEncoding::Utf8;
        if (auto fault = FindUtf8Fault(text)) {
            failure = faultText(*fault, "UTF-8");
            return false;
        }
        return true;
    case DetectOutcome::Utf8:
        encoding = TextEncoding::Utf8;
        return true;
    case DetectOutcome::ShiftJis:
        encoding = TextEncoding::ShiftJis;
        return true;
    case DetectOutcome::Utf16:
        failure = name + ": UTF-16 text; save the list as UTF-8 or Shift-JIS";
        return false;
    case DetectOutcome::Neither:
        break;
    }
    // Name the fault of the encoding that got further: that is the likelier one.
    TextFault utf8 = *FindUtf8Fault(text), sjis = *FindShiftJisFault(text);
    failure = utf8.Offset >= sjis.Offset ? faultText(utf8, "UTF-8 (nor Shift-JIS)")
                                         : faultText(sjis, "Shift-JIS (nor UTF-8)");
    if (IsEucJp(text))
        failure += "; it reads as EUC-JP: give --encoding euc-jp";
    return false;
}

// Puts the UTF-8 form of EUC-JP text (or of Shift-JIS text, for the EDICT
// reader, which reads UTF-8 alone) in the place of the list's bytes.
bool ConvertToUtf8(const std::string& name, TextEncoding from, std::unique_ptr<char[]>& bytes,
                   std::string_view& text, std::string& failure)
{
    std::unique_ptr<char[]> utf8;
    size_t written = 0;
    if (from == TextEncoding::EucJp) {
        utf8.reset(new char[EucJpUtf8Bound(text.size())]);
        ConvertResult r = EucJpToUtf8(text, utf8.get(), written);
        if (!r.Ok) {
            TextFault f;
            f.Offset = r.Offset;
            f.Line = 1 + CountLineBreaks(text.substr(0, r.Offset));
            failure = NotValid(name, text, f, "EUC-JP");
            return false;
        }
    } else {
        std::string converted;
        Cp932ToUtf8(text, converted, false); // checked whole before
        written = converted.size();
        utf8.reset(new char[written + 1]);
        converted.copy(utf8.get(), written);
    }
    bytes = std::move(utf8);
    text = std::string_view(bytes.get(), written);
    return true;
}

bool NoZeroByte(const std::string& name, std::string_view text, std::string& failure)
{
    size_t zero = text.find('\0');
    if (zero == std::string_view::npos)
        return true;
    failure = name + ":" + std::to_string(1 + CountLineBreaks(text.substr(0, zero))) +
              ": a zero byte, which no Key or Data can hold";
    return false;
}

// A guessed Shift-JIS list with a half-width katakana between Latin letters
// is most likely Latin-1 or another code page read as Shift-JIS ("Straße").
// The whole text is looked at once: no line break or separator is a letter,
// so a word never spans fields.
bool NoKatakanaInsideWords(const std::string& name, std::string_view text, const CommandIo& io,
                           std::string& failure)
{
    size_t at = FindKatakanaInsideLatinWord(text);
    if (at == std::string_view::npos)
        return true;
    auto isLetter = [](char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; };
    size_t begin = at, end = at;
    while (begin > 0 && at - begin < 20 && isLetter(text[begin - 1]))
        begin--;
    while (end < text.size() && end - at < 20 &&
           (isLetter(text[end]) || static_cast<unsigned char>(text[end]) - 0xA1u < 0x3Fu))
        end++;
    failure = name + ":" + std::to_string(1 + CountLineBreaks(text.substr(0, at))) + ": " +
              QuotedKey(io, text.substr(begin, end - begin)) +
              " reads as Latin letters with a half-width katakana among them: the list seems not "
              "to be Shift-JIS. Save it as UTF-8, or give --encoding sjis if it is Shift-JIS "
              "after all";
    return false;
}

// Whether a list is an EDICT file: asked for, or else, where neither a format
// nor the name's extension says what it is, known by the shape of its lines
// (the published files have no extension). A list that ends in .tsv or .csv
// reads as it always has.
bool IsEdict(const ImportOptions& options, std::string_view text)
{
    if (options.Format)
        return options.Format == ListFormat::Edict;
    return !FormatOfName(options.List) && LooksLikeEdict(text);
}

// The format given, else EDICT's, else the extension's, else a flash-card
// export's if the list starts with its header lines.
bool ChooseListFormat(const ImportOptions& options, bool edict, std::string_view text,
                      ListFormat& format, std::string& failure)
{
    std::optional<ListFormat> chosen = options.Format ? options.Format : FormatOfName(options.List);
    if (edict)
        chosen = ListFormat::Edict;
    if (!chosen && ReadFlashcardHeader(text).Present)
        chosen = ListFormat::Flashcards;
    if (!chosen) {
        failure = options.List + ": cannot tell TSV from CSV by the name; use --format";
        return false;
    }
    format = *chosen;
    return true;
}

const char* FormatName(ListFormat format)
{
    return format == ListFormat::Tsv          ? "TSV"
           : format == ListFormat::Csv        ? "CSV"
           : format == ListFormat::Flashcards ? "flash-card text"
                                              : "EDICT";
}

struct Gathered {
    SourceNames names;
    std::unique_ptr<EntryGatherer> entries; // sorted
    std::vector<std::string> notes;         // further lines for the report
};

// Lines a text has, to make room for its entries once.
size_t CountLines(std::string_view text)
{
    size_t lines = size_t(std::count(text.begin(), text.end(), '\n'));
    if (lines == 0)
        lines = size_t(std::count(text.begin(), text.end(), '\r'));
    return lines + 1;
}

bool GatherList(const ImportOptions& options, CommandIo& io, Gathered& g, std::string& failure)
{
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    std::string why;
    FileOutcome outcome = ReadWholeFile(options.List, bytes, size, why);
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(options.List, outcome, why);
        return false;
    }
    std::string_view text(bytes.get(), size);
    ListFormat format;
    EntryGatherer::Settings settings;
    bool edict = IsEdict(options, text);
    TextEncoding listEncoding; // the list's own
    if (!SettleEncoding(options, edict, text, listEncoding, failure))
        return false;
    settings.encoding = listEncoding;
    if (listEncoding == TextEncoding::EucJp || (edict && listEncoding == TextEncoding::ShiftJis)) {
        if (!ConvertToUtf8(options.List, listEncoding, bytes, text, failure))
            return false;
        settings.encoding = TextEncoding::Utf8;
    }
    if (!NoZeroByte(options.List, text, failure) ||
        !ChooseListFormat(options, edict, text, format, failure))
        return false;
    bool guessedShiftJis = settings.encoding == TextEncoding::ShiftJis && !options.Encoding;
    if (guessedShiftJis && !NoKatakanaInsideWords(options.List, text, io, failure))
        return false;
    settings.policy = options.WhenUnencodable;
    settings.fieldsSpanLines = format == ListFormat::Csv;
    g.names.placeOf = [&](size_t line) { return options.List + ":" + std::to_string(line); };
    if (edict) {
        // Every writing and reading is a Key: the entries of one are joined.
        settings.joinDuplicates = g.names.joinsDuplicates = true;
        g.names.unit = "headword";
        g.names.units = "headwords";
    }

    g.entries = std::make_unique<EntryGatherer>(settings, g.names, io);
    EntryGatherer& gatherer = *g.entries;
    const char* unread = text.data();
    if (edict) // a Key for each writing and reading: mostly two a line
        gatherer.WriteAside(2 * CountLines(text), 2 * text.size());
    else
        gatherer.WriteBehindReader(std::move(bytes), &unread, CountLines(text));
    ListFormat readAs = format;
    ListReadResult read = ReadList(
        format, text, settings.encoding,
        [&](size_t line, std::string_view k, std::string_view d) { return gatherer.Add(line, k, d); },
        &readAs, &unread);
    if (!read.Ok) {
        failure = options.List + ":" + std::to_string(read.Line) + ": " + read.Message;
        return false;
    }
    if (!gatherer.Failure().empty()) {
        failure = gatherer.Failure();
        return false;
    }
    g.names.kind = std::string(EncodingName(listEncoding)) + " " + FormatName(readAs);
    gatherer.Sort();
    return true;
}

bool GatherDictionary(const ImportOptions& options, DictionaryFormat format, CommandIo& io,
                      Gathered& g, std::string& failure)
{
    EntryGatherer::Settings settings;
    settings.policy = options.WhenUnencodable;
    settings.checkZeroBytes = true;
    settings.joinDuplicates = true;
    g.names.placeOf = [&options, format](size_t n) {
        return DictionaryPlace(format, options.List, n);
    };
    g.names.unit = "headword";
    g.names.units = "headwords";
    g.names.places = format == DictionaryFormat::Dictd ? "index lines" : "entries";
    g.names.kind = format == DictionaryFormat::Dictd ? "dictd dictionary" : "StarDict dictionary";
    g.names.joinsDuplicates = true;

    g.entries = std::make_unique<EntryGatherer>(settings, g.names, io);
    EntryGatherer& gatherer = *g.entries;
    DictionaryReading reading;
    reading.strayBytes = options.WhenUnencodable == Unencodable::Replace ? StrayBytes::AsWindows1252
                         : options.WhenUnencodable == Unencodable::Skip  ? StrayBytes::LeaveOut
                                                                         : StrayBytes::Refuse;
    reading.keepCase = options.KeepCase;
    reading.ipaAsXSampa = options.WhenUnencodable == Unencodable::Replace;
    reading.expect = [&](uint64_t entries, uint64_t bytes) { gatherer.Expect(entries, bytes); };
    DictionaryReadResult read = ReadDictionary(
        format, options.List, reading,
        [&](size_t n, std::string_view headword, std::string_view text) {
            return gatherer.Add(n, headword, text);
        });
    if (!read.Ok || !gatherer.Failure().empty()) {
        failure = read.Ok ? gatherer.Failure() : read.Message;
        return false;
    }
    g.notes = std::move(read.Notes);
    gatherer.Sort();
    return true;
}

// A source that gives no entry at all is a mistake (a wrong separator, an
// empty file, say); writing an empty table over the old one would lose it.
bool SomethingToWrite(const ImportOptions& options, const Gathered& g, std::string& failure)
{
    const EntryGatherer& e = *g.entries;
    if (e.Distinct() > 0)
        return true;
    if (e.Entries() == 0) {
        failure = options.List + ": there is no entry in it; nothing was written";
        return false;
    }
    failure = options.List + ": none of its " + Count(e.Entries(), g.names.unit, g.names.units) +
              " gave an entry (" +
              (e.Empties() ? Count(e.Empties(), "had", "had") + " an empty Key or Data" : "") +
              (e.Empties() && e.AffectedLines() ? ", " : "") +
              (e.AffectedLines() ? Count(e.AffectedLines(), "was", "were") +
                                       " left out for characters without a code"
                                 : "") +
              "); nothing was written";
    return false;
}

// The gathered entries straight to the table file, in Key order.
bool WriteNewTable(const ImportOptions& options, const Gathered& g, std::string& failure)
{
    return PutTableFile(
        options.Table,
        [&](const RecordPut& put) {
            for (EntryGatherer::Cursor c(*g.entries); c.Valid(); c.Next())
                if (!put(c.Key(), c.Data()))
                    return false;
            return true;
        },
        failure);
}

// Merging: the new entries join the existing table's, whose Keys keep their
// Data, just as the program's Open (add) does. Both are in Key order, so the
// file is written by walking them side by side.
bool MergeIntoExisting(const ImportOptions& options, const Gathered& g, CommandIo& io,
                       uint64_t& written, uint64_t& keptExisting, std::string& failure)
{
    CEntryTable existing;
    if (!LoadTable(options.Table, existing, io, true, failure))
        return false;
    return PutTableFile(
        options.Table,
        [&](const RecordPut& put) {
            EntryGatherer::Cursor c(*g.entries);
            bool ok = true;
            written = keptExisting = 0;
            auto take = [&](std::string_view key, std::string_view data) {
                ok = ok && put(key, data);
                written++;
            };
            existing.ForEachEntry([&](const Entry& e) {
                for (; c.Valid() && c.Key() < e.Key; c.Next())
                    take(c.Key(), c.Data());
                if (c.Valid() && c.Key() == e.Key) {
                    keptExisting++;
                    c.Next();
                }
                take(e.Key, e.Data);
            });
            for (; c.Valid(); c.Next())
                take(c.Key(), c.Data());
            return ok;
        },
        failure);
}

std::string PlaceList(const std::vector<size_t>& places, uint64_t all)
{
    std::string s;
    for (size_t n : places)
        s += (s.empty() ? "" : ", ") + std::to_string(n);
    return all > places.size() ? s + ", ..." : s;
}

void ReportImport(const ImportOptions& options, const Gathered& g, uint64_t written, bool merged,
                  uint64_t keptExisting, CommandIo& io)
{
    const EntryGatherer& e = *g.entries;
    io.Out += options.Table + ": " + Count(written, "entry", "entries") + " (" + g.names.kind +
              ", " + Count(e.Entries(), g.names.unit, g.names.units) + " read" +
              (merged ? ", merged into the existing table" : "") + ")\n";
    if (e.Duplicates() && g.names.joinsDuplicates)
        io.Out += "  " + Count(e.Duplicates(), g.names.unit, g.names.units) +
                  " joined to the entry of an earlier one that gave the same Key\n";
    else if (e.Duplicates())
        io.Out += "  " + Count(e.Duplicates(), g.names.unit, g.names.units) +
                  " dropped: Key listed before (the first Data is kept)\n";
    if (e.Empties())
        io.Out += "  " + Count(e.Empties(), g.names.unit, g.names.units) +
                  " skipped: empty Key or Data\n";
    if (e.AffectedLines()) {
        std::string characters = Count(e.AffectedCharacters(), "character", "characters");
        io.Out += "  " + Count(e.AffectedLines(), g.names.unit, g.names.units) +
                  (options.WhenUnencodable == Unencodable::Replace
                       ? " with characters that code page 932 lacks: " + characters +
                             " written as a look-alike or ?"
                       : " left out: " + characters + " that code page 932 lacks") +
                  " (first at " + g.names.places + " " +
                  PlaceList(e.FirstAffected(), e.AffectedPlaces()) + ")\n";
    }
    for (const std::string& note : g.notes)
        io.Out += "  " + note + "\n";
    if (keptExisting)
        io.Out += "  " + Count(keptExisting, "entry", "entries") +
                  " not added: Key already in the table (its Data is kept)\n";
}

} // namespace

int RunImport(const ImportOptions& options, CommandIo& io)
{
    if (SameFile(options.List, options.Table))
        return Fail(io, options.Table + ": that is the list itself; write the table elsewhere");
    std::optional<DictionaryFormat> dictionary = DictionaryFormatOfName(options.List);
    if (dictionary && !options.Format)
        for (const std::string& companion : CompanionFiles(*dictionary, options.List))
            if (SameFile(companion, options.Table))
                return Fail(io, options.Table + ": that is " + companion +
                                    ", a file of the dictionary; write the table elsewhere");
    Gathered g;
    std::string failure;
    bool gathered = dictionary && !options.Format
                        ? GatherDictionary(options, *dictionary, io, g, failure)
                        : GatherList(options, io, g, failure);
    if (!gathered || !SomethingToWrite(options, g, failure))
        return Fail(io, failure);

    bool merged = options.Merge && FileExists(options.Table);
    uint64_t written = g.entries->Distinct(), keptExisting = 0;
    bool saved = merged ? MergeIntoExisting(options, g, io, written, keptExisting, failure)
                        : WriteNewTable(options, g, failure);
    if (!saved)
        return Fail(io, failure);
    ReportImport(options, g, written, merged, keptExisting, io);
    return ExitOk;
}
