#include "formats/list_writer.h"

namespace {

void AppendCsvField(std::string& out, std::string_view field)
{
    // None of these bytes can be a Shift-JIS trail byte, so the test holds
    // in both encodings.
    bool quote = field.find_first_of(",\"\r\n") != std::string_view::npos ||
                 (!field.empty() && (field.front() == ' ' || field.back() == ' '));
    if (!quote) {
        out.append(field);
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

bool AppendTsvRecord(std::string& out, std::string_view key, std::string_view data,
                     TextEncoding encoding)
{
    if (key.find_first_of("\t\r\n") != std::string_view::npos)
        return false;
    out.append(key);
    out += '\t';
    size_t i = 0;
    while (i < data.size()) {
        size_t n = encoding == TextEncoding::ShiftJis ? ShiftJisCharLength(data, i) : 1;
        char c = data[i];
        if (n == 1 && (c == '\\' || c == '\n' || c == '\t' || c == '\r')) {
            out += '\\';
            out += c == '\\' ? '\\' : c == '\n' ? 'n' : c == '\t' ? 't' : 'r';
        } else {
            out.append(data.data() + i, n);
        }
        i += n;
    }
    out += '\n';
    return true;
}

void AppendCsvRecord(std::string& out, std::string_view key, std::string_view data)
{
    AppendCsvField(out, key);
    out += ',';
    AppendCsvField(out, data);
    out += "\r\n";
}
