#include <gtest/gtest.h>

#include <string>

#include "lookup/url_template.h"

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
        {"%s", "%s%d", "%s%d"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandUrlTemplate(c.tmpl, c.word), c.want)
            << "template '" << c.tmpl << "' word '" << c.word << "'";
}

TEST(UrlTemplate, CutAt1023Bytes)
{
    std::string word(3000, 'w');
    std::string url = ExpandUrlTemplate("x=%s&y=%s", word);
    EXPECT_EQ(url.size(), MaxSearchUrlLength);
    EXPECT_EQ(url.substr(0, 3), "x=w");
    EXPECT_EQ(ExpandUrlTemplate(std::string(2000, 'a'), "").size(), MaxSearchUrlLength);
}

} // namespace
