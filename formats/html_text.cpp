#include "formats/html_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "encodings/html_entities.h"

namespace {

bool IsAsciiLetter(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }

// The tag "<br>", "<br/>" or "<br />" in any case.
bool IsLineBreakTag(std::string_view tag)
{
    std::string_view name = tag.substr(1, tag.size() - 2);
    while (!name.empty() && (name.back() == '/' || name.back() == ' '))
        name.remove_suffix(1);
    return EqualsIgnoringAsciiCase(name, "br");
}

// The character a numeric reference stands for ("#65", "#x41"); 0 for none.
uint32_t NumberedCharacter(std::string_view name)
{
    bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty() || digits.size() > 8)
        return 0;
    uint32_t cp = 0;
    for (char c : digits) {
        int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : hex && std::isxdigit(static_cast<unsigned char>(c))
                    ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                    : -1;
        if (d < 0)
            return 0;
        cp = cp * (hex ? 16 : 10) + uint32_t(d);
    }
    return cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? 0 : cp;
}

// The characters a reference between '&' and ';' stands for: one or two
// (a letter and a combining mark); none when it names nothing.
size_t ReferencedCharacters(std::string_view name, uint32_t (&cp)[2])
{
    if (name.size() > 1 && name[0] == '#') {
        cp[0] = NumberedCharacter(name);
        return cp[0] ? 1 : 0;
    }
    // A no-break space is a plain one in a field.
    if (name == "nbsp") {
        cp[0] = ' ';
        return 1;
    }
    const HtmlEntity* end = HtmlEntities + HtmlEntityCount;
    const HtmlEntity* at = std::lower_bound(
        HtmlEntities, end, name,
        [](const HtmlEntity& e, std::string_view n) { return std::string_view(e.Name) < n; });
    if (at == end || std::string_view(at->Name) != name)
        return 0;
    cp[0] = at->First;
    cp[1] = at->Second;
    return at->Second ? 2 : 1;
}

// Appends the character in the text's encoding; false if it has no code.
bool AppendCharacter(uint32_t cp, TextEncoding encoding, std::string& out)
{
    if (encoding == TextEncoding::Utf8) {
        AppendUtf8(cp, out);
        return true;
    }
    std::string utf8;
    AppendUtf8(cp, utf8);
    size_t before = out.size();
    if (Utf8ToCp932(utf8, out).Ok)
        return true;
    out.resize(before);
    return false;
}

} // namespace

std::string HtmlToText(std::string_view html, TextEncoding encoding)
{
    // '<', '>', '&' and ';' are never Shift-JIS trail bytes: a byte scan is
    // safe in both encodings. Each search for the end of a tag or reference
    // is bounded or remembered, so that text full of '<' or '&' that end
    // nothing still takes one pass.
    const size_t longestReference = std::max<size_t>(HtmlEntityLongestName, 10); // "#x10FFFF"
    std::string out;
    out.reserve(html.size());
    size_t close = 0; // the next '>' after i once looked for; npos if there is none
    size_t i = 0;
    while (i < html.size()) {
        char c = html[i];
        if (c == '<' && i + 1 < html.size() &&
            (IsAsciiLetter(html[i + 1]) || html[i + 1] == '/' || html[i + 1] == '!')) {
            if (close != std::string_view::npos && close <= i)
                close = html.find('>', i);
            if (close != std::string_view::npos) {
                if (IsLineBreakTag(html.substr(i, close + 1 - i)))
                    out += '\n';
                i = close + 1;
                continue;
            }
        }
        if (c == '&') {
            size_t semicolon = html.substr(i + 1, longestReference + 1).find(';');
            uint32_t cp[2] = {0, 0};
            size_t n = semicolon == std::string_view::npos
                           ? 0
                           : ReferencedCharacters(html.substr(i + 1, semicolon), cp);
            size_t before = out.size();
            if (n && AppendCharacter(cp[0], encoding, out) &&
                (n == 1 || AppendCharacter(cp[1], encoding, out))) {
                i += semicolon + 2;
                continue;
            }
            out.resize(before);
        }
        out += c;
        i++;
    }
    return out;
}

std::string TextToHtml(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\t': out += "&#9;"; break;
        case '\r': out += "&#13;"; break;
        case '\n': out += "<br>"; break;
        default: out += c;
        }
    }
    return out;
}
