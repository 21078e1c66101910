#include "formats/pdic_reader.h"

#include <algorithm>
#include <string>

#include "formats/text_lines.h"

bool LooksLikePdic(std::string_view text)
{
    const size_t linesLooked = 5;
    size_t pos = 0, shaped = 0;
    while (pos < text.size() && shaped < linesLooked) {
        std::string_view line = NextTextLine(text, pos);
        if (TrimBlanks(line).empty())
            continue;
        if (line.find(" /// ") == std::string_view::npos ||
            line.find('\t') != std::string_view::npos)
            return false;
        shaped++;
    }
    return shaped > 0;
}

ListReadResult ReadPdic(std::string_view text, const ListSink& sink, const char** unread)
{
    ListReadResult result;
    std::string data;
    size_t pos = 0, line = 0;
    while (pos < text.size()) {
        line++;
        std::string_view row = NextTextLine(text, pos);
        if (TrimBlanks(row).empty())
            continue;
        size_t split = row.find(" /// ");
        if (split == std::string_view::npos) {
            result.Ok = false;
            result.Line = line;
            result.Message = "not a PDIC line (HEADWORD /// TEXT)";
            return result;
        }
        std::string_view key = TrimBlanks(row.substr(0, split));
        std::string_view body = TrimBlanks(row.substr(split + 5));
        // " \ " and " / " are found by bytes: a space is never a trail byte,
        // so neither is what follows it.
        data.clear();
        bool example = false;
        size_t copied = 0;
        for (size_t i = 0; i + 2 < body.size(); i++) {
            if (body[i] != ' ' || body[i + 2] != ' ')
                continue;
            bool lineBreak = body[i + 1] == '\\';
            bool exampleMark = body[i + 1] == '/' && !example;
            if (!lineBreak && !exampleMark)
                continue;
            example = example || exampleMark;
            data.append(body.substr(copied, i - copied)).append("\n");
            copied = i + 3;
            i += 2;
        }
        data.append(body.substr(copied));
        if (unread)
            *unread = text.data() + std::min(pos, text.size());
        if (!sink(line, key, data))
            return result;
    }
    return result;
}
