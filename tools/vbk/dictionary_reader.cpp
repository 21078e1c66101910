#include "tools/vbk/dictionary_reader.h"

#include "tools/vbk/dictd_reader.h"
#include "tools/vbk/file_names.h"
#include "tools/vbk/stardict_reader.h"
#include "tools/vbk/text_encoding.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The definition without surrounding blank lines, and without a first line
// that says nothing but the headword.
std::string_view DefinitionText(std::string_view headword, std::string_view text)
{
    text = Trimmed(text);
    size_t end = text.find_first_of("\r\n");
    if (end != std::string_view::npos && EqualsIgnoringAsciiCase(Trimmed(text.substr(0, end)),
                                                                Trimmed(headword)))
        text = Trimmed(text.substr(end));
    else if (end == std::string_view::npos && EqualsIgnoringAsciiCase(text, Trimmed(headword)))
        text = std::string_view();
    return text;
}

// Gathers the definitions of one headword listed several times in a row.
class HomographJoiner {
public:
    explicit HomographJoiner(const DictionarySink& sink) : sink_(sink) {}

    bool Add(size_t number, std::string_view headword, std::string_view text)
    {
        if (pending_ && headword == headword_) {
            if (!text.empty() && text_.find(text) == std::string::npos) {
                if (!text_.empty())
                    text_ += "\n\n";
                text_.append(text);
            }
            return true;
        }
        if (!Flush())
            return false;
        pending_ = true;
        number_ = number;
        headword_.assign(headword);
        text_.assign(text);
        return true;
    }

    bool Flush()
    {
        if (!pending_)
            return true;
        pending_ = false;
        return sink_(number_, headword_, text_);
    }

private:
    const DictionarySink& sink_;
    bool pending_ = false;
    size_t number_ = 0;
    std::string headword_, text_;
};

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
                                    const DictionarySink& sink)
{
    bool stopped = false;
    DictionarySink counted = [&](size_t number, std::string_view headword, std::string_view text) {
        stopped = !sink(number, headword, text);
        return !stopped;
    };
    HomographJoiner joiner(counted);
    std::string failure;
    auto raw = [&](size_t number, std::string_view headword, std::string_view text) {
        std::optional<TextFault> fault = FindUtf8Fault(headword);
        if (!fault)
            fault = FindUtf8Fault(text);
        if (fault) {
            failure = DictionaryPlace(format, path, number) +
                      ": the entry is not valid UTF-8, the only encoding these dictionaries use";
            return false;
        }
        return joiner.Add(number, headword, DefinitionText(headword, text));
    };
    DictionaryReadResult result = format == DictionaryFormat::Dictd
                                      ? ReadDictdEntries(path, raw)
                                      : ReadStarDictEntries(path, raw);
    if (!failure.empty()) {
        result.Ok = false;
        result.Message = failure;
    }
    if (result.Ok && !stopped)
        joiner.Flush();
    return result;
}
