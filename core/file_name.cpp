#include "core/file_name.h"

#include "core/cp932_text.h"

void EnsureExtension(std::string& name, std::string_view extension)
{
    bool has = name.size() >= extension.size() &&
               std::string_view(name).substr(name.size() - extension.size()) == extension;
    if (!has)
        name.append(extension);
}

std::string_view NamePart(std::string_view path)
{
    size_t start = 0;
    for (size_t i = 0; i < path.size(); i += cp932::CharacterLength(path, i)) {
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
            start = i + 1;
    }
    return path.substr(start);
}

std::string TableNameBeside(std::string_view path)
{
    std::string_view name = NamePart(path);
    size_t dot = name.rfind('.'); // never a trail byte of code page 932
    size_t cut = dot == std::string_view::npos || dot == 0 ? path.size()
                                                           : path.size() - name.size() + dot;
    return std::string(path.substr(0, cut)) + ".vbk";
}
