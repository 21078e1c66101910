#include "table/file_name.h"

void EnsureExtension(std::string& name, std::string_view extension)
{
    bool has = name.size() >= extension.size() &&
               std::string_view(name).substr(name.size() - extension.size()) == extension;
    if (!has)
        name.append(extension);
}
