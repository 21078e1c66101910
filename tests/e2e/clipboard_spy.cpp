#include "tests/e2e/clipboard_spy.h"

#include <shlobj.h>

#include <chrono>

#include "tests/e2e/driver.h"

namespace {

SeenChange ReadChange(HWND w)
{
    static const auto start = std::chrono::steady_clock::now();
    static const UINT ignore = RegisterClipboardFormatA("Clipboard Viewer Ignore");
    SeenChange c = {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                              start)
                        .count(),
                    "", false, -1};
    if (!WaitFor([&] { return OpenClipboard(w) != 0; }, 1000, 1))
        return c;
    c.formats = CountClipboardFormats();
    c.marked = IsClipboardFormatAvailable(ignore) != 0;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            c.text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return c;
}

} // namespace

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
            SeenChange change = ReadChange(w);
            std::string answer;
            {
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->changes_.push_back(change);
                answer.swap(self->answer_);
            }
            // Opened for the spy's window: the copy is plainly another
            // program's.
            if (!answer.empty() && OpenClipboard(w)) {
                EmptyClipboard();
                HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, answer.size() + 1);
                memcpy(GlobalLock(h), answer.c_str(), answer.size() + 1);
                GlobalUnlock(h);
                SetClipboardData(CF_TEXT, h);
                CloseClipboard();
            }
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

std::vector<SeenChange> ClipboardSpy::Changes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
}

void ClipboardSpy::CopyOnNextChange(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    answer_ = text;
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

bool SetClipboardBlocks(const std::vector<ClipboardBlock>& blocks)
{
    if (!OpenWithRetry())
        return false;
    EmptyClipboard();
    for (const auto& b : blocks)
        SetClipboardData(b.format, Block(b.bytes.data(), b.bytes.size()));
    CloseClipboard();
    return true;
}

std::string ClipboardBytes(UINT format)
{
    if (!OpenWithRetry())
        return "<busy>";
    std::string bytes = "<none>";
    if (HANDLE data = GetClipboardData(format)) {
        if (const char* p = static_cast<const char*>(GlobalLock(data))) {
            bytes.assign(p, GlobalSize(data));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return bytes;
}

namespace {

BITMAPINFO Rgb32(int side)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

} // namespace

bool SetClipboardBitmap(int seed)
{
    const int side = 8;
    DWORD pixels[side * side];
    for (int i = 0; i < side * side; ++i)
        pixels[i] = DWORD(i * 0x030507 + seed * 0x100) & 0xFFFFFF;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, side, side);
    BITMAPINFO info = Rgb32(side);
    SetDIBits(screen, bitmap, 0, side, pixels, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (!OpenWithRetry()) {
        DeleteObject(bitmap);
        return false;
    }
    EmptyClipboard();
    SetClipboardData(CF_BITMAP, bitmap);
    CloseClipboard();
    return true;
}

std::string ClipboardBitmapBits()
{
    if (!OpenWithRetry())
        return "<busy>";
    std::string bits = "<none>";
    if (HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
        BITMAP b = {};
        GetObjectA(bitmap, sizeof b, &b);
        std::string pixels(size_t(b.bmWidth) * b.bmHeight * 4, '\0');
        BITMAPINFO info = Rgb32(b.bmWidth);
        HDC screen = GetDC(nullptr);
        if (b.bmWidth == b.bmHeight &&
            GetDIBits(screen, bitmap, 0, b.bmHeight, &pixels[0], &info, DIB_RGB_COLORS) == b.bmHeight)
            bits = pixels;
        ReleaseDC(nullptr, screen);
    }
    CloseClipboard();
    return bits;
}

std::string FileListBlock(const std::vector<std::string>& paths)
{
    DROPFILES head = {};
    head.pFiles = sizeof head;
    std::string block(reinterpret_cast<const char*>(&head), sizeof head);
    for (const auto& p : paths)
        block += p + '\0';
    return block + '\0';
}
