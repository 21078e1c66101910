#include "lookup/lookup.h"

#include <string>

#include "core/word_lookup.h"
#include "lookup/controls.h"
#include "res/texts.h"
#include "table/table_document.h"

namespace {

// Pane updates are batched: under some systems every visible change of a
// rich edit costs a re-layout and a repaint.
class PaneBatch {
public:
    PaneBatch()
    {
        for (HWND pane : {KeyPane.window, ResultPane.window})
            if (pane)
                SendMessageA(pane, WM_SETREDRAW, FALSE, 0);
    }
    ~PaneBatch()
    {
        for (HWND pane : {KeyPane.window, ResultPane.window}) {
            if (pane) {
                SendMessageA(pane, WM_SETREDRAW, TRUE, 0);
                InvalidateRect(pane, nullptr, TRUE);
            }
        }
    }
};

} // namespace

int LookUpWord(const char* word)
{
    WordShown shown = ShowWord(Document.EntryTable(), TextBytes(word));
    PaneBatch batch;
    KeyPane.Clear();
    ResultPane.Clear();
    KeyPane.ReplaceSelLimited(word);
    ResultPane.ReplaceSel(shown.result.c_str());
    KeyPane.ScrollTop();
    ResultPane.ScrollTop();
    return 1;
}

void OnInternalSearch(HWND)
{
    SearchBox.ReadText();
    SearchBox.InsertTop(SearchBox.SearchText);
    LookUpWord(SearchBox.SearchText);
}

void OnAddEntry(HWND mainWindow)
{
    if (KeyPane.TextLength() == 0) {
        MessageBoxA(mainWindow, TEXT_KEY_EMPTY, TEXT_ERROR_CAPTION, MB_OK);
        return;
    }
    if (ResultPane.TextLength() == 0) {
        MessageBoxA(mainWindow, TEXT_DATA_EMPTY, TEXT_ERROR_CAPTION, MB_OK);
        return;
    }
    // Read whole: a pane may report its length in characters, not bytes.
    Document.StoreEntry(KeyPane.ReadAll(), ResultPane.ReadAll());
}

void OnDeleteEntry(HWND)
{
    // An empty Key pane is not refused: it erases the empty Key, if any.
    Document.EraseEntry(KeyPane.ReadAll());
    KeyPane.Clear();
    ResultPane.Clear();
}
