// Delimited text as RFC 4180 has it for CSV: fields separated by a separator
// (a comma for CSV), records by line breaks; a field in double quotes may
// hold separators, line breaks and doubled quotes. The quoting is checked
// strictly: a stray quote is an error, not a guess.
#include <string>
#include <vector>

#include "formats/html_text.h"
#include "formats/list_reader.h"

namespace {

struct Scanner {
    std::string_view text;
    char separator;
    bool shiftJis;
    size_t pos = 0;
    size_t line = 1;

    bool AtRecordEnd() const
    {
        return pos >= text.size() || text[pos] == '\n' || text[pos] == '\r';
    }

    void SkipRecordEnd()
    {
        if (pos >= text.size())
            return;
        pos += text.substr(pos, 2) == "\r\n" ? 2 : 1;
        line++;
    }

    // The bytes of the character at pos: a Shift-JIS trail byte may look
    // like a separator ('|' is one).
    size_t CharLength() const { return shiftJis ? ShiftJisCharLength(text, pos) : 1; }

    // Reads one field into out, or only over it when out is null (a column
    // that is not used: a line of millions of them must not become millions
    // of strings); filled tells whether it held anything. False with a
    // message on bad quoting.
    bool Field(std::string* out, bool& filled, std::string& message)
    {
        if (out)
            out->clear();
        filled = false;
        if (pos < text.size() && text[pos] == '"') {
            size_t openLine = line;
            pos++;
            size_t run = pos; // text[run, pos) goes out as it stands
            for (;;) {
                if (pos >= text.size()) {
                    line = openLine;
                    message = "the quoted field that starts on this line is never closed";
                    return false;
                }
                size_t n = CharLength();
                char c = text[pos];
                if (n == 1 && c == '"') {
                    filled = filled || pos > run;
                    if (out)
                        out->append(text.data() + run, pos - run);
                    pos++;
                    if (pos < text.size() && text[pos] == '"') {
                        filled = true;
                        if (out)
                            *out += '"';
                        run = ++pos;
                        continue;
                    }
                    break;
                }
                if (c == '\n' || (c == '\r' && text.substr(pos, 2) != "\r\n"))
                    line++;
                pos += n;
            }
            if (!AtRecordEnd() && text[pos] != separator) {
                message = "text after the closing quote of a field (write a quote inside a "
                          "quoted field as \"\")";
                return false;
            }
            return true;
        }
        size_t start = pos;
        while (!AtRecordEnd()) {
            size_t n = CharLength();
            if (n == 1 && text[pos] == separator)
                break;
            if (n == 1 && text[pos] == '"') {
                message = "a quote inside a field that does not start with one";
                return false;
            }
            pos += n;
        }
        filled = pos > start;
        if (out)
            out->assign(text.data() + start, pos - start);
        return true;
    }
};

} // namespace

ListReadResult ReadDelimited(std::string_view text, TextEncoding encoding,
                             const DelimitedLayout& layout, const ListSink& sink,
                             const char** unread)
{
    ListReadResult result;
    Scanner scan{text, layout.Separator, encoding == TextEncoding::ShiftJis};
    scan.line = layout.FirstLine;
    std::string message, key, data, keyField, dataField;
    while (scan.pos < text.size()) {
        size_t recordLine = scan.line;
        if (scan.AtRecordEnd()) { // a blank line
            scan.SkipRecordEnd();
            continue;
        }
        size_t count = 0;
        bool filled = false, extraFilled = false;
        keyField.clear();
        dataField.clear();
        for (;;) {
            std::string* out = count == layout.KeyColumn    ? &keyField
                               : count == layout.DataColumn ? &dataField
                                                            : nullptr;
            if (!scan.Field(out, filled, message)) {
                result.Ok = false;
                result.Line = scan.line;
                result.Message = message;
                return result;
            }
            extraFilled = extraFilled || (!out && filled);
            count++;
            if (scan.AtRecordEnd())
                break;
            scan.pos++; // the separator
        }
        scan.SkipRecordEnd();
        if (!layout.ExtraColumnsAllowed && extraFilled) {
            result.Ok = false;
            result.Line = recordLine;
            result.Message = layout.Separator == ','
                                 ? "more than two fields (quote a Data that holds a comma)"
                                 : "more than two fields";
            return result;
        }
        std::string_view k = keyField, d = dataField;
        if (layout.Html) {
            key = HtmlToText(k, encoding);
            data = HtmlToText(d, encoding);
            k = key;
            d = data;
        }
        if (unread)
            *unread = text.data() + scan.pos;
        if (!sink(recordLine, k, d))
            return result;
    }
    return result;
}
