// What differs between Linux and Windows: reading a file whole; putting a
// file in place the way the program saves (a temporary file in the same
// folder first, then a replacement of the target, so that the target is
// either the old file or the complete new one); and the terminal.
#pragma once

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
};

// Only a regular file is read, and nothing of anything else: a FIFO is not
// waited on. On failure, error says why in the system's words.
FileOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);

// Puts bytes in place under path. What the user set up for the file is kept:
// a symbolic link is followed and the file it names is replaced; the
// replacement gets the old file's permissions and owner (Linux, where the
// process may set them) or its attributes and security (Windows); a file with
// further hard links is rewritten through its own name once the complete new
// bytes have been written beside it, so that every link sees them.
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
