#include "formats/file_names.h"

#include <cctype>

namespace {

// Where the extension's dot is, or npos.
size_t ExtensionDot(const std::string& path)
{
    size_t dot = path.find_last_of('.');
    size_t slash = path.find_last_of("/\\");
    return dot == std::string::npos || (slash != std::string::npos && dot < slash)
               ? std::string::npos
               : dot;
}

} // namespace

std::string LowerExtension(const std::string& path)
{
    size_t dot = ExtensionDot(path);
    if (dot == std::string::npos)
        return std::string();
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

std::string WithoutExtension(const std::string& path)
{
    size_t dot = ExtensionDot(path);
    return dot == std::string::npos ? path : path.substr(0, dot);
}
