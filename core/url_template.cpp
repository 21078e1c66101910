#include "core/url_template.h"

#include "core/cp932_text.h"

namespace {

// A lead byte followed by something that cannot follow it stands alone, so
// that a quote after it is still escaped.
bool IsPair(std::string_view text, size_t i)
{
    return cp932::CharacterLength(text, i) == 2;
}

bool NeedsEscape(unsigned char b)
{
    return b < 0x20 || b == 0x7F || b == '"' || b == '#' || b == '%' || b == '&' || b == '+' ||
           b == '<' || b == '>';
}

// Appends whole pieces only: a piece that does not fit ends the address.
class Address {
public:
    bool Append(std::string_view piece)
    {
        if (full_ || url_.size() + piece.size() > MaxSearchUrlLength) {
            full_ = true;
            return false;
        }
        url_.append(piece);
        return true;
    }
    // Characters as they stand, a double-byte one as one piece; with encode,
    // the bytes that need it as escapes.
    void AppendText(std::string_view text, bool encode)
    {
        static const char hex[] = "0123456789ABCDEF";
        for (size_t i = 0; i < text.size() && !full_; i++) {
            unsigned char b = static_cast<unsigned char>(text[i]);
            if (IsPair(text, i)) {
                Append(text.substr(i, 2));
                i++;
            } else if (encode && NeedsEscape(b)) {
                const char escape[3] = {'%', hex[b >> 4], hex[b & 15]};
                Append(std::string_view(escape, 3));
            } else {
                Append(text.substr(i, 1));
            }
        }
    }
    std::string Take() { return std::move(url_); }

private:
    std::string url_;
    bool full_ = false;
};

} // namespace

std::string ExpandUrlTemplate(std::string_view urlTemplate, std::string_view word)
{
    Address address;
    size_t plain = 0; // start of the template text not yet written
    for (size_t i = 0; i + 1 < urlTemplate.size(); i++) {
        if (IsPair(urlTemplate, i)) {
            i++;
            continue;
        }
        if (urlTemplate[i] != '%' || (urlTemplate[i + 1] != 's' && urlTemplate[i + 1] != '%'))
            continue;
        address.AppendText(urlTemplate.substr(plain, i - plain), false);
        if (urlTemplate[i + 1] == 's')
            address.AppendText(word, true);
        else
            address.Append("%");
        plain = i + 2;
        i++;
    }
    address.AppendText(urlTemplate.substr(plain), false);
    return address.Take();
}
