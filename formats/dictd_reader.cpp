// dictd: NAME.index holds one line per headword, "headword<TAB>offset<TAB>
// length", the numbers in base 64 (A-Z a-z 0-9 + /, most significant digit
// first), pointing into NAME.dict or its dictzip form NAME.dict.dz. A fourth
// column, where present, holds the headword as written before the index
// folded it. The "00-database-..." entries describe the dictionary itself.
#include "formats/dictd_reader.h"

#include <cstdint>
#include <vector>

#include "formats/dictionary_data.h"
#include "formats/file_names.h"
#include "formats/platform.h"

namespace {

bool DecodeNumber(std::string_view digits, uint64_t& value)
{
    static const std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (digits.empty() || digits.size() > 10) // 60 bits: more than any file holds
        return false;
    value = 0;
    for (char c : digits) {
        size_t d = alphabet.find(c);
        if (d == std::string_view::npos)
            return false;
        value = value * 64 + d;
    }
    return true;
}

std::vector<std::string_view> Columns(std::string_view line)
{
    std::vector<std::string_view> columns;
    size_t pos = 0;
    for (;;) {
        size_t tab = line.find('\t', pos);
        columns.push_back(line.substr(pos, tab == std::string_view::npos ? tab : tab - pos));
        if (tab == std::string_view::npos)
            return columns;
        pos = tab + 1;
    }
}

bool DescribesTheDictionary(std::string_view headword)
{
    return headword.substr(0, 12) == "00-database-" || headword.substr(0, 10) == "00database";
}

DictionaryReadResult Failed(std::string message)
{
    DictionaryReadResult r;
    r.Ok = false;
    r.Message = std::move(message);
    return r;
}

std::string HeadlessNote(const std::vector<size_t>& lines)
{
    std::string note = std::to_string(lines.size()) +
                       (lines.size() == 1 ? " index line" : " index lines") +
                       " left out: no headword (first at index lines ";
    const size_t shown = 5;
    for (size_t i = 0; i < lines.size() && i < shown; i++)
        note += (i ? ", " : "") + std::to_string(lines[i]);
    return note + (lines.size() > shown ? ", ...)" : ")");
}

} // namespace

DictionaryReadResult ReadDictdEntries(const std::string& indexPath, const RawDictionarySink& sink,
                                      const DictionarySizeHint& expect)
{
    std::string index, why;
    FileOutcome outcome = ReadWholeFile(indexPath, index, why);
    if (outcome != FileOutcome::Ok)
        return Failed(DescribeFileFailure(indexPath, outcome, why));
    DictionaryData dict;
    std::string failure;
    if (!dict.Open(WithoutExtension(indexPath), failure))
        return Failed(failure);

    // Twice through the index: first every line is checked and the sizes
    // added up, so that a damaged index fails before anything is read and
    // the entries' room is made once; then the entries are read.
    uint64_t entries = 0, bytes = 0;
    // Lines with nothing before the first tab: a few dictionaries list
    // entries whose headword was only punctuation so (〃, §), and dictd
    // itself passes them over.
    std::vector<size_t> headless;
    for (int pass = 0; pass < 2; pass++) {
        size_t number = 0, pos = 0;
        while (pos < index.size()) {
            number++;
            size_t end = index.find('\n', pos);
            if (end == std::string::npos)
                end = index.size();
            std::string_view line = std::string_view(index).substr(pos, end - pos);
            pos = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            if (line.empty())
                continue;
            std::vector<std::string_view> columns = Columns(line);
            uint64_t offset = 0, length = 0;
            if (pass == 0) {
                std::string place = indexPath + ":" + std::to_string(number);
                if (columns.size() < 3)
                    return Failed(place + ": not an index line (headword, tab, offset, tab, length)");
                if (!DecodeNumber(columns[1], offset) || !DecodeNumber(columns[2], length))
                    return Failed(place + ": the offset or length is not a base-64 number");
                if (offset > dict.Size() || length > dict.Size() - offset)
                    return Failed(place + ": the entry lies past the end of " + dict.Name() +
                                  " (offset " + std::to_string(offset) + ", length " +
                                  std::to_string(length) + ", " + std::to_string(dict.Size()) +
                                  " bytes in all)");
            }
            if (DescribesTheDictionary(columns[0]))
                continue;
            std::string_view headword = columns.size() > 3 && !columns[3].empty() ? columns[3]
                                                                                    : columns[0];
            if (headword.empty()) {
                if (pass == 0)
                    headless.push_back(number);
                continue;
            }
            if (pass == 0) {
                entries++;
                bytes += headword.size() + length;
                continue;
            }
            DecodeNumber(columns[1], offset);
            DecodeNumber(columns[2], length);
            std::string_view text;
            if (!dict.Read(offset, length, text, failure))
                return Failed(failure);
            if (!sink(number, headword, text))
                return DictionaryReadResult();
        }
        if (pass == 0 && expect)
            expect(entries, bytes);
    }
    DictionaryReadResult result;
    if (!headless.empty())
        result.Notes.push_back(HeadlessNote(headless));
    return result;
}
