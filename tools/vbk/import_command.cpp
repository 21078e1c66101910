// vbk import: a word list, a flash-card export or a dictionary becomes a
// table, or is added to one.
#include "formats/dictionary_reader.h"
#include "formats/import_source.h"
#include "formats/platform.h"
#include "tools/vbk/command_support.h"

namespace {

// The gathered entries straight to the table file, in Key order.
bool WriteNewTable(const ImportOptions& options, const ImportedSource& g, std::string& failure)
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
bool MergeIntoExisting(const ImportOptions& options, const ImportedSource& g, CommandIo& io,
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

void ReportImport(const ImportOptions& options, const ImportedSource& g, uint64_t written, bool merged,
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
    SourceOptions source;
    source.Path = options.List;
    source.Format = options.Format;
    source.Encoding = options.Encoding;
    source.WhenUnencodable = options.WhenUnencodable;
    source.KeepCase = options.KeepCase;
    source.ShownIn = io.Terminal;
    ImportedSource g;
    std::string failure;
    if (!ReadSource(source, g, failure))
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
