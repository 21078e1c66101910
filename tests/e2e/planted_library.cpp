// Stands in for a library planted beside the program under a system
// library's name: when loaded, it leaves a file named after itself in the
// working folder, and does nothing else.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, MAX_PATH);
    const char* name = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/')
            name = p + 1;
    char marker[MAX_PATH + 16];
    wsprintfA(marker, "loaded-%s", name);
    HANDLE f = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE)
        CloseHandle(f);
    return TRUE;
}
