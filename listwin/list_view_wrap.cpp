#include "listwin/list_view_wrap.h"

#include "app/app_instance.h"

CListViewWrap ListView;
int SortDirection[2];

namespace {

const std::string NoText;

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
    window = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT,
                             0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)),
                             AppInstance, nullptr);
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

void CListViewWrap::AddRow(const std::string& key, const std::string& data)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = INT_MAX; // after the last row
    item.pszText = const_cast<char*>(key.c_str());
    item.lParam = NextRowId;
    int index = int(SendMessageA(window, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index >= 0) {
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.iSubItem = 1;
        item.pszText = const_cast<char*>(data.c_str());
        SendMessageA(window, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    rows_.push_back({key, data});
    NextRowId++;
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

void CListViewWrap::DeleteRow(int index)
{
    int id = RowIdOf(index);
    if (id >= 0 && size_t(id) < rows_.size())
        rows_[size_t(id)] = RowTexts();
    SendMessageA(window, LVM_DELETEITEM, WPARAM(index), 0);
}

int CListViewWrap::NextSelected(int start, UINT flags)
{
    return int(SendMessageA(window, LVM_GETNEXTITEM, WPARAM(start), LOWORD(flags)));
}

int CListViewWrap::RowIdOf(int index)
{
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!SendMessageA(window, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)))
        return -1;
    return int(item.lParam);
}

const std::string& CListViewWrap::KeyOf(int index)
{
    int id = RowIdOf(index);
    return id >= 0 && size_t(id) < rows_.size() ? rows_[size_t(id)].key : NoText;
}

const std::string& CListViewWrap::DataOf(int index)
{
    int id = RowIdOf(index);
    return id >= 0 && size_t(id) < rows_.size() ? rows_[size_t(id)].data : NoText;
}

void CListViewWrap::SetRow(int index, const std::string& key, const std::string& data)
{
    int id = RowIdOf(index);
    if (id >= 0 && size_t(id) < rows_.size())
        rows_[size_t(id)] = {key, data};
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(key.c_str());
    SendMessageA(window, LVM_SETITEMTEXTA, WPARAM(index), reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(data.c_str());
    SendMessageA(window, LVM_SETITEMTEXTA, WPARAM(index), reinterpret_cast<LPARAM>(&item));
}

// The texts come from the rows kept by RowId: no search of the list per
// comparison, so a sort of many rows stays quick.
int CALLBACK CListViewWrap::CompareRows(LPARAM a, LPARAM b, LPARAM column)
{
    const std::vector<RowTexts>& rows = ListView.rows_;
    auto text = [&](LPARAM id) -> const std::string& {
        if (id < 0 || size_t(id) >= rows.size())
            return NoText;
        return column == 0 ? rows[size_t(id)].key : rows[size_t(id)].data;
    };
    int c = text(a).compare(text(b)); // unsigned bytes, a proper beginning first
    int result = c < 0 ? -1 : c > 0;
    return SortDirection[column] == 1 ? result : -result;
}

int CListViewWrap::HandleNotify(const NMLISTVIEW* notification)
{
    if (notification->hdr.code != LVN_COLUMNCLICK)
        return 0;
    int column = notification->iSubItem;
    if (column < 0 || column > 1)
        return 0;
    SortDirection[column] = SortDirection[column] == 1 ? 2 : 1;
    SendMessageA(window, LVM_SORTITEMS, WPARAM(column), reinterpret_cast<LPARAM>(CompareRows));
    return 1;
}

void CListViewWrap::Reset()
{
    NextRowId = 0;
    rows_.clear();
}
