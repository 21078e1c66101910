#include "lookup/url_template.h"

std::string ExpandUrlTemplate(std::string_view urlTemplate, std::string_view word)
{
    std::string url;
    for (size_t i = 0; i < urlTemplate.size() && url.size() < MaxSearchUrlLength; i++) {
        char c = urlTemplate[i];
        if (c == '%' && i + 1 < urlTemplate.size()) {
            char next = urlTemplate[i + 1];
            if (next == 's') {
                url.append(word);
                i++;
                continue;
            }
            if (next == '%') {
                url += '%';
                i++;
                continue;
            }
        }
        url += c;
    }
    if (url.size() > MaxSearchUrlLength)
        url.resize(MaxSearchUrlLength);
    return url;
}
