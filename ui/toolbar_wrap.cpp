#include "ui/toolbar_wrap.h"

HWND CToolbarWrap::Create(HINSTANCE module, HWND parent)
{
    instance = module;
    InitCommonControls();
    window = CreateWindowExA(WS_EX_TOOLWINDOW, TOOLBARCLASSNAMEA, nullptr,
                             WS_CHILD | WS_VISIBLE | CCS_NORESIZE | CCS_ADJUSTABLE, 0, 0, 0, 0,
                             parent, nullptr, instance, nullptr);
    if (window)
        SendMessageA(window, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return window;
}

void CToolbarWrap::Move(int x, int y, int width, int height)
{
    if (window)
        MoveWindow(window, x, y, width, height, TRUE);
}

void CToolbarWrap::AddButtons(int count, TBBUTTON* records)
{
    if (!window || count > 20)
        return;
    for (int i = 0; i < count; i++) {
        // TB_ADDSTRINGA takes a list of strings ended by an empty one.
        char caption[257] = "";
        LoadStringA(instance, UINT(records[i].idCommand), caption, 256);
        caption[strlen(caption) + 1] = '\0';
        records[i].iString =
            SendMessageA(window, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(caption));
    }
    SendMessageA(window, TB_ADDBUTTONSA, WPARAM(count), reinterpret_cast<LPARAM>(records));
}

void CToolbarWrap::AddCheckedButtons(int count, TBBUTTON* records)
{
    AddButtons(count, records);
    if (window && count > 0)
        SendMessageA(window, TB_CHECKBUTTON, WPARAM(records[0].idCommand), TRUE);
}

void CToolbarWrap::AddSeparator()
{
    if (!window)
        return;
    TBBUTTON sep = {};
    sep.fsState = TBSTATE_ENABLED;
    sep.fsStyle = TBSTYLE_SEP;
    SendMessageA(window, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&sep));
}
