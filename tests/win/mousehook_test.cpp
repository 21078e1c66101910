// The mouse hook end to end: text is selected with injected mouse input in a
// helper program's edit control, and the selection must (or must not) reach
// the clipboard. An observer hook behind ours shows whether Ctrl+C was sent:
// only where the control does not copy on WM_COPY, and never into a key the
// person holds.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hooks/dll_mousehook.h"
#include "hooks/hook_thread.h"
#include "hooks/message_sink.h"
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

    // A drag whose release comes while the person holds a key, let go
    // `holdMs` later.
    void DragHolding(WORD vk, POINT from, POINT to, DWORD holdMs)
    {
        int ups = probe_->LeftButtonUps();
        LeftButton(from, true);
        MoveTo({(from.x + to.x) / 2, from.y});
        MoveTo(to);
        SendKeys({KeyInput(vk, true)});
        LeftButton(to, false);
        EXPECT_TRUE(PumpUntil([&] { return probe_->LeftButtonUps() > ups; }, 5000));
        DWORD start = GetTickCount();
        PumpUntil([&] { return GetTickCount() - start >= holdMs; }, holdMs + 1000);
        SendKeys({KeyInput(vk, false)});
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
    // and what it copies must be what the control selected. The control
    // copies on WM_COPY, so no key is pressed.
    std::string selected;
    bool copiedTheWord = false, copiedTheSelection = false;
    for (int attempt = 0; attempt < 3 && !copiedTheWord; attempt++) {
        ASSERT_TRUE(SetClipboardText(kSentinel));
        probe_->Clear();
        Drag(CharPoint(target.Edit(), 6, 1), CharPoint(target.Edit(), 10, 1));
        copiedTheSelection = ClipboardHoldsTheSelection(target.Edit(), &selected);
        EXPECT_FALSE(CopyKeysSent()) << "attempt " << attempt << ": " << Describe(probe_->Keys());
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
    // hook must copy every time, and what it copies must be what the
    // control selected.
    copiedTheWord = false;
    copiedTheSelection = false;
    for (int attempt = 0; attempt < 3 && !copiedTheWord; attempt++) {
        ASSERT_TRUE(SetClipboardText(kSentinel));
        probe_->Clear();
        DoubleClick(CharPoint(target.Edit(), 19));
        copiedTheSelection = ClipboardHoldsTheSelection(target.Edit(), &selected);
        EXPECT_FALSE(CopyKeysSent()) << "attempt " << attempt << ": " << Describe(probe_->Keys());
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
    EXPECT_EQ(target.Typed(), 0);
}

// Where the control copies only on Ctrl+C, the keys come in one piece, and
// not while the person holds a modifier: their Shift and our C would type a
// capital, their Ctrl would be let go by ours.
TEST_F(MouseHookTest, KeysOnlyWhereWmCopyDoesNotCopyAndNeverIntoAHeldModifier)
{
    SelectTarget target(false, PumpUntil, "keysonly");
    ASSERT_TRUE(target.Edit()) << "the helper program did not come up";
    ASSERT_TRUE(BringToFront(target.Window()));
    hook_->SetMainHWND(GetDesktopWindow());
    ASSERT_EQ(hook_->SetHook(), 1);
    POINT from = CharPoint(target.Edit(), 6, 1), to = CharPoint(target.Edit(), 10, 1);
    std::string selected;

    probe_->Clear();
    Drag(from, to);
    EXPECT_TRUE(ClipboardHoldsTheSelection(target.Edit(), &selected));
    EXPECT_TRUE(CopyKeysSent()) << Describe(probe_->Keys());

    // Released within the time: the keys follow the release, Ctrl first.
    struct {
        WORD vk;
        DWORD holdMs;
        bool copies;
    } cases[] = {{VK_SHIFT, 300, true}, {VK_CONTROL, 300, true}, {VK_SHIFT, 1600, false}};
    for (const auto& c : cases) {
        ASSERT_TRUE(SetClipboardText(kSentinel));
        probe_->Clear();
        DragHolding(c.vk, from, to, c.holdMs);
        PumpUntil([] { return false; }, 300);
        EXPECT_TRUE(probe_->Sync());
        auto keys = probe_->Keys();
        auto released = std::find_if(keys.begin(), keys.end(), [&](const SeenKey& k) {
            return !k.down && (k.vk == c.vk || k.vk == c.vk + 0x90u || k.vk == c.vk + 0x91u);
        });
        auto copyKey = std::find_if(keys.begin(), keys.end(),
                                    [](const SeenKey& k) { return k.vk == 'C' && k.down; });
        std::string what = "holding " + std::to_string(c.vk) + " for " +
                           std::to_string(c.holdMs) + " ms: " + Describe(keys);
        EXPECT_EQ(copyKey != keys.end(), c.copies) << what;
        EXPECT_TRUE(copyKey == keys.end() || copyKey > released) << what;
        if (c.copies) {
            EXPECT_TRUE(ClipboardHoldsTheSelection(target.Edit(), &selected)) << what;
            // Ctrl, C, C, Ctrl: nothing of the person's between them.
            ASSERT_GE(keys.end() - copyKey, 3) << what;
            EXPECT_TRUE(copyKey[-1].vk == VK_LCONTROL || copyKey[-1].vk == VK_CONTROL) << what;
            EXPECT_TRUE(!copyKey[1].down && copyKey[1].vk == 'C') << what;
            EXPECT_TRUE(!copyKey[2].down && (copyKey[2].vk == VK_LCONTROL || copyKey[2].vk == VK_CONTROL)) << what;
        } else {
            EXPECT_EQ(ClipboardText(), kSentinel) << what;
        }
    }
    EXPECT_EQ(target.Typed(), 0);
}

// The longest the system waits for our hook procedure on one event, while
// the program's thread is held up giving the clipboard back to an owner
// that does not answer: a probe hook on each side of ours, on threads of
// their own, stamps every event, and the difference is ours.
// By the number the mover gives each of its events.
struct Stamps {
    static const int kEvents = 1 << 14;
    LARGE_INTEGER at[2][kEvents];
};
Stamps* HookStamps = nullptr;

void Stamp(int side, LPARAM l)
{
    const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(l);
    if (HookStamps && info->dwExtraInfo > 0 && info->dwExtraInfo < Stamps::kEvents)
        QueryPerformanceCounter(&HookStamps->at[side][info->dwExtraInfo]);
}

LRESULT CALLBACK StampBefore(int code, WPARAM w, LPARAM l)
{
    if (code == HC_ACTION)
        Stamp(0, l);
    return CallNextHookEx(nullptr, code, w, l);
}

LRESULT CALLBACK StampAfter(int code, WPARAM w, LPARAM l)
{
    if (code == HC_ACTION)
        Stamp(1, l);
    return CallNextHookEx(nullptr, code, w, l);
}

// Each event's time from the first probe to the second, sorted, in ms.
std::vector<double> Durations(const Stamps& stamps)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    for (int i = 1; i < Stamps::kEvents; i++)
        if (stamps.at[0][i].QuadPart && stamps.at[1][i].QuadPart > stamps.at[0][i].QuadPart)
            ms.push_back(double(stamps.at[1][i].QuadPart - stamps.at[0][i].QuadPart) * 1000.0 /
                         double(frequency.QuadPart));
    std::sort(ms.begin(), ms.end());
    return ms;
}

CDllMouseHook* ViewerTellsHook = nullptr;
HWND NextViewer = nullptr;

// Tells the hook of every clipboard change, as the program's viewer does.
LRESULT CALLBACK ViewerProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_DRAWCLIPBOARD) {
        if (NextViewer)
            SendMessageA(NextViewer, m, wp, lp);
        if (ViewerTellsHook)
            ViewerTellsHook->CopyHandled();
        return 0;
    }
    if (m == WM_CHANGECBCHAIN) {
        if (reinterpret_cast<HWND>(wp) == NextViewer)
            NextViewer = reinterpret_cast<HWND>(lp);
        else if (NextViewer)
            SendMessageA(NextViewer, m, wp, lp);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

TEST_F(MouseHookTest, TheHookAnswersAtOnceWhileTheProgramWaitsForAHungOwner)
{
    probe_.reset(); // on this thread, which is to be held up
    SelectTarget target(false, PumpUntil, "hang");
    ASSERT_TRUE(target.Edit()) << "the helper program did not come up";
    ASSERT_TRUE(BringToFront(target.Window()));
    HWND viewer = CreateMessageSink("VkMouseHookTestViewer", ViewerProc, nullptr);
    ASSERT_TRUE(viewer);
    NextViewer = SetClipboardViewer(viewer);
    ViewerTellsHook = hook_.get();

    // The pointer keeps moving from another thread, from now on.
    std::atomic<bool> moving{true};
    auto startMoving = [&] {
        moving = true;
        return CreateThread(
        nullptr, 0,
        [](void* flag) -> DWORD {
            auto* on = static_cast<std::atomic<bool>*>(flag);
            for (int i = 1; *on && i < Stamps::kEvents; i++) {
                INPUT in = {};
                in.type = INPUT_MOUSE;
                in.mi.dx = (i % 2) ? 1 : -1;
                in.mi.dwFlags = MOUSEEVENTF_MOVE;
                in.mi.dwExtraInfo = static_cast<ULONG_PTR>(i);
                SendInput(1, &in, sizeof in);
                Sleep(2);
            }
            return 0;
        },
        &moving, 0, nullptr);
    };

    // What the passage from one hook's thread to another's costs by itself,
    // with nothing between the probes.
    auto stamps = std::make_unique<Stamps>();
    auto second = std::make_unique<Stamps>();
    HookStamps = stamps.get();
    HookThread after, before;
    ASSERT_TRUE(after.Start(WH_MOUSE_LL, StampAfter)); // set first: runs last
    ASSERT_TRUE(before.Start(WH_MOUSE_LL, StampBefore));
    HANDLE mover = startMoving();
    DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start > 600; }, 2000);
    moving = false;
    WaitForSingleObject(mover, 5000);
    CloseHandle(mover);
    before.Stop();
    HookStamps = second.get();
    std::vector<double> alone = Durations(*stamps);
    stamps = std::move(second);

    hook_->SetMainHWND(GetDesktopWindow());
    ASSERT_EQ(hook_->SetHook(), 1);
    ASSERT_TRUE(before.Start(WH_MOUSE_LL, StampBefore));

    // The copy comes; the helper then answers nothing for a second, and the
    // clipboard must be emptied of its copy to be given back.
    POINT from = CharPoint(target.Edit(), 6, 1), to = CharPoint(target.Edit(), 10, 1);
    auto drag = [&] {
        LeftButton(from, true);
        MoveTo({(from.x + to.x) / 2, from.y});
        MoveTo(to);
        LeftButton(to, false);
    };
    drag();
    mover = startMoving();
    // This thread's messages run here; the longest stretch of them is how
    // long the program's thread was held up.
    DWORD heldUp = 0;
    auto pump = [&](const std::function<bool()>& done, DWORD timeoutMs) {
        for (DWORD t = GetTickCount(); !done() && GetTickCount() - t < timeoutMs;) {
            DWORD s = GetTickCount();
            DrainMessages();
            heldUp = std::max(heldUp, GetTickCount() - s);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return done();
    };
    std::string selected;
    auto copiedNow = [&] {
        selected = SelectedText(target.Edit());
        return !selected.empty() && ClipboardText() == selected;
    };
    // A drag the helper took for a click copies nothing: another try.
    bool copied = pump(copiedNow, 3000);
    for (int attempt = 1; attempt < 3 && !copied; attempt++) {
        drag();
        copied = pump(copiedNow, 3000);
    }
    start = GetTickCount();
    pump([&] { return GetTickCount() - start > 1200; }, 2000);
    moving = false;
    WaitForSingleObject(mover, 5000);
    CloseHandle(mover);
    before.Stop();
    hook_->EndHook();
    after.Stop();
    ViewerTellsHook = nullptr;
    ChangeClipboardChain(viewer, NextViewer);
    DestroyWindow(viewer);
    HookStamps = nullptr;

    EXPECT_TRUE(copied) << "the selection '" << selected << "' was not copied";
    std::printf("the program's thread held up for %lu ms\n", static_cast<unsigned long>(heldUp));
    EXPECT_GE(heldUp, 150u) << "the program was never held up: the figures prove nothing";
    std::vector<double> ms = Durations(*stamps);
    size_t n = ms.size();
    double longest = n ? ms.back() : 0;
    for (const auto* d : {&alone, &ms})
        std::printf("%s: %zu events, ms: median %.2f, 99th percentile %.2f, longest %.2f\n",
                    d == &ms ? "through our hook, the program held up" : "the probes alone",
                    d->size(), d->empty() ? 0 : (*d)[d->size() / 2],
                    d->empty() ? 0 : (*d)[d->size() * 99 / 100], d->empty() ? 0 : d->back());
    RecordProperty("longest_hook_ms", std::to_string(longest));
    EXPECT_GT(n, 50u) << "too few events to tell";
    // A hook held up by the wait would take as long as the wait (200 ms or
    // more); the bound leaves room for a loaded machine.
    EXPECT_LT(longest, 100.0);
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
