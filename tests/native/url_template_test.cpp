#include <gtest/gtest.h>

#include <string>

#include "core/url_template.h"

namespace {

TEST(UrlTemplate, Expansion)
{
    const std::string def = "https://dictionary.example.jp/search.php?MT=%s&kind=ej";
    struct {
        std::string tmpl, word, want;
    } cases[] = {
        {def, "apple", "https://dictionary.example.jp/search.php?MT=apple&kind=ej"},
        {def, "", "https://dictionary.example.jp/search.php?MT=&kind=ej"},
        {def, "ice cream", "https://dictionary.example.jp/search.php?MT=ice cream&kind=ej"},
        {def, "\x95\x5c" /* 表 */, "https://dictionary.example.jp/search.php?MT=\x95\x5c&kind=ej"},
        {"a=%s&b=%s", "w", "a=w&b=w"},
        {"%d and %x and %n", "w", "%d and %x and %n"},
        {"100%% of %s", "w", "100% of w"},
        {"no conversion", "w", "no conversion"},
        {"ends with %", "w", "ends with %"},
        {"%%s", "w", "%s"},
        {"%s", "%s%d", "%25s%25d"},
        // The bytes that would end the word's field, start another or break
        // the address's quoting are escaped; nothing else is.
        {def, "AT&T", "https://dictionary.example.jp/search.php?MT=AT%26T&kind=ej"},
        {"%s", "C++ #1 100%", "C%2B%2B %231 100%25"},
        {"%s", "say \"hi\" <b>", "say %22hi%22 %3Cb%3E"},
        {"%s", "a\tb\r\n\x7f", "a%09b%0D%0A%7F"},
        {"%s", "\x83\x5c\x8e\x22" /* ソ, then a lead byte before a quote */, "\x83\x5c\x8e%22"},
        {"%s", "\x8e\x7f" /* a lead byte before DEL, which is no trail byte */, "\x8e%7F"},
        {"q=\x95\x5c%s", "/?=", "q=\x95\x5c/?="},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandUrlTemplate(c.tmpl, c.word), c.want)
            << "template '" << c.tmpl << "' word '" << c.word << "'";
}

TEST(UrlTemplate, CutAt1023BytesBetweenCharacters)
{
    std::string word(3000, 'w');
    std::string url = ExpandUrlTemplate("x=%s&y=%s", word);
    EXPECT_EQ(url.size(), MaxSearchUrlLength);
    EXPECT_EQ(url.substr(0, 3), "x=w");
    EXPECT_EQ(ExpandUrlTemplate(std::string(2000, 'a'), "").size(), MaxSearchUrlLength);
    // 1 + 3 * 340 = 1021 bytes fit; the next escape would not, nor would half
    // of a double-byte character.
    std::string escapes;
    for (int i = 0; i < 340; i++)
        escapes += "%26";
    EXPECT_EQ(ExpandUrlTemplate("x%s", std::string(400, '&')), "x" + escapes);
    std::string kanji;
    for (int i = 0; i < 600; i++)
        kanji += "\x95\x5c";
    EXPECT_EQ(ExpandUrlTemplate("xy%s", kanji).size(), 1022u) << "never half a character";
}

} // namespace
