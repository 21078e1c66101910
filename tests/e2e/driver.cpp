#include "tests/e2e/driver.h"

#include "res/resource.h"

#include "tests/common/windows_of.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

// Memory inside another process, for messages whose pointers are not
// carried across.
class RemoteBuffer {
public:
    RemoteBuffer(DWORD pid, size_t size) : size_(size)
    {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               pid);
        if (process_)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    void* Address() const { return address_; }
    bool Read(void* to, size_t n, size_t offset = 0) const
    {
        SIZE_T done = 0;
        return address_ &&
               ReadProcessMemory(process_, static_cast<char*>(address_) + offset, to, n, &done) &&
               done == n;
    }
    bool Write(const void* from, size_t n) const
    {
        SIZE_T done = 0;
        return address_ && WriteProcessMemory(process_, address_, from, n, &done) && done == n;
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    size_t size_;
};

} // namespace

std::string ProgramPath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1) + "vocabrik.exe";
}

AppUnderTest::AppUnderTest()
    : scratch_(std::make_unique<ScratchFolder>(ScratchFolder::Fresh("e2e"))),
      folder_(scratch_->Folder()), program_(ProgramPath())
{
}

AppUnderTest::AppUnderTest(const std::string& programFolder)
    : folder_(programFolder), program_(programFolder + "\\vocabrik.exe")
{
}

AppUnderTest::~AppUnderTest()
{
    if (Running()) {
        // Close as a person would, declining to save.
        PostMessageA(main_, WM_CLOSE, 0, 0);
        DWORD start = GetTickCount();
        while (Running() && GetTickCount() - start < 10000) {
            if (HWND box = FindBox(0))
                Press(box, GetDlgItem(box, IDNO) ? IDNO : IDOK);
            Sleep(20);
        }
        if (Running())
            TerminateProcess(process_.hProcess, 1); // ours: started by this driver
    }
    if (process_.hProcess) {
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

void AppUnderTest::WriteTable(const std::string& bytes)
{
    WriteFile("data.vbk", bytes);
}

void AppUnderTest::WriteFile(const std::string& name, const std::string& bytes)
{
    std::ofstream(folder_ + "\\" + name, std::ios::binary) << bytes;
}

std::string AppUnderTest::ReadFile(const std::string& name) const
{
    std::ifstream in(folder_ + "\\" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool AppUnderTest::FileExists(const std::string& name) const
{
    return GetFileAttributesA((folder_ + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Ready when it answers: the loop runs once the start-up table is loaded.
bool AppUnderTest::Start()
{
    return Launch() && WaitShown() && Sync(60000);
}

bool AppUnderTest::StartCopy()
{
    std::string copy = folder_ + "\\vocabrik.exe";
    return CopyFileA(program_.c_str(), copy.c_str(), FALSE) && Launch(copy) && WaitShown() &&
           Sync(60000);
}

bool AppUnderTest::Launch()
{
    return Launch(program_);
}

bool AppUnderTest::Launch(const std::string& exe)
{
    // One instance runs at a time: a program of an earlier test that is
    // still on its way out would make this start end at once.
    WaitFor([] { return !FindWindowA("VOCABRIK", nullptr); }, 10000);
    // Its window goes before its instance mutex does.
    WaitFor(
        [] {
            HANDLE other = OpenMutexA(SYNCHRONIZE, FALSE, "Vocabrik");
            if (other)
                CloseHandle(other);
            return !other;
        },
        10000);
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    SetEnvironmentVariableA("LOCALAPPDATA", AppData().c_str()); // the child inherits it
    bool started = StartedAtMostTwice([&] {
        if (CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder_.c_str(), &si, &process_))
            return true;
        fprintf(stderr, "the driver could not start %s: error %lu\n", exe.c_str(), GetLastError());
        return false;
    });
    if (started)
        pid_ = process_.dwProcessId;
    return started;
}

bool AppUnderTest::WaitShown(DWORD timeoutMs, DWORD pollMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if ((main_ = WindowOf(pid_, "VOCABRIK")) != nullptr)
            return true;
        if (!Running()) {
            DWORD code = 0;
            GetExitCodeProcess(process_.hProcess, &code);
            fprintf(stderr, "the program ended before its window showed: exit code 0x%lx\n", code);
            return false;
        }
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(pollMs);
    }
}

DWORD AppUnderTest::StartSecondInstance(DWORD timeoutMs)
{
    const std::string& exe = program_;
    std::string commandLine = "\"" + exe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder_.c_str(), &si, &pi))
        return DWORD(-1);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    else
        TerminateProcess(pi.hProcess, 1); // ours: started just above
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

void AppUnderTest::Kill()
{
    if (!process_.hProcess)
        return;
    TerminateProcess(process_.hProcess, 1); // ours: started by this driver
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    process_ = {};
    main_ = nullptr;
    pid_ = 0;
}

bool AppUnderTest::Running() const
{
    return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool AppUnderTest::WaitExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return false;
    GetExitCodeProcess(process_.hProcess, exitCode);
    return true;
}

HWND AppUnderTest::Control(int id) const
{
    return GetDlgItem(main_, id);
}

HWND AppUnderTest::SearchEdit() const
{
    return FindWindowExA(Control(IDC_SEARCH_BOX), nullptr, "Edit", nullptr);
}

void AppUnderTest::Post(int id)
{
    PostMessageA(main_, WM_COMMAND, WPARAM(id), 0);
}

bool AppUnderTest::Send(int id, DWORD timeoutMs)
{
    DWORD_PTR result;
    return SendMessageTimeoutA(main_, WM_COMMAND, WPARAM(id), 0, SMTO_NORMAL, timeoutMs,
                               &result) != 0;
}

bool AppUnderTest::Sync(DWORD timeoutMs)
{
    DWORD_PTR result;
    return SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

void AppUnderTest::PostKey(HWND target, WORD vk)
{
    UINT scan = MapVirtualKeyA(vk, 0);
    PostMessageA(target, WM_KEYDOWN, vk, 1 | (scan << 16));
    PostMessageA(target, WM_KEYUP, vk, 1 | (scan << 16) | (1u << 30) | (1u << 31));
}

void AppUnderTest::SetText(HWND control, const std::string& text)
{
    DWORD_PTR result;
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_NORMAL, 10000, &result);
}

HWND AppUnderTest::FindBox(DWORD timeoutMs) const
{
    HWND box = nullptr;
    WaitFor(
        [&] {
            box = WindowOf(pid_, "#32770");
            return box != nullptr;
        },
        timeoutMs);
    return box;
}

Box AppUnderTest::WaitBox(DWORD timeoutMs) const
{
    Box b;
    b.window = FindBox(timeoutMs);
    if (b.window) {
        b.text = DlgText(b.window, MessageBoxTextId);
        b.caption = TextOf(b.window);
    }
    return b;
}

void AppUnderTest::Press(HWND box, int id) const
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

void AppUnderTest::Click(HWND window, int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT in[2] = {};
    for (INPUT& i : in) {
        i.type = INPUT_MOUSE;
        i.mi.dx = LONG((p.x * 65536 + w / 2) / w);
        i.mi.dy = LONG((p.y * 65536 + h / 2) / h);
    }
    in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(2, in, sizeof(INPUT));
}

std::string AppUnderTest::LookUp(const std::string& word)
{
    HWND edit = SearchEdit(), combo = Control(IDC_SEARCH_BOX);
    LRESULT before = SendMessageA(combo, CB_GETCOUNT, 0, 0);
    SetText(edit, word);
    PostKey(edit, VK_RIGHT); // a key that changes no text starts the lookup
    if (!WaitFor([&] { return SendMessageA(combo, CB_GETCOUNT, 0, 0) == before + 1; }))
        return "(no lookup of '" + word + "')";
    return TextOf(Control(IDC_RESULT_PANE));
}

bool AppUnderTest::AddFromPanes(const std::string& key, const std::string& data)
{
    SetText(Control(IDC_KEY_PANE), key);
    SetText(Control(IDC_RESULT_PANE), data);
    return Send(IDC_ADD);
}

bool AppUnderTest::ChooseFile(const char* title, const std::string& name)
{
    Box dialog = WaitBox();
    if (!dialog.window || dialog.caption != title)
        return false;
    if (name.empty()) {
        Press(dialog.window, IDCANCEL);
    } else {
        HWND field = GetDlgItem(dialog.window, FileNameFieldId);
        HWND edit = FindWindowExA(field, nullptr, "Edit", nullptr);
        SetText(edit ? edit : field, name);
        Press(dialog.window, IDOK);
    }
    // The system words its own question about replacing a file; yes.
    return WaitFor([&] {
        HWND question = FindWindowExA(nullptr, nullptr, "#32770", nullptr);
        for (; question; question = FindWindowExA(nullptr, question, "#32770", nullptr)) {
            if (GetWindow(question, GW_OWNER) == dialog.window && IsWindowVisible(question))
                Press(question, GetDlgItem(question, IDYES) ? IDYES : IDOK);
        }
        return !IsWindow(dialog.window);
    });
}

Box AppUnderTest::Answer(int button)
{
    Box box = WaitBox();
    if (box.window) {
        Press(box.window, button);
        HWND window = box.window;
        WaitFor([&] { return !IsWindow(window); });
    }
    return box;
}

bool AppUnderTest::TitleIs(const std::string& title)
{
    return WaitFor([&] { return TextOf(main_) == title; });
}

std::string TextOf(HWND window)
{
    static char buffer[64 * 1024];
    buffer[0] = '\0';
    DWORD_PTR result;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                        SMTO_NORMAL, 10000, &result);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

std::string DlgText(HWND dialog, int id)
{
    return TextOf(GetDlgItem(dialog, id));
}

RECT ClientRectOnScreen(HWND window)
{
    RECT r;
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT ChildRect(HWND child)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool IsTopmost(HWND window)
{
    return (GetWindowLongPtrA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

std::vector<ToolbarButton> ReadToolbar(HWND toolbar)
{
    std::vector<ToolbarButton> buttons;
    DWORD pid = 0;
    GetWindowThreadProcessId(toolbar, &pid);
    RemoteBuffer remote(pid, 4096);
    if (!remote.Address())
        return buttons;
    LPARAM at = reinterpret_cast<LPARAM>(remote.Address());
    int count = int(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; i++) {
        ToolbarButton b = {};
        TBBUTTON record = {};
        SendMessageA(toolbar, TB_GETBUTTON, WPARAM(i), at);
        remote.Read(&record, sizeof record);
        b.command = record.idCommand;
        b.state = record.fsState;
        b.style = record.fsStyle;
        SendMessageA(toolbar, TB_GETITEMRECT, WPARAM(i), at);
        remote.Read(&b.rect, sizeof b.rect);
        if (!(record.fsStyle & TBSTYLE_SEP)) {
            char text[256] = "";
            LRESULT n = SendMessageA(toolbar, TB_GETBUTTONTEXTA, WPARAM(record.idCommand), at);
            if (n > 0 && n < LRESULT(sizeof text)) {
                remote.Read(text, size_t(n) + 1);
                text[n] = '\0';
            }
            b.text = text;
        }
        buttons.push_back(b);
    }
    return buttons;
}

INPUT KeyInput(WORD vk, bool up, bool extended)
{
    INPUT i = {};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.wScan = WORD(MapVirtualKeyA(vk, 0));
    i.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return i;
}

void SendKeys(const std::vector<INPUT>& inputs)
{
    std::vector<INPUT> copy = inputs;
    SendInput(UINT(copy.size()), copy.data(), sizeof(INPUT));
}

std::string ListCellText(HWND list, int row, int column)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const size_t textSize = 64 * 1024;
    RemoteBuffer remote(pid, sizeof(LVITEMA) + textSize);
    if (!remote.Address())
        return "";
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = static_cast<char*>(remote.Address()) + sizeof(LVITEMA);
    item.cchTextMax = int(textSize);
    remote.Write(&item, sizeof item);
    LRESULT n = SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(row),
                             reinterpret_cast<LPARAM>(remote.Address()));
    std::string text(n > 0 && size_t(n) < textSize ? size_t(n) : 0, '\0');
    if (!text.empty())
        remote.Read(text.data(), text.size(), sizeof(LVITEMA));
    return text;
}

std::vector<std::vector<std::string>> ReadListRows(HWND list, int columns)
{
    std::vector<std::vector<std::string>> rows;
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    const size_t textSize = 64 * 1024;
    RemoteBuffer remote(pid, sizeof(LVITEMA) + textSize);
    if (!remote.Address())
        return rows;
    char* remoteText = static_cast<char*>(remote.Address()) + sizeof(LVITEMA);
    int count = int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    static char text[64 * 1024];
    for (int i = 0; i < count; i++) {
        std::vector<std::string> row;
        for (int c = 0; c < columns; c++) {
            LVITEMA item = {};
            item.iSubItem = c;
            item.pszText = remoteText;
            item.cchTextMax = int(textSize);
            remote.Write(&item, sizeof item);
            LRESULT n = SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(i),
                                     reinterpret_cast<LPARAM>(remote.Address()));
            text[0] = '\0';
            if (n > 0 && size_t(n) < textSize) {
                remote.Read(text, size_t(n), sizeof(LVITEMA));
                text[n] = '\0';
            }
            row.push_back(text);
        }
        rows.push_back(row);
    }
    return rows;
}

void SelectListRows(HWND list, const std::vector<int>& indexes)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    RemoteBuffer remote(pid, sizeof(LVITEMA));
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = 0;
    remote.Write(&item, sizeof item);
    SendMessageA(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(remote.Address()));
    item.state = LVIS_SELECTED;
    remote.Write(&item, sizeof item);
    for (int i : indexes)
        SendMessageA(list, LVM_SETITEMSTATE, WPARAM(i), reinterpret_cast<LPARAM>(remote.Address()));
}

RECT HeaderItemRect(HWND list, int index)
{
    RECT r = {};
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    RemoteBuffer remote(pid, sizeof(RECT));
    SendMessageA(header, HDM_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(remote.Address()));
    remote.Read(&r, sizeof r);
    return r;
}
