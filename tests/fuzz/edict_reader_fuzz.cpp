// libFuzzer target for the EDICT reader and the EUC-JP decoder. Whatever the
// bytes, the decoder stays inside its room and writes valid UTF-8; the reader
// ends, and every Key it gives is a piece of its line, and every Data starts
// with the line's head.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "encodings/euc_jp.h"
#include "formats/edict_reader.h"

namespace {

void ReadAll(std::string_view text)
{
    LooksLikeEdict(text);
    ReadEdict(text, [&](size_t line, std::string_view key, std::string_view data) {
        if (line == 0 || key.empty() || key.find(';') != std::string_view::npos ||
            key.find('\n') != std::string_view::npos || data.empty() ||
            key.data() < text.data() || key.data() + key.size() > text.data() + text.size())
            abort();
        return true;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t bound = EucJpUtf8Bound(size);
    std::unique_ptr<char[]> utf8(new char[bound]);
    size_t written = 0;
    ConvertResult r = EucJpToUtf8(input, utf8.get(), written);
    if (written > bound || (!r.Ok && r.Offset >= size))
        abort();
    std::string_view out(utf8.get(), written);
    if (FindUtf8Fault(out))
        abort();
    ReadAll(out);
    ReadAll(input);
    return 0;
}
