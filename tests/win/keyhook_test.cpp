// The keyboard hook with injected keystrokes: a window with a mode toolbar
// like the main window's, and an observer hook behind ours that shows which
// keys were let through.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "hooks/dll_keyhook.h"
#include "tests/win/input_probe.h"

namespace {

const int kEdit = 110, kSelectionEdit = 121, kSearch = 111, kAdd = 112, kFocus = 126;

struct Command {
    int id;
    LPARAM from;
};

std::vector<Command> Commands;
CDllKeyhook* TellMode = nullptr; // the hook the window reports its mode to, as the program does

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        int id = LOWORD(wParam);
        Commands.push_back({id, lParam});
        int mode = id == kEdit ? 0 : id == kSelectionEdit ? 1 : id == kSearch ? 2 : -1;
        if (mode >= 0 && TellMode)
            TellMode->SetTBBMode(mode);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

INPUT LCtrl() { return KeyInput(VK_CONTROL, true, false, 0x1D); }
INPUT LAlt() { return KeyInput(VK_MENU, true, false, 0x38); }
INPUT RAlt() { return KeyInput(VK_MENU, true, true, 0x38); } // AltGr's half
INPUT Shift() { return KeyInput(VK_SHIFT, true); }
INPUT Key(WORD vk) { return KeyInput(vk, true); }

class KeyhookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Commands.clear();
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        WNDCLASSEXA wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = MainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "VkKeyhookTestMain";
        RegisterClassExA(&wc);
        main_ = CreateWindowExA(0, wc.lpszClassName, "keyhook test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                700, 600, 320, 140, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(main_);
        toolbar_ = CreateWindowExA(WS_EX_TOOLWINDOW, TOOLBARCLASSNAMEA, nullptr,
                                   WS_CHILD | WS_VISIBLE | CCS_NORESIZE, 0, 0, 300, 40, main_,
                                   nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(toolbar_);
        SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        TBBUTTON buttons[5] = {};
        const int ids[5] = {kEdit, kSelectionEdit, kSearch, 0, kAdd};
        for (int i = 0; i < 5; ++i) {
            buttons[i].iBitmap = i == 3 ? 0 : I_IMAGENONE;
            buttons[i].idCommand = ids[i];
            buttons[i].fsState = TBSTATE_ENABLED;
            buttons[i].fsStyle = i < 3 ? BTNS_CHECKGROUP : i == 3 ? BTNS_SEP : BTNS_BUTTON;
        }
        SendMessageA(toolbar_, TB_ADDBUTTONSA, 5, reinterpret_cast<LPARAM>(buttons));
        SendMessageA(toolbar_, TB_CHECKBUTTON, kEdit, TRUE);
        probe_ = std::make_unique<InputProbe>(); // before the hook: it sees what the hook lets through
        ASSERT_TRUE(probe_->Installed());
        hook_ = std::make_unique<CDllKeyhook>();
        TellMode = hook_.get();
        EXPECT_EQ(hook_->SetHWND(main_, 0), 1);
        EXPECT_EQ(hook_->SetHWND(toolbar_, 1), 1);
        DrainMessages();
    }

    void TearDown() override
    {
        hook_.reset();
        TellMode = nullptr;
        probe_.reset();
        if (main_)
            DestroyWindow(main_);
        DrainMessages();
    }

    // Presses the chord, waits until all of it has been dealt with and
    // returns the commands that arrived.
    std::vector<int> Press(const std::vector<INPUT>& chord)
    {
        Commands.clear();
        probe_->Clear();
        PressChord(chord);
        EXPECT_TRUE(probe_->Sync()) << "injected keys never came through";
        std::vector<int> ids;
        for (const auto& c : Commands)
            ids.push_back(c.id);
        return ids;
    }

    bool PassedThrough(WORD vk) const
    {
        auto keys = probe_->Keys();
        bool down = false, up = false;
        for (const auto& k : keys)
            if (k.vk == vk)
                (k.down ? down : up) = true;
        return down && up;
    }

    bool SawAny(WORD vk) const
    {
        auto keys = probe_->Keys();
        return std::any_of(keys.begin(), keys.end(), [&](const SeenKey& k) { return k.vk == vk; });
    }

    int CheckedButton() const
    {
        for (int id : {kEdit, kSelectionEdit, kSearch})
            if (SendMessageA(toolbar_, TB_ISBUTTONCHECKED, id, 0))
                return id;
        return 0;
    }

    HWND main_ = nullptr, toolbar_ = nullptr;
    std::unique_ptr<InputProbe> probe_;
    std::unique_ptr<CDllKeyhook> hook_;
};

using Ids = std::vector<int>;

TEST_F(KeyhookTest, ModeShortcutsPressTheToolbarsButtons)
{
    ASSERT_EQ(hook_->SetHook(), 1);
    struct {
        WORD digit;
        int command;
    } cases[] = {{'2', kSelectionEdit}, {'3', kSearch}, {'1', kEdit}, {'3', kSearch}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "Ctrl+Alt+" << char(c.digit));
        EXPECT_EQ(Press({LCtrl(), LAlt(), Key(c.digit)}), Ids{c.command});
        ASSERT_FALSE(Commands.empty());
        EXPECT_EQ(Commands[0].from, reinterpret_cast<LPARAM>(toolbar_)) << "not sent as by a click";
        EXPECT_EQ(CheckedButton(), c.command);
        EXPECT_FALSE(SawAny(c.digit)) << "the digit reached other programs: " << Describe(probe_->Keys());
        EXPECT_TRUE(PassedThrough(VK_LCONTROL) || PassedThrough(VK_CONTROL)) << Describe(probe_->Keys());
    }
}

TEST_F(KeyhookTest, TheCurrentModeIsNotPressedAgain)
{
    ASSERT_EQ(hook_->SetHook(), 1);
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('1')}), Ids{}) << "Edit is current and checked at start";
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('3')}), Ids{kSearch});
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('3')}), Ids{});
    // A mode command from elsewhere leaves the check behind; the shortcut
    // then presses the button to bring the two together.
    SendMessageA(toolbar_, TB_CHECKBUTTON, kEdit, TRUE);
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('3')}), Ids{kSearch});
    EXPECT_EQ(CheckedButton(), kSearch);
}

TEST_F(KeyhookTest, FocusShortcutGoesToTheMainWindowOnce)
{
    ASSERT_EQ(hook_->SetHook(), 1);
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key(VK_SPACE)}), Ids{kFocus});
    ASSERT_FALSE(Commands.empty());
    EXPECT_EQ(Commands[0].from, 0);
    EXPECT_FALSE(SawAny(VK_SPACE));
    // Held down: auto-repeat must not toggle the focus back and forth.
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key(VK_SPACE), Key(VK_SPACE), Key(VK_SPACE)}), Ids{kFocus});
    EXPECT_EQ(CheckedButton(), kEdit) << "the focus switch touched the toolbar";
}

TEST_F(KeyhookTest, KeysItDoesNotActOnPassThrough)
{
    ASSERT_EQ(hook_->SetHook(), 1);
    struct {
        const char* what;
        std::vector<INPUT> chord;
        WORD key;
    } cases[] = {
        {"AltGr+2 (Ctrl + right Alt)", {LCtrl(), RAlt(), Key('2')}, '2'},
        {"AltGr+Space", {LCtrl(), RAlt(), Key(VK_SPACE)}, VK_SPACE},
        {"Ctrl+Alt+4", {LCtrl(), LAlt(), Key('4')}, '4'},
        {"Ctrl+Alt+Shift+2", {LCtrl(), LAlt(), Shift(), Key('2')}, '2'},
        {"Alt+2", {LAlt(), Key('2')}, '2'},
        {"Ctrl+3", {LCtrl(), Key('3')}, '3'},
        {"2", {Key('2')}, '2'},
        {"Space", {Key(VK_SPACE)}, VK_SPACE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Press(c.chord), Ids{}) << c.what;
        EXPECT_TRUE(PassedThrough(c.key)) << c.what << ": " << Describe(probe_->Keys());
    }
    EXPECT_EQ(CheckedButton(), kEdit);
}

TEST_F(KeyhookTest, ShortcutsWithoutTheirWindowPassThrough)
{
    EXPECT_EQ(hook_->SetHWND(main_, 2), 0);
    EXPECT_EQ(hook_->SetHWND(main_, -1), 0);
    ASSERT_EQ(hook_->SetHWND(nullptr, 1), 1);
    ASSERT_EQ(hook_->SetHook(), 1);
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('2')}), Ids{});
    EXPECT_TRUE(PassedThrough('2')) << Describe(probe_->Keys());
    // The main window still takes its shortcut.
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key(VK_SPACE)}), Ids{kFocus});
}

TEST_F(KeyhookTest, SetTwiceEndOnceAndEndWhileInactive)
{
    EXPECT_EQ(hook_->IsHooking(), 0);
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('2')}), Ids{}) << "acted before SetHook";
    EXPECT_TRUE(PassedThrough('2'));

    EXPECT_EQ(hook_->EndHook(), 0) << "nothing to end";
    EXPECT_EQ(hook_->IsHooking(), 0);

    EXPECT_EQ(hook_->SetHook(), 1);
    EXPECT_EQ(hook_->SetHook(), 1);
    EXPECT_NE(hook_->IsHooking(), 0);
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('2')}), Ids{kSelectionEdit}) << "a second SetHook doubled the hook";

    EXPECT_EQ(hook_->EndHook(), 1);
    EXPECT_EQ(hook_->IsHooking(), 0);
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('3')}), Ids{}) << "one EndHook did not end it";
    EXPECT_TRUE(PassedThrough('3'));

    EXPECT_EQ(hook_->SetHook(), 1) << "cannot be set again";
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('3')}), Ids{kSearch});
}

TEST_F(KeyhookTest, EndHookOfAnIdleObjectLeavesTheActiveOneAlone)
{
    ASSERT_EQ(hook_->SetHook(), 1);
    CDllKeyhook other;
    EXPECT_EQ(other.EndHook(), 0);
    EXPECT_EQ(other.SetHook(), 0) << "two keyboard hooks in one process";
    EXPECT_EQ(other.IsHooking(), 0);
    EXPECT_NE(hook_->IsHooking(), 0);
    EXPECT_EQ(Press({LCtrl(), LAlt(), Key('2')}), Ids{kSelectionEdit});
}

} // namespace
