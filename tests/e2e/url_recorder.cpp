// Stands in for the web browser: the tests make it the handler of https
// addresses, and it writes the address it was given, byte for byte, beside
// itself into "last-url".
#include <windows.h>

#include <cstring>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    // The handler is registered as: "recorder" "%1"
    std::string address = commandLine;
    if (address.size() >= 2 && address.front() == '"' && address.back() == '"')
        address = address.substr(1, address.size() - 2);

    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder.resize(folder.find_last_of('\\') + 1);
    std::string temp = folder + "last-url.tmp", final = folder + "last-url";
    HANDLE f = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(f, address.data(), DWORD(address.size()), &written, nullptr);
    CloseHandle(f);
    return MoveFileExA(temp.c_str(), final.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
