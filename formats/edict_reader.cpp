#include "formats/edict_reader.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// The parts of one line, as views into it.
struct EdictLine {
    std::string_view head;     // "日本;日ノ本 [にほん;にっぽん]", as written
    std::string_view writings; // "日本;日ノ本"
    std::string_view readings; // "にほん;にっぽん"; empty for a kana-only entry
    std::string_view glosses;  // "(n) Japan/(P)/", after the first slash
};

std::string_view TrimSpaces(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// WRITINGS [READINGS] /... or WRITINGS /...; false for anything else.
bool SplitLine(std::string_view line, EdictLine& parts)
{
    size_t space = line.find(' ');
    if (space == 0 || space == std::string_view::npos)
        return false;
    parts.writings = line.substr(0, space);
    if (parts.writings.find('/') != std::string_view::npos ||
        parts.writings.find('\t') != std::string_view::npos)
        return false;
    size_t at = line.find_first_not_of(' ', space);
    parts.readings = std::string_view();
    if (at != std::string_view::npos && line[at] == '[') {
        size_t close = line.find(']', at);
        if (close == std::string_view::npos || close == at + 1)
            return false;
        parts.readings = line.substr(at + 1, close - at - 1);
        at = line.find_first_not_of(' ', close + 1);
        if (at == close + 1) // a space must come before the glosses
            return false;
    }
    if (at == std::string_view::npos || line[at] != '/')
        return false;
    parts.head = TrimSpaces(line.substr(0, at));
    parts.glosses = line.substr(at + 1);
    return true;
}

// "日本(P)" → "日本", "ひのもと(日ノ本)" → "ひのもと": the markers that follow a
// writing or reading in ASCII parentheses.
std::string_view WithoutMarkers(std::string_view s)
{
    s = TrimSpaces(s);
    while (!s.empty() && s.back() == ')') {
        size_t open = s.rfind('(');
        if (open == std::string_view::npos || open == 0)
            break;
        s = TrimSpaces(s.substr(0, open));
    }
    return s;
}

// The entry number of EDICT2: "EntL" and digits, "X" where there is a recording.
bool IsEntryNumber(std::string_view gloss)
{
    if (gloss.substr(0, 4) != "EntL" || gloss.size() == 4)
        return false;
    gloss.remove_prefix(4);
    if (gloss.back() == 'X')
        gloss.remove_suffix(1);
    return !gloss.empty() &&
           std::all_of(gloss.begin(), gloss.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The description line: its head is an ideographic space and three
// full-width question marks.
bool DescribesTheFile(const EdictLine& parts)
{
    return parts.writings == "\xE3\x80\x80\xEF\xBC\x9F\xEF\xBC\x9F\xEF\xBC\x9F";
}

// The ';' that ends the writing or reading starting at pos, else the end.
// A reading restricted to some writings lists them with ';' inside its
// parentheses ("うしろ(後ろ;後)"), where no writing ends.
size_t ItemEnd(std::string_view list, size_t pos)
{
    int depth = 0;
    for (; pos < list.size(); pos++) {
        if (list[pos] == '(')
            depth++;
        else if (list[pos] == ')' && depth > 0)
            depth--;
        else if (list[pos] == ';' && depth == 0)
            return pos;
    }
    return list.size();
}

void AddKeys(std::string_view list, std::vector<std::string_view>& keys)
{
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t end = ItemEnd(list, pos);
        std::string_view key = WithoutMarkers(list.substr(pos, end - pos));
        if (!key.empty() && std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
        pos = end + 1;
    }
}

// The line at pos, without its line break; pos moves past it.
std::string_view NextLine(std::string_view text, size_t& pos)
{
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos)
        end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
    return line;
}

} // namespace

bool LooksLikeEdict(std::string_view text)
{
    const size_t linesLooked = 5;
    size_t pos = 0, shaped = 0;
    EdictLine parts;
    while (pos < text.size() && shaped < linesLooked) {
        std::string_view line = TrimSpaces(NextLine(text, pos));
        if (line.empty())
            continue;
        if (line.back() != '/' || line.find('\t') != std::string_view::npos ||
            !SplitLine(line, parts))
            return false;
        shaped++;
    }
    return shaped > 0;
}

ListReadResult ReadEdict(std::string_view text, const ListSink& sink, const char** unread)
{
    ListReadResult result;
    std::string data;
    std::vector<std::string_view> keys;
    EdictLine parts;
    size_t pos = 0, line = 0;
    bool first = true;
    while (pos < text.size()) {
        line++;
        const char* start = text.data() + pos;
        std::string_view row = NextLine(text, pos);
        if (TrimSpaces(row).empty())
            continue;
        if (!SplitLine(row, parts)) {
            result.Ok = false;
            result.Line = line;
            result.Message = "not an EDICT line (WRITING [READING] /GLOSS/GLOSS/.../)";
            return result;
        }
        bool description = first && DescribesTheFile(parts);
        first = false;
        if (description)
            continue;

        data.assign(parts.head);
        std::string_view glosses = parts.glosses;
        size_t at = 0;
        while (at < glosses.size()) {
            size_t slash = glosses.find('/', at);
            if (slash == std::string_view::npos)
                slash = glosses.size();
            std::string_view gloss = TrimSpaces(glosses.substr(at, slash - at));
            if (!gloss.empty() && !IsEntryNumber(gloss))
                data.append("\n").append(gloss);
            at = slash + 1;
        }
        keys.clear();
        AddKeys(parts.writings, keys);
        AddKeys(parts.readings, keys);
        if (unread)
            *unread = start;
        for (std::string_view key : keys)
            if (!sink(line, key, data))
                return result;
    }
    return result;
}
