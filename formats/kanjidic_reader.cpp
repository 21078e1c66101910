#include "formats/kanjidic_reader.h"

#include <string>
#include <vector>

#include "formats/text_lines.h"

namespace {

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// KANJI SPACE JIS-CODE SPACE ...: the JIS code is four hexadecimal digits.
bool HasShape(std::string_view line)
{
    size_t space = line.find(' ');
    if (space == 0 || space == std::string_view::npos || line.size() < space + 6)
        return false;
    for (size_t i = space + 1; i < space + 5; i++)
        if (!IsHexDigit(line[i]))
            return false;
    return line[space + 5] == ' ';
}

// The first code point of a reading, past a leading '-' (a suffix).
uint32_t FirstCodePoint(std::string_view reading)
{
    if (!reading.empty() && reading[0] == '-')
        reading.remove_prefix(1);
    if (reading.size() < 3 || (static_cast<unsigned char>(reading[0]) & 0xF0) != 0xE0)
        return 0;
    return uint32_t(reading[0] & 0x0F) << 12 | uint32_t(reading[1] & 0x3F) << 6 |
           uint32_t(reading[2] & 0x3F);
}

bool IsNumber(std::string_view s)
{
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string GradeInWords(std::string_view grade)
{
    if (grade.size() == 1 && grade[0] >= '1' && grade[0] <= '6')
        return "grade " + std::string(grade);
    if (grade == "8")
        return "secondary school";
    if (grade == "9" || grade == "10")
        return "for names";
    return std::string();
}

void AppendList(const char* label, const std::vector<std::string_view>& items, std::string& out)
{
    if (items.empty())
        return;
    out += label;
    for (size_t i = 0; i < items.size(); i++)
        out.append(i ? "\xE3\x80\x81" : "").append(items[i]); // 、
    out += '\n';
}

} // namespace

bool LooksLikeKanjidic(std::string_view text)
{
    const size_t linesLooked = 5;
    size_t pos = 0, shaped = 0;
    while (pos < text.size() && shaped < linesLooked) {
        std::string_view line = NextTextLine(text, pos);
        if (TrimBlanks(line).empty() || line[0] == '#')
            continue;
        if (!HasShape(line) || line.find('\t') != std::string_view::npos)
            return false;
        shaped++;
    }
    return shaped > 0;
}

ListReadResult ReadKanjidic(std::string_view text, const ListSink& sink)
{
    ListReadResult result;
    std::string data;
    std::vector<std::string_view> on, kun, names, meanings;
    size_t pos = 0, line = 0;
    while (pos < text.size()) {
        line++;
        std::string_view row = NextTextLine(text, pos);
        if (TrimBlanks(row).empty() || row[0] == '#')
            continue;
        if (!HasShape(row)) {
            result.Ok = false;
            result.Line = line;
            result.Message =
                "not a KANJIDIC line (KANJI JIS-CODE CODES... READINGS... {MEANING}...)";
            return result;
        }
        std::string_view kanji = row.substr(0, row.find(' '));
        on.clear();
        kun.clear();
        names.clear();
        meanings.clear();
        std::string_view strokes, grade;
        bool inNames = false, inRadicalNames = false;
        size_t at = kanji.size() + 6;
        while (at < row.size()) {
            if (row[at] == ' ') {
                at++;
                continue;
            }
            if (row[at] == '{') {
                size_t close = row.find('}', at);
                if (close == std::string_view::npos)
                    close = row.size();
                meanings.push_back(row.substr(at + 1, close - at - 1));
                at = close + 1;
                continue;
            }
            size_t end = row.find(' ', at);
            if (end == std::string_view::npos)
                end = row.size();
            std::string_view field = row.substr(at, end - at);
            at = end;
            if (field == "T1" || field == "T2") {
                inNames = field == "T1";
                inRadicalNames = field == "T2";
                continue;
            }
            if (static_cast<unsigned char>(field[0]) < 0x80 && field[0] != '-') {
                if (field[0] == 'S' && strokes.empty() && IsNumber(field.substr(1)))
                    strokes = field.substr(1);
                else if (field[0] == 'G' && IsNumber(field.substr(1)))
                    grade = field.substr(1);
                continue;
            }
            if (inRadicalNames)
                continue;
            uint32_t cp = FirstCodePoint(field);
            if (inNames)
                names.push_back(field);
            else if (cp >= 0x30A0 && cp <= 0x30FF)
                on.push_back(field);
            else if (cp >= 0x3040 && cp <= 0x309F)
                kun.push_back(field);
        }
        data.clear();
        AppendList("", on, data);
        AppendList("", kun, data);
        AppendList("names: ", names, data);
        for (std::string_view meaning : meanings)
            data.append(meaning).append("\n");
        if (!strokes.empty())
            data.append(strokes).append(strokes == "1" ? " stroke" : " strokes");
        std::string inWords = GradeInWords(grade);
        if (!inWords.empty())
            data.append(strokes.empty() ? "" : ", ").append(inWords);
        while (!data.empty() && data.back() == '\n')
            data.pop_back();
        if (!sink(line, kanji, data))
            return result;
    }
    return result;
}
