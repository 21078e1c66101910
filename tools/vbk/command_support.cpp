#include "tools/vbk/command_support.h"

#include "core/table_codec.h"
#include "formats/platform.h"

std::string TableText(const CommandIo& io, std::string_view cp932)
{
    return TableText(io.Terminal, cp932);
}

std::string Utf8Text(const CommandIo& io, std::string_view utf8)
{
    return Utf8Text(io.Terminal, utf8);
}

std::string QuotedKey(const CommandIo& io, std::string_view cp932)
{
    return QuotedKey(io.Terminal, cp932);
}

int Fail(CommandIo& io, const std::string& message)
{
    io.Err += "vbk: " + message + "\n";
    return ExitFailed;
}

bool LoadTable(const std::string& path, CEntryTable& table, CommandIo& io, bool refuseDamage,
               std::string& failure)
{
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
    std::string why;
    FileOutcome outcome = ReadWholeFile(path, bytes, size, why);
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(path, outcome, why);
        return false;
    }
    // Indexed in place: a large table costs little more than its file.
    DecodeSummary summary = DecodeTableImage(std::move(bytes), size, table);
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

bool PutTableFile(const std::string& path, const std::function<bool(const RecordPut&)>& records,
                  std::string& failure)
{
    std::string why;
    FileOutcome outcome = PutFileInPlace(
        path,
        [&](const BlockPut& put) {
            auto sink = [&](const char* p, size_t n) { return put(std::string_view(p, n)); };
            RecordWriter<decltype(sink)> writer(sink);
            bool made = records([&](std::string_view key, std::string_view data) {
                return writer.Put(key, data);
            });
            return writer.Finish() && made;
        },
        why);
    if (outcome == FileOutcome::Abandoned)
        why = "a Key or Data is longer than a table file can hold";
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(path, outcome, why);
        return false;
    }
    return true;
}

bool SaveTable(const std::string& path, const CEntryTable& table, std::string& failure)
{
    return PutTableFile(
        path,
        [&](const RecordPut& put) {
            bool ok = true;
            table.ForEachEntry([&](const Entry& e) { ok = ok && put(e.Key, e.Data); });
            return ok;
        },
        failure);
}
