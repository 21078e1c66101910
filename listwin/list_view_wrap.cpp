#include "listwin/list_view_wrap.h"

#include <algorithm>
#include <cstring>

#include "app/app_instance.h"

CListViewWrap ListView;
int SortDirection[2];

namespace {

const std::string NoText;

// Copies as much of the text as the buffer holds, never half a character.
void CopyText(const std::string& text, char* buffer, int size)
{
    if (!buffer || size <= 0)
        return;
    size_t n = 0;
    while (n < text.size()) {
        size_t step = IsDBCSLeadByte(BYTE(text[n])) && n + 1 < text.size() ? 2 : 1;
        if (n + step > size_t(size - 1))
            break;
        n += step;
    }
    memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
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

void CListViewWrap::Create(HWND parent, int id)
{
    window = CreateWindowExA(0, WC_LISTVIEWA, "",
                             WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_OWNERDATA, 0, 0,
                             0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)), AppInstance,
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

void CListViewWrap::AddRow(const std::string& key, const std::string& data)
{
    rows_.push_back({NextRowId++, key, data});
    SetCount();
}

void CListViewWrap::AddRows(std::vector<std::pair<std::string, std::string>>&& rows)
{
    rows_.reserve(rows_.size() + rows.size());
    for (auto& [key, data] : rows)
        rows_.push_back({NextRowId++, std::move(key), std::move(data)});
    SetCount();
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

const std::string& CListViewWrap::KeyOf(int index) const
{
    return index >= 0 && size_t(index) < rows_.size() ? rows_[size_t(index)].key : NoText;
}

const std::string& CListViewWrap::DataOf(int index) const
{
    return index >= 0 && size_t(index) < rows_.size() ? rows_[size_t(index)].data : NoText;
}

void CListViewWrap::SetRow(int index, const std::string& key, const std::string& data)
{
    if (index < 0 || size_t(index) >= rows_.size())
        return;
    rows_[size_t(index)].key = key;
    rows_[size_t(index)].data = data;
    SendMessageA(window, LVM_REDRAWITEMS, WPARAM(index), LPARAM(index));
}

// Unsigned bytes, a proper beginning first; rows that compare equal keep
// their order. The selection moves with its rows.
void CListViewWrap::SortBy(int column)
{
    std::vector<int> selected = Selected();
    std::vector<bool> wasSelected(static_cast<size_t>(NextRowId));
    for (int index : selected)
        wasSelected[size_t(rows_[size_t(index)].id)] = true;

    auto text = [column](const Row& r) -> const std::string& { return column == 0 ? r.key : r.data; };
    if (SortDirection[column] == 1)
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&](const Row& a, const Row& b) { return text(a) < text(b); });
    else
        std::stable_sort(rows_.begin(), rows_.end(),
                         [&](const Row& a, const Row& b) { return text(b) < text(a); });

    if (!selected.empty()) {
        LVITEMA item = {};
        item.stateMask = LVIS_SELECTED;
        SendMessageA(window, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&item));
        item.state = LVIS_SELECTED;
        for (size_t i = 0; i < rows_.size(); i++)
            if (wasSelected[size_t(rows_[i].id)])
                SendMessageA(window, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
    }
    InvalidateRect(window, nullptr, TRUE);
}

void CListViewWrap::Fill(NMLVDISPINFOA* request) const
{
    LVITEMA& item = request->item;
    if (!(item.mask & LVIF_TEXT) || item.iItem < 0 || size_t(item.iItem) >= rows_.size())
        return;
    const Row& row = rows_[size_t(item.iItem)];
    CopyText(item.iSubItem == 0 ? row.key : row.data, item.pszText, item.cchTextMax);
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
        const std::string& key = rows_[(start + k) % count].key;
        if (key.size() >= size_t(length) &&
            CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, key.c_str(), length, find.psz,
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
        Fill(reinterpret_cast<NMLVDISPINFOA*>(notification));
        return true;
    case LVN_ODFINDITEMA:
        *result = Find(reinterpret_cast<NMLVFINDITEMA*>(notification));
        return true;
    case LVN_ODFINDITEMW: {
        // Some systems ask in UTF-16 whatever the window's character set.
        auto* wide = reinterpret_cast<NMLVFINDITEMW*>(notification);
        char text[256] = "";
        if (wide->lvfi.psz)
            WideCharToMultiByte(CP_ACP, 0, wide->lvfi.psz, -1, text, sizeof text, nullptr,
                                nullptr);
        NMLVFINDITEMA narrow = {};
        narrow.hdr = wide->hdr;
        narrow.iStart = wide->iStart;
        narrow.lvfi.flags = wide->lvfi.flags;
        narrow.lvfi.psz = text;
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
    NextRowId = 0;
    rows_.clear();
}
