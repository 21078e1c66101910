// The dialog that adds an entry to the table and the list, or edits a row.
#pragma once

#include <windows.h>

#include <string>

enum AddEditModeValue {
    AddMode = 0,
    EditMode = 1,
};

extern int AddEditMode;
extern int EditRowIndex;
// The Key and Data on their way between the fields, the table and the list.
// In edit mode the Key is the row's former Key until OK is accepted.
extern std::string DialogKeyText;
extern std::string DialogDataText;

INT_PTR CALLBACK AddEditDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int FillEditFields(HWND dialog, std::string& key, std::string& data);
