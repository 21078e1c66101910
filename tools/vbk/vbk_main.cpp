// vbk: word lists in and out of Vocabrik table files, from a terminal.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/vbk/platform.h"
#include "tools/vbk/vbk_commands.h"
#include "vocabrik_version.h"

namespace {

const char Usage[] =
    "usage: vbk import LIST -o TABLE.vbk [--format tsv|csv] [--encoding utf-8|sjis] [--merge]\n"
    "       vbk export TABLE.vbk [-o LIST] [--format tsv|csv] [--encoding utf-8|sjis] [--bom]\n"
    "       vbk check TABLE.vbk [--repair -o OUT.vbk]\n"
    "       vbk get TABLE.vbk WORD [--encoding utf-8|sjis]\n"
    "       vbk --help\n"
    "       vbk --version\n"
    "\n"
    "import   reads a word list (TSV: Key, a tab, Data, with \\n \\t \\r \\\\ escapes in\n"
    "         the Data; CSV: two fields, RFC 4180 quoting) in UTF-8 or Shift-JIS and\n"
    "         writes a table. The format comes from the extension (.tsv .tab .txt or\n"
    "         .csv) unless --format says it; the encoding is detected unless\n"
    "         --encoding says it. The first Data of a Key wins; lines with an empty\n"
    "         Key or Data are skipped. --merge adds to an existing TABLE, whose Keys\n"
    "         keep their Data.\n"
    "export   writes the table in Key order as TSV (or CSV, by --format or an .csv\n"
    "         name), UTF-8 unless --encoding sjis, to LIST or standard output.\n"
    "         --bom starts UTF-8 output with a byte-order mark.\n"
    "check    reads the table as Vocabrik does and reports its entries, duplicate\n"
    "         Keys and damage with byte offsets; exit status 0 only for a sound\n"
    "         file. --repair writes the entries that load to OUT.\n"
    "get      prints what Vocabrik shows for WORD: its Data, or the candidate.\n"
    "         The word and the output are in the terminal's encoding (UTF-8 on\n"
    "         Linux, the ANSI code page on Windows) unless --encoding says it.\n"
    "\n"
    "Files are written to a temporary file first and then put in place, so a\n"
    "failure leaves nothing half-written. Exit status: 0 success, 1 failure,\n"
    "2 wrong usage.\n";

struct Arguments {
    std::vector<std::string> positional;
    std::string output;
    bool hasOutput = false;
    std::string format, encoding;
    bool merge = false, repair = false, bom = false, help = false;
};

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
        std::string value;
        bool hasValue = false;
        size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasValue = true;
        }
        auto takeValue = [&](std::string& into) -> std::string {
            if (!hasValue) {
                if (i + 1 >= argc)
                    return arg + " needs a value";
                value = argv[++i];
            }
            into = value;
            return std::string();
        };
        std::string problem;
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-o" || arg == "--output") {
            problem = takeValue(a.output);
            a.hasOutput = true;
        } else if (arg == "--format") {
            problem = takeValue(a.format);
        } else if (arg == "--encoding") {
            problem = takeValue(a.encoding);
        } else if (arg == "--merge" || arg == "--repair" || arg == "--bom" || arg == "--help" ||
                   arg == "-h") {
            if (hasValue)
                return arg + " takes no value";
            (arg == "--merge"    ? a.merge
             : arg == "--repair" ? a.repair
             : arg == "--bom"    ? a.bom
                                 : a.help) = true;
        } else {
            return "unknown option " + arg;
        }
        if (!problem.empty())
            return problem;
    }
    return std::string();
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

    std::optional<ListFormat> format;
    if (!a.format.empty()) {
        if (a.format == "tsv" || a.format == "TSV")
            format = ListFormat::Tsv;
        else if (a.format == "csv" || a.format == "CSV")
            format = ListFormat::Csv;
        else
            return UsageError(io, "--format is tsv or csv, not " + a.format);
    }
    std::optional<TextEncoding> encoding;
    if (!a.encoding.empty()) {
        encoding = ParseEncodingName(a.encoding);
        if (!encoding)
            return UsageError(io, "--encoding is utf-8 or sjis, not " + a.encoding);
    }
    auto refuse = [&](bool given, const char* option) {
        return given ? std::string(option) + " does not go with " + command : std::string();
    };
    auto firstProblem = [](std::initializer_list<std::string> problems) {
        for (const std::string& p : problems)
            if (!p.empty())
                return p;
        return std::string();
    };

    if (command == "import") {
        problem = firstProblem({a.positional.size() != 1 ? "import takes one LIST" : "",
                                !a.hasOutput || a.output.empty() ? "import needs -o TABLE.vbk" : "",
                                refuse(a.repair, "--repair"), refuse(a.bom, "--bom")});
        if (!problem.empty())
            return UsageError(io, problem);
        ImportOptions o;
        o.List = a.positional[0];
        o.Table = a.output;
        o.Format = format;
        o.Encoding = encoding;
        o.Merge = a.merge;
        return RunImport(o, io);
    }
    if (command == "export") {
        problem = firstProblem({a.positional.size() != 1 ? "export takes one TABLE" : "",
                                a.hasOutput && a.output.empty() ? "-o needs a file name" : "",
                                refuse(a.merge, "--merge"), refuse(a.repair, "--repair")});
        if (!problem.empty())
            return UsageError(io, problem);
        ExportOptions o;
        o.Table = a.positional[0];
        o.List = a.output;
        o.Format = format;
        o.Encoding = encoding.value_or(TextEncoding::Utf8);
        o.Bom = a.bom;
        return RunExport(o, io);
    }
    if (command == "check") {
        problem = firstProblem({a.positional.size() != 1 ? "check takes one TABLE" : "",
                                a.repair && (!a.hasOutput || a.output.empty())
                                    ? "--repair needs -o OUT.vbk"
                                    : "",
                                !a.repair && a.hasOutput ? "-o goes with --repair" : "",
                                refuse(!a.format.empty(), "--format"),
                                refuse(!a.encoding.empty(), "--encoding"),
                                refuse(a.merge, "--merge"), refuse(a.bom, "--bom")});
        if (!problem.empty())
            return UsageError(io, problem);
        CheckOptions o;
        o.Table = a.positional[0];
        o.Repair = a.repair;
        o.Output = a.output;
        return RunCheck(o, io);
    }
    if (command == "get") {
        problem = firstProblem({a.positional.size() != 2 ? "get takes TABLE and WORD" : "",
                                refuse(a.hasOutput, "-o"), refuse(!a.format.empty(), "--format"),
                                refuse(a.merge, "--merge"), refuse(a.repair, "--repair"),
                                refuse(a.bom, "--bom")});
        if (!problem.empty())
            return UsageError(io, problem);
        if (encoding)
            io.Terminal = *encoding;
        GetOptions o;
        o.Table = a.positional[0];
        o.Word = a.positional[1];
        return RunGet(o, io);
    }
    return UsageError(io, "unknown command " + command);
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
