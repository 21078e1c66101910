// The list window's list control: one row per entry, Key and Data.
//
// The rows live here, in the order they are shown, and the control asks for
// their texts as it draws them: a list of a million rows opens at once and
// sorts in our own memory, where the control's own sort and storage take
// tens of seconds.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

struct ListColumn {
    const char* caption;
    int width;
};

class CListViewWrap {
public:
    HWND window = nullptr;
    // The RowId the next row gets; the RowIds of the rows all differ.
    int NextRowId = 0;

    CListViewWrap();
    ~CListViewWrap();

    void Create(HWND parent, int id);
    void AddColumns(const ListColumn* columns, int count);
    // A row after the last one.
    void AddRow(const std::string& key, const std::string& data);
    // Many rows at once, then one update of the control.
    void AddRows(std::vector<std::pair<std::string, std::string>>&& rows);
    int SelectedCount();
    void Move(int x, int y, int width, int height);
    int NextSelected(int start, UINT flags);
    // Removes every selected row, handing each row's Key to forget first.
    template <class Forget>
    void DeleteSelectedRows(Forget&& forget);
    // True when the notification was handled here, with the value the
    // window procedure returns for it.
    bool HandleNotify(NMHDR* notification, LRESULT* result);
    void Reset();

    const std::string& KeyOf(int index) const;
    const std::string& DataOf(int index) const;
    void SetRow(int index, const std::string& key, const std::string& data);

private:
    struct Row {
        int id;
        std::string key, data;
    };
    void SortBy(int column);
    void Fill(NMLVDISPINFOA* request) const;
    int Find(const NMLVFINDITEMA* request) const;
    std::vector<int> Selected();
    void SetCount();

    std::vector<Row> rows_;
};

template <class Forget>
void CListViewWrap::DeleteSelectedRows(Forget&& forget)
{
    std::vector<int> selected = Selected();
    std::vector<bool> gone(rows_.size());
    for (int index : selected) {
        forget(rows_[size_t(index)].key);
        gone[size_t(index)] = true;
    }
    size_t kept = 0;
    for (size_t i = 0; i < rows_.size(); i++)
        if (!gone[i])
            rows_[kept++] = std::move(rows_[i]);
    rows_.resize(kept);
    // No row stays selected: the selected ones are gone.
    LVITEMA none = {};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(window, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(&none));
    SetCount();
}

extern CListViewWrap ListView;
// 0 never sorted, 1 ascending, 2 descending; by column, for the whole run.
extern int SortDirection[2];
