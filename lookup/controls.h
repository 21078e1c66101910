// The main window's controls and hook objects that looking words up and
// capturing them work on. The main window creates the controls and sets
// the hooks; the lookup code only uses them.
#pragma once

#include "hooks/dll_keyhook.h"
#include "hooks/dll_mousehook.h"
#include "ui/clip_viewer_wrap.h"
#include "ui/combo_wrap.h"
#include "ui/rich_edit_wrap.h"

extern CComboWrap SearchBox;
extern CRichEditWrap KeyPane;
extern CRichEditWrap ResultPane;
extern CClipViewerWrap ClipboardLink;
extern CDllKeyhook KeyHook;
extern CDllMouseHook MouseHook;
