#include "tests/e2e/clipboard_spy.h"

#include "tests/e2e/driver.h"

ClipboardSpy::ClipboardSpy()
{
    thread_ = std::thread([this] { Run(); });
    WaitFor([&] { return window_ != nullptr; });
}

ClipboardSpy::~ClipboardSpy()
{
    HWND w = window_;
    if (w)
        PostMessageA(w, WM_CLOSE, 0, 0);
    thread_.join();
}

LRESULT CALLBACK ClipboardSpy::Proc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    auto* self = reinterpret_cast<ClipboardSpy*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    switch (m) {
    case WM_DRAWCLIPBOARD:
        if (self) {
            self->draws_++;
            if (self->next_)
                SendMessageA(self->next_, m, wp, lp);
        }
        return 0;
    case WM_CHANGECBCHAIN:
        if (self) {
            self->chainChanges_++;
            if (reinterpret_cast<HWND>(wp) == self->next_)
                self->next_ = reinterpret_cast<HWND>(lp);
            else if (self->next_)
                SendMessageA(self->next_, m, wp, lp);
        }
        return 0;
    case WM_CLOSE:
        if (self)
            ChangeClipboardChain(w, self->next_);
        DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

void ClipboardSpy::Run()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VkClipboardSpy";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, wc.lpszClassName, "spy", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             wc.hInstance, nullptr);
    SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    next_ = SetClipboardViewer(w);
    draws_ = 0; // joining brings one notification of its own
    window_ = w;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

namespace {

bool OpenWithRetry()
{
    return WaitFor([] { return OpenClipboard(nullptr) != 0; }, 5000);
}

HGLOBAL Block(const void* bytes, size_t size)
{
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
    if (h) {
        memcpy(GlobalLock(h), bytes, size);
        GlobalUnlock(h);
    }
    return h;
}

} // namespace

bool SetClipboardText(const std::string& text, bool privateMarker, bool historyZero)
{
    if (!OpenWithRetry())
        return false;
    EmptyClipboard();
    SetClipboardData(CF_TEXT, Block(text.c_str(), text.size() + 1));
    if (privateMarker)
        SetClipboardData(RegisterClipboardFormatA("ExcludeClipboardContentFromMonitorProcessing"),
                         Block("", 1));
    if (historyZero) {
        DWORD zero = 0;
        SetClipboardData(RegisterClipboardFormatA("CanIncludeInClipboardHistory"),
                         Block(&zero, sizeof zero));
    }
    CloseClipboard();
    return true;
}

bool SetClipboardPicture()
{
    if (!OpenWithRetry())
        return false;
    EmptyClipboard();
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
    ReleaseDC(nullptr, screen);
    SetClipboardData(CF_BITMAP, bitmap);
    CloseClipboard();
    return true;
}
