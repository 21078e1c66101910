// The dialog that takes one entry's Key and Data, to add it or to edit one.
#pragma once

#include <windows.h>

#include <string>

enum AddEditModeValue {
    AddMode = 0,
    EditMode = 1,
};

// The dialog's creation parameter. In edit mode the texts start as the
// entry's own; after OK they hold what the person typed.
struct AddEditRequest {
    int AddEditMode = AddMode;
    std::string DialogKeyText;
    std::string DialogDataText;
};

// IDC_ADDEDIT_OK when the person accepted the texts, IDCANCEL otherwise.
INT_PTR RunAddEditDialog(HWND owner, AddEditRequest& request);
