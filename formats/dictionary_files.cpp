#include "formats/dictionary_files.h"

#include "formats/gzip_data.h"
#include "formats/platform.h"

bool EndsWith(const std::string& s, const char* end)
{
    size_t n = std::char_traits<char>::length(end);
    return s.size() >= n && s.compare(s.size() - n, n, end) == 0;
}

bool FindCompanionFile(const std::string& base, std::initializer_list<const char*> suffixes,
                       std::string& usedName, std::string& failure)
{
    for (const char* suffix : suffixes) {
        if (PathExists(base + suffix)) {
            usedName = base + suffix;
            return true;
        }
    }
    std::string names;
    for (const char* suffix : suffixes)
        names += (names.empty() ? "" : " or ") + base + suffix;
    failure = names + ": no such file, and the dictionary needs it";
    return false;
}

bool LoadCompanionFile(const std::string& base, std::initializer_list<const char*> suffixes,
                       std::string& bytes, std::string& usedName, std::string& failure)
{
    usedName.clear();
    if (!FindCompanionFile(base, suffixes, usedName, failure))
        return false;
    std::string raw, why;
    FileOutcome outcome = ReadWholeFile(usedName, raw, why);
    if (outcome != FileOutcome::Ok) {
        failure = DescribeFileFailure(usedName, outcome, why);
        return false;
    }
    if (!EndsWith(usedName, ".dz") && !EndsWith(usedName, ".gz")) {
        bytes.swap(raw);
        return true;
    }
    bytes.clear();
    std::string problem;
    if (!Gunzip(raw, bytes, problem)) {
        failure = usedName + ": damaged compressed file: " + problem;
        return false;
    }
    return true;
}
