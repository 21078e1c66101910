// What differs between Linux and Windows: reading a file whole; putting a
// file in place the way the program saves (a temporary file in the same
// folder first, then a rename over the target, so that the target is either
// the old file or the complete new one); and the terminal.
#pragma once

#include <string>
#include <string_view>

#include "tools/vbk/text_encoding.h"

enum class FileOutcome { Ok, Missing, Unreadable, Unwritable };

// On failure, error says why in the system's words.
FileOutcome ReadWholeFile(const std::string& path, std::string& bytes, std::string& error);
FileOutcome PutFileInPlace(const std::string& path, std::string_view bytes, std::string& error);
bool FileExists(const std::string& path);

// Standard output and error carry bytes unchanged (no CRLF translation).
void UseBinaryStandardStreams();
// The encoding of command-line words and of text shown on the terminal:
// UTF-8 on Linux, the ANSI code page (932) on Windows.
TextEncoding TerminalEncoding();
