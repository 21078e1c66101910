#include "listwin/list_view_wrap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/cp932_text.h"

CListViewWrap ListView;
int SortDirection[2];

namespace {

// Copies as much of the text as the buffer holds, never half a character.
void CopyText(std::string_view text, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    size_t n = cp932::CutLength(text, size_t(size - 1));
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string_view CellText(EntryHandle row, int column)
{
    Entry e = CEntryTable::EntryAt(row);
    return column == 0 ? e.Key : e.Data;
}

// The first eight bytes big-endian, zero-padded: most comparisons of a sort
// end here, without touching the entry.
uint64_t Prefix(std::string_view text)
{
    uint64_t v = 0;
    for (size_t i = 0; i < 8; i++)
        v = v << 8 | (i < text.size() ? static_cast<unsigned char>(text[i]) : 0u);
    return v;
}

} // namespace

CListViewWrap::CListViewWrap()
{
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_DATE_CLASSES};
    InitCommonControlsEx(&icc);
}

CListViewWrap::~CListViewWrap()
{
    Reset();
}

void CListViewWrap::Create(HINSTANCE instance, HWND parent, int id)
{
    window = CreateWindowExA(0, WC_LISTVIEWA, "",
                             WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_OWNERDATA, 0, 0,
                             0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)), instance,
                             nullptr);
    if (!window)
        return;
    LRESULT style = SendMessageA(window, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
    SendMessageA(window, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                 style | LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT);
}

void CListViewWrap::AddColumns(const ListColumn* columns, int count)
{
    for (int i = 0; i < count; i++) {
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = const_cast<char*>(columns[i].caption);
        column.iSubItem = i;
        SendMessageA(window, LVM_INSERTCOLUMNA, WPARAM(i), reinterpret_cast<LPARAM>(&column));
    }
}

void CListViewWrap::SetCount()
{
    SendMessageA(window, LVM_SETITEMCOUNT, WPARAM(rows_.size()), LVSICF_NOSCROLL);
    InvalidateRect(window, nullptr, TRUE);
}

bool CListViewWrap::Fill(const CEntryTable& table)
{
    std::vector<EntryHandle> rows;
    bool filled = true;
    try {
        rows.reserve(table.Size());
        table.ForEachEntry([&](const Entry& e) { rows.push_back(e.Handle); });
    } catch (const std::bad_alloc&) {
        rows.clear(); // rows of a table that may have gone must not stay
        filled = false;
    }
    rows_.swap(rows);
    Select({});
    SetCount();
    return filled;
}

bool CListViewWrap::AppendRow(EntryHandle entry)
{
    try {
        rows_.push_back(entry);
    } catch (const std::bad_alloc&) {
        return false;
    }
    SetCount();
    return true;
}

void CListViewWrap::MoveRows(const std::vector<CEntryTable::ImageMove>& moves)
{
    for (EntryHandle& row : rows_)
        row = CEntryTable::Moved(row, moves);
}

int CListViewWrap::IndexOf(EntryHandle entry) const
{
    if (hint_ >= 0 && size_t(hint_) < rows_.size() && rows_[size_t(hint_)] == entry)
        return hint_;
    auto at = std::find(rows_.begin(), rows_.end(), entry);
    return at == rows_.end() ? -1 : int(at - rows_.begin());
}

void CListViewWrap::ReplaceRow(EntryHandle before, EntryHandle after)
{
    int index = IndexOf(before);
    hint_ = -1;
    if (index < 0) {
        if (!AppendRow(after))
            throw std::bad_alloc();
        return;
    }
    rows_[size_t(index)] = after;
    SendMessageA(window, LVM_REDRAWITEMS, WPARAM(index), LPARAM(index));
}

void CListViewWrap::RemoveRow(EntryHandle entry)
{
    int index = IndexOf(entry);
    hint_ = -1;
    if (index < 0)
        return;
    if (removing_) {
        rows_[size_t(index)] = nullptr;
        return;
    }
    rows_.erase(rows_.begin() + index);
    // The control moves the selection of the rows after it up by one.
    if (!SendMessageA(window, LVM_DELETEITEM, WPARAM(index), 0))
        SetCount();
}

void CListViewWrap::BeginRemovals()
{
    removing_ = true;
}

// Rows that stay keep their selection, in their new places; without the
// memory to work them out, nothing stays selected.
void CListViewWrap::EndRemovals()
{
    removing_ = false;
    std::vector<int> selected, kept;
    try {
        selected = Selected();
        kept.reserve(selected.size());
    } catch (const std::bad_alloc&) {
        selected.clear();
    }
    size_t to = 0;
    for (size_t from = 0, s = 0; from < rows_.size(); from++) {
        if (!rows_[from])
            continue;
        while (s < selected.size() && size_t(selected[s]) < from)
            s++;
        if (s < selected.size() && size_t(selected[s]) == from)
            kept.push_back(int(to));
        if (to != from)
            rows_[to] = rows_[from];
        to++;
    }
    rows_.resize(to);
    Select(kept);
    SetCount();
}

Entry CListViewWrap::RowEntry(int index) const
{
    if (index < 0 || size_t(index) >= rows_.size() || !rows_[size_t(index)])
        return {};
    return CEntryTable::EntryAt(rows_[size_t(index)]);
}

int CListViewWrap::SelectedCount()
{
    return int(SendMessageA(window, LVM_GETSELECTEDCOUNT, 0, 0));
}

void CListViewWrap::Move(int x, int y, int width, int height)
{
    if (window)
        MoveWindow(window, x, y, width, height, TRUE);
}

int CListViewWrap::NextSelected(int start, UINT flags)
{
    return int(SendMessageA(window, LVM_GETNEXTITEM, WPARAM(start), LOWORD(flags)));
}

std::vector<int> CListViewWrap::Selected()
{
    std::vector<int> selected;
    for (int i = -1; (i = NextSelected(i, LVNI_SELECTED)) != -1;) {
        if (size_t(i) >= rows_.size())
            break;
        selected.push_back(i);
    }
    return selected;
}

void CListViewWrap::Select(const std::vector<int>& rows)
{
    if (!window)
        return;
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    SendMessageA(window, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    for (int index : rows)
        SendMessageA(window, LVM_SETITEMSTATE, WPARAM(index), reinterpret_cast<LPARAM>(&item));
}

// Unsigned bytes, a proper beginning first; rows that compare equal keep
// their order. The selection moves with its rows.
void CListViewWrap::SortBy(int column)
{
    std::vector<EntryHandle> selected;
    for (int index : Selected())
        selected.push_back(rows_[size_t(index)]);
    std::sort(selected.begin(), selected.end());

    struct Keyed {
        uint64_t prefix;
        EntryHandle row;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(rows_.size());
    for (EntryHandle row : rows_)
        keyed.push_back({Prefix(CellText(row, column)), row});
    auto before = [column](const Keyed& a, const Keyed& b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return CellText(a.row, column) < CellText(b.row, column);
    };
    if (SortDirection[column] == 1)
        std::stable_sort(keyed.begin(), keyed.end(), before);
    else
        std::stable_sort(keyed.begin(), keyed.end(),
                         [&](const Keyed& a, const Keyed& b) { return before(b, a); });

    std::vector<int> reselected;
    reselected.reserve(selected.size());
    for (size_t i = 0; i < keyed.size(); i++) {
        rows_[i] = keyed[i].row;
        if (std::binary_search(selected.begin(), selected.end(), rows_[i]))
            reselected.push_back(int(i));
    }
    if (!selected.empty())
        Select(reselected);
    InvalidateRect(window, nullptr, TRUE);
}

void CListViewWrap::GiveText(NMLVDISPINFOA* request) const
{
    LVITEMA& item = request->item;
    if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || size_t(item.iItem) >= rows_.size() ||
        !rows_[size_t(item.iItem)])
        return;
    CopyText(CellText(rows_[size_t(item.iItem)], item.iSubItem == 0 ? 0 : 1), item.pszText,
             item.cchTextMax);
}

// Typing in the list jumps to the next row whose Key begins with the typed
// letters, ignoring case, as in any list.
int CListViewWrap::Find(const NMLVFINDITEMA* request) const
{
    const LVFINDINFOA& find = request->lvfi;
    if (!(find.flags & (LVFI_STRING | LVFI_PARTIAL)) || !find.psz || rows_.empty())
        return -1;
    const int length = lstrlenA(find.psz);
    const size_t count = rows_.size();
    size_t start = request->iStart >= 0 ? size_t(request->iStart) % count : 0;
    for (size_t k = 0; k < count; k++) {
        EntryHandle row = rows_[(start + k) % count];
        if (!row)
            continue;
        std::string_view key = CellText(row, 0);
        if (key.size() >= size_t(length) &&
            CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, key.data(), length, find.psz,
                           length) == CSTR_EQUAL)
            return int((start + k) % count);
    }
    return -1;
}

bool CListViewWrap::HandleNotify(NMHDR* notification, LRESULT* result)
{
    *result = 0;
    switch (notification->code) {
    case LVN_GETDISPINFOA:
        GiveText(reinterpret_cast<NMLVDISPINFOA*>(notification));
        return true;
    case LVN_ODFINDITEMA:
        *result = Find(reinterpret_cast<NMLVFINDITEMA*>(notification));
        return true;
    case LVN_ODFINDITEMW: {
        // Some systems ask in UTF-16 whatever the window's character set.
        auto* wide = reinterpret_cast<NMLVFINDITEMW*>(notification);
        std::string text;
        if (wide->lvfi.psz) {
            int need = WideCharToMultiByte(CP_ACP, 0, wide->lvfi.psz, -1, nullptr, 0, nullptr,
                                           nullptr);
            text.assign(size_t(need > 0 ? need : 1), '\0');
            if (need > 0)
                WideCharToMultiByte(CP_ACP, 0, wide->lvfi.psz, -1, text.data(), need, nullptr,
                                    nullptr);
        }
        NMLVFINDITEMA narrow = {};
        narrow.hdr = wide->hdr;
        narrow.iStart = wide->iStart;
        narrow.lvfi.flags = wide->lvfi.flags;
        narrow.lvfi.psz = text.c_str();
        *result = Find(&narrow);
        return true;
    }
    case LVN_COLUMNCLICK: {
        int column = reinterpret_cast<NMLISTVIEW*>(notification)->iSubItem;
        if (column < 0 || column > 1)
            return false;
        SortDirection[column] = SortDirection[column] == 1 ? 2 : 1;
        SortBy(column);
        return true;
    }
    }
    return false;
}

void CListViewWrap::Reset()
{
    rows_.clear();
    rows_.shrink_to_fit();
    hint_ = -1;
    removing_ = false;
}
