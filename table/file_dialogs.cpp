#include "table/file_dialogs.h"

#include <commdlg.h>

namespace {

// Two pairs, each ended by a zero, and the list by one more.
const char FileFilter[] = "vbk(*.vbk)\0*.vbk\0all(*.*)\0*.*\0";

using DialogFn = BOOL(WINAPI*)(OPENFILENAMEA*);

// The chosen file's full path; the name part is taken from it later.
bool Choose(DialogFn dialog, HWND owner, const char* title, DWORD flags, std::string& fullPath,
            const std::string& proposed = "")
{
    char path[MAX_PATH] = "", name[MAX_PATH] = "";
    // The folder apart from the name: the dialog shows the name alone.
    size_t slash = proposed.find_last_of('\\');
    std::string folder = slash == std::string::npos ? "" : proposed.substr(0, slash);
    std::string proposedName = proposed.substr(slash == std::string::npos ? 0 : slash + 1);
    if (proposedName.size() < sizeof path)
        proposedName.copy(path, proposedName.size());
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = FileFilter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFileTitle = name;
    ofn.nMaxFileTitle = MAX_PATH;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = title;
    ofn.Flags = flags;
    if (!dialog(&ofn))
        return false;
    fullPath = path;
    return true;
}

} // namespace

bool ChooseOpenFile(HWND owner, std::string& fullPath)
{
    return Choose(GetOpenFileNameA, owner, "ファイルを開く", OFN_FILEMUSTEXIST, fullPath);
}

bool ChooseSaveFile(HWND owner, std::string& fullPath, const std::string& proposed)
{
    return Choose(GetSaveFileNameA, owner, "ファイルを保存する", OFN_OVERWRITEPROMPT, fullPath,
                  proposed);
}
