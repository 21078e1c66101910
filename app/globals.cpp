// The main window's objects whose construction does work. The table, the
// file object and the list view live in their own modules; none of these
// objects depends on another while it is built.
#include "app/main_window.h"

CComboWrap SearchBox;
CDllKeyhook KeyHook;
CDllMouseHook MouseHook;
