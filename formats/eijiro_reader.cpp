#include "formats/eijiro_reader.h"

#include <string>

#include "formats/text_lines.h"

namespace {

// The marks in each encoding the text may be in.
struct Marks {
    std::string_view entry, note, example; // ■ ◆ ■・
};
const Marks Utf8Marks = {"\xE2\x96\xA0", "\xE2\x97\x86", "\xE2\x96\xA0\xE3\x83\xBB"};
const Marks SjisMarks = {"\x81\xA1", "\x81\x9F", "\x81\xA1\x81\x45"};

const Marks& MarksOf(TextEncoding encoding)
{
    return encoding == TextEncoding::ShiftJis ? SjisMarks : Utf8Marks;
}

// The parts of one line, as views into it.
struct EijiroLine {
    std::string_view key;  // "abandon"
    std::string_view text; // "{他動-1} : 断念する◆..." or, without a label, "断念する"
};

// ■HEADWORD  {LABEL} : TEXT or ■HEADWORD : TEXT. " {" and " : " are found
// by bytes: a space is never a trail byte, so neither is what follows it.
bool SplitLine(std::string_view line, const Marks& marks, EijiroLine& parts)
{
    if (line.substr(0, marks.entry.size()) != marks.entry)
        return false;
    line.remove_prefix(marks.entry.size());
    size_t colon = line.find(" : ");
    if (colon == std::string_view::npos)
        return false;
    std::string_view head = line.substr(0, colon);
    size_t label = head.find(" {");
    parts.key = TrimBlanks(head.substr(0, label));
    parts.text = label == std::string_view::npos ? TrimBlanks(line.substr(colon + 3))
                                                 : TrimBlanks(line.substr(label + 1));
    return true;
}

// Appends the text with a line break before each note and example.
void AppendText(std::string_view text, const Marks& marks, bool sjis, std::string& out)
{
    size_t i = 0, copied = 0;
    while (i < text.size()) {
        if (text[i] != marks.note[0] && text[i] != marks.example[0]) {
            i += sjis ? ShiftJisCharLength(text, i) : 1;
            continue;
        }
        std::string_view rest = text.substr(i);
        bool example = rest.substr(0, marks.example.size()) == marks.example;
        if (i > 0 && (example || rest.substr(0, marks.note.size()) == marks.note)) {
            out.append(TrimBlanks(text.substr(copied, i - copied))).append("\n");
            copied = i;
            i += example ? marks.example.size() : marks.note.size();
            continue;
        }
        i += sjis ? ShiftJisCharLength(text, i) : 1;
    }
    out.append(text.substr(copied));
}

} // namespace

bool LooksLikeEijiro(std::string_view text)
{
    const size_t linesLooked = 5;
    size_t pos = 0, shaped = 0;
    EijiroLine parts;
    while (pos < text.size() && shaped < linesLooked) {
        std::string_view line = NextTextLine(text, pos);
        if (TrimBlanks(line).empty())
            continue;
        if (line.find('\t') != std::string_view::npos ||
            (!SplitLine(line, Utf8Marks, parts) && !SplitLine(line, SjisMarks, parts)))
            return false;
        shaped++;
    }
    return shaped > 0;
}

ListReadResult ReadEijiro(std::string_view text, TextEncoding encoding, const ListSink& sink,
                          const char** unread)
{
    const Marks& marks = MarksOf(encoding);
    bool sjis = encoding == TextEncoding::ShiftJis;
    ListReadResult result;
    std::string data;
    std::string_view key; // of the entry being gathered
    size_t first = 0;     // its first line's number
    // The entry is handed on once the line after it is seen, which is not
    // yet passed: the entry's own lines are.
    auto handOn = [&](const char* next) {
        if (first == 0)
            return true;
        if (unread)
            *unread = next;
        return sink(first, key, data);
    };
    size_t pos = 0, line = 0;
    EijiroLine parts;
    while (pos < text.size()) {
        line++;
        const char* at = text.data() + pos;
        std::string_view row = NextTextLine(text, pos);
        if (TrimBlanks(row).empty())
            continue;
        if (!SplitLine(row, marks, parts)) {
            result.Ok = false;
            result.Line = line;
            result.Message = "not an EIJIRO line (\xE2\x96\xA0HEADWORD  {LABEL} : TEXT)";
            return result;
        }
        if (first != 0 && parts.key == key) {
            data += '\n';
        } else {
            if (!handOn(at))
                return result;
            first = line;
            key = parts.key;
            data.clear();
        }
        AppendText(parts.text, marks, sjis, data);
    }
    handOn(text.data() + text.size());
    return result;
}
