#include "formats/import_source.h"

#include <algorithm>

#include "encodings/euc_jp.h"
#include "encodings/utf16.h"
#include "formats/dictionary_reader.h"
#include "formats/dsl_reader.h"
#include "formats/edict_reader.h"
#include "formats/eijiro_reader.h"
#include "formats/file_names.h"
#include "formats/gzip_data.h"
#include "formats/kanjidic_reader.h"
#include "formats/pdic_reader.h"
#include "formats/platform.h"

std::optional<ListFormat> FormatOfName(const std::string& name)
{
    std::string ext = LowerExtension(name);
    if (ext == "csv")
        return ListFormat::Csv;
    if (ext == "tsv" || ext == "tab" || ext == "txt")
        return ListFormat::Tsv;
    if (IsDslName(name))
        return ListFormat::Dsl;
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
           : format == ListFormat::Dsl        ? "DSL dictionary"
           : format == ListFormat::Eijiro     ? "EIJIRO"
           : format == ListFormat::Pdic       ? "PDIC text"
           : format == ListFormat::Kanjidic   ? "KANJIDIC"
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

// The one sentence for a file that no reader knows, rather than hints about
// encodings and separators that lead nowhere.
bool NotKnown(const std::string& path, ImportedSource& g, std::string& failure)
{
    g.failure = SourceFailure::UnknownFormat;
    failure = path +
              ": not a list or dictionary vbk knows (it reads TSV and CSV lists, flash-card "
              "text, EDICT, KANJIDIC, EIJIRO and PDIC text, DSL, dictd and StarDict "
              "dictionaries; --format names a list's format)";
    return false;
}

// Whether no reader can know the text: nothing names its format and neither
// its name nor its lines say which it is; or a ".txt" with text but without a
// single tab (no TSV line; an empty one just has no entry); or bytes that no
// encoding reads, binary ones among them.
bool NoReaderKnows(const SourceOptions& options, std::string_view text)
{
    if (options.Format)
        return false;
    std::optional<ListFormat> byName = FormatOfName(options.Path);
    bool header = ReadFlashcardHeader(text).Present;
    if (!byName)
        return !header && !LooksLikeEdict(text);
    if (options.Encoding || header)
        return false;
    if (LowerExtension(options.Path) == "txt" && text.find('\t') == std::string_view::npos &&
        text.find_first_not_of(" \r\n") != std::string_view::npos)
        return true;
    std::string_view start = text.substr(0, 4096);
    return start.find('\0') != std::string_view::npos &&
           DetectEncoding(text) == DetectOutcome::Neither;
}

// A DSL dictionary may come as dictzip (NAME.dsl.dz), and any list as UTF-16
// (with a byte-order mark, or --encoding; a DSL file also without either):
// the text is then put in the place of the file's bytes as the UTF-8 it
// stands for.
bool Unwrap(const SourceOptions& options, std::unique_ptr<char[]>& bytes, std::string_view& text,
            std::optional<TextEncoding>& wide, ImportedSource& g, std::string& failure)
{
    const std::string& name = options.Path;
    bool dsl = options.Format ? options.Format == ListFormat::Dsl : IsDslName(name);
    if (dsl && LowerExtension(name) == "dz") {
        std::string inflated, problem;
        if (!Gunzip(text, inflated, problem)) {
            g.failure = SourceFailure::Malformed;
            failure = name + ": not a dictzip or gzip file (" + problem + ")";
            return false;
        }
        bytes.reset(new char[inflated.size() + 1]);
        inflated.copy(bytes.get(), inflated.size());
        text = std::string_view(bytes.get(), inflated.size());
    }
    if (options.Encoding == TextEncoding::Utf16Le || options.Encoding == TextEncoding::Utf16Be)
        wide = options.Encoding;
    else if (!options.Encoding)
        wide = Utf16ByBom(text);
    if (!wide && !options.Encoding && dsl && !HasUtf8Bom(text))
        wide = Utf16ByZeroBytes(text);
    if (!wide)
        return true;
    size_t mark = Utf16ByBom(text) == wide ? 2 : 0;
    std::string_view units = text.substr(mark);
    std::unique_ptr<char[]> utf8(new char[Utf16Utf8Bound(units.size())]);
    size_t written = 0;
    ConvertResult r = Utf16ToUtf8(units, *wide == TextEncoding::Utf16Be, utf8.get(), written);
    if (!r.Ok) {
        TextFault f;
        f.Offset = mark + r.Offset;
        f.Line = 1 + CountLineBreaks(std::string_view(utf8.get(), written));
        failure = NotValid(name, text, f, EncodingName(*wide));
        return false;
    }
    bytes = std::move(utf8);
    text = std::string_view(bytes.get(), written);
    return true;
}

// The dictionaries of one text file each that come after EDICT: named by
// --format, by the name (DSL), else known by their first lines where the
// name says no more than ".txt" or nothing.
std::optional<ListFormat> DictionaryTextFormat(const SourceOptions& options, std::string_view text)
{
    auto isOne = [](ListFormat f) {
        return f == ListFormat::Dsl || f == ListFormat::Eijiro || f == ListFormat::Pdic ||
               f == ListFormat::Kanjidic;
    };
    if (options.Format)
        return isOne(*options.Format) ? options.Format : std::nullopt;
    std::optional<ListFormat> byName = FormatOfName(options.Path);
    if (byName == ListFormat::Dsl)
        return byName;
    if (byName && LowerExtension(options.Path) != "txt")
        return std::nullopt;
    if (HasUtf8Bom(text))
        text.remove_prefix(3);
    if (LooksLikeEijiro(text))
        return ListFormat::Eijiro;
    if (LooksLikePdic(text))
        return ListFormat::Pdic;
    if (LooksLikeKanjidic(text))
        return ListFormat::Kanjidic;
    return std::nullopt;
}

// Reads one of those dictionaries. EIJIRO and PDIC text are read in code
// page 932 as they are, the others as UTF-8; KANJIDIC is EUC-JP unless it
// reads as UTF-8. Every spelling is a Key, and the entries of one are joined.
bool GatherDictionaryText(const SourceOptions& options, ListFormat format,
                          std::optional<TextEncoding> wide, std::unique_ptr<char[]> bytes,
                          std::string_view text, ImportedSource& g, std::string& failure)
{
    TextEncoding encoding;
    g.failure = SourceFailure::NotText;
    if (!SettleEncoding(options, format == ListFormat::Kanjidic, text, encoding, failure))
        return false;
    EntryGatherer::Settings settings;
    settings.encoding = encoding;
    bool utf8Only = format == ListFormat::Dsl || format == ListFormat::Kanjidic;
    if (encoding == TextEncoding::EucJp || (utf8Only && encoding == TextEncoding::ShiftJis)) {
        if (!ConvertToUtf8(options.Path, encoding, bytes, text, failure))
            return false;
        settings.encoding = TextEncoding::Utf8;
    }
    if (!NoZeroByte(options.Path, text, failure))
        return false;
    settings.policy = options.WhenUnencodable;
    settings.joinDuplicates = g.names.joinsDuplicates = true;
    g.names.placeOf = [path = options.Path](size_t line) { return path + ":" + std::to_string(line); };
    g.names.unit = "headword";
    g.names.units = "headwords";
    g.failure = SourceFailure::Malformed;
    g.entries = std::make_unique<EntryGatherer>(settings, g.names, options.ShownIn);
    EntryGatherer& gatherer = *g.entries;
    gatherer.WatchProgress(options.Progress, CountLines(text));
    const char* unread = text.data();
    // An EIJIRO or PDIC entry takes no more bytes than its lines.
    if (format == ListFormat::Eijiro || format == ListFormat::Pdic)
        gatherer.WriteBehindReader(std::move(bytes), &unread, CountLines(text));
    else
        gatherer.WriteAside(CountLines(text), text.size());
    auto sink = [&](size_t line, std::string_view k, std::string_view d) {
        return gatherer.Add(line, k, d);
    };
    ListReadResult read = format == ListFormat::Dsl ? ReadDsl(text, options.KeepCase, sink)
                          : format == ListFormat::Eijiro
                              ? ReadEijiro(text, settings.encoding, sink, &unread)
                          : format == ListFormat::Pdic ? ReadPdic(text, sink, &unread)
                                                       : ReadKanjidic(text, sink);
    if (!read.Ok) {
        failure = options.Path + ":" + std::to_string(read.Line) + ": " + read.Message;
        return false;
    }
    if (!gatherer.Failure().empty()) {
        failure = gatherer.Failure();
        return false;
    }
    g.names.kind = std::string(EncodingName(wide ? *wide : encoding)) + " " + FormatName(format);
    gatherer.Sort();
    return true;
}

bool GatherList(const SourceOptions& given, ImportedSource& g, std::string& failure)
{
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    std::string why;
    FileOutcome outcome = ReadWholeFile(given.Path, bytes, size, why);
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(given.Path, outcome, why);
        g.failure = SourceFailure::Unreadable;
        return false;
    }
    std::string_view text(bytes.get(), size);
    if (IsDslAbbreviations(given.Path)) {
        g.failure = SourceFailure::UnknownFormat;
        failure = given.Path + ": the abbreviations of a DSL dictionary, not its entries; import "
                               "the dictionary's own .dsl or .dsl.dz";
        return false;
    }
    std::optional<TextEncoding> wide;
    g.failure = SourceFailure::NotText;
    if (!Unwrap(given, bytes, text, wide, g, failure))
        return false;
    SourceOptions options = given; // UTF-16 is UTF-8 from here on
    if (wide)
        options.Encoding = TextEncoding::Utf8;
    if (std::optional<ListFormat> format = DictionaryTextFormat(options, text))
        return GatherDictionaryText(options, *format, wide, std::move(bytes), text, g, failure);
    if (NoReaderKnows(options, text))
        return NotKnown(options.Path, g, failure);
    ListFormat format;
    EntryGatherer::Settings settings;
    bool edict = IsEdict(options, text);
    TextEncoding listEncoding; // the list's own
    g.failure = SourceFailure::NotText;
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
    g.failure = SourceFailure::UnknownFormat;
    if (!ChooseListFormat(options, edict, text, format, failure))
        return false;
    g.failure = SourceFailure::NotText;
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

    g.failure = SourceFailure::Malformed;
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
    g.names.kind =
        std::string(EncodingName(wide ? *wide : listEncoding)) + " " + FormatName(readAs);
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
    settings.headingLines = true;
    g.names.placeOf = [path = options.Path, format](size_t n) {
        return DictionaryPlace(format, path, n);
    };
    g.names.unit = "headword";
    g.names.units = "headwords";
    g.names.places = format == DictionaryFormat::Dictd ? "index lines" : "entries";
    g.names.kind = format == DictionaryFormat::Dictd ? "dictd dictionary" : "StarDict dictionary";
    g.names.joinsDuplicates = true;

    g.failure = SourceFailure::Malformed;
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
    g.failure = SourceFailure::NoEntries;
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
        source.failure = SourceFailure::Cancelled;
    else if (!read && source.failure == SourceFailure::None)
        source.failure = SourceFailure::Malformed;
    if (!read)
        return false;
    source.failure = SourceFailure::None;
    return SomethingToWrite(options, source, failure);
}
