// The list window's list control: one row per entry, Key and Data.
//
// A row is the handle of its entry in the table, nothing more: the control
// asks for the texts as it draws them, so a list of a million rows opens at
// once, costs a few bytes a row, and always shows what the table holds. The
// rows are kept in the order they are shown and sorted in our own memory,
// where the control's own sort and storage take tens of seconds.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "core/entry_table.h"

struct ListColumn {
    const char* caption;
    int width;
};

class CListViewWrap {
public:
    HWND window = nullptr;

    CListViewWrap();
    ~CListViewWrap();

    void Create(HINSTANCE instance, HWND parent, int id);
    void AddColumns(const ListColumn* columns, int count);
    void Move(int x, int y, int width, int height);
    int SelectedCount();
    int NextSelected(int start, UINT flags);
    // True when the notification was handled here, with the value the
    // window procedure returns for it.
    bool HandleNotify(NMHDR* notification, LRESULT* result);
    void Reset();

    // Every entry of the table, in Key order; nothing selected. False, and
    // no rows, when memory runs out.
    bool Fill(const CEntryTable& table);
    // A row after the last one; false when memory runs out.
    bool AppendRow(EntryHandle entry);
    // The row of one entry now shows another, in the same place.
    void ReplaceRow(EntryHandle before, EntryHandle after);
    void RemoveRow(EntryHandle entry);
    // Many rows removed at once: between these two calls a removed row only
    // leaves a gap, and the gaps close in one pass at the end.
    void BeginRemovals();
    void EndRemovals();
    // Where the entry of the next change most likely stands: a row the list
    // itself deletes or edits is then found without a search.
    void HintRow(int index) { hint_ = index; }

    // The entries of the rows are held elsewhere now.
    void MoveRows(const std::vector<CEntryTable::ImageMove>& moves);

    int RowCount() const { return int(rows_.size()); }
    Entry RowEntry(int index) const;
    std::vector<int> Selected();

private:
    void SortBy(int column);
    void GiveText(NMLVDISPINFOA* request) const;
    int Find(const NMLVFINDITEMA* request) const;
    int IndexOf(EntryHandle entry) const;
    void SetCount();
    void Select(const std::vector<int>& rows);

    std::vector<EntryHandle> rows_;
    bool removing_ = false;
    int hint_ = -1;
};

extern CListViewWrap ListView;
// 0 never sorted, 1 ascending, 2 descending; by column, for the whole run.
extern int SortDirection[2];
