// Stored texts reach the panes and the dialog's fields whole. Windows' rich
// edit stops EM_REPLACESEL at the control's limit, where this system lets
// the text grow, so what is proved here is the order of the messages: the
// limit is raised before the text arrives.
#include <gtest/gtest.h>

#include <windows.h>
#include <richedit.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/rich_edit_wrap.h"

namespace {

struct Sent {
    UINT message;
    LPARAM value; // the new limit, or the length of the text
    bool operator==(const Sent& o) const { return message == o.message && value == o.value; }
};

std::vector<Sent> Log;
WNDPROC Original;

LRESULT CALLBACK Recorder(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == EM_EXLIMITTEXT)
        Log.push_back({m, lp});
    else if (m == EM_REPLACESEL)
        Log.push_back({m, LPARAM(strlen(reinterpret_cast<const char*>(lp)))});
    return CallWindowProcA(Original, w, m, wp, lp);
}

void Record(HWND control)
{
    Original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Recorder)));
    Log.clear();
}

std::string Describe(const std::vector<Sent>& log)
{
    std::string s;
    for (const Sent& e : log)
        s += std::string(e.message == EM_EXLIMITTEXT ? "limit " : "text ") +
             std::to_string(e.value) + "; ";
    return s;
}

TEST(RichEditWrap, StoredTextsRaiseTheLimitFirstAndTypingStaysLimited)
{
    ASSERT_TRUE(LoadLibraryA("RICHED32.DLL"));
    ASSERT_TRUE(LoadLibraryA("RICHED20.DLL"));
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    CRichEditWrap pane;
    pane.Create(GetModuleHandleA(nullptr), parent, 117);
    ASSERT_TRUE(pane.window);
    pane.SetTypingLimit(2048);
    Record(pane.window);

    const std::string stored(5000, 'd');
    pane.ReplaceSel(stored.c_str());
    EXPECT_EQ(Log, (std::vector<Sent>{{EM_EXLIMITTEXT, 5000}, {EM_REPLACESEL, 5000}}))
        << Describe(Log);

    Log.clear();
    pane.Clear(); // a long text: its front goes first
    pane.ReplaceSelLimited(stored.c_str()); // a captured word: cut to what may be typed
    EXPECT_EQ(Log, (std::vector<Sent>{{EM_REPLACESEL, 0}, {EM_EXLIMITTEXT, 2048}, {EM_REPLACESEL, 2048}}))
        << Describe(Log);

    // The Add/Edit dialog's fields, whose own limit is 32767 characters.
    HWND field = CreateWindowExA(0, "RichEdit20A", "", WS_CHILD | ES_MULTILINE, 0, 0, 100, 100,
                                 parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(field);
    Record(field);
    const std::string data(40000, 'x');
    ReplaceSelWhole(field, data.c_str());
    EXPECT_EQ(Log, (std::vector<Sent>{{EM_EXLIMITTEXT, 40000}, {EM_REPLACESEL, 40000}}))
        << Describe(Log);
    DestroyWindow(parent);
}

// A pane the program wrote and cleared is empty, takes the typing limit
// again, and still undoes what the person types, whether the text was
// short or long, and whether the pane was read-only meanwhile.
TEST(RichEditWrap, ClearedPanesAreEmptyAndStillUndoTyping)
{
    ASSERT_TRUE(LoadLibraryA("RICHED32.DLL"));
    HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    std::string lines;
    for (int i = 0; lines.size() < 30000; i++)
        lines += "line " + std::to_string(i) + " of a long entry\n";
    const struct {
        const char* name;
        std::string text;
        bool readOnly;
    } cases[] = {{"short", "short", false},
                 {"long", lines, false},
                 {"long, read-only", lines, true}};
    for (const auto& c : cases) {
        CRichEditWrap pane;
        pane.Create(GetModuleHandleA(nullptr), parent, 117);
        ASSERT_TRUE(pane.window);
        pane.SetTypingLimit(2048);
        pane.ReplaceSel(c.text.c_str());
        EXPECT_EQ(pane.ReadAll(), c.text) << c.name;
        if (c.readOnly)
            pane.Lock();
        pane.Clear();
        EXPECT_EQ(pane.TextLength(), 0) << c.name;
        EXPECT_EQ(SendMessageA(pane.window, EM_GETLIMITTEXT, 0, 0), 2048) << c.name;
        pane.Unlock();
        SendMessageA(pane.window, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("typed"));
        EXPECT_TRUE(SendMessageA(pane.window, EM_CANUNDO, 0, 0)) << c.name;
        SendMessageA(pane.window, EM_UNDO, 0, 0);
        EXPECT_EQ(pane.TextLength(), 0) << c.name << ": the typing was not undone";
        DestroyWindow(pane.window);
    }
    DestroyWindow(parent);
}

} // namespace
