// CSV as RFC 4180 has it: fields separated by commas, records by line breaks
// (LF or CRLF); a field in double quotes may hold commas, line breaks and
// doubled quotes. The quoting is checked strictly: a stray quote is an error,
// not a guess.
#include <string>
#include <vector>

#include "tools/vbk/list_reader.h"

namespace {

struct CsvScanner {
    std::string_view text;
    size_t pos = 0;
    size_t line = 1;

    bool AtRecordEnd() const
    {
        return pos >= text.size() || text[pos] == '\n' ||
               (text[pos] == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n') ||
               (text[pos] == '\r' && pos + 1 == text.size());
    }

    void SkipRecordEnd()
    {
        if (pos < text.size() && text[pos] == '\r')
            pos++;
        if (pos < text.size() && text[pos] == '\n') {
            pos++;
            line++;
        }
    }

    // Reads one field into out; false with a message on bad quoting.
    bool Field(std::string& out, std::string& message)
    {
        out.clear();
        if (pos < text.size() && text[pos] == '"') {
            size_t openLine = line;
            pos++;
            for (;;) {
                if (pos >= text.size()) {
                    line = openLine;
                    message = "the quoted field that starts on this line is never closed";
                    return false;
                }
                char c = text[pos++];
                if (c == '"') {
                    if (pos < text.size() && text[pos] == '"') {
                        out += '"';
                        pos++;
                        continue;
                    }
                    break;
                }
                if (c == '\n')
                    line++;
                out += c;
            }
            if (!AtRecordEnd() && text[pos] != ',') {
                message = "text after the closing quote of a field (write a quote inside a "
                          "quoted field as \"\")";
                return false;
            }
            return true;
        }
        while (!AtRecordEnd() && text[pos] != ',') {
            if (text[pos] == '"') {
                message = "a quote inside a field that does not start with one";
                return false;
            }
            out += text[pos++];
        }
        return true;
    }
};

bool AllEmpty(const std::vector<std::string>& fields, size_t from)
{
    for (size_t i = from; i < fields.size(); i++)
        if (!fields[i].empty())
            return false;
    return true;
}

} // namespace

ListReadResult ReadCsv(std::string_view text, const ListSink& sink)
{
    ListReadResult result;
    CsvScanner scan{text};
    std::vector<std::string> fields;
    std::string message;
    while (scan.pos < text.size()) {
        size_t recordLine = scan.line;
        if (scan.AtRecordEnd()) { // a blank line
            scan.SkipRecordEnd();
            continue;
        }
        size_t count = 0;
        for (;;) {
            if (fields.size() <= count)
                fields.emplace_back();
            if (!scan.Field(fields[count], message)) {
                result.Ok = false;
                result.Line = scan.line;
                result.Message = message;
                return result;
            }
            count++;
            if (scan.AtRecordEnd())
                break;
            scan.pos++; // the comma
        }
        scan.SkipRecordEnd();
        fields.resize(count);
        if (count > 2 && !AllEmpty(fields, 2)) {
            result.Ok = false;
            result.Line = recordLine;
            result.Message = "more than two fields (quote a Data that holds a comma)";
            return result;
        }
        if (!sink(recordLine, fields[0], count > 1 ? std::string_view(fields[1]) : std::string_view()))
            return result;
    }
    return result;
}
