#include "listwin/add_edit_dialog.h"

#include <richedit.h>

#include "res/resource.h"
#include "res/texts.h"
#include "ui/app_instance.h"
#include "ui/guarded.h"
#include "ui/rich_edit_wrap.h"
#include "ui/system_library.h"
#include "ui/window_text.h"

namespace {

AddEditRequest* RequestOf(HWND dialog)
{
    return reinterpret_cast<AddEditRequest*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

int FillEditFields(HWND dialog, const std::string& key, const std::string& data)
{
    ReplaceSelWhole(GetDlgItem(dialog, IDC_ADDEDIT_KEY), key.c_str());
    ReplaceSelWhole(GetDlgItem(dialog, IDC_ADDEDIT_DATA), data.c_str());
    return 1;
}

BOOL RefuseEmptyField(HWND dialog, int id, const char* message)
{
    if (GetWindowTextLengthA(GetDlgItem(dialog, id)) != 0)
        return FALSE;
    MessageBoxA(dialog, message, TEXT_ERROR_CAPTION, MB_OK);
    return TRUE;
}

INT_PTR OnInitDialog(HWND dialog, AddEditRequest* request)
{
    SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(request));
    SetFocus(GetDlgItem(dialog, IDC_ADDEDIT_KEY));
    if (request->AddEditMode == EditMode)
        FillEditFields(dialog, request->DialogKeyText, request->DialogDataText);
    return FALSE; // the focus set above stays
}

// Fields are read whole: a Key or Data is never shortened on its way.
INT_PTR OnOk(HWND dialog)
{
    if (RefuseEmptyField(dialog, IDC_ADDEDIT_KEY, TEXT_KEY_EMPTY) ||
        RefuseEmptyField(dialog, IDC_ADDEDIT_DATA, TEXT_DATA_EMPTY))
        return FALSE;
    AddEditRequest* request = RequestOf(dialog);
    request->DialogKeyText = ReadWindowText(GetDlgItem(dialog, IDC_ADDEDIT_KEY));
    request->DialogDataText = ReadWindowText(GetDlgItem(dialog, IDC_ADDEDIT_DATA));
    EndDialog(dialog, IDC_ADDEDIT_OK);
    return TRUE;
}

INT_PTR HandleDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog, reinterpret_cast<AddEditRequest*>(lParam));
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ADDEDIT_OK:
            return OnOk(dialog);
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

INT_PTR CALLBACK AddEditDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Guarded(dialog, INT_PTR(FALSE),
                   [&] { return HandleDialogMessage(dialog, message, wParam, lParam); });
}

} // namespace

INT_PTR RunAddEditDialog(HWND owner, AddEditRequest& request)
{
    // The dialog's fields are Rich Edit 2.0 controls.
    static HMODULE richEdit20 = LoadSystemLibrary("RICHED20.DLL");
    (void)richEdit20;
    return DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ADD_EDIT), owner, AddEditDlgProc,
                           reinterpret_cast<LPARAM>(&request));
}
