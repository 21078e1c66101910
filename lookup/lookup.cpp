#include "lookup/lookup.h"

#include <string>

#include "lookup/controls.h"
#include "table/table_document.h"

namespace {

const char* const CandidateHeading = "＜候補単語＞\n";

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
    std::string_view key = TextBytes(word);
    // One ordered search serves both questions: the first Key not before
    // the word is the entry itself on a hit and the candidate on a miss.
    std::optional<Entry> found = Document.EntryTable().FindCandidate(key);
    bool hit = found && found->Key == key;

    PaneBatch batch;
    KeyPane.Clear();
    ResultPane.Clear();
    KeyPane.ReplaceSelLimited(word);
    if (hit) {
        ResultPane.ReplaceSel(std::string(found->Data).c_str());
    } else {
        std::string text = CandidateHeading;
        if (found) {
            text.append(found->Key).append("\n");
            text.append(found->Data).append("\n");
        }
        ResultPane.ReplaceSel(text.c_str());
    }
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
        MessageBoxA(mainWindow, "Keyが空なので，追加されません", "エラー", MB_OK);
        return;
    }
    if (ResultPane.TextLength() == 0) {
        MessageBoxA(mainWindow, "Dataが空なので，追加されません", "エラー", MB_OK);
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
