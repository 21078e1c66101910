#include "formats/import_source.h"

#include <algorithm>

#include "encodings/euc_jp.h"
#include "formats/dictionary_reader.h"
#include "formats/edict_reader.h"
#include "formats/file_names.h"
#include "formats/platform.h"

std::optional<ListFormat> FormatOfName(const std::string& name)
{
    std::string ext = LowerExtension(name);
    if (ext == "csv")
        return ListFormat::Csv;
    if (ext == "tsv" || ext == "tab" || ext == "txt")
        return ListFormat::Tsv;
    return std::nullopt;
}

namespace {

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
bool SettleEncoding(const SourceOptions& options, bool edict, std::string_view& text,
                    TextEncoding& encoding, std::string& failure)
{
    const std::string& name = options.Path;
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
bool NoKatakanaInsideWords(const std::string& name, std::string_view text, TextEncoding shownIn,
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
              QuotedKey(shownIn, text.substr(begin, end - begin)) +
              " reads as Latin letters with a half-width katakana among them: the list seems not "
              "to be Shift-JIS. Save it as UTF-8, or give --encoding sjis if it is Shift-JIS "
              "after all";
    return false;
}

// Whether a list is an EDICT file: asked for, or else, where neither a format
// nor the name's extension says what it is, known by the shape of its lines
// (the published files have no extension). A list that ends in .tsv or .csv
// reads as it always has.
bool IsEdict(const SourceOptions& options, std::string_view text)
{
    if (options.Format)
        return options.Format == ListFormat::Edict;
    return !FormatOfName(options.Path) && LooksLikeEdict(text);
}

// The format given, else EDICT's, else the extension's, else a flash-card
// export's if the list starts with its header lines.
bool ChooseListFormat(const SourceOptions& options, bool edict, std::string_view text,
                      ListFormat& format, std::string& failure)
{
    std::optional<ListFormat> chosen = options.Format ? options.Format : FormatOfName(options.Path);
    if (edict)
        chosen = ListFormat::Edict;
    if (!chosen && ReadFlashcardHeader(text).Present)
        chosen = ListFormat::Flashcards;
    if (!chosen) {
        failure = options.Path + ": cannot tell TSV from CSV by the name; use --format";
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

// Lines a text has, to make room for its entries once.
size_t CountLines(std::string_view text)
{
    size_t lines = size_t(std::count(text.begin(), text.end(), '\n'));
    if (lines == 0)
        lines = size_t(std::count(text.begin(), text.end(), '\r'));
    return lines + 1;
}

bool GatherList(const SourceOptions& options, ImportedSource& g, std::string& failure)
{
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    std::string why;
    FileOutcome outcome = ReadWholeFile(options.Path, bytes, size, why);
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(options.Path, outcome, why);
        g.failureKind = SourceFailure::Unreadable;
        return false;
    }
    std::string_view text(bytes.get(), size);
    ListFormat format;
    EntryGatherer::Settings settings;
    bool edict = IsEdict(options, text);
    TextEncoding listEncoding; // the list's own
    g.failureKind = SourceFailure::NotText;
    if (!SettleEncoding(options, edict, text, listEncoding, failure))
        return false;
    settings.encoding = listEncoding;
    if (listEncoding == TextEncoding::EucJp || (edict && listEncoding == TextEncoding::ShiftJis)) {
        if (!ConvertToUtf8(options.Path, listEncoding, bytes, text, failure))
            return false;
        settings.encoding = TextEncoding::Utf8;
    }
    if (!NoZeroByte(options.Path, text, failure))
        return false;
    g.failureKind = SourceFailure::UnknownFormat;
    if (!ChooseListFormat(options, edict, text, format, failure))
        return false;
    g.failureKind = SourceFailure::NotText;
    bool guessedShiftJis = settings.encoding == TextEncoding::ShiftJis && !options.Encoding;
    if (guessedShiftJis && !NoKatakanaInsideWords(options.Path, text, options.ShownIn, failure))
        return false;
    settings.policy = options.WhenUnencodable;
    settings.fieldsSpanLines = format == ListFormat::Csv;
    g.names.placeOf = [path = options.Path](size_t line) { return path + ":" + std::to_string(line); };
    if (edict) {
        // Every writing and reading is a Key: the entries of one are joined.
        settings.joinDuplicates = g.names.joinsDuplicates = true;
        g.names.unit = "headword";
        g.names.units = "headwords";
    }

    g.failureKind = SourceFailure::Malformed;
    g.entries = std::make_unique<EntryGatherer>(settings, g.names, options.ShownIn);
    EntryGatherer& gatherer = *g.entries;
    gatherer.WatchProgress(options.Progress, CountLines(text));
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
        failure = options.Path + ":" + std::to_string(read.Line) + ": " + read.Message;
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

bool GatherDictionary(const SourceOptions& options, DictionaryFormat format, ImportedSource& g,
                      std::string& failure)
{
    EntryGatherer::Settings settings;
    settings.policy = options.WhenUnencodable;
    settings.checkZeroBytes = true;
    settings.joinDuplicates = true;
    g.names.placeOf = [path = options.Path, format](size_t n) {
        return DictionaryPlace(format, path, n);
    };
    g.names.unit = "headword";
    g.names.units = "headwords";
    g.names.places = format == DictionaryFormat::Dictd ? "index lines" : "entries";
    g.names.kind = format == DictionaryFormat::Dictd ? "dictd dictionary" : "StarDict dictionary";
    g.names.joinsDuplicates = true;

    g.failureKind = SourceFailure::Malformed;
    g.entries = std::make_unique<EntryGatherer>(settings, g.names, options.ShownIn);
    EntryGatherer& gatherer = *g.entries;
    gatherer.WatchProgress(options.Progress, 0);
    DictionaryReading reading;
    reading.strayBytes = options.WhenUnencodable == Unencodable::Replace ? StrayBytes::AsWindows1252
                         : options.WhenUnencodable == Unencodable::Skip  ? StrayBytes::LeaveOut
                                                                         : StrayBytes::Refuse;
    reading.keepCase = options.KeepCase;
    reading.ipaAsXSampa = options.WhenUnencodable == Unencodable::Replace;
    reading.expect = [&](uint64_t entries, uint64_t bytes) { gatherer.Expect(entries, bytes); };
    DictionaryReadResult read = ReadDictionary(
        format, options.Path, reading,
        [&](size_t n, std::string_view headword, std::string_view text) {
            return gatherer.Add(n, headword, text);
        });
    if (!read.Ok || !gatherer.Failure().empty()) {
        failure = read.Ok ? gatherer.Failure() : read.Message;
        return false;
    }
    g.notes = std::move(read.Notes);
    g.windows1252Bytes = read.Windows1252Bytes;
    gatherer.Sort();
    return true;
}

// A source that gives no entry at all is a mistake (a wrong separator, an
// empty file, say); writing an empty table over the old one would lose it.
bool SomethingToWrite(const SourceOptions& options, ImportedSource& g, std::string& failure)
{
    const EntryGatherer& e = *g.entries;
    if (e.Distinct() > 0)
        return true;
    g.failureKind = SourceFailure::NoEntries;
    if (e.Entries() == 0) {
        failure = options.Path + ": there is no entry in it; nothing was written";
        return false;
    }
    failure = options.Path + ": none of its " + Count(e.Entries(), g.names.unit, g.names.units) +
              " gave an entry (" +
              (e.Empties() ? Count(e.Empties(), "had", "had") + " an empty Key or Data" : "") +
              (e.Empties() && e.AffectedLines() ? ", " : "") +
              (e.AffectedLines() ? Count(e.AffectedLines(), "was", "were") +
                                       " left out for characters without a code"
                                 : "") +
              "); nothing was written";
    return false;
}

} // namespace

bool ReadSource(const SourceOptions& options, ImportedSource& source, std::string& failure)
{
    std::optional<DictionaryFormat> dictionary = DictionaryFormatOfName(options.Path);
    bool read = dictionary && !options.Format
                    ? GatherDictionary(options, *dictionary, source, failure)
                    : GatherList(options, source, failure);
    if (!read && source.entries && source.entries->Cancelled())
        source.failureKind = SourceFailure::Cancelled;
    if (!read)
        return false;
    source.failureKind = SourceFailure::None;
    return SomethingToWrite(options, source, failure);
}
