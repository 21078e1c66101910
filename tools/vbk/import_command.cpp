// vbk import: a word list, a flash-card export or a dictionary becomes a
// table, or is added to one.
#include <algorithm>
#include <functional>
#include <vector>

#include "tools/vbk/command_support.h"
#include "tools/vbk/dictionary_reader.h"
#include "tools/vbk/platform.h"

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

// Collects the entries a reader finds, converted to code page 932, in one
// block of memory, to be sorted once: inserting a million random Keys into
// the tree one by one is several times slower than inserting them in order.
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

    EntryGatherer(const Settings& settings, const SourceNames& names, const CommandIo& io,
                  size_t expectedBytes)
        : settings_(settings), names_(names), io_(io)
    {
        arena_.reserve(expectedBytes);
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
        Pending p;
        p.keyAt = arena_.size();
        if (settings_.encoding == TextEncoding::ShiftJis) {
            arena_.append(key);
            p.dataAt = arena_.size();
            arena_.append(data);
            Push(p);
            return true;
        }
        ConvertResult keyResult = Utf8ToCp932(key, arena_), dataResult;
        if (keyResult.Ok) {
            p.dataAt = arena_.size();
            dataResult = Utf8ToCp932(data, arena_);
            if (dataResult.Ok) {
                Push(p);
                return true;
            }
        }
        arena_.resize(p.keyAt);
        return Unencodable(line, key, data, keyResult, dataResult);
    }

    // Moves the entries into the table in Key order and frees the block.
    // Returns how many lines were dropped (or joined) because their Key came
    // before.
    uint64_t MoveInto(CEntryTable& table)
    {
        auto keyOf = [&](const Pending& p) {
            return std::string_view(arena_).substr(p.keyAt, p.dataAt - p.keyAt);
        };
        // Stable, so that of the lines with one Key the first comes first and wins.
        std::stable_sort(pending_.begin(), pending_.end(), [&](const Pending& a, const Pending& b) {
            if (a.prefix != b.prefix)
                return a.prefix < b.prefix;
            return keyOf(a) < keyOf(b);
        });
        auto dataOf = [&](const Pending& p) {
            return std::string_view(arena_).substr(p.dataAt, p.dataEnd - p.dataAt);
        };
        uint64_t duplicates = 0;
        std::string joined;
        for (size_t i = 0; i < pending_.size(); i++) {
            size_t same = i + 1;
            while (same < pending_.size() && keyOf(pending_[same]) == keyOf(pending_[i]))
                same++;
            duplicates += same - i - 1;
            std::string_view data = dataOf(pending_[i]);
            if (settings_.joinDuplicates && same > i + 1) {
                joined.assign(data);
                for (size_t k = i + 1; k < same; k++)
                    joined.append("\n\n").append(dataOf(pending_[k]));
                data = joined;
            }
            table.InsertEntry(keyOf(pending_[i]), data);
            i = same - 1;
        }
        std::vector<Pending>().swap(pending_);
        std::string().swap(arena_);
        return duplicates;
    }

    const std::string& Failure() const { return failure_; }
    uint64_t Entries() const { return entries_; }
    uint64_t Empties() const { return empties_; }
    uint64_t AffectedLines() const { return affectedLines_; }
    uint64_t AffectedCharacters() const { return affectedCharacters_; }
    const std::vector<size_t>& FirstAffected() const { return firstAffected_; }

private:
    struct Pending {
        uint64_t prefix = 0; // the first 8 bytes of the Key, big-endian: most comparisons end here
        size_t keyAt = 0, dataAt = 0, dataEnd = 0;
    };

    void Push(Pending& p)
    {
        p.dataEnd = arena_.size();
        size_t keyLength = p.dataAt - p.keyAt;
        for (size_t i = 0; i < 8; i++)
            p.prefix = p.prefix << 8 |
                       (i < keyLength ? static_cast<unsigned char>(arena_[p.keyAt + i]) : 0);
        pending_.push_back(p);
    }

    void NoteAffected(size_t line, size_t characters)
    {
        affectedLines_++;
        affectedCharacters_ += characters;
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
            Pending p;
            p.keyAt = arena_.size();
            size_t replaced = Utf8ToCp932BestFit(key, arena_);
            p.dataAt = arena_.size();
            replaced += Utf8ToCp932BestFit(data, arena_);
            Push(p);
            NoteAffected(line, replaced);
            return true;
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
    std::string arena_;
    std::vector<Pending> pending_;
    std::string failure_;
    uint64_t entries_ = 0, empties_ = 0, affectedLines_ = 0, affectedCharacters_ = 0;
    std::vector<size_t> firstAffected_;
};

// Settles the encoding of a list and takes off a UTF-8 byte-order mark.
bool SettleEncoding(const ImportOptions& options, std::string_view& text, TextEncoding& encoding,
                    std::string& failure)
{
    const std::string& name = options.List;
    auto faultText = [&](const TextFault& f, const char* what) {
        return name + ":" + std::to_string(f.Line) + ": not valid " + what + " (byte " +
               Hex(static_cast<unsigned char>(text[f.Offset])) + " at offset " +
               std::to_string(f.Offset) + ")";
    };
    if (options.Encoding) {
        encoding = *options.Encoding;
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
    return false;
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

// The format given, else the extension's, else a flash-card export's if the
// list starts with its header lines.
bool ChooseListFormat(const ImportOptions& options, std::string_view text, ListFormat& format,
                      std::string& failure)
{
    std::optional<ListFormat> chosen = options.Format ? options.Format : FormatOfName(options.List);
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
    return format == ListFormat::Tsv ? "TSV" : format == ListFormat::Csv ? "CSV" : "flash-card text";
}

struct Gathered {
    CEntryTable table;
    uint64_t entries = 0, duplicates = 0, empties = 0;
    uint64_t affectedLines = 0, affectedCharacters = 0;
    std::vector<size_t> firstAffected;
    SourceNames names;
};

void TakeResults(EntryGatherer& gatherer, Gathered& g)
{
    g.duplicates = gatherer.MoveInto(g.table);
    g.entries = gatherer.Entries();
    g.empties = gatherer.Empties();
    g.affectedLines = gatherer.AffectedLines();
    g.affectedCharacters = gatherer.AffectedCharacters();
    g.firstAffected = gatherer.FirstAffected();
}

bool GatherList(const ImportOptions& options, CommandIo& io, Gathered& g, std::string& failure)
{
    std::string bytes, why;
    FileOutcome outcome = ReadWholeFile(options.List, bytes, why);
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(options.List, outcome, why);
        return false;
    }
    std::string_view text = bytes;
    ListFormat format;
    EntryGatherer::Settings settings;
    if (!SettleEncoding(options, text, settings.encoding, failure) ||
        !NoZeroByte(options.List, text, failure) ||
        !ChooseListFormat(options, text, format, failure))
        return false;
    bool guessedShiftJis = settings.encoding == TextEncoding::ShiftJis && !options.Encoding;
    if (guessedShiftJis && !NoKatakanaInsideWords(options.List, text, io, failure))
        return false;
    settings.policy = options.WhenUnencodable;
    settings.fieldsSpanLines = format == ListFormat::Csv;
    g.names.placeOf = [&](size_t line) { return options.List + ":" + std::to_string(line); };

    EntryGatherer gatherer(settings, g.names, io, text.size());
    ListFormat readAs = format;
    ListReadResult read = ReadList(
        format, text, settings.encoding,
        [&](size_t line, std::string_view k, std::string_view d) { return gatherer.Add(line, k, d); },
        &readAs);
    if (!read.Ok) {
        failure = options.List + ":" + std::to_string(read.Line) + ": " + read.Message;
        return false;
    }
    if (!gatherer.Failure().empty()) {
        failure = gatherer.Failure();
        return false;
    }
    g.names.kind = std::string(EncodingName(settings.encoding)) + " " + FormatName(readAs);
    TakeResults(gatherer, g);
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

    EntryGatherer gatherer(settings, g.names, io, 0);
    DictionaryReadResult read = ReadDictionary(
        format, options.List,
        [&](size_t n, std::string_view headword, std::string_view text) {
            return gatherer.Add(n, headword, text);
        });
    if (!read.Ok || !gatherer.Failure().empty()) {
        failure = read.Ok ? gatherer.Failure() : read.Message;
        return false;
    }
    TakeResults(gatherer, g);
    return true;
}

// A source that gives no entry at all is a mistake (a wrong separator, say);
// writing an empty table over the old one would lose it.
bool SomethingToWrite(const ImportOptions& options, const Gathered& g, std::string& failure)
{
    if (g.table.Size() > 0 || g.entries == 0)
        return true;
    failure = options.List + ": none of its " + Count(g.entries, g.names.unit, g.names.units) +
              " gave an entry (" +
              (g.empties ? Count(g.empties, "had", "had") + " an empty Key or Data" : "") +
              (g.empties && g.affectedLines ? ", " : "") +
              (g.affectedLines ? Count(g.affectedLines, "was", "were") +
                                     " left out for characters without a code"
                               : "") +
              "); nothing was written";
    return false;
}

// Merging: the new entries go into the existing table, whose Keys keep their
// Data, just as the program's Open (add) does.
bool MergeIntoExisting(const ImportOptions& options, CEntryTable& listed, CommandIo& io,
                       CEntryTable& existing, uint64_t& keptExisting, std::string& failure)
{
    if (!LoadTable(options.Table, existing, io, true, failure))
        return false;
    listed.ForEachEntry([&](const Entry& e) {
        if (!existing.InsertEntry(e.Key, e.Data))
            keptExisting++;
    });
    return true;
}

std::string PlaceList(const std::vector<size_t>& places, uint64_t all)
{
    std::string s;
    for (size_t n : places)
        s += (s.empty() ? "" : ", ") + std::to_string(n);
    return all > places.size() ? s + ", ..." : s;
}

void ReportImport(const ImportOptions& options, const Gathered& g, const CEntryTable& result,
                  bool merged, uint64_t keptExisting, CommandIo& io)
{
    io.Out += options.Table + ": " + Count(result.Size(), "entry", "entries") + " (" +
              g.names.kind + ", " + Count(g.entries, g.names.unit, g.names.units) + " read" +
              (merged ? ", merged into the existing table" : "") + ")\n";
    if (g.duplicates && g.names.joinsDuplicates)
        io.Out += "  " + Count(g.duplicates, g.names.unit, g.names.units) +
                  " joined to the entry of an earlier one that gave the same Key\n";
    else if (g.duplicates)
        io.Out += "  " + Count(g.duplicates, g.names.unit, g.names.units) +
                  " dropped: Key listed before (the first Data is kept)\n";
    if (g.empties)
        io.Out += "  " + Count(g.empties, g.names.unit, g.names.units) +
                  " skipped: empty Key or Data\n";
    if (g.affectedLines) {
        std::string characters = Count(g.affectedCharacters, "character", "characters");
        io.Out += "  " + Count(g.affectedLines, g.names.unit, g.names.units) +
                  (options.WhenUnencodable == Unencodable::Replace
                       ? " with characters that code page 932 lacks: " + characters +
                             " written as a look-alike or ?"
                       : " left out: " + characters + " that code page 932 lacks") +
                  " (first at " + g.names.places + " " +
                  PlaceList(g.firstAffected, g.affectedLines) + ")\n";
    }
    if (keptExisting)
        io.Out += "  " + Count(keptExisting, "entry", "entries") +
                  " not added: Key already in the table (its Data is kept)\n";
}

} // namespace

int RunImport(const ImportOptions& options, CommandIo& io)
{
    if (SameFile(options.List, options.Table))
        return Fail(io, options.Table + ": that is the list itself; write the table elsewhere");
    Gathered g;
    std::string failure;
    std::optional<DictionaryFormat> dictionary = DictionaryFormatOfName(options.List);
    bool gathered = dictionary && !options.Format
                        ? GatherDictionary(options, *dictionary, io, g, failure)
                        : GatherList(options, io, g, failure);
    if (!gathered || !SomethingToWrite(options, g, failure))
        return Fail(io, failure);

    bool merged = options.Merge && FileExists(options.Table);
    uint64_t keptExisting = 0;
    CEntryTable existing;
    if (merged && !MergeIntoExisting(options, g.table, io, existing, keptExisting, failure))
        return Fail(io, failure);
    const CEntryTable& result = merged ? existing : g.table;
    if (!SaveTable(options.Table, result, failure))
        return Fail(io, failure);
    ReportImport(options, g, result, merged, keptExisting, io);
    return ExitOk;
}
