// Objects whose construction does work, in the order it must happen: the
// search box's class-wide state first, then the hook libraries.
#include "app/main_window.h"

CComboWrap SearchBox;
CDllKeyhook KeyHook;
CDllMouseHook MouseHook;
