#include "app/main_window.h"

#include <commctrl.h>
#include <richedit.h>

#include <new>

#include "app/commands.h"
#include "app/file_commands.h"
#include "core/layout.h"
#include "core/title.h"
#include "hooks/vk_png.h"
#include "lookup/capture.h"
#include "lookup/search_box.h"
#include "res/resource.h"
#include "table/recovery_journal.h"
#include "table/table_document.h"
#include "ui/app_instance.h"
#include "ui/guarded.h"
#include "ui/system_library.h"

CToolbarWrap ModeToolbar;
CButtonWrap SearchButton;
CPaintWrap Painter;

int KeyCaptionHeight = DefaultKeyCaptionHeight;
int DataCaptionHeight = DefaultDataCaptionHeight;
HMENU MainMenu;
MENUITEMINFOA TopmostMenuInfo;
HWND MainWindow;

namespace {

const COLORREF White = RGB(255, 255, 255);

const LPARAM PaneTextLimit = 2048;

TBBUTTON ModeButtons[] = {
    {I_IMAGENONE, IDC_MODE_EDIT, TBSTATE_ENABLED, BTNS_SHOWTEXT | BTNS_AUTOSIZE | BTNS_CHECKGROUP, {}, 0, 0},
    {I_IMAGENONE, IDC_MODE_SELECTION_EDIT, TBSTATE_ENABLED, BTNS_SHOWTEXT | BTNS_AUTOSIZE | BTNS_CHECKGROUP, {}, 0, 0},
    {I_IMAGENONE, IDC_MODE_SEARCH, TBSTATE_ENABLED, BTNS_SHOWTEXT | BTNS_AUTOSIZE | BTNS_CHECKGROUP, {}, 0, 0},
};
TBBUTTON AddButton[] = {
    {I_IMAGENONE, IDC_ADD, TBSTATE_ENABLED, BTNS_AUTOSIZE, {}, 0, 0},
};

void ShowTitle(HWND window)
{
    char title[TitleBufferSize];
    FormatTitle(Document.CurrentTablePath(), Document.TableModified(), title);
    SetWindowTextA(window, title);
}

// The title follows the document: a change of name or of the modified flag
// shows at once, wherever it was made.
class CTitleView : public CDocumentView {
public:
    void EntryChanged(const EntryChange&) override {}
    void TableReplaced() override {}
    void EntriesMoved(const std::vector<CEntryTable::ImageMove>&) override {}
    void FileStateChanged() override
    {
        if (!MainWindow)
            return;
        try {
            ShowTitle(MainWindow);
        } catch (const std::bad_alloc&) {
            // the next paint sets it
        }
    }
};

CTitleView TitleView;

void CreatePane(CRichEditWrap& pane, HWND window, int id)
{
    pane.Create(AppInstance, window, id);
    pane.SetBkColor(White);
    pane.SetTypingLimit(PaneTextLimit);
}

// A caption image that cannot be loaded keeps the height of the one we ship.
int CaptionHeight(int id, int fallback)
{
    int width = 0, height = 0;
    return Painter.MeasureImage(id, &width, &height) ? height : fallback;
}

LRESULT OnCreate(HWND window)
{
    MainWindow = window;
    Painter.instance = AppInstance;
    Painter.loadPng = vkLoadPNGA;
    LoadSystemLibrary("RICHED32.DLL"); // the panes' class; kept for the life of the process
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);

    ModeToolbar.Create(AppInstance, window);
    ModeToolbar.AddCheckedButtons(ARRAYSIZE(ModeButtons), ModeButtons);
    ModeToolbar.AddSeparator();
    ModeToolbar.AddButtons(ARRAYSIZE(AddButton), AddButton);

    MouseHook.SetMainHWND(window);
    KeyHook.SetHWND(window, 0);
    KeyHook.SetHWND(ModeToolbar.window, 1);

    SearchBox.Create(AppInstance, window, IDC_SEARCH_BOX, 1,
                     {EditSubclassProc, IDC_EXTERNAL_SEARCH});
    SearchButton.Create(AppInstance, window, IDC_EXTERNAL_SEARCH, "検索");

    KeyCaptionHeight = CaptionHeight(IDB_KEY_CAPTION, DefaultKeyCaptionHeight);
    DataCaptionHeight = CaptionHeight(IDB_DATA_CAPTION, DefaultDataCaptionHeight);

    CreatePane(KeyPane, window, IDC_KEY_PANE);
    CreatePane(ResultPane, window, IDC_RESULT_PANE);

    KeyHook.SetHook();
    Document.AddView(&TitleView);
    RecoveryJournal.Attach(Document, CRecoveryJournal::DefaultPath());
    ClipboardLink.JoinChain(window);
    CenterOnDesktop(window);
    SetTopmost(window, 1);

    MainMenu = GetMenu(window);
    TopmostMenuInfo.cbSize = sizeof TopmostMenuInfo;
    TopmostMenuInfo.fState = MFS_CHECKED;
    return 0;
}

void OnSize(HWND window, int width, int height)
{
    MainLayout l = ComputeMainLayout(width, height, KeyCaptionHeight, DataCaptionHeight);
    ModeToolbar.Move(l.toolbar.x, l.toolbar.y, l.toolbar.width, l.toolbar.height);
    SearchBox.Move(l.searchBox.x, l.searchBox.y, l.searchBox.width, l.searchBox.height);
    SearchButton.Move(l.searchButton.x, l.searchButton.y, l.searchButton.width,
                      l.searchButton.height);
    KeyPane.Move(l.keyPane.x, l.keyPane.y, l.keyPane.width, l.keyPane.height);
    ResultPane.Move(l.resultPane.x, l.resultPane.y, l.resultPane.width, l.resultPane.height);
    InvalidateRect(window, nullptr, FALSE);
}

void OnPaint(HWND window)
{
    ShowTitle(window);

    MainLayout l = ComputeMainLayout(0, 0, KeyCaptionHeight, DataCaptionHeight);
    Painter.Begin(window);
    Painter.DrawImage(IDB_KEY_CAPTION, 0, l.keyImageY);
    Painter.DrawImage(IDB_DATA_CAPTION, 0, l.dataImageY);
    Painter.End(window);
}

void OnSetFocus(HWND window)
{
    SetFocus(GetDlgItem(window, IDC_SEARCH_BOX));
}

// The hooks end before any question, so nothing is captured while it waits;
// they come back when the person keeps the window open.
class CHooksPaused {
public:
    CHooksPaused() : mouse_(MouseHook.IsHooking() != 0), key_(KeyHook.IsHooking() != 0)
    {
        if (mouse_)
            MouseHook.EndHook();
        if (key_)
            KeyHook.EndHook();
    }
    void Resume()
    {
        if (key_)
            KeyHook.SetHook();
        if (mouse_)
            MouseHook.SetHook();
    }

private:
    bool mouse_, key_;
};

// A close that the person stops (a cancelled save dialog, a failed save)
// keeps the window and the table as they were.
void OnClose(HWND window)
{
    CHooksPaused hooks;
    if (!SaveOnClose(window)) {
        hooks.Resume();
        return;
    }
    DestroyWindow(window);
}

// Log-off and shutdown ask as closing does; a save that fails or is
// cancelled keeps the session from ending.
LRESULT OnQueryEndSession(HWND window)
{
    return SaveOnClose(window) ? TRUE : FALSE;
}

// The session ends: the question has been answered already.
void OnEndSession(HWND window, bool ending)
{
    if (!ending)
        return;
    CHooksPaused hooks;
    DestroyWindow(window);
}

// Ending normally: nothing is left to recover, whatever the answer to the
// question of saving was.
void OnDestroy(HWND window)
{
    RecoveryJournal.Discard();
    RecoveryJournal.Detach();
    Document.RemoveView(&TitleView);
    ClipboardLink.LeaveChain(window);
    PostQuitMessage(0);
}

LRESULT HandleMainMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_SIZE:
        OnSize(window, LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_SETFOCUS:
        OnSetFocus(window);
        return 0;
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_QUERYENDSESSION:
        return OnQueryEndSession(window);
    case WM_ENDSESSION:
        OnEndSession(window, wParam != 0);
        return 0;
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_DRAWCLIPBOARD:
        // The next viewer hears of the change whatever became of ours.
        Guarded(window, 0, [&] {
            OnClipboardChange(window);
            return 0;
        });
        ClipboardLink.ForwardDraw(message, wParam, lParam);
        // Only now has the mouse hook's copy been used and passed on: the
        // clipboard the person had may go back.
        MouseHook.CopyHandled();
        return 0;
    case WM_CHANGECBCHAIN:
        ClipboardLink.ChainChanged(message, wParam, lParam);
        return 0;
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Guarded(window, LRESULT(0),
                   [&] { return HandleMainMessage(window, message, wParam, lParam); });
}
