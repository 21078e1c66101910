#include "core/cp932_text.h"

namespace cp932 {

bool IsLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(unsigned char b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

size_t CharacterLength(std::string_view text, size_t at)
{
    return at + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[at])) &&
                   IsTrailByte(static_cast<unsigned char>(text[at + 1]))
               ? 2
               : 1;
}

size_t CutLength(std::string_view text, size_t bytes)
{
    size_t n = 0;
    while (n < text.size()) {
        size_t step = CharacterLength(text, n);
        if (n + step > bytes)
            break;
        n += step;
    }
    return n;
}

size_t TailStart(std::string_view text, size_t bytes)
{
    size_t n = 0;
    while (n < text.size() && text.size() - n > bytes)
        n += CharacterLength(text, n);
    return n;
}

size_t LengthOfCharacters(std::string_view text, size_t characters)
{
    size_t n = 0;
    for (size_t c = 0; c < characters && n < text.size(); c++)
        n += CharacterLength(text, n);
    return n;
}

} // namespace cp932
