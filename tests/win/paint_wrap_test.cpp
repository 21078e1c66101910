// The caption images are loaded and released on every paint: nothing may
// be left behind, however often the window paints.
#include <gtest/gtest.h>

#include <windows.h>

#include "hooks/vk_png.h"
#include "res/resource.h"
#include "tests/win/private_memory.h"
#include "ui/paint_wrap.h"

namespace {

CPaintWrap Painter()
{
    CPaintWrap p;
    p.instance = GetModuleHandleA(nullptr);
    p.loadPng = vkLoadPNGA;
    return p;
}

CPaintWrap painter = Painter();
int paints;

LRESULT CALLBACK PaintProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_PAINT) {
        painter.Begin(w);
        painter.DrawImage(IDB_KEY_CAPTION, 0, 90);
        painter.DrawImage(IDB_DATA_CAPTION, 0, 129 + 50);
        painter.End(w);
        paints++;
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

DWORD GdiCount()
{
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}

TEST(PaintWrap, MeasuresTheShippedImages)
{
    int w = 0, h = 0;
    ASSERT_EQ(painter.MeasureImage(IDB_KEY_CAPTION, &w, &h), 1);
    EXPECT_EQ(w, 66);
    EXPECT_EQ(h, 39);
    ASSERT_EQ(painter.MeasureImage(IDB_DATA_CAPTION, &w, &h), 1);
    EXPECT_EQ(w, 79);
    EXPECT_EQ(h, 35);
    EXPECT_EQ(painter.MeasureImage(9999, &w, &h), 0) << "a missing image";
}

TEST(PaintWrap, RepaintsLeaveNoGdiObjectBehind)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PaintProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    wc.lpszClassName = "VkPaintTest";
    RegisterClassA(&wc);
    HWND w = CreateWindowExA(0, wc.lpszClassName, "paint", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                             248, 350, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(w);
    for (int i = 0; i < 10; i++)
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

    SIZE_T bytesBefore = PrivateBytes();
    DWORD countBefore = GdiCount();
    paints = 0;
    for (int i = 0; i < 300; i++)
        RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_GE(paints, 300);
    EXPECT_EQ(painter.width, 79) << "the last image drawn";
    SIZE_T grown = PrivateBytes() - bytesBefore;
    EXPECT_LT(grown, SIZE_T(1) << 20) << "private memory grew by " << grown << " bytes";
    EXPECT_LE(GdiCount(), countBefore + 2);
    DestroyWindow(w);
}

} // namespace
