#include "listwin/add_edit_dialog.h"

#include <richedit.h>

#include "listwin/list_view_wrap.h"
#include "res/resource.h"
#include "table/table_file.h"
#include "ui/window_text.h"

int AddEditMode;
int EditRowIndex;
std::string DialogKeyText;
std::string DialogDataText;

namespace {

void ReplaceSel(HWND field, const std::string& text)
{
    SendMessageA(field, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// Fields are read whole: a Key or Data is never shortened on its way.
void ReadFields(HWND dialog)
{
    DialogKeyText = ReadWindowText(GetDlgItem(dialog, IDC_ADDEDIT_KEY));
    DialogDataText = ReadWindowText(GetDlgItem(dialog, IDC_ADDEDIT_DATA));
}

void Store()
{
    EntryTable.EraseEntry(DialogKeyText);
    EntryTable.InsertEntry(DialogKeyText, DialogDataText);
    TableModified = 1;
}

BOOL RefuseEmptyField(HWND dialog, int id, const char* message)
{
    if (GetWindowTextLengthA(GetDlgItem(dialog, id)) != 0)
        return FALSE;
    MessageBoxA(dialog, message, "エラー", MB_OK);
    return TRUE;
}

INT_PTR OnOk(HWND dialog)
{
    if (RefuseEmptyField(dialog, IDC_ADDEDIT_KEY, "Keyが空なので，追加されません") ||
        RefuseEmptyField(dialog, IDC_ADDEDIT_DATA, "Dataが空なので，追加されません"))
        return FALSE;
    if (AddEditMode == AddMode) {
        ReadFields(dialog);
        EndDialog(dialog, IDC_ADDEDIT_OK);
        Store();
        ListView.AddRow(DialogKeyText, DialogDataText);
    } else {
        EntryTable.EraseEntry(DialogKeyText); // the former Key
        TableModified = 1;
        ReadFields(dialog);
        EndDialog(dialog, IDC_ADDEDIT_OK);
        Store();
        ListView.SetRow(EditRowIndex, DialogKeyText, DialogDataText);
    }
    return TRUE;
}

} // namespace

// The row's whole texts, not the list's cells, which hold only their start.
int FillEditFields(HWND dialog, std::string& key, std::string& data)
{
    key = ListView.KeyOf(EditRowIndex);
    data = ListView.DataOf(EditRowIndex);
    ReplaceSel(GetDlgItem(dialog, IDC_ADDEDIT_KEY), key);
    ReplaceSel(GetDlgItem(dialog, IDC_ADDEDIT_DATA), data);
    return 1;
}

INT_PTR CALLBACK AddEditDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetFocus(GetDlgItem(dialog, IDC_ADDEDIT_KEY));
        if (AddEditMode == EditMode)
            FillEditFields(dialog, DialogKeyText, DialogDataText);
        return FALSE;
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
