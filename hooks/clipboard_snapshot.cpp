#include "hooks/clipboard_snapshot.h"

#include <cstring>
#include <new>

#include "platform/clipboard_marks.h"

namespace {

enum class Kind { Global, Bitmap, Palette, EnhMetafile, MetafilePicture, Unkeepable };

Kind KindOf(UINT format)
{
    switch (format) {
    case CF_BITMAP:
    case CF_DSPBITMAP:
        return Kind::Bitmap;
    case CF_PALETTE:
        return Kind::Palette;
    case CF_ENHMETAFILE:
    case CF_DSPENHMETAFILE:
        return Kind::EnhMetafile;
    case CF_METAFILEPICT:
    case CF_DSPMETAFILEPICT:
        return Kind::MetafilePicture;
    case CF_OWNERDISPLAY:
        return Kind::Unkeepable;
    }
    if ((format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) ||
        (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST))
        return Kind::Unkeepable;
    return Kind::Global;
}

// A zero-sized block cannot be locked, so the copy is at least one byte.
HANDLE CopyGlobal(HANDLE data)
{
    SIZE_T size = GlobalSize(data);
    const void* from = GlobalLock(data);
    if (!from)
        return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size ? size : 1);
    void* to = copy ? GlobalLock(copy) : nullptr;
    if (to) {
        std::memcpy(to, from, size);
        GlobalUnlock(copy);
    } else if (copy) {
        GlobalFree(copy);
        copy = nullptr;
    }
    GlobalUnlock(data);
    return copy;
}

HANDLE CopyPalette(HANDLE data)
{
    WORD count = 0;
    if (!GetObjectA(data, sizeof count, &count) || !count)
        return nullptr;
    std::vector<char> block(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(block.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = count;
    GetPaletteEntries(static_cast<HPALETTE>(data), 0, count, palette->palPalEntry);
    return CreatePalette(palette);
}

HANDLE CopyMetafilePicture(HANDLE data)
{
    if (GlobalSize(data) < sizeof(METAFILEPICT))
        return nullptr;
    const auto* from = static_cast<const METAFILEPICT*>(GlobalLock(data));
    if (!from)
        return nullptr;
    METAFILEPICT picture = *from;
    GlobalUnlock(data);
    picture.hMF = CopyMetaFileA(picture.hMF, nullptr);
    if (!picture.hMF)
        return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, sizeof picture);
    void* to = copy ? GlobalLock(copy) : nullptr;
    if (!to) {
        if (copy)
            GlobalFree(copy);
        DeleteMetaFile(picture.hMF);
        return nullptr;
    }
    std::memcpy(to, &picture, sizeof picture);
    GlobalUnlock(copy);
    return copy;
}

HANDLE CopyData(Kind kind, HANDLE data)
{
    switch (kind) {
    case Kind::Global:
        return CopyGlobal(data);
    case Kind::Bitmap:
        return CopyImage(data, IMAGE_BITMAP, 0, 0, 0);
    case Kind::Palette:
        return CopyPalette(data);
    case Kind::EnhMetafile:
        return CopyEnhMetaFileA(static_cast<HENHMETAFILE>(data), nullptr);
    case Kind::MetafilePicture:
        return CopyMetafilePicture(data);
    case Kind::Unkeepable:
        break;
    }
    return nullptr;
}

// The owner renders formats on request and is told when the clipboard is
// emptied, both by messages the system sends without a time limit: one that
// does not answer would hold this thread for as long as it likes. Asked
// before the clipboard is opened, and without SMTO_BLOCK, so that whatever
// is sent to this thread meanwhile is still handled.
bool OwnerAnswers(DWORD withinMs)
{
    HWND owner = GetClipboardOwner();
    DWORD pid = 0;
    if (!owner || (GetWindowThreadProcessId(owner, &pid), pid == GetCurrentProcessId()))
        return true;
    DWORD_PTR result;
    return SendMessageTimeoutA(owner, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, withinMs, &result) != 0;
}

} // namespace

ClipboardSnapshot::~ClipboardSnapshot()
{
    Clear();
}

void ClipboardSnapshot::Free(const Item& item)
{
    switch (KindOf(item.format)) {
    case Kind::Bitmap:
    case Kind::Palette:
        DeleteObject(item.data);
        break;
    case Kind::EnhMetafile:
        DeleteEnhMetaFile(static_cast<HENHMETAFILE>(item.data));
        break;
    case Kind::MetafilePicture:
        if (const auto* picture = static_cast<const METAFILEPICT*>(GlobalLock(item.data))) {
            DeleteMetaFile(picture->hMF);
            GlobalUnlock(item.data);
        }
        GlobalFree(item.data);
        break;
    default:
        GlobalFree(item.data);
        break;
    }
}

void ClipboardSnapshot::Clear()
{
    for (const Item& item : items_)
        Free(item);
    items_.clear();
}

ClipboardSnapshot::TakeResult ClipboardSnapshot::Take(HWND window, DWORD withinMs)
{
    Clear();
    const DWORD start = GetTickCount();
    if (!OwnerAnswers(withinMs))
        return TakeResult::TooSlow;
    if (!OpenClipboard(window))
        return TakeResult::Busy;
    TakeResult result = TakeResult::Taken;
    bool leftOut = false;
    if (IsPrivateCopy())
        result = TakeResult::Private;
    for (UINT format = 0; result == TakeResult::Taken && (format = EnumClipboardFormats(format));) {
        Kind kind = KindOf(format);
        if (format == ViewerIgnoreFormat())
            continue; // given back with every non-empty clipboard
        HANDLE data = kind == Kind::Unkeepable ? nullptr : GetClipboardData(format);
        HANDLE copy = nullptr;
        try {
            items_.reserve(items_.size() + 1);
            copy = data ? CopyData(kind, data) : nullptr;
        } catch (const std::bad_alloc&) {
            result = TakeResult::TooSlow;
        }
        if (copy)
            items_.push_back({format, copy});
        else
            leftOut = true;
        if (GetTickCount() - start > withinMs)
            result = TakeResult::TooSlow;
    }
    CloseClipboard();
    if (result == TakeResult::Taken && items_.empty() && leftOut)
        result = TakeResult::NothingKept;
    if (result != TakeResult::Taken)
        Clear();
    return result;
}

ClipboardSnapshot::PutResult ClipboardSnapshot::PutBack(HWND window, DWORD withinMs)
{
    if (!OwnerAnswers(withinMs))
        return PutResult::OwnerHung;
    if (!OpenClipboard(window))
        return PutResult::Busy;
    // Emptying the clipboard tells viewers, which may be this thread's own
    // windows: what is put back is no longer ours to clear meanwhile.
    std::vector<Item> items;
    items.swap(items_);
    EmptyClipboard();
    for (const Item& item : items)
        if (!SetClipboardData(item.format, item.data))
            Free(item);
    if (!items.empty()) {
        HGLOBAL mark = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1);
        if (mark && !SetClipboardData(ViewerIgnoreFormat(), mark))
            GlobalFree(mark);
    }
    CloseClipboard();
    return PutResult::PutBack;
}
