// The capture modes: clipboard changes seen by the program, and passed on.
#include <gtest/gtest.h>

#include <richedit.h>

#include <algorithm>
#include <cstdio>

#include "res/resource.h"
#include "tests/common/select_target_app.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/clipboard_spy.h"
#include "tests/e2e/driver.h"

namespace {

const std::string Ringo = "りんご";
const std::string Heading = "＜候補単語＞\n";

bool Wait(const std::function<bool()>& done, DWORD timeoutMs)
{
    return WaitFor(done, timeoutMs);
}

// The pointer to a screen point with the left button pressed, moved or
// released, through the system's input queue. The pointer goes there first,
// since an injected move does not move Wine's.
void Mouse(POINT at, DWORD button)
{
    SetCursorPos(at.x, at.y);
    INPUT in = {};
    in.type = INPUT_MOUSE;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = MulDiv(at.x, 65535, w - 1);
    in.mi.dy = MulDiv(at.y, 65535, h - 1);
    in.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | button;
    SendInput(1, &in, sizeof in);
}

class Capture : public ::testing::Test {
protected:
    void SetUp() override
    {
        spy_ = std::make_unique<ClipboardSpy>(); // joins the chain before the program
        app_.WriteTable(Record("apple", Ringo) + Record("banana", "バナナ"));
        ASSERT_TRUE(app_.Start());
        key_ = app_.Control(IDC_KEY_PANE);
        result_ = app_.Control(IDC_RESULT_PANE);
        ASSERT_TRUE(WaitFor([&] { return spy_->Draws() >= 0; }));
    }

    // Copies text and waits until the program has passed the change on,
    // which it does only after acting on it.
    void Copy(const std::string& text, bool privateMarker = false, bool historyZero = false)
    {
        int before = spy_->Draws();
        ASSERT_TRUE(SetClipboardText(text, privateMarker, historyZero));
        ASSERT_TRUE(WaitFor([&] { return spy_->Draws() > before; }))
            << "the change did not reach the next viewer";
    }

    void SetPanes(const std::string& key, const std::string& result)
    {
        app_.SetText(key_, key);
        app_.SetText(result_, result);
    }

    void ExpectPanes(const std::string& key, const std::string& result, const char* what)
    {
        std::string k, r;
        bool ok = WaitFor(
            [&] {
                k = TextOf(key_);
                r = TextOf(result_);
                return k == key && r == result;
            },
            3000);
        EXPECT_TRUE(ok) << what << ": key pane '" << k << "' (want '" << key
                        << "'), result pane '" << r << "' (want '" << result << "')";
    }

    bool ReadOnly(HWND pane) { return (GetWindowLongPtrA(pane, GWL_STYLE) & ES_READONLY) != 0; }

    // The pane's background, asked by setting it to itself.
    COLORREF Background(HWND pane)
    {
        COLORREF old = COLORREF(SendMessageA(pane, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3)));
        SendMessageA(pane, EM_SETBKGNDCOLOR, 0, old);
        return old;
    }

    // Drags across characters [from, to) of the helper's text, holding a key
    // (0: none) from before the release until the copy was seen, and waits
    // until the chain has seen the copy of what the control selected.
    // Returns the selection ("" when no copy of it came) and, in `copy`, the
    // index of that change among the spy's.
    std::string DragAndCopy(const SelectTarget& target, int from, int to, WORD holding,
                            size_t* copy, DWORD* releasedAt = nullptr)
    {
        SetForegroundWindow(target.Window());
        WaitFor([&] { return GetForegroundWindow() == target.Window(); }, 5000, 5);
        size_t seen = spy_->Changes().size();
        POINT a = CharPoint(target.Edit(), from, 1), b = CharPoint(target.Edit(), to, 1);
        Mouse(a, MOUSEEVENTF_LEFTDOWN);
        Mouse({(a.x + b.x) / 2, a.y}, 0);
        if (holding)
            SendKeys({KeyInput(holding, false)});
        Mouse(b, MOUSEEVENTF_LEFTUP);
        if (releasedAt)
            *releasedAt = GetTickCount();
        std::string selected;
        bool copied = WaitFor(
            [&] {
                selected = SelectedText(target.Edit());
                auto changes = spy_->Changes();
                for (*copy = seen; *copy < changes.size(); ++*copy)
                    if (!selected.empty() && changes[*copy].text == selected)
                        return true;
                return false;
            },
            3000, 5);
        if (holding)
            SendKeys({KeyInput(holding, true)});
        return copied ? selected : "";
    }

    HWND Focus()
    {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(app_.Main(), nullptr), &info);
        return info.hwndFocus;
    }

    std::unique_ptr<ClipboardSpy> spy_;
    AppUnderTest app_;
    HWND key_ = nullptr, result_ = nullptr;
};

TEST_F(Capture, EditModeAndStartLeaveThePanes)
{
    SetPanes("k", "d");
    Copy("apple");
    ExpectPanes("k", "d", "at start");
    ASSERT_TRUE(app_.Send(IDC_MODE_SEARCH));
    ASSERT_TRUE(app_.Send(IDC_MODE_EDIT));
    Copy("banana");
    ExpectPanes("k", "d", "in Edit mode");
    EXPECT_FALSE(ReadOnly(key_));
    EXPECT_FALSE(ReadOnly(result_));
    EXPECT_EQ(Background(result_), RGB(255, 255, 255));
}

TEST_F(Capture, SearchModeLooksUpTheWholeCopiedText)
{
    ASSERT_TRUE(app_.Send(IDC_MODE_SEARCH));
    EXPECT_TRUE(ReadOnly(key_));
    EXPECT_TRUE(ReadOnly(result_));
    EXPECT_EQ(Background(key_), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(Background(result_), GetSysColor(COLOR_BTNFACE));
    EXPECT_TRUE(WaitFor([&] { return Focus() == result_; })) << "focus in the result pane";

    struct {
        std::string copied, key, result;
    } cases[] = {
        {"apple", "apple", Ringo},
        {"appl", "appl", Heading + "apple\n" + Ringo + "\n"},
        {"apple\r\n", "apple\r\n", Heading + "banana\nバナナ\n"},
        {" apple", " apple", Heading + "apple\n" + Ringo + "\n"},
        {"りんご", "りんご", Heading},
    };
    for (const auto& c : cases) {
        Copy(c.copied);
        ExpectPanes(c.key, c.result, c.copied.c_str());
    }
    // The search box and its list are not touched by captured words.
    EXPECT_EQ(SendMessageA(app_.Control(IDC_SEARCH_BOX), CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(TextOf(app_.SearchEdit()), "");
}

TEST_F(Capture, SelectionEditReplacesTheResultPaneForAdd)
{
    ASSERT_TRUE(app_.Send(IDC_MODE_SELECTION_EDIT));
    EXPECT_FALSE(ReadOnly(result_));
    SetPanes("cherry", "old");
    Copy("さくらんぼ\r\nfruit");
    ExpectPanes("cherry", "さくらんぼ\r\nfruit", "selection edit");
    ASSERT_TRUE(app_.Send(IDC_ADD));
    EXPECT_TRUE(WaitFor([&] { return TextOf(app_.Main()) == "Vocabrik - data.vbk* "; }));
    PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
    Box box = app_.WaitBox();
    ASSERT_EQ(box.text, "上書きしますか？");
    app_.Press(box.window, IDYES);
    DWORD code;
    ASSERT_TRUE(app_.WaitExit(10000, &code));
    std::string stored = TextOf(result_);
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", Ringo) + Record("banana", "バナナ") +
                                             Record("cherry", "さくらんぼ\r\nfruit"));
}

TEST_F(Capture, ChangesWithoutUsableTextChangeNothing)
{
    ASSERT_TRUE(app_.Send(IDC_MODE_SEARCH));
    Copy("apple");
    ExpectPanes("apple", Ringo, "first");

    struct {
        const char* what;
        std::function<void()> change;
    } cases[] = {
        {"a picture",
         [&] {
             int before = spy_->Draws();
             ASSERT_TRUE(SetClipboardPicture());
             ASSERT_TRUE(WaitFor([&] { return spy_->Draws() > before; }));
         }},
        {"a password manager's copy", [&] { Copy("banana", true, false); }},
        {"a copy kept out of the history", [&] { Copy("banana", false, true); }},
        {"a clipboard held open",
         [&] {
             ASSERT_TRUE(WaitFor([] { return OpenClipboard(nullptr) != 0; }));
             int before = spy_->Draws();
             DWORD_PTR r;
             SendMessageTimeoutA(app_.Main(), WM_DRAWCLIPBOARD, 0, 0, SMTO_NORMAL, 10000, &r);
             CloseClipboard();
             EXPECT_GT(spy_->Draws(), before) << "still passed on";
         }},
    };
    for (const auto& c : cases) {
        c.change();
        ASSERT_TRUE(app_.Sync());
        ExpectPanes("apple", Ringo, c.what);
    }
}

// A person's day with the mouse hook: what they had on the clipboard is
// theirs again once a word selected in another program has been used.
TEST_F(Capture, MouseSelectionsGiveThePersonsClipboardBack)
{
    SelectTarget target(false, Wait);
    ASSERT_TRUE(target.Edit()) << "the helper program did not come up";
    const UINT ownFormat = RegisterClipboardFormatA("Vocabrik Test Mail Draft");
    std::vector<double> restoreMs;

    // Drags across the characters of "alpha beta gamma delta" until the edit
    // control has selected something and the copy has reached the chain;
    // then waits for the change after it. Returns the selection, and in
    // `after` the change that followed the copy.
    auto select = [&](int from, int to, SeenChange* after) -> std::string {
        for (int attempt = 0; attempt < 3; attempt++) {
            size_t copy = 0;
            std::string selected = DragAndCopy(target, from, to, 0, &copy);
            EXPECT_EQ(TextOf(target.Edit()), "alpha beta gamma delta") << "typed into";
            if (selected.empty())
                continue;
            bool followed = WaitFor([&] { return spy_->Changes().size() > copy + 1; }, 3000);
            EXPECT_TRUE(followed) << "nothing came after the copy of '" << selected << "'";
            if (followed) {
                auto changes = spy_->Changes();
                *after = changes[copy + 1];
                if (after->marked || after->formats == 0)
                    restoreMs.push_back(after->ms - changes[copy].ms);
            }
            return selected;
        }
        ADD_FAILURE() << "no drag in the helper program was copied";
        return "";
    };
    auto expectBack = [&](const SeenChange& c, const std::string& text, const char* what) {
        EXPECT_EQ(c.text, text) << what << ": what the chain saw after the copy";
        EXPECT_TRUE(c.marked) << what << ": the clipboard given back is marked for viewers";
    };

    // The person copies a sentence from their mail program, with that
    // program's own format and a file list beside it.
    const std::string sentence = "Dear all, the meeting moves to Friday.";
    const std::string draft("draft\0\x01\x02\xff", 9);
    const std::string files = FileListBlock({"C:\\mail\\agenda.txt", "C:\\mail\\notes.txt"});
    int draws = spy_->Draws();
    ASSERT_TRUE(SetClipboardBlocks(
        {{CF_TEXT, sentence + '\0'}, {ownFormat, draft}, {CF_HDROP, files}}));
    ASSERT_TRUE(WaitFor([&] { return spy_->Draws() > draws; }));

    // 検索: the selection is looked up; the panes keep it after the give-back.
    ASSERT_TRUE(app_.Send(IDC_MODE_SEARCH));
    SeenChange after;
    std::string word = select(0, 5, &after);
    ASSERT_FALSE(word.empty());
    expectBack(after, sentence, "search");
    // Every selection from the first character sorts before "apple".
    ExpectPanes(word, Heading + "apple\n" + Ringo + "\n", "search");
    EXPECT_EQ(ClipboardBytes(CF_TEXT).c_str(), sentence);
    EXPECT_EQ(ClipboardBytes(ownFormat), draft);
    EXPECT_EQ(ClipboardBytes(CF_HDROP), files);

    // 選択編集: the selection goes into the Data pane, the key stays, and the
    // sentence is back again.
    ASSERT_TRUE(app_.Send(IDC_MODE_SELECTION_EDIT));
    const std::string key = word;
    word = select(11, 16, &after);
    ASSERT_FALSE(word.empty());
    expectBack(after, sentence, "selection edit");
    ExpectPanes(key, word, "selection edit");
    EXPECT_EQ(ClipboardBytes(CF_TEXT).c_str(), sentence);
    EXPECT_EQ(ClipboardBytes(ownFormat), draft);

    // Another program copies while ours is passed on: its copy stays, and
    // is looked up like any other.
    ASSERT_TRUE(app_.Send(IDC_MODE_SEARCH));
    spy_->CopyOnNextChange("banana");
    word = select(0, 5, &after);
    EXPECT_EQ(after.text, "banana");
    EXPECT_FALSE(after.marked);
    ExpectPanes("banana", "バナナ", "another program's copy");
    EXPECT_FALSE(WaitFor([&] { return ClipboardBytes(CF_TEXT).c_str() != std::string("banana"); },
                         1000))
        << "the other program's copy was replaced";

    // An empty clipboard is empty again.
    ASSERT_TRUE(SetClipboardBlocks({}));
    word = select(0, 5, &after);
    ASSERT_FALSE(word.empty());
    EXPECT_EQ(after.formats, 0) << "given back as '" << after.text << "'";
    ExpectPanes(word, Heading + "apple\n" + Ringo + "\n", "empty clipboard");
    EXPECT_TRUE(WaitFor([] { return CountClipboardFormats() == 0; }, 1000));

    // A picture comes back with its pixels.
    ASSERT_TRUE(SetClipboardBitmap(7));
    const std::string pixels = ClipboardBitmapBits();
    ASSERT_NE(pixels, "<none>");
    word = select(0, 5, &after);
    ASSERT_FALSE(word.empty());
    EXPECT_TRUE(after.marked);
    EXPECT_TRUE(ClipboardBitmapBits() == pixels) << "the picture was not given back as it was";

    // A copy the person makes is theirs: looked up, and never given back.
    Copy("banana");
    ExpectPanes("banana", "バナナ", "the person's copy");
    int now = spy_->Draws();
    EXPECT_FALSE(WaitFor([&] { return spy_->Draws() > now; }, 1000));
    EXPECT_EQ(ClipboardBytes(CF_TEXT).c_str(), std::string("banana"));

    // How long the person's clipboard was away, as the chain saw it.
    std::sort(restoreMs.begin(), restoreMs.end());
    std::string figures;
    for (double ms : restoreMs) {
        char f[16];
        std::snprintf(f, sizeof f, "%.1f ", ms);
        figures += f;
    }
    RecordProperty("give_back_ms", figures);
    std::printf("copy to clipboard given back, ms: %s\n", figures.c_str());
}

// The copy never types: drag after drag in another program's edit control,
// in both capture modes, some released with Shift held, its text stays as it
// was, nothing is typed into it, and every selection is looked up. A Ctrl+C
// the person presses there just after a drag is what stays on the clipboard.
TEST_F(Capture, TwoHundredDragsInEachModeTypeNothingAndAreAllLookedUp)
{
    SelectTarget target(false, Wait);
    ASSERT_TRUE(target.Edit()) << "the helper program did not come up";
    const std::string text = "alpha beta gamma delta";
    // Each selection differs from the one before, so each lookup shows.
    const struct {
        int from, to;
    } ranges[] = {{0, 5}, {6, 10}, {11, 16}, {17, 22}};
    const int kDrags = 200;
    DWORD start = GetTickCount();
    for (int mode : {IDC_MODE_SEARCH, IDC_MODE_SELECTION_EDIT}) {
        ASSERT_TRUE(app_.Send(mode));
        HWND pane = mode == IDC_MODE_SEARCH ? key_ : result_;
        std::string previous;
        int notCopied = 0, notShown = 0, same = 0;
        for (int i = 0; i < kDrags; i++) {
            const auto& r = ranges[i % 4];
            WORD holding = i % 10 == 9 ? VK_SHIFT : 0;
            std::string what = (mode == IDC_MODE_SEARCH ? "検索" : "選択編集") +
                               std::string(", drag ") + std::to_string(i) +
                               (holding ? " with Shift" : "");
            size_t copy = 0;
            std::string selected = DragAndCopy(target, r.from, r.to, holding, &copy);
            ASSERT_EQ(TextOf(target.Edit()), text) << what << ": typed into";
            ASSERT_EQ(target.Typed(), 0) << what;
            if (selected.empty()) {
                notCopied++;
                continue;
            }
            if (selected == previous)
                same++;
            previous = selected;
            std::string shown;
            if (!WaitFor([&] { return (shown = TextOf(pane)) == selected; }, 3000, 5)) {
                notShown++;
                ADD_FAILURE() << what << ": '" << selected << "' copied, pane shows '" << shown
                              << "'";
            }
        }
        // The helper's control now and then takes an injected drag for a
        // click; that drag selects nothing and there is nothing to copy.
        EXPECT_LE(notCopied, kDrags / 20) << "drags whose selection was not copied";
        EXPECT_EQ(notShown, 0);
        EXPECT_LE(same, kDrags / 20) << "drags that selected what the one before did";
    }
    std::printf("%d drags in each mode: %lu ms\n", kDrags,
                static_cast<unsigned long>(GetTickCount() - start));

    // The person presses Ctrl+C 50 ms after a drag: their copy stays.
    const std::string sentence = "Dear all, the meeting moves to Friday.";
    for (int mode : {IDC_MODE_SEARCH, IDC_MODE_SELECTION_EDIT}) {
        ASSERT_TRUE(app_.Send(mode));
        ASSERT_TRUE(SetClipboardText(sentence));
        size_t copy = 0;
        DWORD released = 0;
        std::string selected = DragAndCopy(target, 6, 10, 0, &copy, &released);
        ASSERT_FALSE(selected.empty());
        WaitFor([&] { return GetTickCount() - released >= 50; }, 1000, 1);
        SendKeys({KeyInput(VK_CONTROL, false), KeyInput('C', false), KeyInput('C', true),
                  KeyInput(VK_CONTROL, true)});
        std::string held;
        EXPECT_TRUE(WaitFor([&] { return (held = ClipboardBytes(CF_TEXT).c_str()) == selected; }))
            << "the clipboard holds '" << held << "'";
        EXPECT_FALSE(WaitFor([&] { return (held = ClipboardBytes(CF_TEXT).c_str()) != selected; },
                             1500))
            << "the person's copy of '" << selected << "' was replaced by '" << held << "'";
        EXPECT_EQ(TextOf(target.Edit()), text);
        EXPECT_EQ(target.Typed(), 0);
    }
}

TEST_F(Capture, ChainChangesAreFollowed)
{
    // Another viewer that is not our next one leaves: the message is passed on.
    int changes = spy_->ChainChanges();
    DWORD_PTR r;
    SendMessageTimeoutA(app_.Main(), WM_CHANGECBCHAIN, WPARAM(0x1234), 0, SMTO_NORMAL, 10000, &r);
    EXPECT_TRUE(WaitFor([&] { return spy_->ChainChanges() > changes; }));

    // Our next viewer leaves with no successor: nothing more is passed on.
    SendMessageTimeoutA(app_.Main(), WM_CHANGECBCHAIN, WPARAM(spy_->Window()), 0, SMTO_NORMAL,
                        10000, &r);
    int draws = spy_->Draws();
    ASSERT_TRUE(SetClipboardText("apple"));
    ASSERT_TRUE(app_.Sync());
    EXPECT_FALSE(WaitFor([&] { return spy_->Draws() > draws; }, 500));

    // And it comes back as the successor of a window that leaves.
    SendMessageTimeoutA(app_.Main(), WM_CHANGECBCHAIN, WPARAM(0), LPARAM(spy_->Window()),
                        SMTO_NORMAL, 10000, &r);
    ASSERT_TRUE(SetClipboardText("banana"));
    EXPECT_TRUE(WaitFor([&] { return spy_->Draws() > draws; }));
}

TEST_F(Capture, AHugeCopyIsHandledAndTheProgramStaysResponsive)
{
    ASSERT_TRUE(app_.Send(IDC_MODE_SEARCH));
    Copy(std::string(1 << 20, 'a'));
    DWORD start = GetTickCount();
    EXPECT_TRUE(app_.Sync(1000));
    EXPECT_LT(GetTickCount() - start, 1000u);
    std::string k = TextOf(key_);
    EXPECT_FALSE(k.empty());
    EXPECT_EQ(k, std::string(k.size(), 'a'));
}

TEST_F(Capture, ClosingInSearchModeEndsTheHooksBeforeTheQuestion)
{
    ASSERT_TRUE(app_.Send(IDC_MODE_SEARCH));
    SetPanes("k", "d");
    ASSERT_TRUE(app_.Send(IDC_ADD));
    PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
    Box box = app_.WaitBox();
    ASSERT_EQ(box.text, "上書きしますか？");
    // With the question up, the shortcuts are gone: Ctrl+Alt+2 does nothing.
    HWND toolbar = FindWindowExA(app_.Main(), nullptr, "ToolbarWindow32", nullptr);
    SendKeys({KeyInput(VK_CONTROL, false), KeyInput(VK_MENU, false), KeyInput('2', false),
              KeyInput('2', true), KeyInput(VK_MENU, true), KeyInput(VK_CONTROL, true)});
    EXPECT_FALSE(WaitFor([&] { return SendMessageA(toolbar, TB_ISBUTTONCHECKED, IDC_MODE_SELECTION_EDIT, 0) != 0; },
                         500));
    app_.Press(box.window, IDNO);
    DWORD code;
    ASSERT_TRUE(app_.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

} // namespace
