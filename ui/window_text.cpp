#include "ui/window_text.h"

#include <cstring>

std::string ReadWindowText(HWND window)
{
    std::string text;
    if (!window)
        return text;
    size_t size = size_t(GetWindowTextLengthA(window)) * 2 + 16;
    for (;;) {
        text.assign(size, '\0');
        int got = GetWindowTextA(window, text.data(), int(size));
        if (got >= 0 && size_t(got) + 2 < size) {
            text.resize(strlen(text.c_str()));
            return text;
        }
        size *= 2;
    }
}
