// vbk's own code page 932 tables against the system's conversion: every
// character must get the code Windows gives it, apart from the variants that
// vbk maps on purpose and the few single bytes it does not take for text;
// and where it has none, the look-alike Windows writes, or '?'.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "encodings/text_encoding.h"

namespace {

std::string Hex(const std::string& bytes)
{
    std::string s;
    char b[4];
    for (unsigned char c : bytes) {
        snprintf(b, sizeof b, "%02X", c);
        s += b;
    }
    return s.empty() ? "(none)" : s;
}

TEST(Cp932System, EveryCharacterGetsTheSystemsCode)
{
    // What vbk does on purpose where the system has no code or another one.
    const std::map<unsigned, std::string> own = {
        {0x00A2, "\x81\x91"}, {0x00A3, "\x81\x92"}, {0x00AC, "\x81\xCA"}, {0x2014, "\x81\x5C"},
        {0x2016, "\x81\x61"}, {0x2212, "\x81\x7C"}, {0x301C, "\x81\x60"},
        // The system's round trip of the bytes 0x80, 0xA0 and 0xFD to 0xFF,
        // which vbk refuses as text.
        {0x0080, ""}, {0xF8F0, ""}, {0xF8F1, ""}, {0xF8F2, ""}, {0xF8F3, ""},
    };
    int differences = 0;
    for (unsigned cp = 1; cp < 0x10000; cp++) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        wchar_t w = wchar_t(cp);
        char buffer[8];
        BOOL defaulted = FALSE;
        int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &w, 1, buffer, sizeof buffer,
                                    nullptr, &defaulted);
        std::string system = n > 0 && !defaulted ? std::string(buffer, size_t(n)) : std::string();
        auto mine = own.find(cp);
        if (mine != own.end())
            system = mine->second;
        std::string utf8, ours;
        AppendUtf8(cp, utf8);
        if (!Utf8ToCp932(utf8, ours).Ok)
            ours.clear();
        if (ours != system && differences++ < 20)
            ADD_FAILURE() << CodePointName(cp) << ": system " << Hex(system) << ", vbk "
                          << Hex(ours);
        if (!system.empty() || mine != own.end())
            continue;
        n = WideCharToMultiByte(932, 0, &w, 1, buffer, sizeof buffer, "?", nullptr);
        std::string fit(buffer, size_t(n > 0 ? n : 0)), ourFit;
        Utf8ToCp932BestFit(utf8, ourFit);
        if (ourFit != fit && differences++ < 20)
            ADD_FAILURE() << CodePointName(cp) << ": system's best fit " << Hex(fit) << ", vbk "
                          << Hex(ourFit);
    }
    EXPECT_EQ(differences, 0);
}

} // namespace
