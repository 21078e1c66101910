#include "tools/vbk/vbk_commands.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "table/entry_table.h"
#include "table/table_codec.h"
#include "tools/vbk/platform.h"
#include "tools/vbk/list_writer.h"

namespace {

// The candidate heading the program writes above a candidate: "＜候補単語＞"
// in code page 932, then a line feed.
const char CandidateHeading[] = "\x81\x83\x8C\xF3\x95\xE2\x92\x50\x8C\xEA\x81\x84\n";

std::string Count(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Hex(uint64_t v)
{
    char b[24];
    std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
    return b;
}

// Text from the table (code page 932) as the terminal shows it.
std::string TableText(const CommandIo& io, std::string_view cp932)
{
    return io.Terminal == TextEncoding::Utf8 ? Cp932ToUtf8Lossy(cp932) : std::string(cp932);
}

// Text from a UTF-8 list as the terminal shows it.
std::string Utf8Text(const CommandIo& io, std::string_view utf8)
{
    return io.Terminal == TextEncoding::Utf8 ? std::string(utf8) : Utf8ToCp932Lossy(utf8);
}

// A Key quoted for a message, cut short if long.
std::string QuotedKey(const CommandIo& io, std::string_view cp932)
{
    const size_t limit = 40;
    std::string shown = TableText(io, cp932.substr(0, limit));
    return "\"" + shown + (cp932.size() > limit ? "...\"" : "\"");
}

int Fail(CommandIo& io, const std::string& message)
{
    io.Err += "vbk: " + message + "\n";
    return ExitFailed;
}

std::string FileFailure(const std::string& path, FileOutcome outcome, const std::string& why)
{
    switch (outcome) {
    case FileOutcome::Missing:
        return path + ": no such file";
    case FileOutcome::Unreadable:
        return path + ": cannot read it: " + why;
    case FileOutcome::Unwritable:
        return path + ": cannot write it: " + why + " (nothing was written)";
    default:
        return path + ": " + why;
    }
}

// Reads a table file as the program does. Missing and unreadable files are
// failures; so is damage when refuseDamage is set.
// The table file's bytes, in a buffer sized once.
std::string TableBytes(const CEntryTable& table)
{
    std::string out;
    out.reserve(size_t(EncodedSize(table)));
    EncodeTable(table, [&](const char* p, size_t n) {
        out.append(p, n);
        return true;
    });
    return out;
}

bool LoadTable(const std::string& path, CEntryTable& table, CommandIo& io, bool refuseDamage,
               std::string& failure)
{
    std::string bytes, why;
    FileOutcome outcome = ReadWholeFile(path, bytes, why);
    if (outcome != FileOutcome::Ok) {
        failure = FileFailure(path, outcome, why);
        return false;
    }
    DecodeSummary summary = DecodeTable(bytes, table);
    if (summary.Damaged) {
        std::string text = path + ": damaged table: a record at offset " +
                           std::to_string(summary.DamageOffset) + " runs past the end of the file";
        if (refuseDamage) {
            failure = text + " (see vbk check --repair)";
            return false;
        }
        io.Err += "vbk: warning: " + text + "; the entries before it are used\n";
    }
    return true;
}

// Whether two names reach one file: writing one would destroy the other.
bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

std::string LowerExtension(const std::string& name)
{
    size_t dot = name.find_last_of('.');
    size_t slash = name.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string ext = name.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

// Settles the encoding of a list and takes off a UTF-8 byte-order mark.
bool SettleEncoding(const ImportOptions& options, std::string_view& text,
                    TextEncoding& encoding, std::string& failure)
{
    const std::string& name = options.List;
    auto faultText = [&](const TextFault& f, const char* what) {
        return name + ":" + std::to_string(f.Line) + ": not valid " + what + " (byte " +
               Hex(static_cast<unsigned char>(text[f.Offset])) + " at offset " +
               std::to_string(f.Offset) + ")";
    };
    if (options.Encoding) {
        encoding = *options.Encoding;
        if (encoding == TextEncoding::Utf8) {
            if (HasUtf8Bom(text))
                text.remove_prefix(3);
            if (auto fault = FindUtf8Fault(text)) {
                failure = faultText(*fault, "UTF-8");
                return false;
            }
        } else if (auto fault = FindShiftJisFault(text)) {
            failure = faultText(*fault, "Shift-JIS");
            return false;
        }
        return true;
    }
    switch (DetectEncoding(text)) {
    case DetectOutcome::Utf8WithBom:
        text.remove_prefix(3);
        if (auto fault = FindUtf8Fault(text)) {
            failure = faultText(*fault, "UTF-8");
            return false;
        }
        encoding = TextEncoding::Utf8;
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

} // namespace

std::optional<ListFormat> FormatOfName(const std::string& name)
{
    std::string ext = LowerExtension(name);
    if (ext == "csv")
        return ListFormat::Csv;
    if (ext == "tsv" || ext == "tab" || ext == "txt")
        return ListFormat::Tsv;
    return std::nullopt;
}

int RunImport(const ImportOptions& options, CommandIo& io)
{
    std::optional<ListFormat> format = options.Format ? options.Format : FormatOfName(options.List);
    if (!format)
        return Fail(io, options.List + ": cannot tell TSV from CSV by the name; use --format");

    if (SameFile(options.List, options.Table))
        return Fail(io, options.Table + ": that is the list itself; write the table elsewhere");
    std::string bytes, why;
    FileOutcome outcome = ReadWholeFile(options.List, bytes, why);
    if (outcome != FileOutcome::Ok)
        return Fail(io, FileFailure(options.List, outcome, why));

    std::string_view text = bytes;
    TextEncoding encoding;
    std::string failure;
    if (!SettleEncoding(options, text, encoding, failure))
        return Fail(io, failure);
    size_t zero = text.find('\0');
    if (zero != std::string_view::npos) {
        size_t line = 1 + size_t(std::count(text.begin(), text.begin() + zero, '\n'));
        return Fail(io, options.List + ":" + std::to_string(line) +
                            ": a zero byte, which no Key or Data can hold");
    }

    // The converted fields are gathered in one block and sorted once, then
    // go into the table in Key order, which is its fast path: inserting a
    // million random Keys into the tree one by one is several times slower.
    struct Pending {
        uint64_t prefix; // the first 8 bytes of the Key, big-endian: most comparisons end here
        size_t keyAt, keyLength, dataAt, dataLength;
    };
    std::string arena;
    arena.reserve(text.size());
    std::vector<Pending> pending;
    uint64_t entries = 0, duplicates = 0, empties = 0;
    std::string conversionFailure;
    // The line of a character inside a field: quoted CSV fields span lines.
    auto lineOf = [&](size_t line, std::string_view before) {
        return *format == ListFormat::Csv
                   ? line + size_t(std::count(before.begin(), before.end(), '\n'))
                   : line;
    };
    auto convert = [&](size_t line, std::string_view field, std::string_view before) {
        if (encoding == TextEncoding::ShiftJis) {
            arena.append(field);
            return true;
        }
        ConvertResult r = Utf8ToCp932(field, arena);
        if (r.Ok)
            return true;
        std::string shown;
        AppendUtf8(r.CodePoint, shown);
        conversionFailure = options.List + ":" +
                            std::to_string(lineOf(line, std::string(before) +
                                                            std::string(field.substr(0, r.Offset)))) +
                            ": the character " + CodePointName(r.CodePoint) + " (" +
                            Utf8Text(io, shown) + ") has no code in code page 932";
        return false;
    };
    ListReadResult read = ReadList(
        *format, text, encoding, [&](size_t line, std::string_view k, std::string_view d) {
            entries++;
            if (k.empty() || d.empty()) {
                empties++;
                return true;
            }
            Pending p;
            p.keyAt = arena.size();
            if (!convert(line, k, std::string_view()))
                return false;
            p.keyLength = arena.size() - p.keyAt;
            p.prefix = 0;
            for (size_t i = 0; i < 8; i++)
                p.prefix = p.prefix << 8 |
                           (i < p.keyLength ? static_cast<unsigned char>(arena[p.keyAt + i]) : 0);
            p.dataAt = arena.size();
            if (!convert(line, d, k))
                return false;
            p.dataLength = arena.size() - p.dataAt;
            pending.push_back(p);
            return true;
        });
    if (!read.Ok)
        return Fail(io, options.List + ":" + std::to_string(read.Line) + ": " + read.Message);
    if (!conversionFailure.empty())
        return Fail(io, conversionFailure);

    auto keyOf = [&](const Pending& p) { return std::string_view(arena).substr(p.keyAt, p.keyLength); };
    // Stable, so that of the lines with one Key the first comes first and wins.
    std::stable_sort(pending.begin(), pending.end(),
                     [&](const Pending& a, const Pending& b) {
                         if (a.prefix != b.prefix)
                             return a.prefix < b.prefix;
                         return keyOf(a) < keyOf(b);
                     });
    CEntryTable listed;
    for (const Pending& p : pending) {
        if (!listed.InsertEntry(keyOf(p), std::string_view(arena).substr(p.dataAt, p.dataLength)))
            duplicates++;
    }
    // What is left is in the table: give the memory back before the file
    // image is made.
    std::vector<Pending>().swap(pending);
    std::string().swap(arena);
    text = std::string_view();
    std::string().swap(bytes);

    // Merging: the list's entries go into the existing table, whose Keys keep
    // their Data, just as the program's Open (add) does.
    uint64_t keptExisting = 0;
    bool merged = options.Merge && FileExists(options.Table);
    CEntryTable existing;
    if (merged) {
        if (!LoadTable(options.Table, existing, io, true, failure))
            return Fail(io, failure);
        listed.ForEachEntry([&](const Entry& e) {
            if (!existing.InsertEntry(e.Key, e.Data))
                keptExisting++;
        });
    }
    const CEntryTable& result = merged ? existing : listed;

    std::string out = TableBytes(result);
    outcome = PutFileInPlace(options.Table, out, why);
    if (outcome != FileOutcome::Ok)
        return Fail(io, FileFailure(options.Table, outcome, why));

    io.Out += options.Table + ": " + Count(result.Size(), "entry", "entries") + " (" +
              EncodingName(encoding) + " " + (*format == ListFormat::Tsv ? "TSV" : "CSV") +
              ", " + Count(entries, "line", "lines") + " read" +
              (merged ? ", merged into the existing table" : "") + ")\n";
    if (duplicates)
        io.Out += "  " + Count(duplicates, "line", "lines") +
                  " dropped: Key listed before (the first Data is kept)\n";
    if (empties)
        io.Out += "  " + Count(empties, "line", "lines") + " skipped: empty Key or Data\n";
    if (keptExisting)
        io.Out += "  " + Count(keptExisting, "entry", "entries") +
                  " not added: Key already in the table (its Data is kept)\n";
    return ExitOk;
}

int RunExport(const ExportOptions& options, CommandIo& io)
{
    ListFormat format = options.Format                ? *options.Format
                        : options.List.empty()        ? ListFormat::Tsv
                        : FormatOfName(options.List) == ListFormat::Csv ? ListFormat::Csv
                                                                        : ListFormat::Tsv;
    if (!options.List.empty() && SameFile(options.List, options.Table))
        return Fail(io, options.List + ": that is the table itself; write the list elsewhere");
    CEntryTable table;
    std::string failure;
    if (!LoadTable(options.Table, table, io, true, failure))
        return Fail(io, failure);

    std::string out;
    if (options.Bom && options.Encoding == TextEncoding::Utf8)
        out += "\xEF\xBB\xBF";
    std::string key, data;
    uint64_t empties = 0;
    table.ForEachEntry([&](const Entry& e) {
        if (!failure.empty())
            return;
        if (e.Key.empty() || e.Data.empty())
            empties++;
        // Every code must come back as itself, or import of this list would
        // not give back this table.
        for (auto [field, converted] : {std::pair{e.Key, &key}, std::pair{e.Data, &data}}) {
            converted->clear();
            if (options.Encoding == TextEncoding::Utf8) {
                ConvertResult r = Cp932ToUtf8(field, *converted, true);
                if (!r.Ok) {
                    failure = options.Table + ": the entry " + QuotedKey(io, e.Key) +
                              " holds the code " + Hex(static_cast<unsigned char>(field[r.Offset])) +
                              (r.Offset + 1 < field.size()
                                   ? " " + Hex(static_cast<unsigned char>(field[r.Offset + 1]))
                                   : std::string()) +
                              (r.CodePoint ? ", which UTF-8 would bring back as another code; "
                                           : ", which is not Shift-JIS text; ") +
                              "export with --encoding sjis";
                    return;
                }
            } else {
                if (auto fault = FindShiftJisFault(field)) {
                    failure = options.Table + ": the entry " + QuotedKey(io, e.Key) +
                              " holds bytes that are not Shift-JIS text (byte " +
                              Hex(static_cast<unsigned char>(field[fault->Offset])) + ")";
                    return;
                }
                converted->assign(field);
            }
        }
        if (format == ListFormat::Csv) {
            AppendCsvRecord(out, key, data);
        } else if (!AppendTsvRecord(out, key, data, options.Encoding)) {
            failure = options.Table + ": the Key " + QuotedKey(io, e.Key) +
                      " holds a tab or a line break, which TSV cannot carry; use --format csv";
        }
    });
    if (!failure.empty())
        return Fail(io, failure);

    if (options.List.empty()) {
        io.Out += out;
    } else {
        std::string why;
        FileOutcome outcome = PutFileInPlace(options.List, out, why);
        if (outcome != FileOutcome::Ok)
            return Fail(io, FileFailure(options.List, outcome, why));
        io.Err += "vbk: " + options.List + ": " + Count(table.Size(), "entry", "entries") + "\n";
    }
    if (empties)
        io.Err += "vbk: note: " + Count(empties, "entry has", "entries have") +
                  " an empty Key or Data, which import skips\n";
    return ExitOk;
}

int RunCheck(const CheckOptions& options, CommandIo& io)
{
    std::string bytes, why;
    FileOutcome outcome = ReadWholeFile(options.Table, bytes, why);
    if (outcome != FileOutcome::Ok)
        return Fail(io, FileFailure(options.Table, outcome, why));

    // Walk the records as the reader does, noting each fault with its offset.
    const size_t shownLimit = 10;
    std::vector<std::string> faults;
    uint64_t faultCount = 0;
    auto fault = [&](std::string text) {
        if (faultCount++ < shownLimit)
            faults.push_back(std::move(text));
    };
    CEntryTable seen;
    uint64_t records = 0, duplicates = 0, cut = 0, unordered = 0;
    std::string previous;
    bool damaged = false;
    uint64_t offset = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    auto get32 = [&](uint64_t at) {
        return uint64_t(p[at]) | uint64_t(p[at + 1]) << 8 | uint64_t(p[at + 2]) << 16 |
               uint64_t(p[at + 3]) << 24;
    };
    while (offset < bytes.size()) {
        uint64_t left = bytes.size() - offset;
        if (left < 8) {
            damaged = true;
            fault("offset " + std::to_string(offset) + ": damage: " +
                  Count(left, "byte", "bytes") + " left, too few for a record header; lost");
            break;
        }
        uint64_t keyLength = get32(offset), dataLength = get32(offset + 4);
        if (keyLength + dataLength > left - 8) {
            damaged = true;
            fault("offset " + std::to_string(offset) + ": damage: the record declares " +
                  std::to_string(keyLength) + " + " + std::to_string(dataLength) +
                  " bytes but only " + std::to_string(left - 8) +
                  " follow; it and everything after it are lost");
            break;
        }
        std::string_view key(bytes.data() + offset + 8, keyLength);
        std::string_view data(bytes.data() + offset + 8 + keyLength, dataLength);
        size_t keyZero = key.find('\0'), dataZero = data.find('\0');
        if (keyZero != std::string_view::npos || dataZero != std::string_view::npos) {
            cut++;
            fault("offset " + std::to_string(offset) + ": a zero byte inside the " +
                  (keyZero != std::string_view::npos ? "Key" : "Data") +
                  "; the field is cut there when loaded");
            key = key.substr(0, keyZero);
            data = data.substr(0, dataZero);
        }
        if (!seen.InsertEntry(key, data)) {
            duplicates++;
            fault("offset " + std::to_string(offset) + ": duplicate Key " + QuotedKey(io, key) +
                  "; the first record's Data is kept");
        } else if (records > 0 && std::string_view(previous) > key) {
            unordered++;
        }
        previous.assign(key);
        records++;
        offset += 8 + keyLength + dataLength;
    }

    // The entries as the program loads them.
    CEntryTable loaded;
    DecodeTable(bytes, loaded);
    bool sound = !damaged && duplicates == 0 && cut == 0;

    std::string& report = io.Out;
    report += options.Table + ": " + Count(bytes.size(), "byte", "bytes") + ", " +
              Count(records, "record", "records") + ", " +
              Count(loaded.Size(), "entry loads", "entries load") + "\n";
    for (const std::string& f : faults)
        report += "  " + f + "\n";
    if (faultCount > faults.size())
        report += "  ... and " + std::to_string(faultCount - faults.size()) + " more\n";
    if (duplicates)
        report += "  " + Count(duplicates, "duplicate Key", "duplicate Keys") + "\n";
    if (unordered)
        report += "  note: " + Count(unordered, "record is", "records are") +
                  " out of Key order (harmless: the table is sorted when loaded)\n";
    report += sound ? "sound\n" : "not sound\n";

    if (options.Repair) {
        std::string out = TableBytes(loaded);
        outcome = PutFileInPlace(options.Output, out, why);
        if (outcome != FileOutcome::Ok)
            return Fail(io, FileFailure(options.Output, outcome, why));
        report += options.Output + ": " + Count(loaded.Size(), "entry", "entries") + " written\n";
        return ExitOk;
    }
    return sound ? ExitOk : ExitFailed;
}

int RunGet(const GetOptions& options, CommandIo& io)
{
    std::string word;
    if (io.Terminal == TextEncoding::Utf8) {
        if (FindUtf8Fault(options.Word))
            return Fail(io, "the word is not valid UTF-8");
        ConvertResult r = Utf8ToCp932(options.Word, word);
        if (!r.Ok) {
            std::string shown;
            AppendUtf8(r.CodePoint, shown);
            return Fail(io, "the character " + CodePointName(r.CodePoint) + " (" + shown +
                                ") of the word has no code in code page 932");
        }
    } else {
        word = options.Word;
    }

    CEntryTable table;
    std::string failure;
    if (!LoadTable(options.Table, table, io, false, failure))
        return Fail(io, failure);

    // What the lower pane shows: the Data of a hit, or the heading with the
    // candidate's Key and Data on lines of their own.
    std::string shown;
    if (auto hit = table.FindEntry(word)) {
        shown.assign(hit->Data);
        shown += '\n';
    } else {
        shown = CandidateHeading;
        if (auto next = table.FindCandidate(word)) {
            shown.append(next->Key);
            shown += '\n';
            shown.append(next->Data);
            shown += '\n';
        }
    }
    io.Out += TableText(io, shown);
    return ExitOk;
}
