#include "app/commands.h"

#include "app/about_dialog.h"
#include "app/file_commands.h"
#include "app/main_window.h"
#include "listwin/list_window.h"
#include "lookup/capture.h"
#include "lookup/external_search.h"
#include "lookup/lookup.h"
#include "res/resource.h"
#include "ui/app_instance.h"
#include "ui/background_work.h"

namespace {

void OnExit(HWND window)
{
    SendMessageA(window, WM_CLOSE, 0, 0);
}

void OnModeEdit(HWND)
{
    SwitchCaptureMode(Edit);
}

void OnModeSelectionEdit(HWND)
{
    SwitchCaptureMode(SelectionEdit);
}

void OnModeSearch(HWND)
{
    SwitchCaptureMode(Search);
}

void OnTopmost(HWND window)
{
    SetTopmost(window, 1);
}

void OnNotTopmost(HWND window)
{
    SetTopmost(window, 0);
}

// The menu remembers its own state; the two outside commands above do not
// touch it, so the toggle follows the menu, not the window.
void OnTopmostToggle(HWND window)
{
    TopmostMenuInfo.fMask = MIIM_STATE;
    if (TopmostMenuInfo.fState == MFS_CHECKED) {
        TopmostMenuInfo.fState = 0;
        SetTopmost(window, 0);
    } else {
        TopmostMenuInfo.fState = MFS_CHECKED;
        SetTopmost(window, 1);
    }
    SetMenuItemInfoA(MainMenu, IDM_TOPMOST_TOGGLE, FALSE, &TopmostMenuInfo);
}

void SendKey(BYTE key, DWORD flags)
{
    keybd_event(key, 0, flags, 0);
}

// In front: hand the focus back as Alt+Tab would. Behind: come to the front.
void OnFocusSwitch(HWND window)
{
    if (GetForegroundWindow() == window) {
        SendKey(VK_MENU, 0);
        SendKey(VK_TAB, 0);
        SendKey(VK_TAB, KEYEVENTF_KEYUP);
        SendKey(VK_MENU, KEYEVENTF_KEYUP);
        return;
    }
    ShowWindow(window, SW_RESTORE);
    DWORD foreground = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    DWORD own = GetCurrentThreadId();
    AttachThreadInput(own, foreground, TRUE);
    SetForegroundWindow(window);
    AttachThreadInput(own, foreground, FALSE);
    BringWindowToTop(window);
}

void OnList(HWND)
{
    OpenListWindow();
}

void OnAbout(HWND window)
{
    DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDlgProc, 0);
}

struct Command {
    WORD id;
    void (*run)(HWND mainWindow);
};

const Command Commands[] = {
    {IDM_EXIT, OnExit},
    {IDC_MODE_EDIT, OnModeEdit},
    {IDC_MODE_SEARCH, OnModeSearch},
    {IDC_ADD, OnAddEntry},
    {IDC_EXTERNAL_SEARCH, OnExternalSearch},
    {IDC_TOPMOST, OnTopmost},
    {IDC_NOT_TOPMOST, OnNotTopmost},
    {IDC_MODE_SELECTION_EDIT, OnModeSelectionEdit},
    {IDC_DELETE, OnDeleteEntry},
    {IDC_FOCUS, OnFocusSwitch},
    {IDC_INTERNAL_SEARCH, OnInternalSearch},
    {IDM_SAVE, OnSaveTable},
    {IDM_LIST, OnList},
    {IDM_TOPMOST_TOGGLE, OnTopmostToggle},
    {IDM_SAVE_AS, OnSaveTableAs},
    {IDM_OPEN_APPEND, OnOpenAppendTable},
    {IDM_OPEN_NEW, OnOpenNewTable},
    {IDM_NEW, OnNewTable},
    {IDM_ABOUT, OnAbout},
    {IDM_CUSTOMIZE, OnCustomize},
};

} // namespace

void OnCommand(HWND mainWindow, WORD id)
{
    // A file is being read: the table is to stay as it is until it is done.
    if (BackgroundWorkRunning())
        return;
    for (const Command& c : Commands) {
        if (c.id == id) {
            c.run(mainWindow);
            return;
        }
    }
}
