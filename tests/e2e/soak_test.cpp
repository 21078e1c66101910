// Long use leaves nothing behind: after ten thousand key presses, a thousand
// clipboard changes and two hundred openings of every window and dialog,
// the program holds as many handles and objects and as much memory as
// before, and every clipboard change was passed on to the viewer that had
// joined the chain before it.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
#include "tests/common/windows_of.h"
#include "tests/e2e/clipboard_spy.h"
#include "tests/e2e/driver.h"

namespace {

// Polled without a pause: thousands of steps each wait for one change.
const DWORD Quick = 1;

struct Resources {
    DWORD handles = 0, gdi = 0, user = 0, windows = 0;
    double privateMb = 0;
};

// The system's list of every open handle, where the process's own count is
// not given to others (0 from GetProcessHandleCount).
DWORD HandlesFromSystemList(DWORD pid)
{
    struct Handle {
        ULONG process;
        BYTE type, flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return 0;
    std::vector<char> buffer(1 << 20);
    ULONG needed = 0;
    while (query(16 /* handles */, buffer.data(), ULONG(buffer.size()), &needed) ==
           LONG(0xC0000004) /* too small */)
        buffer.resize(buffer.size() * 2);
    ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    const Handle* handles = reinterpret_cast<const Handle*>(buffer.data() + sizeof(ULONG_PTR));
    DWORD mine = 0;
    for (ULONG i = 0; i < count && (i + 1) * sizeof(Handle) < buffer.size(); i++)
        mine += handles[i].process == pid;
    return mine;
}

Resources Measure(DWORD pid)
{
    Resources r;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process)
        return r;
    if (!GetProcessHandleCount(process, &r.handles) || r.handles == 0)
        r.handles = HandlesFromSystemList(pid);
    r.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    r.user = GetGuiResources(process, GR_USEROBJECTS);
    r.windows = DWORD(WindowsOf({pid, nullptr, false, true}).size());
    PROCESS_MEMORY_COUNTERS_EX c = {};
    if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c), sizeof c))
        r.privateMb = double(c.PrivateUsage ? c.PrivateUsage : c.PagefileUsage) / 1e6;
    CloseHandle(process);
    return r;
}

std::string Describe(const Resources& r)
{
    char text[160];
    snprintf(text, sizeof text, "%lu handles, %lu GDI and %lu USER objects, %lu windows, %.2f MB",
             r.handles, r.gdi, r.user, r.windows, r.privateMb);
    return text;
}

class Soak : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string table;
        for (int i = 0; i < 2000; i++)
            table += Record("word" + std::to_string(10000 + i), "意味" + std::to_string(i));
        app_.WriteTable(table);
        ASSERT_TRUE(app_.Start());
        edit_ = app_.SearchEdit();
    }

    // Presses: 'X' makes "word1xxxx" and shows it; Backspace takes it back.
    void KeyPresses(int count)
    {
        const std::string stem = "word1234";
        app_.SetText(edit_, stem);
        DWORD_PTR ignored;
        SendMessageTimeoutA(edit_, EM_SETSEL, stem.size(), stem.size(), SMTO_NORMAL, 5000, &ignored);
        for (int i = 0; i < count; i++) {
            bool typing = i % 2 == 0;
            std::string want = typing ? stem + "5" : stem;
            app_.PostKey(edit_, typing ? WORD('5') : WORD(VK_BACK));
            ASSERT_TRUE(WaitFor([&] { return TextOf(app_.Control(IDC_KEY_PANE)) == want; }, 10000, Quick))
                << "press " << i << " showed '" << TextOf(app_.Control(IDC_KEY_PANE)) << "'";
        }
    }

    void Copies(int count)
    {
        for (int i = 0; i < count; i++) {
            std::string word = "word" + std::to_string(10000 + i % 2000);
            int before = spy_.Draws();
            ASSERT_TRUE(SetClipboardText(word));
            ASSERT_TRUE(WaitFor([&] { return spy_.Draws() == before + 1; }, 10000, Quick))
                << "change " << i << " did not reach the viewer before the program";
            ASSERT_TRUE(WaitFor([&] { return TextOf(app_.Control(IDC_KEY_PANE)) == word; }, 10000, Quick))
                << word;
        }
    }

    HWND OpenList()
    {
        app_.Post(IDM_LIST);
        HWND list = nullptr;
        WaitFor([&] { return (list = FindWindowA("RegistLV", "登録一覧表")) != nullptr; }, 10000,
                Quick);
        return list;
    }

    void ListWindows(int count)
    {
        for (int i = 0; i < count; i++) {
            HWND list = OpenList();
            ASSERT_TRUE(list) << "opening " << i;
            PostMessageA(list, WM_CLOSE, 0, 0);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(list); }, 10000, Quick));
        }
    }

    // Opens a dialog with the command to `target` and closes it with `button`.
    void Dialogs(int count, HWND target, int command, const char* caption, int button)
    {
        for (int i = 0; i < count; i++) {
            PostMessageA(target, WM_COMMAND, WPARAM(command), 0);
            HWND window = nullptr;
            WaitFor([&] { return (window = app_.FindBox(0)) != nullptr; }, 10000, Quick);
            ASSERT_TRUE(window) << caption << " " << i;
            Box box = {window, "", TextOf(window)};
            ASSERT_EQ(box.caption, caption);
            app_.Press(box.window, button);
            ASSERT_TRUE(WaitFor([&] { return !IsWindow(box.window); }, 10000, Quick)) << caption;
        }
    }

    void EveryDialog(int count)
    {
        Dialogs(count, app_.Main(), IDM_ABOUT, "バージョン情報", IDOK);
        Dialogs(count, app_.Main(), IDM_CUSTOMIZE, "カスタマイズボックス", IDCANCEL);
        Dialogs(count, app_.Main(), IDM_OPEN_APPEND, "ファイルを開く", IDCANCEL);
        HWND list = OpenList();
        ASSERT_TRUE(list);
        Dialogs(count, list, IDC_LIST_ADD, "追加・編集ウィンドウ", IDCANCEL);
        PostMessageA(list, WM_CLOSE, 0, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(list); }));
    }

    ClipboardSpy spy_; // joins the chain before the program
    AppUnderTest app_;
    HWND edit_ = nullptr;
};

TEST_F(Soak, LongUseLeavesNothingBehind)
{
    // Each kind of use once, so that what is made once for all is made. The
    // system's Open dialog keeps a list of the files last chosen; until one
    // was chosen in a new profile, each time it is cancelled leaves a handle
    // open, so one is chosen first, as any person soon does.
    app_.WriteFile("more.vbk", Record("zzzz", "おわり"));
    app_.Post(IDM_OPEN_APPEND);
    ASSERT_TRUE(app_.ChooseFile("ファイルを開く", "more.vbk"));
    ASSERT_TRUE(app_.TitleIs("Vocabrik - data.vbk* ")) << TextOf(app_.Main());
    KeyPresses(20);
    app_.Post(IDC_MODE_SEARCH); // the Search mode, on once the panes are read-only
    ASSERT_TRUE(WaitFor(
        [&] { return (GetWindowLongPtrA(app_.Control(IDC_KEY_PANE), GWL_STYLE) & ES_READONLY) != 0; }));
    Copies(20);
    ListWindows(5);
    EveryDialog(5);
    app_.Sync();
    const Resources before = Measure(app_.Pid());

    KeyPresses(10000);
    Copies(1000);
    ListWindows(200);
    EveryDialog(200);
    app_.Sync();
    const Resources after = Measure(app_.Pid());

    // The search box's list keeps every search, by design: ten thousand
    // items of a few bytes. Everything else must come back to where it was.
    EXPECT_LE(after.handles, before.handles + 8) << Describe(before) << " -> " << Describe(after);
    EXPECT_LE(after.gdi, before.gdi + 8) << Describe(before) << " -> " << Describe(after);
    EXPECT_LE(after.user, before.user + 8) << Describe(before) << " -> " << Describe(after);
    EXPECT_EQ(after.windows, before.windows) << Describe(before) << " -> " << Describe(after);
    EXPECT_LE(after.privateMb, before.privateMb + 3.0) << Describe(before) << " -> " << Describe(after);
    RecordProperty("resources", Describe(before) + " -> " + Describe(after));
    printf("%s -> %s\n", Describe(before).c_str(), Describe(after).c_str());
}

} // namespace
