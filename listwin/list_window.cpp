#include "listwin/list_window.h"

#include <commctrl.h>

#include <new>

#include "listwin/add_edit_dialog.h"
#include "listwin/list_view_wrap.h"
#include "res/resource.h"
#include "res/texts.h"
#include "table/table_document.h"
#include "ui/app_instance.h"
#include "ui/guarded.h"
#include "ui/toolbar_wrap.h"

const char ListClassName[] = "RegistLV";
const char ListWindowTitle[] = "登録一覧表";

namespace {

const int ListToolbarHeight = 40;

CToolbarWrap ListToolbar;

const ListColumn ListColumns[] = {{"Key", 120}, {"Data", 600}};

TBBUTTON ListToolbarButtons[] = {
    {I_IMAGENONE, IDC_LIST_ADD, TBSTATE_ENABLED, BTNS_AUTOSIZE | BTNS_SHOWTEXT, {}, 0, 0},
    {I_IMAGENONE, IDC_LIST_EDIT, TBSTATE_ENABLED, BTNS_AUTOSIZE, {}, 0, 0},
    {I_IMAGENONE, IDC_LIST_DELETE, TBSTATE_ENABLED, BTNS_AUTOSIZE | BTNS_SHOWTEXT, {}, 0, 0},
};

// Sent to the list window when its rows could not follow the table.
const UINT WM_APP_ROWS_LOST = WM_APP + 1;

// The list follows the document while the window is open: one row per
// Key, whoever changes the table. Rows that cannot follow for want of
// memory are not left showing a stale table: the window closes.
class CListDocumentView : public CDocumentView {
public:
    void EntryChanged(const EntryChange& change) override
    {
        try {
            if (!change.before) {
                if (!ListView.AppendRow(change.after))
                    Lost();
            } else if (!change.after) {
                ListView.RemoveRow(change.before);
            } else {
                ListView.ReplaceRow(change.before, change.after);
            }
        } catch (const std::bad_alloc&) {
            Lost();
        }
    }
    void TableReplaced() override
    {
        if (!ListView.Fill(Document.EntryTable()))
            Lost();
    }
    void FileStateChanged() override {}
    void EntriesMoved(const std::vector<CEntryTable::ImageMove>& moves) override
    {
        ListView.MoveRows(moves);
    }

private:
    void Lost() { PostMessageA(GetParent(ListView.window), WM_APP_ROWS_LOST, 0, 0); }
};

CListDocumentView ListDocumentView;

void WarnNoSelection(HWND window)
{
    MessageBoxA(window, "項目を選択してください。", TEXT_CONFIRM_CAPTION, MB_ICONWARNING);
}

void OnListAdd(HWND window)
{
    AddEditRequest request;
    request.AddEditMode = AddMode;
    if (RunAddEditDialog(window, request) == IDC_ADDEDIT_OK)
        Document.StoreEntry(request.DialogKeyText, request.DialogDataText);
}

// The dialog starts from the entry as the table holds it now.
void OnListEdit(HWND window)
{
    int selected = ListView.SelectedCount();
    if (selected == 0) {
        WarnNoSelection(window);
        return;
    }
    if (selected >= 2) {
        MessageBoxA(window, "編集できる項目は１つです。", TEXT_CONFIRM_CAPTION, MB_ICONWARNING);
        return;
    }
    int EditRowIndex = ListView.NextSelected(-1, LVNI_SELECTED);
    Entry entry = ListView.RowEntry(EditRowIndex);
    if (!entry.Handle)
        return;
    AddEditRequest request;
    request.AddEditMode = EditMode;
    request.DialogKeyText = std::string(entry.Key);
    request.DialogDataText = std::string(entry.Data);
    const std::string formerKey = request.DialogKeyText;
    if (RunAddEditDialog(window, request) != IDC_ADDEDIT_OK)
        return;
    // The table may have changed while the dialog was open: the row is
    // found again by its entry.
    Document.ReplaceEntry(formerKey, request.DialogKeyText, request.DialogDataText);
}

// No question first: the selected rows and their entries go at once.
void OnListDelete(HWND window)
{
    std::vector<int> selected = ListView.Selected();
    if (selected.empty()) {
        WarnNoSelection(window);
        return;
    }
    std::vector<std::string> keys;
    keys.reserve(selected.size());
    for (int index : selected)
        keys.emplace_back(ListView.RowEntry(index).Key);
    ListView.BeginRemovals();
    Document.EraseEntries(keys, [&](size_t i) { ListView.HintRow(selected[i]); });
    ListView.EndRemovals();
}

struct ListCommand {
    WORD id;
    void (*run)(HWND window);
};

const ListCommand ListCommands[] = {
    {IDC_LIST_ADD, OnListAdd},
    {IDC_LIST_EDIT, OnListEdit},
    {IDC_LIST_DELETE, OnListDelete},
};

// A table too large for the list's rows makes no window: creating it fails.
LRESULT OnCreate(HWND window)
{
    ListToolbar.Create(AppInstance, window);
    ListToolbar.AddButtons(ARRAYSIZE(ListToolbarButtons), ListToolbarButtons);
    ListView.Create(AppInstance, window, IDC_LIST_VIEW);
    ListView.AddColumns(ListColumns, ARRAYSIZE(ListColumns));
    if (!ListView.Fill(Document.EntryTable()))
        return -1;
    Document.AddView(&ListDocumentView);
    return 0;
}

void OnSize(int width, int height)
{
    ListToolbar.Move(0, 0, width, ListToolbarHeight);
    ListView.Move(0, ListToolbarHeight, width, height - ListToolbarHeight);
}

void OnClose(HWND window)
{
    DestroyWindow(window);
}

void OnRowsLost(HWND window)
{
    ListView.Reset(); // no row may point at entries that went meanwhile
    MessageBoxA(window, "メモリが足りないため、一覧を閉じます。表はそのままです。", TEXT_ERROR_CAPTION,
                MB_OK | MB_ICONWARNING);
    DestroyWindow(window);
}

void OnDestroy()
{
    Document.RemoveView(&ListDocumentView);
    ListView.Reset();
}

void OnCommand(HWND window, WORD id)
{
    for (const ListCommand& c : ListCommands) {
        if (c.id == id) {
            c.run(window);
            return;
        }
    }
}

LRESULT HandleListMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_SIZE:
        OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_CLOSE:
        OnClose(window);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_APP_ROWS_LOST:
        OnRowsLost(window);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_F1) {
            SendMessageA(window, WM_COMMAND, IDC_LIST_ADD, 0);
            return 0;
        }
        break;
    case WM_NOTIFY: {
        LRESULT result;
        if (wParam == IDC_LIST_VIEW &&
            ListView.HandleNotify(reinterpret_cast<NMHDR*>(lParam), &result))
            return result;
        break;
    }
    case WM_COMMAND:
        OnCommand(window, LOWORD(wParam));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int OpenListWindow()
{
    HWND existing = FindWindowA(ListClassName, ListWindowTitle);
    if (existing) {
        if (IsIconic(existing))
            ShowWindow(existing, SW_RESTORE);
        SetForegroundWindow(existing);
        return 1;
    }
    HWND window = CreateWindowExA(0, ListClassName, ListWindowTitle, WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, AppInstance, nullptr);
    if (!window) {
        MessageBoxA(nullptr, "リストビュー作成失敗", TEXT_ERROR_CAPTION, MB_OK);
        return 0;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    return 1;
}

LRESULT CALLBACK ListWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return Guarded(window, LRESULT(0),
                   [&] { return HandleListMessage(window, message, wParam, lParam); });
}
