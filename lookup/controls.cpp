#include "lookup/controls.h"

// Their construction does work (the combo box's class-wide reset, the hook
// objects'); none of them depends on another while it is built.
CComboWrap SearchBox;
CRichEditWrap KeyPane;
CRichEditWrap ResultPane;
CClipViewerWrap ClipboardLink;
CDllKeyhook KeyHook;
CDllMouseHook MouseHook;
