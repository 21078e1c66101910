#include "formats/dictionary_reader.h"

#include <cstdio>
#include <unordered_map>
#include <vector>

#include "encodings/latin_text.h"
#include "encodings/text_encoding.h"
#include "encodings/x_sampa.h"
#include "formats/dictd_reader.h"
#include "formats/file_names.h"
#include "formats/stardict_reader.h"

namespace {

const char Blanks[] = " \t\r\n";

std::string_view Trimmed(std::string_view s)
{
    size_t first = s.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return std::string_view();
    return s.substr(first, s.find_last_not_of(Blanks) + 1 - first);
}

// Where the first line ends: at its first CR or LF, or npos. Two searches for
// one character each, not a look-up of the pair for every byte, which
// showed in the import of a large dictionary.
size_t FirstLineEnd(std::string_view s)
{
    size_t lf = s.find('\n');
    size_t cr = s.substr(0, lf).find('\r');
    return cr != std::string_view::npos ? cr : lf;
}

// From the start of the first line that is not blank, its indentation kept.
std::string_view FromFirstLine(std::string_view s)
{
    size_t first = s.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return std::string_view();
    size_t lineEnd = s.find_last_of("\r\n", first);
    return s.substr(lineEnd == std::string_view::npos ? 0 : lineEnd + 1);
}

// The definition without surrounding blank lines, and without a first line
// that says nothing but the headword (in whatever case).
std::string_view DefinitionText(std::string_view headword, std::string_view text)
{
    text = FromFirstLine(text);
    text = text.substr(0, text.find_last_not_of(Blanks) + 1);
    size_t end = FirstLineEnd(text);
    if (EqualsIgnoringLatinCase(Trimmed(text.substr(0, end)), Trimmed(headword)))
        text = end == std::string_view::npos ? std::string_view() : FromFirstLine(text.substr(end));
    return text;
}

// Whether the text's first line starts with the headword (in whatever
// case), as "Haus /haʊs/ <n>" does, so that it tells whose the text is.
bool NamesHeadword(std::string_view text, std::string_view headword)
{
    std::string_view line = Trimmed(text.substr(0, FirstLineEnd(text)));
    headword = Trimmed(headword);
    return !headword.empty() && line.size() >= headword.size() &&
           EqualsIgnoringLatinCase(line.substr(0, headword.size()), headword) &&
           (line.size() == headword.size() || line[headword.size()] == ' ' ||
            line[headword.size()] == '\t');
}

// Gathers the distinct definitions of one headword listed several times in
// a row, in index order, under a line that names the headword. Each is
// looked for among those before it by its hash, so that a headword listed a
// hundred thousand times takes no longer than as many headwords.
class HomographJoiner {
public:
    explicit HomographJoiner(const DictionarySink& sink) : sink_(sink) {}

    bool Add(size_t number, std::string_view key, std::string_view headword, std::string_view text)
    {
        if (pending_ && headword == written_) {
            Append(text);
            return true;
        }
        if (!Flush())
            return false;
        pending_ = true;
        number_ = number;
        headword_.assign(key);
        written_.assign(headword);
        text_.clear();
        pieces_.clear();
        if (!seen_.empty())
            seen_ = decltype(seen_)(); // a large table's buckets would cost every later group
        Append(text);
        return true;
    }

    bool Flush()
    {
        if (!pending_)
            return true;
        pending_ = false;
        // Headwords that become one Key (schon and schön, Bank and bank)
        // are told apart by their first lines.
        if (!text_.empty() && !NamesHeadword(text_, written_))
            text_.insert(0, written_ + "\n");
        return sink_(number_, headword_, text_);
    }

private:
    struct Piece {
        size_t at, length;
    };

    void Append(std::string_view text)
    {
        if (text.empty())
            return;
        size_t hash = std::hash<std::string_view>()(text);
        if (!pieces_.empty()) {
            if (seen_.empty()) // the first piece goes in only once there is a second
                seen_.emplace(first_, 0);
            auto range = seen_.equal_range(hash);
            for (auto it = range.first; it != range.second; ++it) {
                const Piece& p = pieces_[it->second];
                if (std::string_view(text_).substr(p.at, p.length) == text)
                    return;
            }
            seen_.emplace(hash, pieces_.size());
            text_ += "\n\n";
        } else {
            first_ = hash;
        }
        pieces_.push_back(Piece{text_.size(), text.size()});
        text_.append(text);
    }

    const DictionarySink& sink_;
    bool pending_ = false;
    size_t number_ = 0;
    std::string headword_, written_, text_; // the Key, the headword as written
    std::vector<Piece> pieces_;
    size_t first_ = 0;
    std::unordered_multimap<size_t, size_t> seen_; // hash -> piece
};

std::string Count(uint64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// How many entries something was done to, and where the first were.
struct Tally {
    uint64_t entries = 0, units = 0;
    std::vector<size_t> first;

    void Note(size_t number, uint64_t n)
    {
        entries++;
        units += n;
        if (first.size() < 5)
            first.push_back(number);
    }
    std::string Places(const char* places) const
    {
        std::string s = std::string(" (first at ") + places + " ";
        for (size_t i = 0; i < first.size(); i++)
            s += (i ? ", " : "") + std::to_string(first[i]);
        return s + (entries > first.size() ? ", ...)" : ")");
    }
};

std::string Hex(unsigned char b)
{
    char s[8];
    std::snprintf(s, sizeof s, "0x%02X", b);
    return s;
}

bool IsAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80 || static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

} // namespace

std::optional<DictionaryFormat> DictionaryFormatOfName(const std::string& name)
{
    std::string ext = LowerExtension(name);
    if (ext == "index")
        return DictionaryFormat::Dictd;
    if (ext == "ifo")
        return DictionaryFormat::StarDict;
    return std::nullopt;
}

std::string DictionaryPlace(DictionaryFormat format, const std::string& path, size_t number)
{
    if (format == DictionaryFormat::Dictd)
        return path + ":" + std::to_string(number);
    return WithoutExtension(path) + ".idx: entry " + std::to_string(number);
}

std::vector<std::string> CompanionFiles(DictionaryFormat format, const std::string& path)
{
    std::vector<std::string> names;
    std::string base = WithoutExtension(path);
    if (format == DictionaryFormat::Dictd) {
        for (const char* suffix : {".index", ".dict", ".dict.dz"})
            names.push_back(base + suffix);
    } else {
        for (const char* suffix : {".ifo", ".idx", ".idx.gz", ".dict", ".dict.dz", ".syn", ".syn.dz"})
            names.push_back(base + suffix);
    }
    return names;
}

DictionaryReadResult ReadDictionary(DictionaryFormat format, const std::string& path,
                                    const DictionaryReading& reading, const DictionarySink& sink)
{
    bool stopped = false;
    DictionarySink counted = [&](size_t number, std::string_view headword, std::string_view text) {
        stopped = !sink(number, headword, text);
        return !stopped;
    };
    HomographJoiner joiner(counted);
    std::string failure;
    Tally stray, phonetic;
    std::string repairedHeadword, repairedText, key, spelled;
    auto raw = [&](size_t number, std::string_view headword, std::string_view text) {
        std::optional<TextFault> fault = FindUtf8Fault(headword);
        bool inHeadword = fault.has_value();
        if (!fault)
            fault = FindUtf8Fault(text);
        if (fault) {
            switch (reading.strayBytes) {
            case StrayBytes::Refuse: {
                std::string_view where = inHeadword ? headword : text;
                failure = DictionaryPlace(format, path, number) + ": " +
                          (IsAscii(headword) ? "\"" + std::string(headword) + "\": " : "") +
                          "a byte that is not UTF-8 (" +
                          Hex(static_cast<unsigned char>(where[fault->Offset])) +
                          (inHeadword ? " in the headword"
                                      : " on line " + std::to_string(fault->Line) + " of the entry") +
                          "); --unencodable replace reads such bytes as Windows-1252, "
                          "--unencodable skip leaves the entry out";
                return false;
            }
            case StrayBytes::LeaveOut:
                stray.Note(number, 1);
                return true;
            case StrayBytes::AsWindows1252:
                repairedHeadword.clear();
                repairedText.clear();
                size_t n = ReadStrayBytesAsWindows1252(headword, repairedHeadword);
                n += ReadStrayBytesAsWindows1252(text, repairedText);
                stray.Note(number, n);
                headword = repairedHeadword;
                text = repairedText;
                break;
            }
        }
        key.assign(headword);
        if (!reading.keepCase)
            LowerLatinCase(key);
        text = DefinitionText(headword, text);
        if (reading.ipaAsXSampa) {
            spelled.clear();
            if (size_t n = WriteIpaAsXSampa(text, spelled)) {
                phonetic.Note(number, n);
                text = spelled;
            }
        }
        return joiner.Add(number, key, headword, text);
    };
    DictionaryReadResult result = format == DictionaryFormat::Dictd
                                      ? ReadDictdEntries(path, raw, reading.expect)
                                      : ReadStarDictEntries(path, raw, reading.expect);
    if (!failure.empty()) {
        result.Ok = false;
        result.Message = failure;
    }
    if (result.Ok && !stopped)
        joiner.Flush();
    const char* places = format == DictionaryFormat::Dictd ? "index lines" : "entries";
    if (stray.entries && reading.strayBytes == StrayBytes::AsWindows1252)
        result.Windows1252Bytes = stray.units;
    if (stray.entries && reading.strayBytes == StrayBytes::AsWindows1252)
        result.Notes.push_back(Count(stray.entries, "entry", "entries") +
                               " with bytes that are not UTF-8: " +
                               Count(stray.units, "byte", "bytes") + " read as Windows-1252" +
                               stray.Places(places));
    if (stray.entries && reading.strayBytes == StrayBytes::LeaveOut)
        result.Notes.push_back(Count(stray.entries, "entry", "entries") +
                               " left out: bytes that are not UTF-8" + stray.Places(places));
    if (phonetic.entries)
        result.Notes.push_back(Count(phonetic.entries, "entry", "entries") +
                               " with pronunciations in IPA: " +
                               Count(phonetic.units, "character", "characters") +
                               " written in X-SAMPA, its ASCII spelling" + phonetic.Places(places));
    return result;
}
