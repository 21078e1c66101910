// Loading PNG resources of this executable into bitmaps.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "hooks/vk_png.h"
#include "tests/win/private_memory.h"

namespace {

// Resource ids of tests/win/extlib_test.rc.
const int kRgb7x5 = 201;
const int kRgba3x1 = 202;
const int kNotPng = 203;
const int kTruncated = 204;
const int kPngBytesOfOtherType = 205;

struct Pixels {
    int width = 0, height = 0;
    std::vector<BYTE> rows; // 24-bit BGR, top row first, rows padded to 4 bytes

    std::string At(int x, int y) const
    {
        const size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
        const BYTE* p = rows.data() + y * stride + x * 3;
        char text[16];
        std::snprintf(text, sizeof text, "%02X%02X%02X", p[2], p[1], p[0]);
        return text;
    }
};

// Reads a bitmap back through GetDIBits, as a caller drawing it would see it.
Pixels ReadBack(HBITMAP bitmap)
{
    Pixels px;
    BITMAP bm = {};
    if (!GetObjectA(bitmap, sizeof bm, &bm))
        return px;
    px.width = bm.bmWidth;
    px.height = bm.bmHeight;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = bm.bmWidth;
    bmi.bmiHeader.biHeight = -bm.bmHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 24;
    bmi.bmiHeader.biCompression = BI_RGB;
    px.rows.resize(((size_t(bm.bmWidth) * 3 + 3) & ~size_t(3)) * bm.bmHeight);
    HDC screen = GetDC(nullptr);
    int lines = GetDIBits(screen, bitmap, 0, bm.bmHeight, px.rows.data(), &bmi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (lines != bm.bmHeight)
        px.rows.clear();
    return px;
}

HBITMAP Load(int id)
{
    return vkLoadPNGA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), 0);
}

TEST(PngLoader, GivesA24BitTopDownDibOfTheImagesSize)
{
    HBITMAP bitmap = Load(kRgb7x5);
    ASSERT_TRUE(bitmap);
    DIBSECTION dib = {};
    ASSERT_EQ(GetObjectA(bitmap, sizeof dib, &dib), int(sizeof dib)) << "not a DIB section";
    EXPECT_EQ(dib.dsBm.bmWidth, 7);
    EXPECT_EQ(dib.dsBm.bmHeight, 5);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
    // Top-down: the first row in memory is the image's top row, whose first
    // pixel is red (stored blue, green, red).
    ASSERT_TRUE(dib.dsBm.bmBits);
    const BYTE* first = static_cast<const BYTE*>(dib.dsBm.bmBits);
    EXPECT_EQ(first[0] | first[1] << 8 | first[2] << 16, 0xFF0000) << "expected a top-down DIB";
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(PngLoader, PixelsKeepTheirColoursAndPlaces)
{
    HBITMAP bitmap = Load(kRgb7x5);
    ASSERT_TRUE(bitmap);
    Pixels px = ReadBack(bitmap);
    DeleteObject(bitmap);
    ASSERT_FALSE(px.rows.empty());
    // The width of 7 makes rows of 21 bytes padded to 24: a wrong stride
    // shifts every row after the first.
    struct {
        int x, y;
        const char* rgb;
    } cases[] = {
        {0, 0, "FF0000"}, {6, 0, "00FF00"}, {1, 0, "FFFFFF"}, {3, 2, "000000"},
        {0, 4, "0000FF"}, {6, 4, "123456"}, {5, 4, "FFFFFF"}, {6, 3, "FFFFFF"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(px.At(c.x, c.y), c.rgb) << "pixel (" << c.x << ", " << c.y << ")";
}

TEST(PngLoader, TransparentPartsAreLaidOnWhite)
{
    // The captions are ANDed onto the window; transparent black would show
    // as black.
    HBITMAP bitmap = Load(kRgba3x1);
    ASSERT_TRUE(bitmap);
    Pixels px = ReadBack(bitmap);
    DeleteObject(bitmap);
    ASSERT_EQ(px.width, 3);
    ASSERT_FALSE(px.rows.empty());
    EXPECT_EQ(px.At(0, 0), "FFFFFF") << "fully transparent";
    EXPECT_EQ(px.At(1, 0), "7F7F7F") << "black at half alpha";
    EXPECT_EQ(px.At(2, 0), "4080C0") << "opaque";
}

TEST(PngLoader, FindsAResourceByStringName)
{
    HBITMAP bitmap = vkLoadPNGA(GetModuleHandleA(nullptr), "NAMEDIMAGE", 0);
    EXPECT_TRUE(bitmap);
    DeleteObject(bitmap);
}

TEST(PngLoader, AnythingButAGoodPngResourceGivesNull)
{
    HINSTANCE self = GetModuleHandleA(nullptr);
    struct {
        const char* what;
        HINSTANCE module;
        const char* name;
        int flags;
    } cases[] = {
        {"missing id", self, MAKEINTRESOURCEA(999), 0},
        {"missing name", self, "NOSUCH", 0},
        {"PNG bytes stored under another type", self, MAKEINTRESOURCEA(kPngBytesOfOtherType), 0},
        {"not a PNG", self, MAKEINTRESOURCEA(kNotPng), 0},
        {"truncated PNG", self, MAKEINTRESOURCEA(kTruncated), 0},
        {"unknown flags", self, MAKEINTRESOURCEA(kRgb7x5), 1},
        {"no name", self, nullptr, 0},
        {"module without the resource", GetModuleHandleA("kernel32.dll"),
         MAKEINTRESOURCEA(kRgb7x5), 0},
    };
    for (const auto& c : cases) {
        HBITMAP bitmap = vkLoadPNGA(c.module, c.name, c.flags);
        EXPECT_EQ(bitmap, nullptr) << c.what;
        if (bitmap)
            DeleteObject(bitmap);
    }
}

// GDI objects are counted where the system counts them (Wine does not); the
// memory a leaked bitmap, device context or decoder holds shows everywhere.
TEST(PngLoader, LeavesNothingBehindOver200Loads)
{
    HANDLE self = GetCurrentProcess();
    // Warm up: the first calls set up lasting state of the system's own.
    for (int i = 0; i < 10; ++i) {
        DeleteObject(Load(kRgb7x5));
        DeleteObject(Load(kTruncated));
    }
    DWORD gdiBefore = GetGuiResources(self, GR_GDIOBJECTS);
    SIZE_T memoryBefore = PrivateBytes();
    for (int i = 0; i < 200; ++i) {
        HBITMAP bitmap = Load(i % 2 ? kRgb7x5 : kRgba3x1);
        ASSERT_TRUE(bitmap) << "load " << i;
        ASSERT_TRUE(DeleteObject(bitmap)) << "load " << i;
        if (i % 4 == 0)
            DeleteObject(Load(kTruncated)); // failures must release too
    }
    DWORD gdiAfter = GetGuiResources(self, GR_GDIOBJECTS);
    SIZE_T memoryAfter = PrivateBytes();
    EXPECT_LE(gdiAfter, gdiBefore + 2) << "GDI objects before " << gdiBefore << ", after " << gdiAfter;
    EXPECT_LT(memoryAfter, memoryBefore + 256 * 1024)
        << "private bytes before " << memoryBefore << ", after " << memoryAfter;
}

// COM is the caller's business: the loader must leave the thread's apartment
// as it found it, whether or not COM was running there.
TEST(PngLoader, LeavesTheThreadsComStateAsItWas)
{
    HRESULT uninitialisedAfter = E_FAIL, multiAfter = E_FAIL;
    bool loadedFresh = false, loadedInMulti = false;
    std::thread([&] {
        HBITMAP b = Load(kRgb7x5);
        loadedFresh = b != nullptr;
        DeleteObject(b);
        // Had the loader left its own apartment open, this would clash.
        uninitialisedAfter = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(uninitialisedAfter))
            CoUninitialize();
    }).join();
    std::thread([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        HBITMAP b = Load(kRgb7x5);
        loadedInMulti = b != nullptr;
        DeleteObject(b);
        multiAfter = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(multiAfter))
            CoUninitialize();
        CoUninitialize();
    }).join();
    EXPECT_TRUE(loadedFresh);
    EXPECT_EQ(uninitialisedAfter, S_OK) << "the thread was left inside an apartment";
    EXPECT_TRUE(loadedInMulti) << "a thread already in the multithreaded apartment";
    EXPECT_EQ(multiAfter, S_FALSE) << "the thread's apartment was changed or closed";
}

} // namespace
