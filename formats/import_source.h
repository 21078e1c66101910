// A word list, a flash-card export or a dictionary read whole: its entries
// converted to code page 932 and put in Key order, with what the reading met
// on the way. vbk import writes them as a table; the program's Open dialogs
// bring them into the table it shows. Which reader reads a file is settled
// here, for both.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "encodings/text_encoding.h"
#include "formats/entry_gatherer.h"
#include "formats/list_reader.h"

struct SourceOptions {
    std::string Path; // a word list, or a dictionary's .index or .ifo
    std::optional<ListFormat> Format;     // else from the extension, the content
    std::optional<TextEncoding> Encoding; // else detected
    Unencodable WhenUnencodable = Unencodable::Error;
    bool KeepCase = false; // a dictionary's headwords as its index has them
    // The encoding of the messages, for text of the source quoted in them.
    TextEncoding ShownIn = TextEncoding::Utf8;
    // Told how far the reading has come; false cancels it (optional).
    EntryGatherer::Progress Progress;
};

// Why a source could not be read, for a program that words the reason
// itself rather than show the English message. ReadSource sets one on every
// failure.
enum class SourceFailure {
    None,
    Cancelled,
    Unreadable,    // missing, no access, a read failed part-way
    NotText,       // bytes that no encoding it knows reads
    UnknownFormat, // no reader knows the file: the message says so and names what is read
    Malformed,     // a list or dictionary with a fault in it
    NoEntries,     // nothing in it gave an entry
};

struct ImportedSource {
    SourceFailure failure = SourceFailure::None; // when ReadSource returns false
    SourceNames names;
    std::unique_ptr<EntryGatherer> entries; // in Key order
    std::vector<std::string> notes;         // further lines for a report
    // A dictionary's bytes that were not UTF-8, read as Windows-1252.
    uint64_t windows1252Bytes = 0;
};

// Reads the source named by options.Path. A source that gives no entry at
// all is a failure too: an empty table in place of the old one would lose it.
bool ReadSource(const SourceOptions& options, ImportedSource& source, std::string& failure);

// The format a file name's extension stands for: .tsv, .tab and .txt are TSV,
// .csv is CSV, .dsl and .dsl.dz DSL (any case).
std::optional<ListFormat> FormatOfName(const std::string& name);
