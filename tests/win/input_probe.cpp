#include "tests/win/input_probe.h"

#include <cstdio>

namespace {

std::vector<SeenKey> ProbeKeys;
int ProbeLeftUps = 0;
int ProbeMarkers = 0;

LRESULT CALLBACK ProbeKeyboard(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        if (k->vkCode == VK_F24) {
            if (!down)
                ++ProbeMarkers;
            return 1;
        }
        ProbeKeys.push_back({k->vkCode, down});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK ProbeMouse(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == WM_LBUTTONUP)
        ++ProbeLeftUps;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

InputProbe::InputProbe()
{
    ProbeKeys.clear();
    ProbeLeftUps = 0;
    ProbeMarkers = 0;
    HINSTANCE self = GetModuleHandleA(nullptr);
    keyboard_ = SetWindowsHookExA(WH_KEYBOARD_LL, ProbeKeyboard, self, 0);
    mouse_ = SetWindowsHookExA(WH_MOUSE_LL, ProbeMouse, self, 0);
}

InputProbe::~InputProbe()
{
    if (keyboard_)
        UnhookWindowsHookEx(keyboard_);
    if (mouse_)
        UnhookWindowsHookEx(mouse_);
}

bool InputProbe::Sync(DWORD timeoutMs)
{
    int target = ProbeMarkers + 1;
    SendKeys({KeyInput(VK_F24, true), KeyInput(VK_F24, false)});
    bool seen = PumpUntil([&] { return ProbeMarkers >= target; }, timeoutMs);
    DrainMessages();
    return seen;
}

std::vector<SeenKey> InputProbe::Keys() const
{
    return ProbeKeys;
}

int InputProbe::LeftButtonUps() const
{
    return ProbeLeftUps;
}

void InputProbe::Clear()
{
    ProbeKeys.clear();
    ProbeLeftUps = 0;
}

void DrainMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        DrainMessages();
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

INPUT KeyInput(WORD vk, bool down, bool extended, WORD scan)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan ? scan : static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = (down ? 0 : KEYEVENTF_KEYUP) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    return in;
}

void SendKeys(const std::vector<INPUT>& keys)
{
    std::vector<INPUT> copy = keys;
    SendInput(static_cast<UINT>(copy.size()), copy.data(), sizeof(INPUT));
}

void PressChord(const std::vector<INPUT>& downs)
{
    std::vector<INPUT> all = downs;
    for (auto it = downs.rbegin(); it != downs.rend(); ++it) {
        INPUT up = *it;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        all.push_back(up);
    }
    SendKeys(all);
}

namespace {

INPUT MouseInput(POINT at, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    in.mi.dx = MulDiv(at.x, 65535, w - 1);
    in.mi.dy = MulDiv(at.y, 65535, h - 1);
    in.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return in;
}

} // namespace

void MoveTo(POINT at)
{
    SetCursorPos(at.x, at.y);
    INPUT in = MouseInput(at, MOUSEEVENTF_MOVE);
    SendInput(1, &in, sizeof in);
}

void LeftButton(POINT at, bool down)
{
    // Moving to where the pointer already is still makes a mouse move, which
    // would turn a double-click into a drag.
    POINT now;
    if (!GetCursorPos(&now) || now.x != at.x || now.y != at.y)
        SetCursorPos(at.x, at.y);
    INPUT in = MouseInput(at, down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    SendInput(1, &in, sizeof in);
}

bool SetClipboardText(const std::string& text)
{
    if (!OpenClipboard(nullptr))
        return false;
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    bool ok = false;
    if (mem) {
        memcpy(GlobalLock(mem), text.c_str(), text.size() + 1);
        GlobalUnlock(mem);
        ok = SetClipboardData(CF_TEXT, mem) != nullptr;
        if (!ok)
            GlobalFree(mem);
    }
    CloseClipboard();
    return ok;
}

std::string ClipboardText()
{
    std::string text;
    if (!OpenClipboard(nullptr))
        return "<clipboard busy>";
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

std::string Describe(const std::vector<SeenKey>& keys)
{
    std::string out;
    for (const auto& k : keys) {
        char item[16];
        std::snprintf(item, sizeof item, "%s%02lX ", k.down ? "+" : "-",
                      static_cast<unsigned long>(k.vk));
        out += item;
    }
    return out;
}
