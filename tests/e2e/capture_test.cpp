// The capture modes: clipboard changes seen by the program, and passed on.
#include <gtest/gtest.h>

#include <richedit.h>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/clipboard_spy.h"
#include "tests/e2e/driver.h"

namespace {

const std::string Ringo = "りんご";
const std::string Heading = "＜候補単語＞\n";

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
