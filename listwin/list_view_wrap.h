// The list window's list control: one row per entry, Key and Data.
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
    // The RowId the next row gets; a row's RowId is its item data.
    int NextRowId = 0;

    CListViewWrap();
    ~CListViewWrap();

    void Create(HWND parent, int id);
    void AddColumns(const ListColumn* columns, int count);
    void AddRow(const std::string& key, const std::string& data);
    int SelectedCount();
    void Move(int x, int y, int width, int height);
    void DeleteRow(int index);
    int NextSelected(int start, UINT flags);
    // 1 when the notification was a column click, which sorts the rows.
    int HandleNotify(const NMLISTVIEW* notification);
    void Reset();

    // The whole texts of a row, kept by RowId: the control's own cells hand
    // out at most what a fixed buffer holds.
    const std::string& KeyOf(int index);
    const std::string& DataOf(int index);
    void SetRow(int index, const std::string& key, const std::string& data);

private:
    struct RowTexts {
        std::string key, data;
    };
    int RowIdOf(int index);
    static int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM column);

    std::vector<RowTexts> rows_;
};

extern CListViewWrap ListView;
// 0 never sorted, 1 ascending, 2 descending; by column, for the whole run.
extern int SortDirection[2];
