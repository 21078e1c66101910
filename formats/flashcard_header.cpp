// The header lines that flash-card programs write at the top of their plain
// text exports ("#separator:tab", "#html:true", "#deck column:2", ...), and
// the reading of a list that may have them.
#include <algorithm>
#include <cctype>

#include "formats/dsl_reader.h"
#include "formats/edict_reader.h"
#include "formats/eijiro_reader.h"
#include "formats/kanjidic_reader.h"
#include "formats/pdic_reader.h"
#include "formats/list_reader.h"

namespace {

std::string Lower(std::string_view s)
{
    std::string out;
    for (char c : s)
        out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "#name:value" with a name of letters and spaces; false for anything else,
// such as a first Key that merely starts with '#'.
bool SplitHeaderLine(std::string_view line, std::string& name, std::string_view& value)
{
    if (line.size() < 3 || line[0] != '#' || !std::isalpha(static_cast<unsigned char>(line[1])))
        return false;
    size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view n = line.substr(1, colon - 1);
    for (char c : n)
        if (!std::isalpha(static_cast<unsigned char>(c)) && c != ' ')
            return false;
    name = Lower(n);
    value = line.substr(colon + 1);
    return true;
}

char SeparatorNamed(std::string_view value)
{
    std::string v = Lower(value);
    if (v == "tab" || v == "\t")
        return '\t';
    if (v == "comma" || v == ",")
        return ',';
    if (v == "semicolon" || v == ";")
        return ';';
    if (v == "pipe" || v == "|")
        return '|';
    if (v == "space" || v == " ")
        return ' ';
    return 0;
}

// One header line into the header; false with a problem.
bool TakeHeaderLine(const std::string& name, std::string_view value, FlashcardHeader& h)
{
    if (name == "separator") {
        h.Separator = SeparatorNamed(value);
        if (!h.Separator)
            h.Problem = "the separator \"" + std::string(value) +
                        "\" is not one of tab, comma, semicolon, pipe, space";
    } else if (name == "html") {
        std::string v = Lower(value);
        if (v != "true" && v != "false")
            h.Problem = "#html is true or false, not \"" + std::string(value) + "\"";
        h.Html = v == "true";
    } else if (name.size() > 7 && name.compare(name.size() - 7, 7, " column") == 0) {
        size_t column = 0;
        for (char c : value) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || column > 1000) {
                column = 0;
                break;
            }
            column = column * 10 + size_t(c - '0');
        }
        if (column == 0)
            h.Problem = "#" + name + " needs a column number from 1, not \"" +
                        std::string(value) + "\"";
        else
            h.NonFieldColumns.push_back(column);
    }
    return h.Problem.empty();
}

} // namespace

FlashcardHeader ReadFlashcardHeader(std::string_view text)
{
    FlashcardHeader h;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string name;
        std::string_view value;
        if (!SplitHeaderLine(text.substr(pos, end - pos), name, value))
            break;
        h.Present = true;
        h.Lines++;
        if (!TakeHeaderLine(name, value, h)) {
            h.ProblemLine = h.Lines;
            return h;
        }
        pos = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        h.Length = std::min(pos, text.size());
    }
    return h;
}

DelimitedLayout FlashcardLayout(const FlashcardHeader& header, char defaultSeparator)
{
    DelimitedLayout layout;
    layout.Separator = header.Separator ? header.Separator : defaultSeparator;
    layout.Html = header.Html;
    layout.ExtraColumnsAllowed = true;
    layout.FirstLine = header.Lines + 1;
    // The Key and Data are the first two columns that hold a field.
    std::vector<size_t> fieldColumns;
    for (size_t column = 1; fieldColumns.size() < 2; column++)
        if (std::find(header.NonFieldColumns.begin(), header.NonFieldColumns.end(), column) ==
            header.NonFieldColumns.end())
            fieldColumns.push_back(column - 1);
    layout.KeyColumn = fieldColumns[0];
    layout.DataColumn = fieldColumns[1];
    return layout;
}

ListReadResult ReadList(ListFormat format, std::string_view text, TextEncoding encoding,
                        const ListSink& sink, ListFormat* readAs, const char** unread)
{
    if (format == ListFormat::Edict) {
        if (readAs)
            *readAs = format;
        return ReadEdict(text, sink, unread);
    }
    if (format == ListFormat::Dsl || format == ListFormat::Eijiro || format == ListFormat::Pdic ||
        format == ListFormat::Kanjidic) {
        if (readAs)
            *readAs = format;
        return format == ListFormat::Dsl      ? ReadDsl(text, false, sink)
               : format == ListFormat::Eijiro ? ReadEijiro(text, encoding, sink, unread)
               : format == ListFormat::Pdic   ? ReadPdic(text, sink, unread)
                                              : ReadKanjidic(text, sink);
    }
    FlashcardHeader header = ReadFlashcardHeader(text);
    if (!header.Problem.empty()) {
        ListReadResult result;
        result.Ok = false;
        result.Line = header.ProblemLine;
        result.Message = header.Problem;
        return result;
    }
    if (header.Present || format == ListFormat::Flashcards) {
        if (readAs)
            *readAs = ListFormat::Flashcards;
        DelimitedLayout layout = FlashcardLayout(header, format == ListFormat::Csv ? ',' : '\t');
        return ReadDelimited(text.substr(header.Length), encoding, layout, sink, unread);
    }
    if (readAs)
        *readAs = format;
    return format == ListFormat::Tsv
               ? ReadTsv(text, encoding, sink, unread)
               : ReadDelimited(text, encoding, DelimitedLayout(), sink, unread);
}
