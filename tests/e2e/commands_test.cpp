// Menus and the main window's own commands.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/e2e/driver.h"

namespace {

std::string MenuText(HMENU menu, UINT position)
{
    char text[256] = "";
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

// Menus of another process cannot be read, so the texts come from the
// executable's own resource and the check marks from the behaviour.
TEST(Menus, TextsAndCommands)
{
    HMODULE exe = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(exe);
    HMENU menu = LoadMenuA(exe, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_TRUE(menu);
    struct Item {
        const char* text;
        UINT id; // 0: separator
    };
    struct {
        const char* title;
        std::vector<Item> items;
    } want[] = {
        {"ファイル(&F)",
         {{"新規作成", 147}, {"", 0}, {"上書き保存", 133}, {"名前を付けて保存", 142}, {"", 0},
          {"開く（新しい表を作る）", 146}, {"開く（現在の表に追加）", 145}, {"", 0},
          {"カスタマイズ", 160}, {"", 0}, {"アプリケーションの終了(&X)", 105}}},
        {"表示(&V)", {{"最前面表示", 137}, {"", 0}}},
        {"リスト(&L)", {{"リスト一覧", 136}}},
        {"ヘルプ(&H)", {{"バージョン情報", 148}}},
    };
    ASSERT_EQ(GetMenuItemCount(menu), int(std::size(want)));
    for (UINT m = 0; m < std::size(want); m++) {
        EXPECT_EQ(MenuText(menu, m), want[m].title) << "menu " << m;
        HMENU sub = GetSubMenu(menu, int(m));
        ASSERT_EQ(GetMenuItemCount(sub), int(want[m].items.size())) << want[m].title;
        for (UINT i = 0; i < want[m].items.size(); i++) {
            const Item& it = want[m].items[i];
            MENUITEMINFOA info = {};
            info.cbSize = sizeof info;
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE;
            GetMenuItemInfoA(sub, i, TRUE, &info);
            if (!it.id) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR) << want[m].title << " item " << i;
                continue;
            }
            EXPECT_EQ(MenuText(sub, i), it.text) << want[m].title << " item " << i;
            EXPECT_EQ(info.wID, it.id) << it.text;
            EXPECT_EQ((info.fState & MFS_CHECKED) != 0, it.id == IDM_TOPMOST_TOGGLE) << it.text;
            EXPECT_FALSE(info.fState & MFS_DISABLED) << it.text;
        }
    }
    DestroyMenu(menu);
    FreeLibrary(exe);
}

TEST(Commands, TopmostToggleAndOutsideCommands)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(IsTopmost(app.Main()));
    struct {
        int command;
        bool topmostAfter;
    } steps[] = {
        {IDM_TOPMOST_TOGGLE, false}, // toggle: checked -> unchecked, leaves the band
        {IDM_TOPMOST_TOGGLE, true},  // and back
        {IDC_NOT_TOPMOST, false},    // from outside: the menu still shows the check
        {IDM_TOPMOST_TOGGLE, false}, // so the toggle unchecks and sets not-topmost again
        {IDC_TOPMOST, true},         // from outside; the menu is unchecked
        {IDM_TOPMOST_TOGGLE, true},  // so the toggle checks and sets topmost
        {IDM_TOPMOST_TOGGLE, false},
    };
    for (size_t i = 0; i < std::size(steps); i++) {
        ASSERT_TRUE(app.Send(steps[i].command));
        EXPECT_EQ(IsTopmost(app.Main()), steps[i].topmostAfter)
            << "step " << i << ": command " << steps[i].command;
    }
}

TEST(Commands, SaveOfAnUnchangedTableSaysSo)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    for (int command : {IDM_SAVE, IDM_SAVE_AS}) {
        app.Post(command);
        Box box = app.WaitBox();
        ASSERT_TRUE(box.window) << "command " << command;
        EXPECT_EQ(box.text, "内容は変更されていません") << "command " << command;
        EXPECT_EQ(box.caption, "確認") << "command " << command;
        EXPECT_FALSE(GetDlgItem(box.window, IDCANCEL)) << "OK only";
        app.Press(box.window, IDOK);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(box.window); }));
    }
    EXPECT_FALSE(app.FileExists("data.vbk"));
}

TEST(Commands, UnknownIdsAndAcceleratorsChangeNothing)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    std::string title = TextOf(app.Main());
    // Ids that name controls, strings or nothing, and an accelerator of its own.
    for (int id : {IDM_NOTHING, IDC_KEY_PANE, IDC_RESULT_PANE, IDC_SEARCH_BOX, IDS_TIMER,
                   IDC_LIST_VIEW, 999, 0})
        EXPECT_TRUE(app.Send(id)) << id;
    // Alt+"?" and Alt+"/" as character messages with the Alt bit, then a key
    // whose search shows that everything before it has been handled.
    for (WPARAM ch : {WPARAM('?'), WPARAM('/')})
        PostMessageA(app.SearchEdit(), WM_SYSCHAR, ch, 1 << 29);
    app.PostKey(app.SearchEdit(), 'A');
    ASSERT_TRUE(WaitFor([&] { return SendMessageA(app.Control(IDC_SEARCH_BOX), CB_GETCOUNT, 0, 0) == 1; }));
    EXPECT_FALSE(app.FindBox(300));
    EXPECT_EQ(TextOf(app.Main()), title);
    EXPECT_TRUE(app.Running());
}

TEST(AboutBox, ShowsItsTextsAndClosesThreeWays)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    struct {
        const char* how;
        std::function<void(AppUnderTest&, HWND)> close;
    } ways[] = {
        {"OK button", [](AppUnderTest& a, HWND box) { a.Press(box, IDOK); }},
        {"Enter", [](AppUnderTest& a, HWND box) { a.PostKey(GetDlgItem(box, IDOK), VK_RETURN); }},
        {"Esc", [](AppUnderTest& a, HWND box) { a.PostKey(GetDlgItem(box, IDOK), VK_ESCAPE); }},
    };
    for (const auto& way : ways) {
        app.Post(IDM_ABOUT);
        Box box = app.WaitBox();
        ASSERT_TRUE(box.window) << way.how;
        EXPECT_EQ(box.caption, "バージョン情報") << way.how;
        EXPECT_EQ(DlgText(box.window, IDC_ABOUT_ADDRESS), "https://vocabrik.example.jp/") << way.how;
        LONG_PTR style = GetWindowLongPtrA(box.window, GWL_STYLE);
        EXPECT_FALSE(style & WS_SYSMENU) << way.how << ": no close box";
        std::vector<std::string> statics;
        for (HWND c = GetWindow(box.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            char cls[32] = "";
            GetClassNameA(c, cls, sizeof cls);
            if (!lstrcmpiA(cls, "Static"))
                statics.push_back(TextOf(c));
        }
        EXPECT_NE(std::find(statics.begin(), statics.end(), "Vocabrik Version 0.99"),
                  statics.end())
            << way.how;
        EXPECT_NE(std::find(statics.begin(), statics.end(),
                            "(C) 2026 The Vocabrik Authors"),
                  statics.end())
            << way.how;
        way.close(app, box.window);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(box.window); })) << way.how;
    }
    EXPECT_TRUE(app.Running());
}

TEST(Hooks, ShortcutsSwitchTheModeButtonsOnlyWithLeftAlt)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    HWND toolbar = FindWindowExA(app.Main(), nullptr, "ToolbarWindow32", nullptr);
    auto checked = [&](int id) { return SendMessageA(toolbar, TB_ISBUTTONCHECKED, id, 0) != 0; };
    auto chord = [](WORD key, bool rightAlt) {
        SendKeys({KeyInput(VK_CONTROL, false), KeyInput(VK_MENU, false, rightAlt),
                  KeyInput(key, false), KeyInput(key, true), KeyInput(VK_MENU, true, rightAlt),
                  KeyInput(VK_CONTROL, true)});
    };
    struct {
        WORD key;
        int checkedAfter;
    } steps[] = {{'3', IDC_MODE_SEARCH}, {'2', IDC_MODE_SELECTION_EDIT}, {'1', IDC_MODE_EDIT},
                 {'3', IDC_MODE_SEARCH}};
    for (const auto& s : steps) {
        chord(s.key, false);
        EXPECT_TRUE(WaitFor([&] { return checked(s.checkedAfter); }))
            << "Ctrl+Alt+" << char(s.key);
    }
    // Right Alt (AltGr) is left to the keyboard layout.
    chord('1', true);
    app.Sync();
    EXPECT_FALSE(WaitFor([&] { return checked(IDC_MODE_EDIT); }, 500)) << "AltGr+1 switched the mode";
    EXPECT_TRUE(checked(IDC_MODE_SEARCH));
}

} // namespace

namespace {

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    return DefWindowProcA(w, m, wp, lp);
}

// A window of the test's own, away from the main window, to be in front.
HWND OtherWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VkOtherWindow";
    RegisterClassA(&wc);
    return CreateWindowExA(0, wc.lpszClassName, "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10,
                           200, 150, nullptr, nullptr, wc.hInstance, nullptr);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

TEST(FocusSwitch, BringsTheMainWindowForwardAndRestoresIt)
{
    struct {
        const char* how;
        bool chord;
        bool minimiseFirst;
    } cases[] = {
        {"command 126", false, false},
        {"Ctrl+Alt+Space", true, false},
        {"command 126 while minimised", false, true},
    };
    // Each case with a program and a window in front of its own: once the
    // program has the foreground, this test cannot always take it back.
    for (const auto& c : cases) {
        AppUnderTest app;
        ASSERT_TRUE(app.Start()) << c.how;
        HWND other = OtherWindow();
        if (c.minimiseFirst) {
            ShowWindow(app.Main(), SW_MINIMIZE);
            ASSERT_TRUE(WaitFor([&] { return IsIconic(app.Main()) != 0; })) << c.how;
        }
        SetForegroundWindow(other);
        ASSERT_TRUE(WaitFor([&] {
            Pump();
            return GetForegroundWindow() == other;
        })) << c.how;
        if (c.chord)
            SendKeys({KeyInput(VK_CONTROL, false), KeyInput(VK_MENU, false),
                      KeyInput(VK_SPACE, false), KeyInput(VK_SPACE, true), KeyInput(VK_MENU, true),
                      KeyInput(VK_CONTROL, true)});
        else
            app.Post(IDC_FOCUS);
        EXPECT_TRUE(WaitFor([&] {
            Pump();
            return GetForegroundWindow() == app.Main();
        })) << c.how;
        EXPECT_FALSE(IsIconic(app.Main())) << c.how;
        DestroyWindow(other);
        Pump();
    }
}

} // namespace
