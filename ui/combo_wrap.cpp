#include "ui/combo_wrap.h"

HWND CComboWrap::NotifyWindow;
WORD CComboWrap::EnterCommand;
WNDPROC CComboWrap::SavedEditProc;

CComboWrap::CComboWrap()
{
    SavedEditProc = nullptr;
}

HWND CComboWrap::Create(HINSTANCE instance, HWND parent, int id, int kind, EditField field)
{
    DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_AUTOHSCROLL |
                  (kind == 1 ? CBS_DROPDOWN : CBS_DROPDOWNLIST);
    window = CreateWindowExA(0, "COMBOBOX", "", style, 0, 0, 0, 0, parent,
                             reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
    NotifyWindow = parent;
    EnterCommand = field.enterCommand;
    HWND edit = window ? GetTopWindow(window) : nullptr;
    if (!edit)
        return window;
    if (!SavedEditProc)
        SavedEditProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(edit, GWLP_WNDPROC));
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(field.editProc));
    return window;
}

void CComboWrap::Move(int x, int y, int width, int height)
{
    if (window)
        MoveWindow(window, x, y, width, height, TRUE);
}

void CComboWrap::ReadText()
{
    SearchText[0] = '\0';
    if (window)
        GetWindowTextA(window, SearchText, sizeof SearchText);
}

void CComboWrap::InsertTop(const char* item)
{
    if (window)
        SendMessageA(window, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(item));
}
