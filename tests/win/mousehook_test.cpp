// The mouse hook end to end: text is selected with injected mouse input in a
// helper program's edit control, and the selection must (or must not) reach
// the clipboard. An observer hook behind ours shows whether Ctrl+C was sent.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "hooks/dll_mousehook.h"
#include "tests/common/select_target_app.h"
#include "tests/win/input_probe.h"
#include "tests/win/msgbox_watcher.h"

namespace {

bool BringToFront(HWND window)
{
    SetForegroundWindow(window);
    return PumpUntil([&] { return GetForegroundWindow() == window; }, 5000);
}

class MouseHookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        probe_ = std::make_unique<InputProbe>(); // before the hook: runs after it
        ASSERT_TRUE(probe_->Installed());
        hook_ = std::make_unique<CDllMouseHook>();
        ASSERT_TRUE(SetClipboardText(kSentinel));
    }
    void TearDown() override
    {
        hook_.reset();
        probe_.reset();
        DrainMessages();
    }

    void Drag(POINT from, POINT to)
    {
        int ups = probe_->LeftButtonUps();
        LeftButton(from, true);
        MoveTo({(from.x + to.x) / 2, from.y});
        MoveTo(to);
        LeftButton(to, false);
        EXPECT_TRUE(PumpUntil([&] { return probe_->LeftButtonUps() > ups; }, 5000));
    }

    void DoubleClick(POINT at)
    {
        int ups = probe_->LeftButtonUps();
        for (int i = 0; i < 2; ++i) {
            LeftButton(at, true);
            LeftButton(at, false);
        }
        EXPECT_TRUE(PumpUntil([&] { return probe_->LeftButtonUps() >= ups + 2; }, 5000));
    }

    // Whether the hook pressed Ctrl+C after the gesture: anything it sent
    // comes through before the probe's marker.
    bool CopyKeysSent()
    {
        EXPECT_TRUE(probe_->Sync());
        auto keys = probe_->Keys();
        return std::any_of(keys.begin(), keys.end(),
                           [](const SeenKey& k) { return k.vk == 'C' && k.down; });
    }

    // The helper handles its input in its own time; once the clipboard holds
    // what is selected, the copy came after the whole gesture.
    bool ClipboardHoldsTheSelection(HWND edit, std::string* selected)
    {
        return PumpUntil(
            [&] {
                *selected = SelectedText(edit);
                return !selected->empty() && ClipboardText() == *selected;
            },
            5000);
    }

    static constexpr const char* kSentinel = "sentinel: nothing copied";
    std::unique_ptr<InputProbe> probe_;
    std::unique_ptr<CDllMouseHook> hook_;
};

TEST_F(MouseHookTest, DragAndDoubleClickCopyTheSelection)
{
    SelectTarget target(false, PumpUntil);
    ASSERT_TRUE(target.Edit()) << "the helper program did not come up";
    ASSERT_TRUE(BringToFront(target.Window()));
    hook_->SetMainHWND(GetDesktopWindow()); // a window of another process than the target
    ASSERT_EQ(hook_->SetHook(), 1);

    // "alpha beta gamma delta": drag across "beta". How far the helper's edit
    // control extends its selection with injected moves is its own business
    // (under load it may stop short); the hook must copy after every drag,
    // and what it copies must be what the control selected.
    std::string selected;
    bool copiedTheWord = false, copiedTheSelection = false;
    for (int attempt = 0; attempt < 3 && !copiedTheWord; attempt++) {
        ASSERT_TRUE(SetClipboardText(kSentinel));
        probe_->Clear();
        Drag(CharPoint(target.Edit(), 6, 1), CharPoint(target.Edit(), 10, 1));
        EXPECT_TRUE(CopyKeysSent()) << "attempt " << attempt << ": " << Describe(probe_->Keys());
        copiedTheSelection = ClipboardHoldsTheSelection(target.Edit(), &selected);
        copiedTheWord = copiedTheSelection && selected.find("beta") != std::string::npos;
    }
    EXPECT_TRUE(copiedTheSelection)
        << "clipboard: '" << ClipboardText() << "', selection '" << selected << "'";
    EXPECT_TRUE(selected.find("beta") != std::string::npos ||
                std::string("beta").rfind(selected, 0) == 0)
        << "the drag selected '" << selected << "'";

    // A double-click in "delta" selects that word, and the hook copies it.
    // The helper's own edit control does not always take two injected clicks
    // for a double-click, or takes the second for the start of a drag and
    // selects only part of the word: that is the control's business. The
    // hook must send Ctrl+C every time, and what it copies must be what the
    // control selected.
    copiedTheWord = false;
    copiedTheSelection = false;
    for (int attempt = 0; attempt < 3 && !copiedTheWord; attempt++) {
        ASSERT_TRUE(SetClipboardText(kSentinel));
        probe_->Clear();
        DoubleClick(CharPoint(target.Edit(), 19));
        EXPECT_TRUE(CopyKeysSent()) << "attempt " << attempt << ": " << Describe(probe_->Keys());
        copiedTheSelection = ClipboardHoldsTheSelection(target.Edit(), &selected);
        copiedTheWord = copiedTheSelection && selected.find("delta") != std::string::npos;
    }
    EXPECT_TRUE(copiedTheSelection)
        << "clipboard: '" << ClipboardText() << "', selection '" << selected << "'";
    EXPECT_NE(std::string("delta").find(selected), std::string::npos)
        << "the double-click selected '" << selected << "'";

    // A plain click copies nothing.
    ASSERT_TRUE(SetClipboardText(kSentinel));
    probe_->Clear();
    POINT at = CharPoint(target.Edit(), 2);
    int ups = probe_->LeftButtonUps();
    LeftButton(at, true);
    LeftButton(at, false);
    EXPECT_TRUE(PumpUntil([&] { return probe_->LeftButtonUps() > ups; }, 5000));
    EXPECT_FALSE(CopyKeysSent()) << Describe(probe_->Keys());
    EXPECT_EQ(ClipboardText(), kSentinel);
}

TEST_F(MouseHookTest, NothingIsCopiedWhileTheHookIsNotSet)
{
    SelectTarget target(false, PumpUntil);
    ASSERT_TRUE(target.Edit());
    ASSERT_TRUE(BringToFront(target.Window()));
    hook_->SetMainHWND(GetDesktopWindow());

    Drag(CharPoint(target.Edit(), 0, 1), CharPoint(target.Edit(), 5, 1));
    EXPECT_FALSE(CopyKeysSent()) << "never set: " << Describe(probe_->Keys());

    EXPECT_EQ(hook_->EndHook(), 0) << "nothing to end";
    EXPECT_EQ(hook_->IsHooking(), 0);
    EXPECT_EQ(hook_->SetHook(), 1);
    EXPECT_EQ(hook_->SetHook(), 1);
    EXPECT_NE(hook_->IsHooking(), 0);
    EXPECT_EQ(hook_->EndHook(), 1);
    EXPECT_EQ(hook_->IsHooking(), 0);
    probe_->Clear();
    Drag(CharPoint(target.Edit(), 11, 1), CharPoint(target.Edit(), 16, 1));
    EXPECT_FALSE(CopyKeysSent()) << "set twice, ended once: " << Describe(probe_->Keys());
    EXPECT_EQ(ClipboardText(), kSentinel);
}

TEST_F(MouseHookTest, ConsoleWindowsAreLeftAlone)
{
    SelectTarget console(true, PumpUntil);
    ASSERT_TRUE(console.Edit()) << "the helper program did not come up";
    ASSERT_TRUE(BringToFront(console.Window()));
    hook_->SetMainHWND(GetDesktopWindow());
    ASSERT_EQ(hook_->SetHook(), 1);

    Drag(CharPoint(console.Edit(), 6, 1), CharPoint(console.Edit(), 10, 1));
    EXPECT_FALSE(CopyKeysSent()) << "Ctrl+C went to a console: " << Describe(probe_->Keys());
    DoubleClick(CharPoint(console.Edit(), 19));
    EXPECT_FALSE(CopyKeysSent()) << "Ctrl+C went to a console: " << Describe(probe_->Keys());
    EXPECT_EQ(ClipboardText(), kSentinel);
}

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(MouseHookTest, TheHookingProgramsOwnWindowsAreLeftAlone)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VkMouseHookOwnWindow";
    RegisterClassExA(&wc);
    HWND own = CreateWindowExA(0, wc.lpszClassName, "own", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 300,
                               480, 120, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(own);
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "alpha beta gamma delta",
                                WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 10, 10, 440, 30, own,
                                nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(edit);
    ASSERT_TRUE(BringToFront(own));
    SetFocus(edit);
    hook_->SetMainHWND(own);
    ASSERT_EQ(hook_->SetHook(), 1);

    Drag(CharPoint(edit, 6, 1), CharPoint(edit, 10, 1));
    EXPECT_FALSE(SelectedText(edit).empty()) << "the drag selected nothing, so proves nothing";
    EXPECT_FALSE(CopyKeysSent()) << Describe(probe_->Keys());
    EXPECT_EQ(ClipboardText(), kSentinel);
    hook_->EndHook();
    DestroyWindow(own);
}

} // namespace
