// StarDict: NAME.ifo describes the dictionary ("key=value" lines after a
// fixed first line); NAME.idx (or NAME.idx.gz) lists the entries in order,
// each a zero-terminated headword and the offset and size of its data in
// NAME.dict (or NAME.dict.dz), big-endian, the offset 64 bits wide where
// idxoffsetbits=64. The data is a sequence of typed fields; a type letter in
// lower case is text ending at a zero byte, in upper case a 32-bit size and
// that many bytes. With sametypesequence the type letters are given once in
// the .ifo and left out of the data, and the last field has neither end nor
// size. Plain text (m), Pango markup (g) and HTML (h) come in; other types
// are refused.
#include "formats/stardict_reader.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>

#include "formats/dictionary_data.h"
#include "formats/file_names.h"
#include "formats/html_text.h"
#include "formats/platform.h"

namespace {

const char IfoMagic[] = "StarDict's dict ifo file";

DictionaryReadResult Failed(std::string message)
{
    DictionaryReadResult r;
    r.Ok = false;
    r.Message = std::move(message);
    return r;
}

std::string TypeName(char type)
{
    static const std::map<char, const char*> names = {
        {'m', "plain text"}, {'l', "text in a local encoding"}, {'g', "Pango markup"},
        {'t', "a phonetic transcription"}, {'x', "XDXF markup"}, {'y', "Chinese YinBiao or Japanese kana"},
        {'k', "KingSoft PowerWord XML"}, {'w', "MediaWiki markup"}, {'h', "HTML"},
        {'n', "WordNet data"}, {'r', "a list of resource files"}, {'W', "a sound"},
        {'P', "a picture"}, {'X', "experimental data"}};
    auto it = names.find(type);
    char shown[8];
    std::snprintf(shown, sizeof shown, std::isprint(static_cast<unsigned char>(type)) ? "%c" : "0x%02X",
                  static_cast<unsigned char>(type));
    return "'" + std::string(shown) + "' (" + (it != names.end() ? it->second : "unknown") + ")";
}

bool Readable(char type) { return type == 'm' || type == 'g' || type == 'h'; }

std::string Refusal(char type)
{
    return "entries of type " + TypeName(type) +
           " cannot come in; vbk reads the types 'm' (plain text), 'g' (Pango markup) and 'h' "
           "(HTML)";
}

struct Ifo {
    uint64_t wordCount = 0;
    bool hasWordCount = false;
    uint64_t idxFileSize = 0;
    bool hasIdxFileSize = false;
    int offsetBits = 32;
    std::string sameTypeSequence;
};

bool ParseNumber(std::string_view s, uint64_t& value)
{
    if (s.empty() || s.size() > 18)
        return false;
    value = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
        value = value * 10 + uint64_t(c - '0');
    }
    return true;
}

bool ParseIfo(std::string_view text, const std::string& name, Ifo& ifo, std::string& failure)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    size_t pos = 0;
    bool first = true;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            if (line != IfoMagic) {
                failure = name + ": not a StarDict .ifo file (it does not start with \"" +
                          IfoMagic + "\")";
                return false;
            }
            first = false;
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, eq), value = line.substr(eq + 1);
        uint64_t n = 0;
        if (key == "wordcount") {
            ifo.hasWordCount = ParseNumber(value, ifo.wordCount);
        } else if (key == "idxfilesize") {
            ifo.hasIdxFileSize = ParseNumber(value, ifo.idxFileSize);
        } else if (key == "idxoffsetbits") {
            if (!ParseNumber(value, n) || (n != 32 && n != 64)) {
                failure = name + ": idxoffsetbits is 32 or 64, not " + std::string(value);
                return false;
            }
            ifo.offsetBits = int(n);
        } else if (key == "sametypesequence") {
            ifo.sameTypeSequence = std::string(value);
        }
    }
    if (first) {
        failure = name + ": not a StarDict .ifo file (it is empty)";
        return false;
    }
    if (!ifo.hasWordCount) {
        failure = name + ": the line wordcount=N is missing or not a number";
        return false;
    }
    for (char type : ifo.sameTypeSequence) {
        if (!Readable(type)) {
            failure = name + ": " + Refusal(type);
            return false;
        }
    }
    return true;
}

uint64_t BigEndian(std::string_view bytes)
{
    uint64_t v = 0;
    for (char c : bytes)
        v = v << 8 | static_cast<unsigned char>(c);
    return v;
}

// The text of one entry's data; false with a problem (a refused type, or
// fields that run past the data).
bool EntryText(std::string_view data, const std::string& sequence, std::string& text,
               std::string& problem)
{
    text.clear();
    auto add = [&](char type, std::string_view field) {
        if (!text.empty())
            text += '\n';
        // Pango markup is HTML's tags and references with the line breaks
        // written out, which HTML's reading keeps.
        text += type == 'm' ? std::string(field) : HtmlToText(field, TextEncoding::Utf8);
    };
    auto textField = [&](bool last, std::string_view& field) {
        size_t zero = data.find('\0');
        if (zero == std::string_view::npos) {
            if (!last)
                return false;
            zero = data.size();
        }
        field = data.substr(0, zero);
        data.remove_prefix(zero < data.size() ? zero + 1 : zero);
        return true;
    };
    std::string_view field;
    if (!sequence.empty()) {
        for (size_t i = 0; i < sequence.size(); i++) {
            if (!textField(i + 1 == sequence.size(), field)) {
                problem = "its data ends inside a field";
                return false;
            }
            add(sequence[i], field);
        }
        return true;
    }
    while (!data.empty()) {
        char type = data[0];
        data.remove_prefix(1);
        if (!Readable(type)) {
            problem = Refusal(type);
            return false;
        }
        // The readable types are all text: lower case, ending at a zero byte
        // (the last one may end with the data instead).
        textField(true, field);
        add(type, field);
    }
    return true;
}

} // namespace

DictionaryReadResult ReadStarDictEntries(const std::string& ifoPath, const RawDictionarySink& sink,
                                         const DictionarySizeHint& expect)
{
    std::string ifoText, why, failure;
    FileOutcome outcome = ReadWholeFile(ifoPath, ifoText, why);
    if (outcome != FileOutcome::Ok)
        return Failed(DescribeFileFailure(ifoPath, outcome, why));
    Ifo ifo;
    if (!ParseIfo(ifoText, ifoPath, ifo, failure))
        return Failed(failure);
    std::string base = WithoutExtension(ifoPath);
    std::string idx, idxName;
    DictionaryData dict;
    if (!LoadCompanionFile(base, {".idx", ".idx.gz"}, idx, idxName, failure) ||
        !dict.Open(base, failure))
        return Failed(failure);
    if (ifo.hasIdxFileSize && ifo.idxFileSize != idx.size())
        return Failed(idxName + ": damaged: " + std::to_string(idx.size()) + " bytes, but " +
                      ifoPath + " says idxfilesize=" + std::to_string(ifo.idxFileSize));

    // Twice through the index, as for dictd: checked and added up, then read.
    const size_t offsetBytes = ifo.offsetBits / 8;
    std::string text, problem;
    uint64_t bytes = 0;
    for (int pass = 0; pass < 2; pass++) {
        std::string_view rest = idx;
        size_t number = 0;
        while (!rest.empty()) {
            number++;
            size_t zero = rest.find('\0');
            if (zero == std::string_view::npos || rest.size() - zero - 1 < offsetBytes + 4)
                return Failed(idxName + ": entry " + std::to_string(number) +
                              ": damaged: the index ends inside it");
            std::string_view headword = rest.substr(0, zero);
            uint64_t offset = BigEndian(rest.substr(zero + 1, offsetBytes));
            uint64_t size = BigEndian(rest.substr(zero + 1 + offsetBytes, 4));
            rest.remove_prefix(zero + 1 + offsetBytes + 4);
            if (offset > dict.Size() || size > dict.Size() - offset)
                return Failed(idxName + ": entry " + std::to_string(number) +
                              ": damaged: its data lies past the end of " + dict.Name() +
                              " (offset " + std::to_string(offset) + ", size " +
                              std::to_string(size) + ", " + std::to_string(dict.Size()) +
                              " bytes in all)");
            if (pass == 0) {
                bytes += headword.size() + size;
                continue;
            }
            std::string_view data;
            if (!dict.Read(offset, size, data, failure))
                return Failed(failure);
            if (!EntryText(data, ifo.sameTypeSequence, text, problem))
                return Failed(idxName + ": entry " + std::to_string(number) + ": " + problem);
            if (!sink(number, headword, text))
                return DictionaryReadResult();
        }
        if (number != ifo.wordCount)
            return Failed(idxName + ": damaged: it holds " + std::to_string(number) +
                          " entries, but " + ifoPath + " says wordcount=" +
                          std::to_string(ifo.wordCount));
        if (pass == 0 && expect)
            expect(number, bytes);
    }
    return DictionaryReadResult();
}
