// vbk: word lists in and out of Vocabrik table files, from a terminal.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/dictionary_reader.h"
#include "formats/dsl_reader.h"
#include "tools/vbk/command_support.h"
#include "tools/vbk/terminal.h"
#include "tools/vbk/vbk_commands.h"
#include "vocabrik_version.h"

namespace {

const char Usage[] =
    "usage: vbk import LIST -o TABLE.vbk\n"
    "                  [--format tsv|csv|flashcards|edict|dsl|eijiro|pdic|kanjidic]\n"
    "                  [--encoding utf-8|sjis|euc-jp|utf-16le|utf-16be]\n"
    "                  [--unencodable error|replace|skip] [--merge]\n"
    "       vbk import DICTIONARY.index|.ifo|.dsl -o TABLE.vbk [--unencodable ...]\n"
    "                  [--merge] [--keep-case]\n"
    "       vbk export TABLE.vbk [-o LIST] [--format tsv|csv|flashcards] [--encoding utf-8|sjis]\n"
    "                  [--bom]\n"
    "       vbk check TABLE.vbk [--repair -o OUT.vbk]\n"
    "       vbk get TABLE.vbk WORD [--encoding utf-8|sjis]\n"
    "       vbk --help\n"
    "       vbk --version\n"
    "\n"
    "import   reads a word list (TSV: Key, a tab, Data, with \\n \\t \\r \\\\ escapes in\n"
    "         the Data; CSV: two fields, RFC 4180 quoting) in UTF-8, Shift-JIS or\n"
    "         UTF-16 with a byte-order mark (or EUC-JP or UTF-16 without one, by\n"
    "         --encoding) and writes a table. The format comes from the extension\n"
    "         (.tsv .tab .txt or .csv) unless --format says it; the\n"
    "         encoding is detected unless --encoding says it. An EDICT or EDICT2\n"
    "         Japanese-English dictionary file (EUC-JP or UTF-8) is known by its\n"
    "         lines: every writing and reading becomes a Key, the entries of one\n"
    "         Key joined; KANJIDIC, EIJIRO and PDIC one-line text are known by\n"
    "         their lines too. A DSL dictionary (NAME.dsl or NAME.dsl.dz) gives\n"
    "         every spelling of its headwords. A flash-card export (header lines\n"
    "         such as #separator:tab at the top) is read by its header lines. A dictd\n"
    "         dictionary (NAME.index with NAME.dict or NAME.dict.dz) or a StarDict\n"
    "         one (NAME.ifo with NAME.idx and NAME.dict or NAME.dict.dz) gives its\n"
    "         headwords as Keys, with Latin letters in lower case unless\n"
    "         --keep-case, and their definitions as Data. The first Data of a\n"
    "         Key wins; lines with an empty Key or Data are skipped. A character\n"
    "         without a code in code page 932 is an error, or with --unencodable\n"
    "         replace is written as a look-alike (a for a with an accent) or ?, or\n"
    "         with --unencodable skip leaves its line out; in a dictionary, replace\n"
    "         also writes IPA in X-SAMPA and reads bytes that are not UTF-8 as\n"
    "         Windows-1252 (skip leaves such entries out). --merge adds to an\n"
    "         existing TABLE, whose Keys keep their Data.\n"
    "export   writes the table in Key order as TSV (or CSV, by --format or an .csv\n"
    "         name, or a flash-card export by --format flashcards), UTF-8 unless\n"
    "         --encoding sjis, to LIST or standard output. --bom starts UTF-8\n"
    "         output with a byte-order mark.\n"
    "check    reads the table as Vocabrik does and reports its entries, duplicate\n"
    "         Keys and damage with byte offsets; exit status 0 only for a sound\n"
    "         file. --repair writes the entries that load to OUT.\n"
    "get      prints what Vocabrik shows for WORD: its Data, or the candidate\n"
    "         (the Key that is WORD in lower case, else the next Key). The word\n"
    "         and the output are in the terminal's encoding (UTF-8 on Linux, the\n"
    "         ANSI code page on Windows) unless --encoding says it; a letter\n"
    "         code page 932 lacks is taken as its look-alike (u for u with an\n"
    "         umlaut).\n"
    "\n"
    "Only regular files are read and written. A file is written to a temporary\n"
    "file first and then put in place, keeping the old file's permissions (and\n"
    "owner where allowed) or attributes; a symbolic link is followed, and a file\n"
    "with several hard links is rewritten in place once the new bytes are\n"
    "complete. A failure leaves nothing half-written. Exit status: 0 success,\n"
    "1 failure, 2 wrong usage.\n";

struct Arguments {
    std::vector<std::string> positional;
    std::set<std::string> given; // the options that were given, by their long names
    std::string output, format, encoding, unencodable;
    bool merge = false, repair = false, bom = false, help = false, keepCase = false;

    bool Given(const char* name) const { return given.count(name) > 0; }
};

struct ValueOption {
    const char* name;
    const char* alias;
    std::string Arguments::*value;
};
const ValueOption ValueOptions[] = {
    {"--output", "-o", &Arguments::output},
    {"--format", nullptr, &Arguments::format},
    {"--encoding", nullptr, &Arguments::encoding},
    {"--unencodable", nullptr, &Arguments::unencodable},
};

struct FlagOption {
    const char* name;
    const char* alias;
    bool Arguments::*flag;
};
const FlagOption FlagOptions[] = {
    {"--merge", nullptr, &Arguments::merge},
    {"--keep-case", nullptr, &Arguments::keepCase},
    {"--repair", nullptr, &Arguments::repair},
    {"--bom", nullptr, &Arguments::bom},
    {"--help", "-h", &Arguments::help},
};

template <typename Option, size_t N>
const Option* FindOption(const Option (&options)[N], const std::string& arg)
{
    for (const Option& o : options)
        if (arg == o.name || (o.alias && arg == o.alias))
            return &o;
    return nullptr;
}

// Parses options anywhere after the command; "--" ends them. Returns an empty
// string or what is wrong.
std::string Parse(int argc, char** argv, Arguments& a)
{
    bool optionsEnded = false;
    for (int i = 2; i < argc; i++) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            a.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string value;
        bool hasValue = false;
        size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        if (const ValueOption* o = FindOption(ValueOptions, arg)) {
            if (!hasValue && i + 1 >= argc)
                return arg + " needs a value";
            a.*(o->value) = hasValue ? value : argv[++i];
            a.given.insert(o->name);
        } else if (const FlagOption* f = FindOption(FlagOptions, arg)) {
            if (hasValue)
                return arg + " takes no value";
            a.*(f->flag) = true;
            a.given.insert(f->name);
        } else {
            return "unknown option " + arg;
        }
    }
    return std::string();
}

// The option values in their own types.
struct Values {
    std::optional<ListFormat> format;
    std::optional<TextEncoding> encoding;
    Unencodable unencodable = Unencodable::Error;
};

std::string ParseValues(const Arguments& a, Values& v)
{
    if (!a.format.empty()) {
        std::string f = a.format;
        std::transform(f.begin(), f.end(), f.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        v.format = f == "tsv"          ? std::optional(ListFormat::Tsv)
                   : f == "csv"        ? std::optional(ListFormat::Csv)
                   : f == "flashcards" ? std::optional(ListFormat::Flashcards)
                   : f == "edict"      ? std::optional(ListFormat::Edict)
                   : f == "dsl"        ? std::optional(ListFormat::Dsl)
                   : f == "eijiro"     ? std::optional(ListFormat::Eijiro)
                   : f == "pdic"       ? std::optional(ListFormat::Pdic)
                   : f == "kanjidic"   ? std::optional(ListFormat::Kanjidic)
                                       : std::nullopt;
        if (!v.format)
            return "--format is tsv, csv, flashcards, edict, dsl, eijiro, pdic or kanjidic, not " +
                   a.format;
    }
    if (!a.encoding.empty()) {
        v.encoding = ParseEncodingName(a.encoding);
        if (!v.encoding)
            return "--encoding is utf-8, sjis, euc-jp, utf-16le or utf-16be, not " + a.encoding;
    }
    if (!a.unencodable.empty()) {
        if (a.unencodable == "error")
            v.unencodable = Unencodable::Error;
        else if (a.unencodable == "replace")
            v.unencodable = Unencodable::Replace;
        else if (a.unencodable == "skip")
            v.unencodable = Unencodable::Skip;
        else
            return "--unencodable is error, replace or skip, not " + a.unencodable;
    }
    return std::string();
}

// What each command takes; the options it does not take are refused.
struct CommandShape {
    const char* name;
    size_t positionals;
    const char* positionalProblem;
    std::vector<const char*> options;
};
const CommandShape Shapes[] = {
    {"import", 1, "import takes one LIST",
     {"--output", "--format", "--encoding", "--unencodable", "--merge", "--keep-case"}},
    {"export", 1, "export takes one TABLE", {"--output", "--format", "--encoding", "--bom"}},
    {"check", 1, "check takes one TABLE", {"--repair", "--output"}},
    {"get", 2, "get takes TABLE and WORD", {"--encoding"}},
};

std::string ShapeProblem(const CommandShape& shape, const Arguments& a)
{
    if (a.positional.size() != shape.positionals)
        return shape.positionalProblem;
    for (const std::string& option : a.given) {
        if (std::none_of(shape.options.begin(), shape.options.end(),
                         [&](const char* o) { return option == o; }))
            return (option == "--output" ? std::string("-o") : option) + " does not go with " +
                   shape.name;
    }
    return std::string();
}

// The rules of one command beyond its shape: an empty string or what is wrong.
std::string CommandProblem(const std::string& command, const Arguments& a, const Values& v)
{
    bool output = a.Given("--output");
    if (command == "import") {
        if (!output || a.output.empty())
            return "import needs -o TABLE.vbk";
        if (DictionaryFormatOfName(a.positional[0]) && !v.format && v.encoding)
            return "--encoding does not go with a dictionary (its text is UTF-8)";
        bool dsl = v.format ? v.format == ListFormat::Dsl : IsDslName(a.positional[0]);
        if (a.keepCase && !(DictionaryFormatOfName(a.positional[0]) && !v.format) && !dsl)
            return "--keep-case goes with a dictionary (NAME.index, NAME.ifo or NAME.dsl)";
    } else if (command == "export") {
        if (output && a.output.empty())
            return "-o needs a file name";
        if (v.format && v.format != ListFormat::Tsv && v.format != ListFormat::Csv &&
            v.format != ListFormat::Flashcards)
            return "export writes tsv, csv or flashcards; " + a.format + " is only read";
        if (v.encoding && v.encoding != TextEncoding::Utf8 && v.encoding != TextEncoding::ShiftJis)
            return std::string("export writes utf-8 or sjis; ") + EncodingName(*v.encoding) +
                   " is only read";
        if (v.format == ListFormat::Flashcards && v.encoding == TextEncoding::ShiftJis)
            return "--format flashcards writes UTF-8; --encoding sjis does not go with it";
    } else if (command == "get") {
        if (v.encoding && v.encoding != TextEncoding::Utf8 && v.encoding != TextEncoding::ShiftJis)
            return std::string("get speaks utf-8 or sjis, not ") + EncodingName(*v.encoding);
    } else if (command == "check") {
        if (a.repair && (!output || a.output.empty()))
            return "--repair needs -o OUT.vbk";
        if (!a.repair && output)
            return "-o goes with --repair";
    }
    return std::string();
}

int RunCommand(const std::string& command, const Arguments& a, const Values& v, CommandIo& io)
{
    if (command == "import") {
        ImportOptions o;
        o.List = a.positional[0];
        o.Table = a.output;
        o.Format = v.format;
        o.Encoding = v.encoding;
        o.WhenUnencodable = v.unencodable;
        o.Merge = a.merge;
        o.KeepCase = a.keepCase;
        return RunImport(o, io);
    }
    if (command == "export") {
        ExportOptions o;
        o.Table = a.positional[0];
        o.List = a.output;
        o.Format = v.format;
        o.Encoding = v.encoding.value_or(TextEncoding::Utf8);
        o.Bom = a.bom;
        return RunExport(o, io);
    }
    if (command == "check") {
        CheckOptions o;
        o.Table = a.positional[0];
        o.Repair = a.repair;
        o.Output = a.output;
        return RunCheck(o, io);
    }
    if (v.encoding)
        io.Terminal = *v.encoding;
    GetOptions o;
    o.Table = a.positional[0];
    o.Word = a.positional[1];
    return RunGet(o, io);
}

int UsageError(CommandIo& io, const std::string& problem)
{
    io.Err += "vbk: " + problem + "\n(vbk --help shows how to use it)\n";
    return ExitUsage;
}

int Run(int argc, char** argv, CommandIo& io)
{
    if (argc < 2)
        return UsageError(io, "which command: import, export, check or get?");
    std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        io.Out += Usage;
        return ExitOk;
    }
    if (command == "--version") {
        io.Out += "vbk (" VK_PRODUCT_NAME ") " VK_VERSION_TEXT "\n" VK_CREDIT_LINE "\n";
        return ExitOk;
    }
    Arguments a;
    std::string problem = Parse(argc, argv, a);
    if (!problem.empty())
        return UsageError(io, problem);
    if (a.help) {
        io.Out += Usage;
        return ExitOk;
    }
    const CommandShape* shape = std::find_if(std::begin(Shapes), std::end(Shapes),
                                             [&](const CommandShape& s) { return command == s.name; });
    if (shape == std::end(Shapes))
        return UsageError(io, "unknown command " + command);
    Values v;
    problem = ShapeProblem(*shape, a);
    if (problem.empty())
        problem = ParseValues(a, v);
    if (problem.empty())
        problem = CommandProblem(command, a, v);
    if (!problem.empty())
        return UsageError(io, problem);

    // Everything is held in memory: a file too large for it is a failure
    // like any other, named with the file.
    try {
        return RunCommand(command, a, v, io);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    return Fail(io, a.positional[0] + ": out of memory (vbk holds the whole file and its table "
                                      "in memory)");
}

} // namespace

int main(int argc, char** argv)
{
    UseBinaryStandardStreams();
    CommandIo io;
    io.Terminal = TerminalEncoding();
    int status = Run(argc, argv, io);
    std::fwrite(io.Out.data(), 1, io.Out.size(), stdout);
    std::fflush(stdout);
    std::fwrite(io.Err.data(), 1, io.Err.size(), stderr);
    std::fflush(stderr);
    // Output that did not reach its reader is a failure too.
    if (std::ferror(stdout) && status == ExitOk)
        status = ExitFailed;
    return status;
}
