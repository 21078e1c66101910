#include "tools/vbk/html_text.h"

#include <cctype>
#include <cstdint>

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

// The character a reference between '&' and ';' stands for; 0 for none.
uint32_t ReferencedCharacter(std::string_view name)
{
    if (name.size() > 1 && name[0] == '#') {
        bool hex = name[1] == 'x' || name[1] == 'X';
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
    static const struct {
        const char* name;
        uint32_t cp;
    } named[] = {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''},
                 {"nbsp", ' '}};
    for (const auto& n : named)
        if (name == n.name)
            return n.cp;
    return 0;
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
    // safe in both encodings.
    std::string out;
    out.reserve(html.size());
    size_t i = 0;
    while (i < html.size()) {
        char c = html[i];
        if (c == '<' && i + 1 < html.size() &&
            (IsAsciiLetter(html[i + 1]) || html[i + 1] == '/' || html[i + 1] == '!')) {
            size_t close = html.find('>', i);
            if (close != std::string_view::npos) {
                if (IsLineBreakTag(html.substr(i, close + 1 - i)))
                    out += '\n';
                i = close + 1;
                continue;
            }
        }
        if (c == '&') {
            size_t semicolon = html.find(';', i);
            if (semicolon != std::string_view::npos && semicolon - i <= 10) {
                uint32_t cp = ReferencedCharacter(html.substr(i + 1, semicolon - i - 1));
                if (cp && AppendCharacter(cp, encoding, out)) {
                    i = semicolon + 1;
                    continue;
                }
            }
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
