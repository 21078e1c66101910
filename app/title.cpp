#include "app/title.h"

#include <cstring>
#include <string>

namespace {

// The length of the longest prefix of s, at most limit bytes, that ends on
// a character boundary.
size_t PrefixOnBoundary(const char* s, size_t limit, bool (*isLeadByte)(unsigned char))
{
    size_t n = 0;
    while (s[n]) {
        size_t step = (isLeadByte(static_cast<unsigned char>(s[n])) && s[n + 1]) ? 2 : 1;
        if (n + step > limit)
            break;
        n += step;
    }
    return n;
}

// The start of the shortest suffix of s, at most limit bytes, that begins on a
// character boundary.
size_t SuffixOnBoundary(const char* s, size_t limit, bool (*isLeadByte)(unsigned char))
{
    size_t length = strlen(s), n = 0;
    while (n < length) {
        size_t step = (isLeadByte(static_cast<unsigned char>(s[n])) && s[n + 1]) ? 2 : 1;
        if (length - n <= limit)
            return n;
        n += step;
    }
    return length;
}

} // namespace

void FormatTitle(const char* path, int modified, bool (*isLeadByte)(unsigned char), char* out)
{
    const char* prefix = "Vocabrik - ";
    const char* suffix = modified ? "* " : " ";
    const size_t room = TitleBufferSize - 1 - strlen(prefix) - strlen(suffix);

    std::string name = path;
    if (name.size() > room) {
        const size_t keep = room - 3; // for "..."
        size_t head = PrefixOnBoundary(path, keep / 2, isLeadByte);
        size_t tail = SuffixOnBoundary(path, keep - head, isLeadByte);
        name = std::string(path, head) + "..." + std::string(path + tail);
    }
    std::string title = prefix + name + suffix;
    memcpy(out, title.c_str(), title.size() + 1);
}
