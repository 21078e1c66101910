// Every resource, command and control id of the program: one numeric space
// shared by menu items, toolbar buttons, controls and the string table.
#pragma once

// Resources
#define IDD_ABOUT 103
#define IDS_APP_TITLE 108
#define IDS_MAIN_CLASS 109
#define IDR_MAIN_MENU 109
#define IDR_ACCELERATORS 109
#define IDB_DATA_CAPTION 135
#define IDB_KEY_CAPTION 141
#define IDI_APP 150
#define IDD_ADD_EDIT 152
#define IDD_CUSTOMIZE 159

// Menu commands
#define IDM_EXIT 105
#define IDM_SAVE 133
#define IDM_LIST 136
#define IDM_TOPMOST_TOGGLE 137
#define IDM_SAVE_AS 142
#define IDM_OPEN_APPEND 145
#define IDM_OPEN_NEW 146
#define IDM_NEW 147
#define IDM_ABOUT 148
#define IDM_CUSTOMIZE 160

// Accelerator command that no window acts on
#define IDM_NOTHING 104

// Main window: toolbar buttons, controls and commands from other senders
#define IDC_MODE_EDIT 110
#define IDC_MODE_SEARCH 111
#define IDC_ADD 112
#define IDC_EXTERNAL_SEARCH 113
#define IDC_TOPMOST 114
#define IDC_NOT_TOPMOST 115
#define IDC_KEY_PANE 116
#define IDC_RESULT_PANE 117
#define IDC_SEARCH_BOX 118
#define IDC_MODE_SELECTION_EDIT 121
#define IDC_DELETE 122
#define IDC_FOCUS 126
#define IDC_INTERNAL_SEARCH 127

// List window
#define IDC_LIST_VIEW 120
#define IDC_LIST_ADD 123
#define IDC_LIST_EDIT 124
#define IDC_LIST_DELETE 125

// Strings that name commands and controls; loaded by nothing
#define IDS_EXTERNAL_SEARCH 113
#define IDS_TOPMOST 114
#define IDS_NOT_TOPMOST 115
#define IDS_MAIN_WINDOW 116
#define IDS_RESULT_WINDOW 117
#define IDS_COMBO_BOX 118
#define IDS_TIMER 119
#define IDS_LIST_VIEW 120
#define IDS_DELETE 122
#define IDS_FOCUS 126
#define IDS_INTERNAL_SEARCH 127

// Dialog controls
#define IDC_RESTORE_DEFAULT 3
#define IDC_ABOUT_ADDRESS 1003
#define IDC_ADDEDIT_KEY 1004
#define IDC_ADDEDIT_DATA 1005
#define IDC_ADDEDIT_OK 1007
#define IDC_URL_EDIT 1008
