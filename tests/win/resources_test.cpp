// The resources as they come out of the executable that links them: what the
// loaders hand the program, and the raw bytes the resource compiler wrote.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/win/dialog_template_reader.h"
#include "ui/app_instance.h"

namespace {

const WORD Japanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

// The bytes of a resource of this executable, empty if it is missing.
std::string ResourceBytes(LPCSTR type, int id, WORD language = Japanese)
{
    HRSRC found = FindResourceExA(AppInstance, type, MAKEINTRESOURCEA(id), language);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(AppInstance, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    return std::string(static_cast<const char*>(bytes), SizeofResource(AppInstance, found));
}

std::string Hex(uint32_t v)
{
    char text[16];
    wsprintfA(text, "0x%08X", v);
    return text;
}

// UTF-16 from a template, shown readably in failure messages.
std::string Narrow(const std::u16string& s)
{
    std::string out;
    for (char16_t c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char esc[12];
            wsprintfA(esc, "\\u%04X", unsigned(c));
            out += esc;
        }
    }
    return out;
}

// --- resource languages ------------------------------------------------------

TEST(Resources, EveryResourceIsJapanese)
{
    struct Case {
        const char* name;
        LPCSTR type;
        int id;
    } cases[] = {
        {"menu 109", MAKEINTRESOURCEA(4), IDR_MAIN_MENU},
        {"accelerators 109", MAKEINTRESOURCEA(9), IDR_ACCELERATORS},
        {"string block of 108-111", MAKEINTRESOURCEA(6), 108 / 16 + 1},
        {"string block of 112-127", MAKEINTRESOURCEA(6), 112 / 16 + 1},
        {"dialog 103", MAKEINTRESOURCEA(5), IDD_ABOUT},
        {"dialog 152", MAKEINTRESOURCEA(5), IDD_ADD_EDIT},
        {"dialog 159", MAKEINTRESOURCEA(5), IDD_CUSTOMIZE},
        {"icon group 150", MAKEINTRESOURCEA(14), IDI_APP},
        {"PNG 135", "PNG", IDB_DATA_CAPTION},
        {"PNG 141", "PNG", IDB_KEY_CAPTION},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(ResourceBytes(c.type, c.id).empty())
            << c.name << ": no resource in language 1041";
}

// The version record belongs to the programs themselves: the release's test
// reads it back from the shipped files.
TEST(Resources, NoManifest)
{
    EXPECT_EQ(FindResourceA(AppInstance, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)), nullptr)
        << "manifest";
}

// --- menu 109 ------------------------------------------------------------------

struct MenuLine {
    const char* text; // nullptr for a separator
    UINT id;
    bool checked;
};

struct MenuItemSeen {
    std::string text;
    UINT type, state, id;
    HMENU submenu;
};

MenuItemSeen ReadMenuItem(HMENU menu, int position)
{
    char text[256] = "";
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof text;
    if (!GetMenuItemInfoA(menu, UINT(position), TRUE, &info))
        return {"<unreadable>", 0, 0, 0, nullptr};
    return {text, info.fType, info.fState, info.wID, info.hSubMenu};
}

TEST(Resources, MenuHasEveryItemInOrder)
{
    struct Popup {
        const char* title;
        std::vector<MenuLine> lines;
    } popups[] = {
        {"ファイル(&F)",
         {{"新規作成", IDM_NEW, false},
          {nullptr, 0, false},
          {"上書き保存", IDM_SAVE, false},
          {"名前を付けて保存", IDM_SAVE_AS, false},
          {nullptr, 0, false},
          {"開く（新しい表を作る）", IDM_OPEN_NEW, false},
          {"開く（現在の表に追加）", IDM_OPEN_APPEND, false},
          {nullptr, 0, false},
          {"カスタマイズ", IDM_CUSTOMIZE, false},
          {nullptr, 0, false},
          {"アプリケーションの終了(&X)", IDM_EXIT, false}}},
        {"表示(&V)", {{"最前面表示", IDM_TOPMOST_TOGGLE, true}, {nullptr, 0, false}}},
        {"リスト(&L)", {{"リスト一覧", IDM_LIST, false}}},
        {"ヘルプ(&H)", {{"バージョン情報", IDM_ABOUT, false}}},
    };

    HMENU bar = LoadMenuA(AppInstance, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), int(std::size(popups)));
    for (int p = 0; p < int(std::size(popups)); p++) {
        MenuItemSeen top = ReadMenuItem(bar, p);
        EXPECT_EQ(top.text, popups[p].title) << "menu " << p;
        ASSERT_NE(top.submenu, nullptr) << popups[p].title;
        const std::vector<MenuLine>& lines = popups[p].lines;
        ASSERT_EQ(GetMenuItemCount(top.submenu), int(lines.size())) << popups[p].title;
        for (int i = 0; i < int(lines.size()); i++) {
            MenuItemSeen item = ReadMenuItem(top.submenu, i);
            std::string where = std::string(popups[p].title) + " item " + std::to_string(i);
            if (!lines[i].text) {
                EXPECT_TRUE(item.type & MFT_SEPARATOR) << where << ": expected a separator";
                continue;
            }
            EXPECT_FALSE(item.type & MFT_SEPARATOR) << where;
            EXPECT_EQ(item.text, lines[i].text) << where;
            EXPECT_EQ(item.id, lines[i].id) << where << " (" << lines[i].text << ")";
            EXPECT_EQ(bool(item.state & MFS_CHECKED), lines[i].checked)
                << where << " (" << lines[i].text << "): check mark";
            EXPECT_FALSE(item.state & (MFS_GRAYED | MFS_DISABLED))
                << where << " (" << lines[i].text << ") is disabled";
        }
    }
    DestroyMenu(bar);
}

// --- accelerators 109 ------------------------------------------------------------

TEST(Resources, AcceleratorsAreAltCharactersWithoutEffect)
{
    HACCEL table = LoadAcceleratorsA(AppInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ASSERT_NE(table, nullptr);
    ACCEL entries[8] = {};
    ASSERT_EQ(CopyAcceleratorTableA(table, nullptr, 0), 2);
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 8), 2);
    const WORD keys[] = {0x3F, 0x2F}; // "?" and "/"
    for (int i = 0; i < 2; i++) {
        // FVIRTKEY would turn 0x2F into VK_HELP and 0x3F into nothing typed.
        EXPECT_EQ(entries[i].fVirt, FALT) << "entry " << i << " flags";
        EXPECT_EQ(entries[i].key, keys[i]) << "entry " << i << " key";
        EXPECT_EQ(entries[i].cmd, IDM_NOTHING) << "entry " << i << " command";
    }
}

// --- string table ------------------------------------------------------------------

TEST(Resources, StringTableHoldsExactlyTheTwentyStrings)
{
    struct Case {
        int id;
        const char* text;
    } cases[] = {
        {108, "Vocabrik"},       {109, "VOCABRIK"},         {110, " 編集 "},
        {111, " 検索 "},         {112, "追加"},             {113, "外部検索"},
        {114, "最前面"},         {115, "非前面"},           {116, "メインウィンドウ"},
        {117, "結果ウィンドウ"}, {118, "コンボボックス"},   {119, "タイマー"},
        {120, "リストビュー"},   {121, "選択編集"},         {122, "削除"},
        {123, "追加(F1)"},       {124, "編集"},             {125, "削除"},
        {126, "フォーカス"},     {127, "内部検索"},
    };
    for (const Case& c : cases) {
        char text[256] = "";
        int length = LoadStringA(AppInstance, UINT(c.id), text, sizeof text);
        EXPECT_EQ(std::string(text, size_t(length > 0 ? length : 0)), c.text)
            << "string " << c.id;
    }
    // The blocks that hold 108-127 cover 96-143: nothing else is in them.
    for (int id = 96; id < 144; id++) {
        if (id >= 108 && id <= 127)
            continue;
        char text[64] = "";
        EXPECT_EQ(LoadStringA(AppInstance, UINT(id), text, sizeof text), 0)
            << "unexpected string " << id << ": " << text;
    }
}

// --- dialog templates ------------------------------------------------------------------

// Predefined classes are ordinals in a template; others are names.
struct ExpectedClass {
    uint16_t ordinal; // 0 for a named class
    const char16_t* name;
};
const ExpectedClass Button = {0x80, nullptr};
const ExpectedClass Edit = {0x81, nullptr};
const ExpectedClass Static = {0x82, nullptr};
const ExpectedClass RichEdit20 = {0, u"RichEdit20A"};

struct ExpectedControl {
    uint32_t id;
    ExpectedClass windowClass;
    const char16_t* text;
    uint32_t style, exStyle;
    int16_t x, y, cx, cy;
};

struct ExpectedDialog {
    int resource;
    const char16_t* title;
    uint32_t style;
    int16_t x, y, cx, cy;
    uint16_t pointSize, weight;
    uint8_t charset;
    const char16_t* typeface;
    std::vector<ExpectedControl> controls;
};

const uint32_t NoId = 0xFFFFFFFF;

std::vector<ExpectedDialog> ExpectedDialogs()
{
    return {
        {IDD_ABOUT, u"バージョン情報", 0x00C000C0, 22, 17, 230, 76, 9, 0, 0, u"System",
         {{NoId, Static, u"Vocabrik Version 0.99", 0x50020080, 0, 49, 10, 119, 8},
          {NoId, Static, u"(C) 2026 The Vocabrik Authors", 0x50020000, 0, 49, 20, 119, 8},
          {IDOK, Button, u"OK", 0x50030001, 0, 195, 6, 30, 11},
          {IDC_ABOUT_ADDRESS, Edit, u"", 0x50810C80, 0, 39, 45, 162, 14}}},
        {IDD_ADD_EDIT, u"追加・編集ウィンドウ", 0x80C800C8, 0, 0, 332, 181, 8, 400, 1,
         u"MS Shell Dlg",
         {{IDCANCEL, Button, u"キャンセル", 0x50010000, 0, 275, 107, 50, 21},
          {IDC_ADDEDIT_KEY, RichEdit20, u"", 0x50A11044, 0, 24, 26, 239, 61},
          {IDC_ADDEDIT_DATA, RichEdit20, u"", 0x50A11044, 0, 25, 105, 239, 61},
          {NoId, Static, u"Key", 0x50021001, 0, 25, 15, 20, 11},
          {NoId, Static, u"Data", 0x50020001, 0x20000, 26, 94, 22, 11},
          {IDC_ADDEDIT_OK, Button, u"OK", 0x50010000, 0, 275, 65, 50, 21}}},
        {IDD_CUSTOMIZE, u"カスタマイズボックス", 0x80C800C8, 0, 0, 255, 135, 8, 400, 1,
         u"MS Shell Dlg",
         {{IDOK, Button, u"OK", 0x50010001, 0, 25, 114, 50, 14},
          {IDCANCEL, Button, u"キャンセル", 0x50010000, 0, 104, 114, 50, 14},
          {NoId, Static, u"検索URL", 0x50020000, 0, 29, 17, 46, 8},
          {IDC_URL_EDIT, RichEdit20, u"", 0x50810080, 0, 27, 30, 204, 16},
          {IDC_RESTORE_DEFAULT, Button, u"初期状態に戻す", 0x50010000, 0, 175, 114, 61, 14}}},
    };
}

// Window class names are compared without regard to case, as the window
// manager does: windres stores every named class in capitals.
bool SameClassName(const std::u16string& a, const char16_t* b)
{
    std::u16string other(b);
    if (a.size() != other.size())
        return false;
    auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; };
    for (size_t i = 0; i < a.size(); i++)
        if (upper(a[i]) != upper(other[i]))
            return false;
    return true;
}

void ExpectControl(const TemplateControl& seen, const ExpectedControl& want,
                   const std::string& where)
{
    EXPECT_EQ(seen.id, want.id) << where << " id";
    if (want.windowClass.ordinal) {
        EXPECT_TRUE(seen.windowClass.isOrdinal && seen.windowClass.ordinal ==
                                                      want.windowClass.ordinal)
            << where << " class: expected ordinal " << want.windowClass.ordinal << ", got "
            << (seen.windowClass.isOrdinal ? std::to_string(seen.windowClass.ordinal)
                                           : Narrow(seen.windowClass.text));
    } else {
        EXPECT_TRUE(!seen.windowClass.isOrdinal &&
                    SameClassName(seen.windowClass.text, want.windowClass.name))
            << where << " class: expected " << Narrow(want.windowClass.name) << ", got "
            << Narrow(seen.windowClass.text);
    }
    EXPECT_FALSE(seen.title.isOrdinal) << where << " text is an ordinal";
    EXPECT_EQ(seen.title.text, want.text)
        << where << " text: expected \"" << Narrow(want.text) << "\", got \""
        << Narrow(seen.title.text) << "\"";
    EXPECT_EQ(Hex(seen.style), Hex(want.style)) << where << " style";
    EXPECT_EQ(Hex(seen.exStyle), Hex(want.exStyle)) << where << " extended style";
    EXPECT_EQ(seen.helpId, 0u) << where << " help id";
    EXPECT_EQ(seen.extraCount, 0u) << where << " creation data";
    EXPECT_EQ((std::vector<int>{seen.x, seen.y, seen.cx, seen.cy}),
              (std::vector<int>{want.x, want.y, want.cx, want.cy}))
        << where << " rectangle";
}

TEST(Resources, DialogTemplatesAreExactlyAsDesigned)
{
    for (const ExpectedDialog& want : ExpectedDialogs()) {
        std::string name = "dialog " + std::to_string(want.resource);
        std::string bytes = ResourceBytes(MAKEINTRESOURCEA(5), want.resource);
        DialogTemplate seen;
        ASSERT_TRUE(ReadDialogTemplateEx(bytes.data(), bytes.size(), seen))
            << name << " is missing or not an extended template (" << bytes.size()
            << " bytes)";
        EXPECT_EQ(Hex(seen.style), Hex(want.style)) << name << " style";
        EXPECT_EQ(seen.exStyle, 0u) << name << " extended style";
        EXPECT_EQ(seen.helpId, 0u) << name << " help id";
        EXPECT_EQ((std::vector<int>{seen.x, seen.y, seen.cx, seen.cy}),
                  (std::vector<int>{want.x, want.y, want.cx, want.cy}))
            << name << " rectangle";
        EXPECT_TRUE(!seen.menu.isOrdinal && seen.menu.text.empty()) << name << " has a menu";
        EXPECT_TRUE(!seen.windowClass.isOrdinal && seen.windowClass.text.empty())
            << name << " has a window class";
        EXPECT_EQ(seen.title, want.title) << name << " title: " << Narrow(seen.title);
        ASSERT_TRUE(seen.hasFont) << name;
        EXPECT_EQ(seen.pointSize, want.pointSize) << name << " font size";
        EXPECT_EQ(seen.weight, want.weight) << name << " font weight";
        EXPECT_EQ(seen.italic, 0) << name << " font italic";
        EXPECT_EQ(seen.charset, want.charset) << name << " font character set";
        EXPECT_EQ(seen.typeface, want.typeface) << name << " typeface " << Narrow(seen.typeface);
        ASSERT_EQ(seen.controls.size(), want.controls.size()) << name << " control count";
        for (size_t i = 0; i < want.controls.size(); i++)
            ExpectControl(seen.controls[i], want.controls[i],
                          name + " control " + std::to_string(i));
    }
}

// The templates must also make real dialogs: an unknown class or a broken
// record makes CreateDialog fail as a whole.
INT_PTR CALLBACK PlainDlgProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

TEST(Resources, DialogTemplatesCreateEveryControl)
{
    ASSERT_NE(LoadLibraryA("riched20.dll"), nullptr);
    for (const ExpectedDialog& want : ExpectedDialogs()) {
        std::string name = "dialog " + std::to_string(want.resource);
        HWND dialog = CreateDialogParamA(AppInstance, MAKEINTRESOURCEA(want.resource), nullptr,
                                         PlainDlgProc, 0);
        ASSERT_NE(dialog, nullptr) << name << " could not be created";
        HWND child = GetWindow(dialog, GW_CHILD);
        for (const ExpectedControl& c : want.controls) {
            std::string where = name + " control " + std::to_string(int(c.id));
            ASSERT_NE(child, nullptr) << where << " missing";
            EXPECT_EQ(GetDlgCtrlID(child), int(c.id)) << where;
            // Edit controls trade WS_BORDER for a client edge and show their
            // scroll bars only when needed; every other bit must arrive.
            const uint32_t changing = WS_BORDER | WS_VSCROLL | WS_HSCROLL;
            uint32_t style = uint32_t(GetWindowLongPtrA(child, GWL_STYLE));
            EXPECT_EQ(Hex(style & c.style & ~changing), Hex(c.style & ~changing))
                << where << " style";
            char className[64] = "";
            GetClassNameA(child, className, sizeof className);
            if (!c.windowClass.ordinal) {
                EXPECT_EQ(lstrcmpiA(className, "RichEdit20A"), 0) << where << ": " << className;
            }
            child = GetWindow(child, GW_HWNDNEXT);
        }
        EXPECT_EQ(child, nullptr) << name << " has more controls than its template";
        DestroyWindow(dialog);
    }
}

// --- icon 150 ----------------------------------------------------------------------------

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved, type, count;
};
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

TEST(Resources, IconIsOne32By32ImageWith256ColoursAndAMask)
{
    std::string group = ResourceBytes(MAKEINTRESOURCEA(14), IDI_APP);
    ASSERT_GE(group.size(), sizeof(GroupIconHeader) + sizeof(GroupIconEntry));
    GroupIconHeader header;
    GroupIconEntry entry;
    memcpy(&header, group.data(), sizeof header);
    memcpy(&entry, group.data() + sizeof header, sizeof entry);
    ASSERT_EQ(header.type, 1);
    ASSERT_EQ(header.count, 1) << "images in the icon group";
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.bitCount, 8);
    // Header, 256-colour palette, 8-bit pixels and a 1-bit mask of 32 rows.
    const size_t expectedSize = 40 + 256 * 4 + 32 * 32 + 32 * 4;
    EXPECT_EQ(entry.bytesInRes, expectedSize);

    std::string image = ResourceBytes(MAKEINTRESOURCEA(3), entry.id);
    ASSERT_EQ(image.size(), expectedSize);
    BITMAPINFOHEADER info;
    memcpy(&info, image.data(), sizeof info);
    EXPECT_EQ(info.biWidth, 32);
    EXPECT_EQ(info.biHeight, 64) << "colour rows and mask rows";
    EXPECT_EQ(info.biBitCount, 8);
    EXPECT_EQ(info.biCompression, DWORD(BI_RGB));

    // Where the mask lets the background through, the colour is XORed onto
    // it: anything but black there would stain the background.
    auto palette = reinterpret_cast<const RGBQUAD*>(image.data() + 40);
    auto pixels = reinterpret_cast<const uint8_t*>(image.data() + 40 + 1024);
    auto mask = pixels + 32 * 32;
    int transparent = 0, stained = 0;
    for (int y = 0; y < 32; y++) {
        for (int x = 0; x < 32; x++) {
            if (!(mask[y * 4 + x / 8] & (0x80 >> (x % 8))))
                continue;
            transparent++;
            const RGBQUAD& c = palette[pixels[y * 32 + x]];
            if (c.rgbRed || c.rgbGreen || c.rgbBlue)
                stained++;
        }
    }
    EXPECT_GT(transparent, 200) << "a star leaves much of its square transparent";
    EXPECT_LT(transparent, 900) << "the star covers a good part of its square";
    EXPECT_EQ(stained, 0) << "transparent pixels that are not black";
    // Rows run bottom-up: the centre of the star is opaque, a corner is not.
    EXPECT_FALSE(mask[16 * 4 + 2] & 0x80) << "centre pixel is transparent";
    EXPECT_TRUE(mask[0] & 0x80) << "corner pixel is not transparent";

    HICON icon = LoadIconA(AppInstance, MAKEINTRESOURCEA(IDI_APP));
    ASSERT_NE(icon, nullptr) << "the loader refuses the icon";
    ICONINFO iconInfo = {};
    ASSERT_TRUE(GetIconInfo(icon, &iconInfo));
    EXPECT_NE(iconInfo.hbmMask, nullptr);
    EXPECT_FALSE(iconInfo.fIcon == FALSE) << "loaded as a cursor";
    if (iconInfo.hbmMask)
        DeleteObject(iconInfo.hbmMask);
    if (iconInfo.hbmColor)
        DeleteObject(iconInfo.hbmColor);
}

// --- PNG 135 and 141 -------------------------------------------------------------------------

uint32_t Be32(const std::string& s, size_t at)
{
    auto b = [&](size_t i) { return uint32_t(uint8_t(s[at + i])); };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

// The chunk types in file order, or empty if the chunk walk runs off the end.
std::vector<std::string> PngChunks(const std::string& png)
{
    std::vector<std::string> types;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        uint32_t length = Be32(png, at);
        if (length > png.size() - at - 12)
            return {};
        types.push_back(png.substr(at + 4, 4));
        at += 12 + length;
    }
    return at == png.size() ? types : std::vector<std::string>{};
}

TEST(Resources, CaptionImagesAreCompleteRgbPngFiles)
{
    struct Case {
        const char* name;
        int id;
        uint32_t width, height;
    } cases[] = {
        {"DataCaptionImage", IDB_DATA_CAPTION, 79, 35},
        {"KeyCaptionImage", IDB_KEY_CAPTION, 66, 39},
    };
    for (const Case& c : cases) {
        std::string png = ResourceBytes("PNG", c.id);
        ASSERT_GE(png.size(), 33u) << c.name << " is missing or too short";
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << c.name << " signature";
        EXPECT_EQ(png.substr(12, 4), "IHDR") << c.name;
        EXPECT_EQ(Be32(png, 16), c.width) << c.name << " width";
        EXPECT_EQ(Be32(png, 20), c.height) << c.name << " height";
        EXPECT_EQ(int(uint8_t(png[24])), 8) << c.name << " bit depth";
        EXPECT_EQ(int(uint8_t(png[25])), 2) << c.name << " colour type";
        EXPECT_EQ(int(uint8_t(png[28])), 0) << c.name << " interlace";

        std::vector<std::string> chunks = PngChunks(png);
        ASSERT_FALSE(chunks.empty()) << c.name << ": chunks do not fill the file exactly";
        EXPECT_EQ(chunks.back(), "IEND") << c.name;
        for (const char* needed : {"IDAT", "bKGD", "pHYs", "tIME"}) {
            bool present = false;
            for (const std::string& t : chunks)
                present = present || t == needed;
            EXPECT_TRUE(present) << c.name << " lacks " << needed;
        }
    }
}

// Decodes a PNG with the system's codecs into rows of 0x00RRGGBB, or
// returns false. A damaged image stream fails here though its header reads.
bool DecodePng(const std::string& png, UINT& width, UINT& height, std::vector<uint32_t>& pixels)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return false;
    bool ok = false;
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_PPV_ARGS(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromMemory(
            reinterpret_cast<BYTE*>(const_cast<char*>(png.data())), DWORD(png.size()))) &&
        SUCCEEDED(factory->CreateDecoderFromStream(stream, nullptr,
                                                   WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height)) &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR,
                                        WICBitmapDitherTypeNone, nullptr, 0,
                                        WICBitmapPaletteTypeCustom))) {
        pixels.assign(size_t(width) * height, 0);
        ok = SUCCEEDED(converter->CopyPixels(nullptr, width * 4, UINT(pixels.size() * 4),
                                             reinterpret_cast<BYTE*>(pixels.data())));
    }
    if (converter)
        converter->Release();
    if (frame)
        frame->Release();
    if (decoder)
        decoder->Release();
    if (stream)
        stream->Release();
    if (factory)
        factory->Release();
    CoUninitialize();
    return ok;
}

// The main window ANDs the pictures onto its background: their margins
// must be pure white, and the word itself dark.
TEST(Resources, CaptionImagesDecodeToDarkWordsOnPureWhite)
{
    struct Case {
        const char* name;
        int id;
    } cases[] = {{"DataCaptionImage", IDB_DATA_CAPTION}, {"KeyCaptionImage", IDB_KEY_CAPTION}};
    for (const Case& c : cases) {
        UINT width = 0, height = 0;
        std::vector<uint32_t> pixels;
        ASSERT_TRUE(DecodePng(ResourceBytes("PNG", c.id), width, height, pixels))
            << c.name << " does not decode";
        int offWhiteMargin = 0, dark = 0;
        for (UINT y = 0; y < height; y++) {
            for (UINT x = 0; x < width; x++) {
                uint32_t p = pixels[y * width + x] & 0xFFFFFF;
                bool margin = x == 0 || y == 0 || x == width - 1 || y == height - 1;
                if (margin && p != 0xFFFFFF)
                    offWhiteMargin++;
                if ((p & 0xFF) < 0x60 && (p >> 8 & 0xFF) < 0x60 && (p >> 16 & 0xFF) < 0x60)
                    dark++;
            }
        }
        EXPECT_EQ(offWhiteMargin, 0) << c.name << ": margin pixels that are not pure white";
        EXPECT_GT(dark, int(width * height / 10)) << c.name << ": too few dark letter pixels";
    }
}

} // namespace
