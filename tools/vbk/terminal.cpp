#include "tools/vbk/terminal.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

void UseBinaryStandardStreams()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
}

TextEncoding TerminalEncoding()
{
#ifdef _WIN32
    // Words arrive through the ANSI command line; a system whose code page
    // is not 932 still gets Shift-JIS bytes, the only other choice vbk has.
    return GetACP() == CP_UTF8 ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
#else
    return TextEncoding::Utf8;
#endif
}
