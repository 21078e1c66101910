// The About box, opened for real with DialogBoxParamA: a watcher thread finds
// it, reads what a person would see and closes it the way a person would.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "app/about_dialog.h"
#include "res/resource.h"
#include "tests/common/wait.h"
#include "tests/common/windows_of.h"
#include "tests/win/msgbox_watcher.h"
#include "ui/app_instance.h"

namespace {

const DWORD Deadline = 5000; // ms

struct ChildSeen {
    HWND window; // gone once the box is closed: only for telling children apart
    int id;
    std::string className, text;
    LONG_PTR style;
    RECT rect; // in the dialog's client coordinates
    int textWidth; // in pixels, drawn in the control's own font
};

struct AboutSeen {
    bool found = false;
    std::string title;
    LONG_PTR style = 0;
    std::vector<ChildSeen> children;
    HWND focus = nullptr, ok = nullptr;
    HICON shownIcon = nullptr;
    bool closedByFallback = false;
};

int TextWidth(HWND control, const std::string& text)
{
    HDC dc = GetDC(control);
    auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE size = {};
    GetTextExtentPoint32A(dc, text.data(), int(text.size()), &size);
    if (old)
        SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM lp)
{
    auto* seen = reinterpret_cast<AboutSeen*>(lp);
    ChildSeen c = {child, GetDlgCtrlID(child), "", "", GetWindowLongPtrA(child, GWL_STYLE), {}, 0};
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    c.className = name;
    c.text = WindowText(child);
    c.textWidth = TextWidth(child, c.text);
    GetWindowRect(child, &c.rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&c.rect), 2);
    seen->children.push_back(c);
    return TRUE;
}

bool WaitUntilGone(HWND window)
{
    return WaitFor([&] { return !IsWindow(window); }, Deadline);
}

// How the person closes the box.
enum class Close { OkButton, Enter, Esc };

void Inspect(HWND dialog, AboutSeen& seen)
{
    seen.found = true;
    seen.title = WindowText(dialog);
    seen.style = GetWindowLongPtrA(dialog, GWL_STYLE);
    EnumChildWindows(dialog, CollectChild, reinterpret_cast<LPARAM>(&seen));
    seen.ok = GetDlgItem(dialog, IDOK);
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui))
        seen.focus = gui.hwndFocus;
    for (const ChildSeen& c : seen.children)
        if ((c.style & SS_TYPEMASK) == SS_ICON && c.className == "Static")
            seen.shownIcon = reinterpret_cast<HICON>(SendMessageA(c.window, STM_GETICON, 0, 0));
}

void Dismiss(HWND dialog, Close how, AboutSeen& seen)
{
    HWND target = seen.focus ? seen.focus : dialog;
    switch (how) {
    case Close::OkButton:
        PostMessageA(seen.ok, BM_CLICK, 0, 0);
        break;
    case Close::Enter:
        PostMessageA(target, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageA(target, WM_KEYUP, VK_RETURN, 0xC01C0001);
        break;
    case Close::Esc:
        PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageA(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        break;
    }
    if (!WaitUntilGone(dialog)) {
        // Never leave the test hanging on a box that ignored the person.
        seen.closedByFallback = true;
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        WaitUntilGone(dialog);
    }
}

// Opens the About box on this thread and lets a watcher look and close it.
INT_PTR RunAboutBox(Close how, AboutSeen& seen)
{
    std::thread watcher([&] {
        HWND dialog = WaitForWindowOf(GetCurrentProcessId(), "#32770", Deadline);
        if (!dialog)
            return;
        Inspect(dialog, seen);
        Dismiss(dialog, how, seen);
    });
    INT_PTR result = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr,
                                     AboutDlgProc, 0);
    watcher.join();
    return result;
}

const ChildSeen* ChildWithText(const AboutSeen& seen, const std::string& text)
{
    for (const ChildSeen& c : seen.children)
        if (c.text == text)
            return &c;
    return nullptr;
}

TEST(AboutBox, ShowsNameCreditAddressAndIcon)
{
    AboutSeen seen;
    INT_PTR result = RunAboutBox(Close::Esc, seen);
    ASSERT_TRUE(seen.found) << "no About box appeared; DialogBoxParamA gave " << result;

    EXPECT_EQ(seen.title, "バージョン情報");
    EXPECT_FALSE(seen.style & WS_SYSMENU) << "the About box has a system menu and close box";

    const ChildSeen* version = ChildWithText(seen, "Vocabrik Version 0.99");
    EXPECT_NE(version, nullptr) << "version line missing";
    const ChildSeen* credit = ChildWithText(seen, "(C) 2026 The Vocabrik Authors");
    EXPECT_NE(credit, nullptr) << "credit line missing";
    // A static cuts off what does not fit its width.
    for (const ChildSeen* line : {version, credit}) {
        if (line) {
            EXPECT_LE(line->textWidth, line->rect.right - line->rect.left)
                << "'" << line->text << "' is wider than its static";
        }
    }

    HWND address = nullptr;
    for (const ChildSeen& c : seen.children)
        if (c.id == IDC_ABOUT_ADDRESS)
            address = c.window;
    ASSERT_NE(address, nullptr) << "address field missing";
    for (const ChildSeen& c : seen.children) {
        if (c.window != address)
            continue;
        EXPECT_EQ(c.text, "https://vocabrik.example.jp/");
        EXPECT_TRUE(c.style & ES_READONLY) << "the address can be edited";
    }

    EXPECT_NE(seen.shownIcon, nullptr) << "no icon static with an icon";
    for (const ChildSeen& c : seen.children) {
        if ((c.style & SS_TYPEMASK) != SS_ICON)
            continue;
        EXPECT_EQ(c.rect.left, 40);
        EXPECT_EQ(c.rect.top, 25);
        EXPECT_EQ(c.rect.right - c.rect.left, 32);
        EXPECT_EQ(c.rect.bottom - c.rect.top, 32);
        if (version) {
            EXPECT_LE(c.rect.right, version->rect.left) << "icon overlaps the texts";
        }
    }

    EXPECT_EQ(seen.focus, seen.ok) << "the focus is not on OK";
    EXPECT_FALSE(seen.closedByFallback);
}

TEST(AboutBox, ClosesWithOkEnterAndEscGivingTheirIds)
{
    struct Case {
        const char* name;
        Close how;
        INT_PTR result;
    } cases[] = {
        {"OK button", Close::OkButton, IDOK},
        {"Enter", Close::Enter, IDOK},
        {"Esc", Close::Esc, IDCANCEL},
    };
    for (const Case& c : cases) {
        AboutSeen seen;
        INT_PTR result = RunAboutBox(c.how, seen);
        ASSERT_TRUE(seen.found) << c.name << ": no About box appeared";
        EXPECT_FALSE(seen.closedByFallback) << c.name << " did not close the box";
        EXPECT_EQ(result, c.result) << c.name << ": dialog result";
    }
}

// Other commands, such as the Alt accelerators' 104, leave the box open.
TEST(AboutBox, IgnoresOtherCommands)
{
    AboutSeen seen;
    INT_PTR result = 0;
    std::thread watcher([&] {
        HWND dialog = WaitForWindowOf(GetCurrentProcessId(), "#32770", Deadline);
        if (!dialog)
            return;
        seen.found = true;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDM_NOTHING, 0), 0);
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_ADDRESS, EN_SETFOCUS), 0);
        // EndDialog hides the box at once, before its loop gets round to
        // destroying it.
        seen.closedByFallback = !IsWindowVisible(dialog);
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        WaitUntilGone(dialog);
    });
    result = DialogBoxParamA(AppInstance, MAKEINTRESOURCEA(IDD_ABOUT), nullptr, AboutDlgProc, 0);
    watcher.join();
    ASSERT_TRUE(seen.found);
    EXPECT_FALSE(seen.closedByFallback) << "a foreign command closed the box";
    EXPECT_EQ(result, IDOK);
}

} // namespace
