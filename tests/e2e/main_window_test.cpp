// The program comes up, shows its main window and ends, seen from outside.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/driver.h"

namespace {

TEST(Startup, SecondStartEndsAtOnceAndLeavesTheFirstAlone)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    RECT before;
    GetWindowRect(app.Main(), &before);
    EXPECT_EQ(app.StartSecondInstance(20000), 0u);
    EXPECT_TRUE(app.Running());
    RECT after;
    GetWindowRect(app.Main(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    EXPECT_TRUE(IsWindowVisible(app.Main()));
}

// An instance running elevated holds a mutex this one may not open: that is
// another instance all the same, whose journal is not to be touched.
TEST(Startup, AMutexThatCannotBeOpenedMeansAnotherInstance)
{
    SECURITY_DESCRIPTOR none;
    ACL empty;
    ASSERT_TRUE(InitializeSecurityDescriptor(&none, SECURITY_DESCRIPTOR_REVISION));
    ASSERT_TRUE(InitializeAcl(&empty, sizeof empty, ACL_REVISION));
    ASSERT_TRUE(SetSecurityDescriptorDacl(&none, TRUE, &empty, FALSE));
    SECURITY_ATTRIBUTES sa = {sizeof sa, &none, FALSE};
    HANDLE held = CreateMutexA(&sa, TRUE, "Vocabrik");
    ASSERT_TRUE(held);
    ASSERT_EQ(CreateMutexA(nullptr, TRUE, "Vocabrik"), nullptr) << "no access for anyone";
    AppUnderTest app;
    EXPECT_EQ(app.StartSecondInstance(10000), 0u);
    CloseHandle(held);
}

TEST(Startup, NormalCloseEndsWithZeroAndAllowsANewStart)
{
    for (int run = 0; run < 2; run++) {
        AppUnderTest app;
        ASSERT_TRUE(app.Start()) << "run " << run;
        PostMessageA(app.Main(), WM_CLOSE, 0, 0);
        DWORD code = 1;
        ASSERT_TRUE(app.WaitExit(10000, &code)) << "run " << run;
        EXPECT_EQ(code, 0u) << "run " << run;
    }
}

TEST(Startup, ExitCommandClosesWithoutAQuestionWhenUnchanged)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    app.Post(IDM_EXIT);
    DWORD code = 1;
    ASSERT_TRUE(app.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
}

TEST(MainWindow, Is248By350CentredAndTopmost)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    RECT r, desktop;
    GetWindowRect(app.Main(), &r);
    GetWindowRect(GetDesktopWindow(), &desktop);
    EXPECT_EQ(r.right - r.left, 248);
    EXPECT_EQ(r.bottom - r.top, 350);
    EXPECT_EQ(r.left, (desktop.right - 248) / 2);
    EXPECT_EQ(r.top, (desktop.bottom - 350) / 2);
    EXPECT_TRUE(IsTopmost(app.Main()));
}

TEST(MainWindow, TitleShowsTheTableFile)
{
    struct {
        const char* name;
        bool withTable;
        const char* want;
    } cases[] = {
        {"with data.vbk", true, "Vocabrik - data.vbk "},
        {"without data.vbk", false, "Vocabrik -  "},
    };
    for (const auto& c : cases) {
        AppUnderTest app;
        if (c.withTable)
            app.WriteTable(Record("apple", "x"));
        ASSERT_TRUE(app.Start()) << c.name;
        std::string title;
        EXPECT_TRUE(WaitFor([&] { return (title = TextOf(app.Main())) == c.want; }))
            << c.name << ": title '" << title << "'";
    }
}

TEST(MainWindow, ToolbarButtonsCaptionsAndRadioGroup)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    HWND toolbar = FindWindowExA(app.Main(), nullptr, "ToolbarWindow32", nullptr);
    ASSERT_TRUE(toolbar);
    std::vector<ToolbarButton> b = ReadToolbar(toolbar);
    struct {
        int command;
        const char* text;
        bool separator;
    } want[] = {
        {110, " 編集 ", false}, {121, "選択編集", false}, {111, " 検索 ", false},
        {0, "", true},          {112, "追加", false},
    };
    ASSERT_EQ(b.size(), std::size(want));
    for (size_t i = 0; i < b.size(); i++) {
        EXPECT_EQ(b[i].command, want[i].command) << "button " << i;
        EXPECT_EQ(b[i].text, want[i].text) << "button " << i;
        EXPECT_EQ((b[i].style & TBSTYLE_SEP) != 0, want[i].separator) << "button " << i;
    }
    auto checked = [&](int id) { return SendMessageA(toolbar, TB_ISBUTTONCHECKED, id, 0) != 0; };
    EXPECT_TRUE(checked(IDC_MODE_EDIT));
    EXPECT_FALSE(checked(IDC_MODE_SELECTION_EDIT));
    EXPECT_FALSE(checked(IDC_MODE_SEARCH));

    // Clicking each mode button checks it alone; Add is no check button.
    // The toolbar handles the press and the release one after the other, and
    // may be asked in between, on a busy machine more often: what counts is
    // the state once the click is through.
    const int modes[] = {IDC_MODE_EDIT, IDC_MODE_SELECTION_EDIT, IDC_MODE_SEARCH};
    auto checkedOnes = [&] {
        std::string ids;
        for (int mode : modes)
            if (checked(mode))
                ids += std::to_string(mode) + " ";
        return ids;
    };
    for (int i : {2, 1, 0, 2}) {
        RECT r = b[size_t(i)].rect;
        app.Click(toolbar, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        int id = b[size_t(i)].command;
        std::string ids;
        EXPECT_TRUE(WaitFor([&] { return (ids = checkedOnes()) == std::to_string(id) + " "; }))
            << "clicked " << id << ", checked: " << ids;
    }
    RECT add = b[4].rect;
    app.Click(toolbar, (add.left + add.right) / 2, (add.top + add.bottom) / 2);
    // Add with empty panes is refused with a message; the check stays.
    Box box = app.WaitBox();
    EXPECT_EQ(box.text, "Keyが空なので，追加されません");
    app.Press(box.window, IDOK);
    EXPECT_TRUE(checked(IDC_MODE_SEARCH));
    EXPECT_FALSE(checked(IDC_ADD));
}

TEST(MainWindow, LayoutFollowsTheClientSize)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    for (SIZE size : {SIZE{248, 350}, SIZE{400, 600}, SIZE{300, 260}}) {
        SetWindowPos(app.Main(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        ASSERT_TRUE(app.Sync());
        RECT client;
        GetClientRect(app.Main(), &client);
        int w = client.right, h = client.bottom;
        struct {
            const char* name;
            HWND control;
            RECT want;
        } cases[] = {
            {"search button", app.Control(IDC_EXTERNAL_SEARCH), {w - 60, 50, w, 75}},
            {"key pane", app.Control(IDC_KEY_PANE), {0, 129, w, 179}},
            {"result pane", app.Control(IDC_RESULT_PANE), {0, 214, w, h > 214 ? h : 214}},
        };
        for (const auto& c : cases) {
            RECT r = ChildRect(c.control);
            EXPECT_TRUE(EqualRect(&r, &c.want))
                << c.name << " at " << size.cx << "x" << size.cy << ": got (" << r.left << ","
                << r.top << ")-(" << r.right << "," << r.bottom << "), want (" << c.want.left
                << "," << c.want.top << ")-(" << c.want.right << "," << c.want.bottom << ")";
        }
        RECT box = ChildRect(app.Control(IDC_SEARCH_BOX));
        EXPECT_EQ(box.left, 0);
        EXPECT_EQ(box.top, 50);
        EXPECT_EQ(box.right, w - 60);
    }
}

TEST(MainWindow, ActivationPutsTheCaretInTheSearchBox)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    auto focus = [&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(app.Main(), nullptr), &info);
        return info.hwndFocus;
    };
    EXPECT_TRUE(WaitFor([&] { return focus() == app.SearchEdit(); }));
    // Move the focus away into a pane, then activate the window again.
    app.Post(IDC_MODE_EDIT); // a mode command leaves the focus in the result pane
    EXPECT_TRUE(WaitFor([&] { return focus() == app.Control(IDC_RESULT_PANE); }));
    SendMessageA(app.Main(), WM_SETFOCUS, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return focus() == app.SearchEdit(); }));
}

TEST(MainWindow, NoGdiObjectLeaksOverRepaints)
{
    AppUnderTest app;
    ASSERT_TRUE(app.Start());
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, app.Pid());
    ASSERT_TRUE(process);
    auto paintMany = [&](int n) {
        for (int i = 0; i < n; i++)
            RedrawWindow(app.Main(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        app.Sync();
    };
    paintMany(20);
    DWORD before = GetGuiResources(process, GR_GDIOBJECTS);
    if (before == 0)
        GTEST_SKIP() << "this system keeps no count of GDI objects (see the in-process test)";
    paintMany(300);
    DWORD after = GetGuiResources(process, GR_GDIOBJECTS);
    EXPECT_LE(after, before + 2) << "GDI objects before " << before << ", after " << after;
    CloseHandle(process);
}

} // namespace
