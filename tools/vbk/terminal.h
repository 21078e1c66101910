// The terminal vbk talks to, as Linux and Windows have it.
#pragma once

#include "encodings/text_encoding.h"

// Standard output and error carry bytes unchanged (no CRLF translation).
void UseBinaryStandardStreams();
// The encoding of command-line words and of text shown on the terminal:
// UTF-8 on Linux, the ANSI code page (932) on Windows.
TextEncoding TerminalEncoding();
