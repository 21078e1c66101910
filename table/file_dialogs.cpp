#include <windows.h>
#include <commdlg.h>

#include "table/file_commands.h"

namespace {

// Two pairs, each ended by a zero, and the list by one more.
const char FileFilter[] = "vbk(*.vbk)\0*.vbk\0all(*.*)\0*.*\0";

OPENFILENAMEA Request(HWND owner, char* path, char* name, const char* title, DWORD flags)
{
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = FileFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFileTitle = name;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.lpstrTitle = title;
    ofn.Flags = flags;
    return ofn;
}

} // namespace

bool ChooseOpenFile(HWND owner, std::string& fullPath)
{
    char path[MAX_PATH] = "", name[MAX_PATH] = "";
    OPENFILENAMEA ofn = Request(owner, path, name, "ファイルを開く", OFN_FILEMUSTEXIST);
    if (!GetOpenFileNameA(&ofn))
        return false;
    fullPath = path;
    return true;
}

bool ChooseSaveFile(HWND owner, std::string& fullPath)
{
    char path[MAX_PATH] = "", name[MAX_PATH] = "";
    OPENFILENAMEA ofn = Request(owner, path, name, "ファイルを保存する", OFN_OVERWRITEPROMPT);
    if (!GetSaveFileNameA(&ofn))
        return false;
    fullPath = path;
    return true;
}
