#include "encodings/x_sampa.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "encodings/text_encoding.h"

namespace {

struct Spelling {
    uint32_t Ipa;
    const char* XSampa;
};

// The X-SAMPA table, in code point order.
const Spelling Spellings[] = {
    {0x00E3, "a~"},   {0x00E6, "{"},    {0x00E7, "C"},    {0x00F0, "D"},    {0x00F5, "o~"},
    {0x00F8, "2"},    {0x0127, "X\\"},  {0x0129, "i~"},   {0x014B, "N"},    {0x0153, "9"},
    {0x0169, "u~"},   {0x01C0, "|\\"},  {0x01C1, "|\\|\\"}, {0x01C2, "=\\"}, {0x01C3, "!\\"},
    {0x0250, "6"},    {0x0251, "A"},    {0x0252, "Q"},    {0x0253, "b_<"},  {0x0254, "O"},
    {0x0255, "s\\"},  {0x0256, "d`"},   {0x0257, "d_<"},  {0x0258, "@\\"},  {0x0259, "@"},
    {0x025A, "@`"},   {0x025B, "E"},    {0x025C, "3"},    {0x025D, "3`"},   {0x025E, "3\\"},
    {0x025F, "J\\"},  {0x0260, "g_<"},  {0x0261, "g"},    {0x0262, "G\\"},  {0x0263, "G"},
    {0x0264, "7"},    {0x0265, "H"},    {0x0266, "h\\"},  {0x0267, "x\\"},  {0x0268, "1"},
    {0x026A, "I"},    {0x026B, "5"},    {0x026C, "K"},    {0x026D, "l`"},   {0x026E, "K\\"},
    {0x026F, "M"},    {0x0270, "M\\"},  {0x0271, "F"},    {0x0272, "J"},    {0x0273, "n`"},
    {0x0274, "N\\"},  {0x0275, "8"},    {0x0276, "&"},    {0x0278, "p\\"},  {0x0279, "r\\"},
    {0x027A, "l\\"},  {0x027B, "r\\`"}, {0x027D, "r`"},   {0x027E, "4"},    {0x0280, "R\\"},
    {0x0281, "R"},    {0x0282, "s`"},   {0x0283, "S"},    {0x0284, "J\\_<"}, {0x0288, "t`"},
    {0x0289, "}"},    {0x028A, "U"},    {0x028B, "P"},    {0x028C, "V"},    {0x028D, "W"},
    {0x028E, "L"},    {0x028F, "Y"},    {0x0290, "z`"},   {0x0291, "z\\"},  {0x0292, "Z"},
    {0x0294, "?"},    {0x0295, "?\\"},  {0x0298, "O\\"},  {0x0299, "B\\"},  {0x029B, "G\\_<"},
    {0x029C, "H\\"},  {0x029D, "j\\"},  {0x029F, "L\\"},  {0x02A1, ">\\"},  {0x02A2, "<\\"},
    {0x02A3, "dz"},   {0x02A4, "dZ"},   {0x02A5, "dz\\"}, {0x02A6, "ts"},   {0x02A7, "tS"},
    {0x02A8, "ts\\"}, {0x02B0, "_h"},   {0x02B1, "_h\\"}, {0x02B2, "'"},    {0x02B7, "_w"},
    {0x02C0, "?"},    {0x02C8, "\""},   {0x02CC, "%"},    {0x02D0, ":"},    {0x02D1, ":\\"},
    {0x02D4, "_r"},   {0x02D5, "_o"},   {0x02DE, "`"},    {0x02E0, "_G"},   {0x02E1, "_l"},
    {0x02E4, "_?\\"}, {0x02E5, "_T"},   {0x02E6, "_H"},   {0x02E7, "_M"},   {0x02E8, "_L"},
    {0x02E9, "_B"},   {0x0300, "_L"},   {0x0301, "_H"},   {0x0302, "_F"},   {0x0303, "~"},
    {0x0304, "_M"},   {0x0306, "_X"},   {0x0308, "_\""},  {0x030A, "_0"},   {0x030B, "_T"},
    {0x030C, "_R"},   {0x030F, "_B"},   {0x0318, "_A"},   {0x0319, "_q"},   {0x031A, "_}"},
    {0x031C, "_c"},   {0x031D, "_r"},   {0x031E, "_o"},   {0x031F, "_+"},   {0x0320, "_-"},
    {0x0324, "_t"},   {0x0325, "_0"},   {0x0329, "="},    {0x032A, "_d"},   {0x032C, "_v"},
    {0x032F, "_^"},   {0x0330, "_k"},   {0x0334, "_e"},   {0x0339, "_O"},   {0x033A, "_a"},
    {0x033B, "_m"},   {0x033C, "_N"},   {0x033D, "_x"},   {0x035C, "_"},    {0x0361, "_"},
    {0x03B2, "B"},    {0x03B5, "E"},    {0x03B8, "T"},    {0x03C7, "X"},    {0x1D4A, "_@"},
    {0x1D7B, "I\\"},  {0x1D7F, "U\\"},  {0x1DA3, "_H"},   {0x203F, "-\\"},  {0x207F, "_n"},
    {0x2191, "^"},    {0x2193, "!"},    {0x2197, "<R>"},  {0x2198, "<F>"},  {0x2C71, "v\\"},
};

const Spelling* Find(uint32_t cp)
{
    const Spelling* end = std::end(Spellings);
    const Spelling* at = std::lower_bound(std::begin(Spellings), end, cp,
                                          [](const Spelling& s, uint32_t c) { return s.Ipa < c; });
    return at != end && at->Ipa == cp ? at : nullptr;
}

// Letters and marks that hardly occur outside IPA: one of them makes a word
// a transcription.
bool OnlyInIpa(uint32_t cp)
{
    return cp == 0x014B || (cp >= 0x0250 && cp <= 0x02FF) || (cp >= 0x1D00 && cp <= 0x1DBF);
}


bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsTranscription(std::string_view word)
{
    // Letters that IPA shares with the languages dictionaries cite make no
    // transcription, even between brackets ("[garçon]", "/smørrebrød/"):
    // written as look-alikes, such words stay readable. Only æ is taken as
    // a sign of one there, being in so many English pronunciations with
    // nothing else of IPA's ("/kæt/").
    bool marked = word[0] == '/' || word[0] == '[';
    for (size_t i = 0; i < word.size();) {
        uint32_t cp;
        i += DecodeUtf8At(word, i, cp);
        if (OnlyInIpa(cp) || (marked && cp == 0x00E6))
            return true;
    }
    return false;
}

} // namespace

size_t WriteIpaAsXSampa(std::string_view utf8, std::string& out)
{
    // Most definitions are plain ASCII, or hold no transcription at all.
    size_t i = 0, written = 0;
    for (;;) {
        size_t high = i + AsciiRun(utf8.data(), i, utf8.size());
        if (high == utf8.size())
            return 0;
        size_t start = utf8.find_last_of(" \t\r\n", high);
        start = start == std::string_view::npos ? 0 : start + 1;
        size_t end = high;
        while (end < utf8.size() && !IsSpace(utf8[end]))
            end++;
        if (IsTranscription(utf8.substr(start, end - start))) {
            out.append(utf8.substr(0, start));
            i = start;
            break;
        }
        i = end;
    }
    while (i < utf8.size()) {
        size_t end = i;
        while (end < utf8.size() && !IsSpace(utf8[end]))
            end++;
        std::string_view word = utf8.substr(i, end - i);
        bool plain = true;
        for (char c : word)
            plain = plain && static_cast<unsigned char>(c) < 0x80;
        if (word.empty() || plain || !IsTranscription(word)) {
            out.append(word);
        } else {
            for (size_t k = 0; k < word.size();) {
                uint32_t cp;
                size_t n = DecodeUtf8At(word, k, cp);
                const Spelling* s = Find(cp);
                if (s) {
                    out.append(s->XSampa);
                    written++;
                } else {
                    out.append(word.substr(k, n));
                }
                k += n;
            }
        }
        while (end < utf8.size() && IsSpace(utf8[end]))
            out += utf8[end++];
        i = end;
    }
    return written;
}
