#include "ui/system_library.h"

#include <string>

HMODULE LoadSystemLibrary(const char* name)
{
    char folder[MAX_PATH];
    UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    std::string path = std::string(folder, n) + "\\" + name;
    return LoadLibraryA(path.c_str());
}

void RestrictLibrarySearch()
{
    SetDllDirectoryA(""); // not the working folder either
    // Not in every system's headers of the version we build for.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const DWORD SearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault)
        setDefault(SearchSystem32);
}
