// What differs between Linux and Windows: reading a file whole; putting a
// file in place the way the program saves (a temporary file in the same
// folder first, then a replacement of the target, so that the target is
// either the old file or the complete new one); and the terminal.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "tools/vbk/text_encoding.h"

enum class FileOutcome {
    Ok,
    Missing,
    Unreadable,
    Unwritable,
    NotRegular,    // a folder, a FIFO or a device: never read or written as a file
    InPlaceFailed, // a hard-linked target could not be rewritten; see the error
    Abandoned,     // the bytes to write could not all be made; nothing was written
};

// Only a regular file is read, and nothing of anything else: a FIFO is not
// waited on. On failure, error says why in the system's words.
FileOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);
// The same into a block of memory of its own, which the caller may change.
FileOutcome ReadWholeFile(const std::string& path, std::unique_ptr<char[]>& bytes, size_t& size,
                          std::string& error);

// Makes a file's bytes and hands them in order, a block at a time, to put,
// which says false when the block could not be written. Returns false when
// the file is to be given up: put refused a block, or the bytes could not
// all be made. A large file is thus written without being held whole.
using BlockPut = std::function<bool(std::string_view block)>;
using FileMaker = std::function<bool(const BlockPut& put)>;

// Puts bytes in place under path. What the user set up for the file is kept:
// a symbolic link is followed and the file it names is replaced; the
// replacement gets the old file's permissions and owner (Linux, where the
// process may set them) or its attributes and security (Windows); a file with
// further hard links is rewritten through its own name once the complete new
// bytes have been written beside it, so that every link sees them.
// When the maker gives the file up without a failed write, the outcome is
// Abandoned and error is left for the caller to fill.
FileOutcome PutFileInPlace(const std::string& path, const FileMaker& make, std::string& error);
FileOutcome PutFileInPlace(const std::string& path, std::string_view bytes, std::string& error);

// The message for a file that could not be read or written, naming it.
std::string DescribeFileFailure(const std::string& path, FileOutcome outcome,
                                const std::string& why);

// A regular file (or a link to one) is there.
bool FileExists(const std::string& path);

// Standard output and error carry bytes unchanged (no CRLF translation).
void UseBinaryStandardStreams();
// The encoding of command-line words and of text shown on the terminal:
// UTF-8 on Linux, the ANSI code page (932) on Windows.
TextEncoding TerminalEncoding();
