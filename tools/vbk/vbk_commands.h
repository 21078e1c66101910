// The four commands of vbk. Each fills the texts for standard output and
// standard error and returns the exit status; the files it reads and writes
// are the only other effects.
#pragma once

#include <optional>
#include <string>

#include "encodings/text_encoding.h"
#include "formats/import_source.h"
#include "formats/list_reader.h"

enum ExitStatus {
    ExitOk = 0,
    ExitFailed = 1, // bad input, a damaged table, a file that cannot be written
    ExitUsage = 2,
};

struct CommandIo {
    std::string Out;
    std::string Err;
    // How the terminal takes text: the WORD of get arrives in it and the
    // lookup result and messages are written in it.
    TextEncoding Terminal = TextEncoding::Utf8;
};

struct ImportOptions {
    std::string List; // a word list, or a dictionary's .index or .ifo
    std::string Table;
    std::optional<ListFormat> Format;     // else from the extension or header lines
    std::optional<TextEncoding> Encoding; // else detected
    Unencodable WhenUnencodable = Unencodable::Error;
    bool Merge = false;
    bool KeepCase = false; // a dictionary's headwords as its index has them
};

struct ExportOptions {
    std::string Table;
    std::string List; // empty: standard output
    std::optional<ListFormat> Format; // else from the extension; flash cards only when asked
    TextEncoding Encoding = TextEncoding::Utf8; // flash cards are always UTF-8
    bool Bom = false;
};

struct CheckOptions {
    std::string Table;
    bool Repair = false;
    std::string Output;
};

struct GetOptions {
    std::string Table;
    std::string Word; // in the terminal's encoding
};

int RunImport(const ImportOptions& options, CommandIo& io);
int RunExport(const ExportOptions& options, CommandIo& io);
int RunCheck(const CheckOptions& options, CommandIo& io);
int RunGet(const GetOptions& options, CommandIo& io);
