// The main window: its controls, the state shown in it, and its procedure.
#pragma once

#include <windows.h>

#include "lookup/controls.h"
#include "ui/button_wrap.h"
#include "ui/paint_wrap.h"
#include "ui/toolbar_wrap.h"

// The main window's other controls; the search box, the panes, the
// clipboard link and the hooks are the lookup's (lookup/controls.h).
extern CToolbarWrap ModeToolbar;
extern CButtonWrap SearchButton;
extern CPaintWrap Painter;

extern int KeyCaptionHeight;
extern int DataCaptionHeight;
extern HMENU MainMenu;
extern MENUITEMINFOA TopmostMenuInfo;
extern HWND MainWindow;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void SetTopmost(HWND window, int on);
int CenterOnDesktop(HWND window);
