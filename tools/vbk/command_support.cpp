#include "tools/vbk/command_support.h"

#include <cstdio>
#include <filesystem>

#include "core/table_codec.h"
#include "tools/vbk/platform.h"

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

std::string TableText(const CommandIo& io, std::string_view cp932)
{
    return io.Terminal == TextEncoding::Utf8 ? Cp932ToUtf8Lossy(cp932) : std::string(cp932);
}

std::string Utf8Text(const CommandIo& io, std::string_view utf8)
{
    return io.Terminal == TextEncoding::Utf8 ? std::string(utf8) : Utf8ToCp932Lossy(utf8);
}

std::string QuotedKey(const CommandIo& io, std::string_view cp932)
{
    const size_t limit = 40;
    size_t cut = 0;
    while (cut < cp932.size() && cut < limit)
        cut += ShiftJisCharLength(cp932, cut);
    std::string shown = TableText(io, cp932.substr(0, cut));
    return "\"" + shown + (cp932.size() > cut ? "...\"" : "\"");
}

int Fail(CommandIo& io, const std::string& message)
{
    io.Err += "vbk: " + message + "\n";
    return ExitFailed;
}

bool LoadTable(const std::string& path, CEntryTable& table, CommandIo& io, bool refuseDamage,
               std::string& failure)
{
    std::string bytes, why;
    FileOutcome outcome = ReadWholeFile(path, bytes, why);
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(path, outcome, why);
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

bool SaveTable(const std::string& path, const CEntryTable& table, std::string& failure)
{
    // The table file's bytes, in a buffer sized once.
    std::string out;
    out.reserve(size_t(EncodedSize(table)));
    EncodeTable(table, [&](const char* p, size_t n) {
        out.append(p, n);
        return true;
    });
    std::string why;
    FileOutcome outcome = PutFileInPlace(path, out, why);
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(path, outcome, why);
        return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}
