#include "lookup/external_search.h"

#include <shellapi.h>

#include <cstring>
#include <string>

#include "core/url_template.h"
#include "lookup/controls.h"
#include "res/resource.h"
#include "res/texts.h"
#include "ui/app_instance.h"
#include "ui/system_library.h"

const char DefaultSearchUrl[] = "https://dictionary.example.jp/search.php?MT=%s&kind=ej";
char SearchUrlTemplate[2048] = "https://dictionary.example.jp/search.php?MT=%s&kind=ej";

void OnExternalSearch(HWND mainWindow)
{
    std::string url = ExpandUrlTemplate(SearchUrlTemplate, SearchBox.SearchText);
    ShellExecuteA(mainWindow, nullptr, url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    InvalidateRect(mainWindow, nullptr, FALSE);
}

void OnCustomize(HWND mainWindow)
{
    // The dialog's address field is a Rich Edit 2.0 control.
    static HMODULE richEdit20 = LoadSystemLibrary("RICHED20.DLL");
    (void)richEdit20;
    DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_CUSTOMIZE), mainWindow, CustomizeDialogProc,
                    0);
}

namespace {

INT_PTR OnCustomizeOk(HWND dialog)
{
    HWND field = GetDlgItem(dialog, IDC_URL_EDIT);
    if (GetWindowTextLengthA(field) == 0) {
        MessageBoxA(dialog, TEXT_KEY_EMPTY, TEXT_ERROR_CAPTION, MB_OK);
        return 0;
    }
    GetWindowTextA(field, SearchUrlTemplate, sizeof SearchUrlTemplate);
    EndDialog(dialog, IDOK);
    return 1;
}

} // namespace

INT_PTR CALLBACK CustomizeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetDlgItemTextA(dialog, IDC_URL_EDIT, SearchUrlTemplate);
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            return OnCustomizeOk(dialog);
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return 1;
        case IDC_RESTORE_DEFAULT:
            SetDlgItemTextA(dialog, IDC_URL_EDIT, DefaultSearchUrl);
            return 0;
        }
        return 0;
    }
    return 0;
}
