#include "app/about_dialog.h"

#include "res/resource.h"
#include "ui/app_instance.h"

namespace {

const char HomePageAddress[] = "https://vocabrik.example.jp/";

// Where the icon sits, in pixels of the client area: left of the texts.
const int IconX = 40;
const int IconY = 25;
const int IconSize = 32;

void ShowIcon(HWND dialog)
{
    HICON icon = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_APP));
    if (!icon)
        return; // the box is still useful without its picture
    HWND picture = CreateWindowExA(0, "static", "icon", WS_CHILD | WS_VISIBLE | SS_ICON,
                                   IconX, IconY, IconSize, IconSize, dialog, nullptr,
                                   AppInstance, nullptr);
    if (picture)
        SendMessageA(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

INT_PTR OnInitDialog(HWND dialog)
{
    ShowIcon(dialog);
    SendDlgItemMessageA(dialog, IDC_ABOUT_ADDRESS, EM_REPLACESEL, 0,
                        reinterpret_cast<LPARAM>(HomePageAddress));
    return TRUE; // the dialog manager focuses OK, the first tab stop
}

INT_PTR OnCommand(HWND dialog, WPARAM wParam)
{
    int id = LOWORD(wParam);
    if (id != IDOK && id != IDCANCEL)
        return FALSE;
    EndDialog(dialog, id);
    return TRUE;
}

} // namespace

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, wParam);
    default:
        return FALSE;
    }
}
