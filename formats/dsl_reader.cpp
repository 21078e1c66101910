#include "formats/dsl_reader.h"

#include <algorithm>
#include <string>
#include <vector>

#include "encodings/latin_text.h"
#include "formats/text_lines.h"

namespace {

// A card's spellings grow as 2^n in its optional parts: past this many parts
// the rest are read as fixed text.
const size_t MostOptionalParts = 6;
const char IndentStep[] = "  ";

bool EndsWith(std::string_view s, std::string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::string Lowered(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
    return s;
}

// Spaces run together and taken off both ends: what is left of "a (b) c"
// without its optional part.
std::string Tidied(std::string_view s)
{
    std::string out;
    for (char c : s) {
        if (c == '\t')
            c = ' ';
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out += c;
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// Where the comment {{...}} that starts at i ends (past it).
size_t PastComment(std::string_view s, size_t i)
{
    size_t end = s.find("}}", i + 2);
    return end == std::string_view::npos ? s.size() : end + 2;
}

// One headword line read: how it is shown and every spelling it stands for.
struct Headword {
    std::string shown;              // "to go(es)"
    std::string tilde;              // what ~ in the body stands for: "go(es)" without parentheses
    std::vector<std::string> keys;  // "go", "goes"
};

Headword ReadHeadword(std::string_view line, bool keepCase)
{
    Headword h;
    // Fixed text and optional parts, in turn: pieces[0] fixed, [1] optional, ...
    std::vector<std::string> pieces(1);
    int unsorted = 0;
    bool optional = false;
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            c = line[++i];
        } else if (line.substr(i, 2) == "{{") {
            i = PastComment(line, i) - 1;
            continue;
        } else if (c == '{' || c == '}') {
            unsorted += c == '{' ? 1 : (unsorted > 0 ? -1 : 0);
            continue;
        } else if (unsorted == 0 && (c == '(' || c == ')')) {
            bool opens = c == '(';
            if (opens != optional && pieces.size() < 2 * MostOptionalParts + 1) {
                optional = opens;
                h.shown += c;
                pieces.emplace_back();
                continue;
            }
        }
        h.shown += c;
        if (unsorted == 0) {
            pieces.back() += c;
            h.tilde += c;
        }
    }
    size_t parts = pieces.size() / 2; // optional ones: pieces 1, 3, 5, ...
    for (size_t mask = 0; mask < (size_t(1) << parts); mask++) {
        std::string spelling;
        for (size_t p = 0; p < pieces.size(); p++)
            if (p % 2 == 0 || mask & (size_t(1) << (p / 2)))
                spelling += pieces[p];
        spelling = Tidied(spelling);
        if (!keepCase)
            LowerLatinCase(spelling);
        if (!spelling.empty() && std::find(h.keys.begin(), h.keys.end(), spelling) == h.keys.end())
            h.keys.push_back(spelling);
    }
    h.shown = Tidied(h.shown);
    h.tilde = Tidied(h.tilde);
    return h;
}

// The tag that starts at s[i] ("[m2]", "[/trn]"), its name in lower case
// without the slash, and whether it closes; false when no ']' ends it.
bool ReadTag(std::string_view s, size_t i, std::string& name, bool& closes, size_t& end)
{
    end = s.find(']', i);
    if (end == std::string_view::npos)
        return false;
    std::string_view inside = s.substr(i + 1, end - i - 1);
    closes = !inside.empty() && inside[0] == '/';
    if (closes)
        inside.remove_prefix(1);
    name = Lowered(std::string(inside.substr(0, inside.find(' '))));
    end++;
    return true;
}

// A body line as plain text: tags gone, [mN] as N steps of indentation,
// sounds and videos left out, <<ref>> as its text, ~ as the headword, a
// bullet as ・.
std::string BodyText(std::string_view line, const std::string& tilde)
{
    std::string text;
    size_t indent = 0;
    std::string name;
    bool closes;
    size_t end;
    for (size_t i = 0; i < line.size(); i++) {
        char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            text += line[++i];
        } else if (line.substr(i, 2) == "{{") {
            i = PastComment(line, i) - 1;
        } else if (line.substr(i, 2) == "<<" || line.substr(i, 2) == ">>") {
            i++;
        } else if (c == '~' || line.substr(i, 2) == "^~") {
            i += c == '^';
            text += tilde;
        } else if (line.substr(i, 3) == "\xE2\x80\xA2") {
            // The bullet of many cards has no code in code page 932; the
            // Japanese one stands in for it.
            text += "\xE3\x83\xBB";
            i += 2;
        } else if (c == '[' && ReadTag(line, i, name, closes, end)) {
            i = end - 1;
            if (closes)
                continue;
            if (name.size() == 2 && name[0] == 'm' && name[1] >= '0' && name[1] <= '9')
                indent = size_t(name[1] - '0');
            else if (name == "s" || name == "video") {
                size_t stop = Lowered(std::string(line.substr(i))).find("[/" + name + "]");
                i = stop == std::string::npos ? line.size() : i + stop + name.size() + 2;
            }
        } else {
            text += c;
        }
    }
    std::string_view trimmed = TrimBlanks(text);
    if (trimmed.empty())
        return std::string();
    std::string out;
    for (size_t k = 0; k < indent; k++)
        out += IndentStep;
    out.append(trimmed);
    return out;
}

// A card as its lines: headword lines, then body lines.
struct Card {
    size_t line = 0; // of its first headword
    std::vector<std::string_view> headwords, body;
};

class CardReader {
public:
    CardReader(bool keepCase, const ListSink& sink) : keepCase_(keepCase), sink_(sink) {}

    // Hands on the card's entries, and those of its subentries.
    bool HandOn(const Card& card)
    {
        std::vector<Headword> headwords;
        for (std::string_view line : card.headwords)
            headwords.push_back(ReadHeadword(line, keepCase_));
        std::string data;
        bool showHeadwords = headwords.size() > 1;
        for (const Headword& h : headwords)
            if (h.keys.empty() || !EqualsIgnoringLatinCase(h.shown, h.keys[0]))
                showHeadwords = true;
        if (showHeadwords)
            for (size_t k = 0; k < headwords.size(); k++)
                data.append(k ? "; " : "").append(headwords[k].shown);
        const std::string& tilde = headwords.empty() ? empty_ : headwords[0].tilde;
        size_t i = 0;
        while (i < card.body.size()) {
            std::string_view raw = TrimBlanks(card.body[i]);
            if (raw.size() > 1 && raw[0] == '@') {
                i = Subentry(card, i);
                continue;
            }
            i++;
            if (raw == "@")
                continue;
            std::string text = BodyText(raw, tilde);
            if (!text.empty())
                data.append(data.empty() ? "" : "\n").append(text);
        }
        return HandOnKeys(card.line, headwords, data);
    }

private:
    // The subentry at body line i, up to a line of "@" alone or the next
    // subentry; returns where it ends.
    size_t Subentry(const Card& card, size_t i)
    {
        Card sub;
        sub.line = card.line; // the card's line: body lines are not numbered apart
        sub.headwords.push_back(TrimBlanks(TrimBlanks(card.body[i]).substr(1)));
        for (i++; i < card.body.size(); i++) {
            std::string_view raw = TrimBlanks(card.body[i]);
            if (!raw.empty() && raw[0] == '@') {
                i += raw == "@";
                break;
            }
            sub.body.push_back(card.body[i]);
        }
        ok_ = HandOn(sub) && ok_;
        return i;
    }

    bool HandOnKeys(size_t line, const std::vector<Headword>& headwords, const std::string& data)
    {
        if (!ok_)
            return false;
        keys_.clear();
        for (const Headword& h : headwords)
            for (const std::string& key : h.keys)
                if (std::find(keys_.begin(), keys_.end(), key) == keys_.end())
                    keys_.push_back(key);
        for (const std::string& key : keys_)
            if (!sink_(line, key, data))
                return false;
        return true;
    }

    bool keepCase_;
    const ListSink& sink_;
    bool ok_ = true;
    std::vector<std::string> keys_;
    const std::string empty_;
};

} // namespace

bool IsDslName(const std::string& name)
{
    std::string lower = Lowered(name);
    return EndsWith(lower, ".dsl") || EndsWith(lower, ".dsl.dz");
}

bool IsDslAbbreviations(const std::string& name)
{
    std::string lower = Lowered(name);
    return EndsWith(lower, "_abrv.dsl") || EndsWith(lower, "_abrv.dsl.dz");
}

ListReadResult ReadDsl(std::string_view text, bool keepCase, const ListSink& sink)
{
    ListReadResult result;
    CardReader reader(keepCase, sink);
    Card card;
    size_t pos = 0, line = 0;
    bool header = true;
    while (pos < text.size()) {
        line++;
        std::string_view row = NextTextLine(text, pos);
        if (TrimBlanks(row).empty())
            continue;
        if (header && row[0] == '#')
            continue;
        header = false;
        if (row[0] == ' ' || row[0] == '\t') {
            if (card.headwords.empty()) {
                result.Ok = false;
                result.Line = line;
                result.Message = "a DSL body line with no headword line above it";
                return result;
            }
            card.body.push_back(row);
            continue;
        }
        if (!card.body.empty()) {
            if (!reader.HandOn(card))
                return result;
            card = Card();
        }
        if (card.headwords.empty())
            card.line = line;
        card.headwords.push_back(row);
    }
    if (!card.headwords.empty())
        reader.HandOn(card);
    return result;
}
