// The main window: its controls, the state shown in it, and its procedure.
#pragma once

#include <windows.h>

#include "extlib/dll_keyhook.h"
#include "extlib/dll_mousehook.h"
#include "ui/button_wrap.h"
#include "ui/clip_viewer_wrap.h"
#include "ui/combo_wrap.h"
#include "ui/paint_wrap.h"
#include "ui/rich_edit_wrap.h"
#include "ui/toolbar_wrap.h"

extern CToolbarWrap ModeToolbar;
extern CComboWrap SearchBox;
extern CButtonWrap SearchButton;
extern CRichEditWrap KeyPane;
extern CRichEditWrap ResultPane;
extern CPaintWrap Painter;
extern CClipViewerWrap ClipboardLink;
extern CDllKeyhook KeyHook;
extern CDllMouseHook MouseHook;

extern int KeyCaptionHeight;
extern int DataCaptionHeight;
extern HMENU MainMenu;
extern MENUITEMINFOA TopmostMenuInfo;
extern HWND MainWindow;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// After the window was shown: data.vbk of the working folder.
void LoadStartTable(HWND window);

void SetTopmost(HWND window, int on);
int CenterOnDesktop(HWND window);
