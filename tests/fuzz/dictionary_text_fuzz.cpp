// libFuzzer target for the readers of dictionary text files (DSL, EIJIRO,
// PDIC, KANJIDIC) and the UTF-16 decoder. Whatever the bytes, the decoder
// stays inside its room; each reader ends, gives Keys of one line, and never
// moves `unread` back or past the text's end.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "encodings/utf16.h"
#include "formats/dsl_reader.h"
#include "formats/eijiro_reader.h"
#include "formats/kanjidic_reader.h"
#include "formats/pdic_reader.h"

namespace {

bool KeyOfOneLine(std::string_view key)
{
    return key.find('\n') == std::string_view::npos && key.find('\r') == std::string_view::npos;
}

void ReadAll(std::string_view text)
{
    LooksLikeEijiro(text);
    LooksLikePdic(text);
    LooksLikeKanjidic(text);
    const char* unread = text.data();
    const char* last = unread;
    auto inPlace = [&](size_t, std::string_view key, std::string_view) {
        if (!KeyOfOneLine(key) || unread < last || unread > text.data() + text.size())
            abort();
        last = unread;
        return true;
    };
    auto apart = [&](size_t, std::string_view key, std::string_view) {
        if (!KeyOfOneLine(key))
            abort();
        return true;
    };
    ReadEijiro(text, TextEncoding::ShiftJis, inPlace, &unread);
    unread = last = text.data();
    ReadEijiro(text, TextEncoding::Utf8, inPlace, &unread);
    unread = last = text.data();
    ReadPdic(text, inPlace, &unread);
    ReadDsl(text, false, apart);
    ReadKanjidic(text, apart);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t bound = Utf16Utf8Bound(size);
    std::unique_ptr<char[]> utf8(new char[bound]);
    size_t written = 0;
    ConvertResult r = Utf16ToUtf8(input, size % 2 == 1, utf8.get(), written);
    if (written > bound || (!r.Ok && r.Offset >= size))
        abort();
    Utf16ByZeroBytes(input);
    ReadAll(std::string_view(utf8.get(), written));
    ReadAll(input);
    return 0;
}
