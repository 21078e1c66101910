#include "lookup/search_box.h"

#include "res/resource.h"
#include "ui/combo_wrap.h"

LRESULT CALLBACK EditSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN) {
        if ((wParam & 0xFF) == VK_RETURN) {
            SendMessageA(CComboWrap::NotifyWindow, WM_COMMAND, CComboWrap::EnterCommand, 0);
            return 0;
        }
        // Posted, so that it runs after the character this key makes has
        // reached the field.
        PostMessageA(CComboWrap::NotifyWindow, WM_COMMAND, IDC_INTERNAL_SEARCH, 0);
    }
    return CallWindowProcA(CComboWrap::SavedEditProc, window, message, wParam, lParam);
}
