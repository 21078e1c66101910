#include "tools/vbk/vbk_commands.h"

#include <vector>

#include "core/entry_table.h"
#include "core/table_codec.h"
#include "core/word_lookup.h"
#include "formats/file_names.h"
#include "formats/html_text.h"
#include "formats/list_writer.h"
#include "formats/platform.h"
#include "tools/vbk/command_support.h"

namespace {

ListFormat ExportFormat(const ExportOptions& options)
{
    if (options.Format)
        return *options.Format;
    return !options.List.empty() && FormatOfName(options.List) == ListFormat::Csv ? ListFormat::Csv
                                                                                  : ListFormat::Tsv;
}

// A field in the list's encoding. Every code must come back as itself, or
// import of this list would not give back this table.
bool ExportField(const ExportOptions& options, const CommandIo& io, const Entry& e,
                 std::string_view field, std::string& converted, std::string& failure)
{
    converted.clear();
    if (options.Encoding == TextEncoding::ShiftJis) {
        if (auto fault = FindShiftJisFault(field)) {
            failure = options.Table + ": the entry " + QuotedKey(io, e.Key) +
                      " holds bytes that are not Shift-JIS text (byte " +
                      Hex(static_cast<unsigned char>(field[fault->Offset])) + ")";
            return false;
        }
        converted.assign(field);
        return true;
    }
    ConvertResult r = Cp932ToUtf8(field, converted, true);
    if (r.Ok)
        return true;
    failure = options.Table + ": the entry " + QuotedKey(io, e.Key) + " holds the code " +
              Hex(static_cast<unsigned char>(field[r.Offset])) +
              (r.Offset + 1 < field.size() ? " " + Hex(static_cast<unsigned char>(field[r.Offset + 1]))
                                           : std::string()) +
              (r.CodePoint ? ", which UTF-8 would bring back as another code; "
                           : ", which is not Shift-JIS text; ") +
              "export with --encoding sjis";
    return false;
}

// The whole list as it is to be written; false with a failure.
bool ListText(const ExportOptions& options, const CEntryTable& table, const CommandIo& io,
              std::string& out, uint64_t& empties, std::string& failure)
{
    ListFormat format = ExportFormat(options);
    if (options.Bom && options.Encoding == TextEncoding::Utf8)
        out += "\xEF\xBB\xBF";
    if (format == ListFormat::Flashcards)
        out += "#separator:tab\n#html:true\n";
    const size_t firstRecord = out.size();
    std::string key, data;
    table.ForEachEntry([&](const Entry& e) {
        if (!failure.empty())
            return;
        if (e.Key.empty() || e.Data.empty())
            empties++;
        if (!ExportField(options, io, e, e.Key, key, failure) ||
            !ExportField(options, io, e, e.Data, data, failure))
            return;
        if (format == ListFormat::Csv) {
            AppendCsvRecord(out, key, data);
        } else if (format == ListFormat::Flashcards) {
            out += TextToHtml(key) + '\t' + TextToHtml(data) + '\n';
        } else if (!AppendTsvRecord(out, key, data, options.Encoding)) {
            failure = options.Table + ": the Key " + QuotedKey(io, e.Key) +
                      " holds a tab or a line break, which TSV cannot carry; use --format csv";
        }
    });
    // A first Key such as "#deck:x" would read back as a header line of a
    // flash-card export; a blank line, which every reader skips, ends the
    // header lines before it.
    if (ReadFlashcardHeader(std::string_view(out).substr(firstRecord)).Present)
        out.insert(firstRecord, "\n");
    return failure.empty();
}

} // namespace

int RunExport(const ExportOptions& options, CommandIo& io)
{
    if (!options.List.empty() && SameFile(options.List, options.Table))
        return Fail(io, options.List + ": that is the table itself; write the list elsewhere");
    CEntryTable table;
    std::string failure, out;
    uint64_t empties = 0;
    if (!LoadTable(options.Table, table, io, true, failure) ||
        !ListText(options, table, io, out, empties, failure))
        return Fail(io, failure);

    if (options.List.empty()) {
        io.Out += out;
    } else {
        std::string why;
        FileOutcome outcome = PutFileInPlace(options.List, out, why);
        if (outcome != FileOutcome::Ok)
            return Fail(io, DescribeFileFailure(options.List, outcome, why));
        io.Err += "vbk: " + options.List + ": " + Count(table.Size(), "entry", "entries") + "\n";
    }
    if (empties)
        io.Err += "vbk: note: " + Count(empties, "entry has", "entries have") +
                  " an empty Key or Data, which import skips\n";
    return ExitOk;
}

namespace {

// What a walk over the records finds, as the reader would meet them.
struct CheckFindings {
    static const size_t ShownLimit = 10;
    std::vector<std::string> shown; // the first faults, with their offsets
    uint64_t faults = 0;
    uint64_t records = 0, duplicates = 0, cut = 0, unordered = 0;
    bool damaged = false;

    void Fault(std::string text)
    {
        if (faults++ < ShownLimit)
            shown.push_back(std::move(text));
    }
    bool Sound() const { return !damaged && duplicates == 0 && cut == 0; }
};

uint64_t Le32At(const std::string& bytes, uint64_t at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    return uint64_t(p[0]) | uint64_t(p[1]) << 8 | uint64_t(p[2]) << 16 | uint64_t(p[3]) << 24;
}

// What is wrong with the record that starts at offset and does not fit.
std::string DamageAt(const std::string& bytes, uint64_t offset)
{
    uint64_t left = bytes.size() - offset;
    if (left < 8)
        return "offset " + std::to_string(offset) + ": damage: " + Count(left, "byte", "bytes") +
               " left, too few for a record header; lost";
    return "offset " + std::to_string(offset) + ": damage: the record declares " +
           std::to_string(Le32At(bytes, offset)) + " + " + std::to_string(Le32At(bytes, offset + 4)) +
           " bytes but only " + std::to_string(left - 8) +
           " follow; it and everything after it are lost";
}

// The records as the reader meets them, walked the reader's own way.
CheckFindings FindFaults(const std::string& bytes, const CommandIo& io)
{
    CheckFindings f;
    CEntryTable seen;
    std::string previous;
    DecodeSummary walk = WalkRecords(
        reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), [&](const RecordSpan& r) {
            std::string_view key(bytes.data() + r.offset + 8, r.keyLength);
            std::string_view data(bytes.data() + r.offset + 8 + r.keyLength, r.dataLength);
            size_t keyZero = key.find('\0'), dataZero = data.find('\0');
            if (keyZero != std::string_view::npos || dataZero != std::string_view::npos) {
                f.cut++;
                f.Fault("offset " + std::to_string(r.offset) + ": a zero byte inside the " +
                        (keyZero != std::string_view::npos ? "Key" : "Data") +
                        "; the field is cut there when loaded");
                key = key.substr(0, keyZero);
                data = data.substr(0, dataZero);
            }
            if (!seen.InsertEntry(key, data)) {
                f.duplicates++;
                f.Fault("offset " + std::to_string(r.offset) + ": duplicate Key " +
                        QuotedKey(io, key) + "; the first record's Data is kept");
            } else if (f.records > 0 && std::string_view(previous) > key) {
                f.unordered++;
            }
            previous.assign(key);
            f.records++;
        });
    if (walk.Damaged) {
        f.damaged = true;
        f.Fault(DamageAt(bytes, walk.DamageOffset));
    }
    return f;
}

void ReportCheck(const std::string& name, uint64_t size, const CheckFindings& f,
                 const CEntryTable& loaded, std::string& report)
{
    report += name + ": " + Count(size, "byte", "bytes") + ", " +
              Count(f.records, "record", "records") + ", " +
              Count(loaded.Size(), "entry loads", "entries load") + "\n";
    for (const std::string& line : f.shown)
        report += "  " + line + "\n";
    if (f.faults > f.shown.size())
        report += "  ... and " + std::to_string(f.faults - f.shown.size()) + " more\n";
    if (f.duplicates)
        report += "  " + Count(f.duplicates, "duplicate Key", "duplicate Keys") + "\n";
    if (f.unordered)
        report += "  note: " + Count(f.unordered, "record is", "records are") +
                  " out of Key order (harmless: the table is sorted when loaded)\n";
    report += f.Sound() ? "sound\n" : "not sound\n";
}

} // namespace

int RunCheck(const CheckOptions& options, CommandIo& io)
{
    // The repaired table leaves out what did not load: over the damaged
    // original, that part would be gone for good.
    if (options.Repair && SameFile(options.Output, options.Table))
        return Fail(io, options.Output +
                            ": that is the damaged table itself; write the repaired one elsewhere");
    std::string bytes, why, failure;
    FileOutcome outcome = ReadWholeFile(options.Table, bytes, why);
    if (outcome != FileOutcome::Ok)
        return Fail(io, DescribeFileFailure(options.Table, outcome, why));

    CheckFindings findings = FindFaults(bytes, io);
    // The entries as the program loads them.
    CEntryTable loaded;
    DecodeTable(bytes, loaded);
    ReportCheck(options.Table, bytes.size(), findings, loaded, io.Out);
    if (!options.Repair)
        return findings.Sound() ? ExitOk : ExitFailed;

    std::string().swap(bytes);
    if (!SaveTable(options.Output, loaded, failure))
        return Fail(io, failure);
    io.Out += options.Output + ": " + Count(loaded.Size(), "entry", "entries") + " written\n";
    return ExitOk;
}

int RunGet(const GetOptions& options, CommandIo& io)
{
    std::string word;
    if (io.Terminal == TextEncoding::Utf8) {
        if (FindUtf8Fault(options.Word))
            return Fail(io, "the word is not valid UTF-8");
        // As the program receives a word from Windows: über as uber.
        Utf8ToCp932BestFit(options.Word, word);
    } else {
        word = options.Word;
    }

    CEntryTable table;
    std::string failure;
    if (!LoadTable(options.Table, table, io, false, failure))
        return Fail(io, failure);

    // What the program's lower pane shows, as a line of its own.
    WordShown shown = ShowWord(table, word);
    if (shown.hit)
        shown.result += '\n';
    io.Out += TableText(io, shown.result);
    return ExitOk;
}
