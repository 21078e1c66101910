#include "core/title.h"

#include <cstring>
#include <string>

#include "core/cp932_text.h"

void FormatTitle(const char* path, int modified, char* out)
{
    const char* prefix = "Vocabrik - ";
    const char* suffix = modified ? "* " : " ";
    const size_t room = TitleBufferSize - 1 - strlen(prefix) - strlen(suffix);

    std::string_view whole = path;
    std::string name(whole);
    if (name.size() > room) {
        const size_t keep = room - 3; // for "..."
        size_t head = cp932::CutLength(whole, keep / 2);
        size_t tail = cp932::TailStart(whole, keep - head);
        name = std::string(whole.substr(0, head)) + "..." + std::string(whole.substr(tail));
    }
    std::string title = prefix + name + suffix;
    memcpy(out, title.c_str(), title.size() + 1);
}
