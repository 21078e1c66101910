// The list window and its Add/Edit dialog, driven from outside.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
#include "tests/common/windows_of.h"
#include "tests/e2e/driver.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

const std::string Heading = "＜候補単語＞\n";

int CountListWindows(DWORD pid)
{
    return int(WindowsOf({pid, "RegistLV", false}).size());
}

std::string Describe(const Rows& rows)
{
    std::string s;
    for (const auto& r : rows)
        s += "[" + r[0].substr(0, 12) + "|" + r[1].substr(0, 12) + "]";
    return s;
}

class ListWindow : public ::testing::Test {
protected:
    void StartWith(const std::string& table)
    {
        app_.WriteTable(table);
        ASSERT_TRUE(app_.Start());
        Open();
    }

    void Open()
    {
        app_.Post(IDM_LIST);
        ASSERT_TRUE(WaitFor([&] {
            window_ = FindWindowA("RegistLV", "登録一覧表");
            return window_ != nullptr && IsWindowVisible(window_);
        }));
        list_ = GetDlgItem(window_, IDC_LIST_VIEW);
        ASSERT_TRUE(list_);
    }

    void Close()
    {
        PostMessageA(window_, WM_CLOSE, 0, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(window_); }));
    }

    Rows ListRows() { return ReadListRows(list_, 2); }

    bool RowsAre(const Rows& want)
    {
        Rows got;
        bool same = WaitFor([&] { return (got = ListRows()) == want; }, 5000);
        if (!same)
            ADD_FAILURE() << "rows " << Describe(got) << ", want " << Describe(want);
        return same;
    }

    // Successive clicks land a little apart, or the header would take two
    // quick ones for a double-click.
    void ClickHeader(int column)
    {
        RECT r = HeaderItemRect(list_, column);
        HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
        int shift = (clicks_++ % 2) ? 12 : -12;
        app_.Click(header, (r.left + r.right) / 2 + shift, (r.top + r.bottom) / 2);
    }
    int clicks_ = 0;

    void Command(int id) { PostMessageA(window_, WM_COMMAND, WPARAM(id), 0); }

    // The Add/Edit dialog: its fields, then OK or Cancel.
    HWND WaitDialog()
    {
        Box box = app_.WaitBox();
        EXPECT_EQ(box.caption, "追加・編集ウィンドウ");
        return box.window;
    }

    std::string LookUp(const std::string& word) { return app_.LookUp(word); }

    std::vector<int> SelectedRows()
    {
        std::vector<int> selected;
        for (int i = -1;
             (i = int(SendMessageA(list_, LVM_GETNEXTITEM, WPARAM(i), LVNI_SELECTED))) != -1;)
            selected.push_back(i);
        return selected;
    }

    // The dialog with the texts typed in and OK pressed.
    void AcceptDialog(HWND dialog, const char* key, const char* data)
    {
        if (key)
            app_.SetText(GetDlgItem(dialog, IDC_ADDEDIT_KEY), key);
        if (data)
            app_.SetText(GetDlgItem(dialog, IDC_ADDEDIT_DATA), data);
        app_.Press(dialog, IDC_ADDEDIT_OK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    }

    // Closes the main window answering its question about saving.
    void CloseSaving()
    {
        PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
        Box box = app_.Answer(IDYES);
        EXPECT_EQ(box.text, "上書きしますか？");
        DWORD code = 0;
        EXPECT_TRUE(app_.WaitExit(10000, &code));
    }

    AppUnderTest app_;
    HWND window_ = nullptr, list_ = nullptr;
};

TEST_F(ListWindow, ShowsTheTableInKeyOrderAndOpensOnlyOnce)
{
    StartWith(Record("Apple", "1") + Record("apple", "2") + Record("b", "3"));
    EXPECT_EQ(TextOf(window_), "登録一覧表");
    HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_TRUE(RowsAre({{"Apple", "1"}, {"apple", "2"}, {"b", "3"}}));

    ShowWindow(window_, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(window_) != 0; }));
    app_.Post(IDM_LIST);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(window_); })) << "restored";
    EXPECT_EQ(CountListWindows(app_.Pid()), 1);
}

TEST_F(ListWindow, HeaderClicksSortAndTheDirectionOutlivesTheWindow)
{
    StartWith(Record("a", "z") + Record("b", "x") + Record("c", "y"));
    struct {
        int column;
        Rows want;
    } steps[] = {
        {1, {{"b", "x"}, {"c", "y"}, {"a", "z"}}}, // Data ascending
        {1, {{"a", "z"}, {"c", "y"}, {"b", "x"}}}, // Data descending
        {1, {{"b", "x"}, {"c", "y"}, {"a", "z"}}}, // ascending again
        {0, {{"a", "z"}, {"b", "x"}, {"c", "y"}}}, // Key ascending
    };
    for (const auto& s : steps) {
        ClickHeader(s.column);
        EXPECT_TRUE(RowsAre(s.want)) << "after a click on column " << s.column;
    }
    // A new window stands in table order; the Key column goes on descending.
    Close();
    Open();
    EXPECT_TRUE(RowsAre({{"a", "z"}, {"b", "x"}, {"c", "y"}}));
    ClickHeader(0);
    EXPECT_TRUE(RowsAre({{"c", "y"}, {"b", "x"}, {"a", "z"}}));
    // A save over the file the rows were read from keeps them, in their order.
    ASSERT_TRUE(app_.AddFromPanes("d", "w"));
    app_.Post(IDM_SAVE);
    EXPECT_EQ(app_.Answer(IDYES).text, "上書きしますか？");
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk "));
    EXPECT_TRUE(RowsAre({{"c", "y"}, {"b", "x"}, {"a", "z"}, {"d", "w"}}));
    EXPECT_EQ(app_.ReadFile("data.vbk"),
              Record("a", "z") + Record("b", "x") + Record("c", "y") + Record("d", "w"));
}

TEST_F(ListWindow, DeleteRemovesTheSelectedRowsAndTheirEntries)
{
    const std::string longKey(3000, 'k');
    StartWith(Record("a", "1") + Record("b", "2") + Record("c", "3") + Record("d", "4") +
              Record("e", "5") + Record("f", "6") + Record(longKey, "7"));
    SelectListRows(list_, {1, 3, 4, 6});
    Command(IDC_LIST_DELETE);
    EXPECT_TRUE(RowsAre({{"a", "1"}, {"c", "3"}, {"f", "6"}})) << "the rows that stay keep their texts";
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* ")) << "at once: " << TextOf(app_.Main());
    EXPECT_EQ(LookUp("b"), Heading + "c\n3\n");
    EXPECT_EQ(LookUp("d"), Heading + "f\n6\n");
    EXPECT_EQ(LookUp("g"), Heading) << "the long Key is gone from the table";

    // A row that goes from elsewhere leaves the selection on the rows that remain.
    SelectListRows(list_, {1, 2});
    LookUp("a");
    app_.Post(IDC_DELETE);
    EXPECT_TRUE(RowsAre({{"c", "3"}, {"f", "6"}}));
    EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 1}));
}

// The list follows the table it shows, so an edit never carries the entries
// of a table that was replaced into the one now open.
TEST_F(ListWindow, FollowsTheFileCommands)
{
    app_.WriteFile("other.vbk", Record("apple", "NOTE") + Record("kiwi", "キウイ"));
    StartWith(Record("apple", "りんご") + Record("cherry", "さくらんぼ"));
    app_.Post(IDM_OPEN_NEW);
    ASSERT_TRUE(app_.ChooseFile("ファイルを開く", "other.vbk"));
    EXPECT_TRUE(RowsAre({{"apple", "NOTE"}, {"kiwi", "キウイ"}}));
    EXPECT_TRUE(app_.TitleIs("Vocabrik - other.vbk "));

    SelectListRows(list_, {0});
    Command(IDC_LIST_EDIT);
    HWND dialog = WaitDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_ADDEDIT_DATA)), "NOTE");
    AcceptDialog(dialog, nullptr, nullptr);
    EXPECT_TRUE(app_.TitleIs("Vocabrik - other.vbk* ")) << TextOf(app_.Main());
    SelectListRows(list_, {1});
    Command(IDC_LIST_DELETE);
    EXPECT_TRUE(RowsAre({{"apple", "NOTE"}}));

    app_.Post(IDM_OPEN_APPEND);
    ASSERT_TRUE(app_.ChooseFile("ファイルを開く", "data.vbk"));
    EXPECT_TRUE(RowsAre({{"apple", "NOTE"}, {"cherry", "さくらんぼ"}}));
    app_.Post(IDM_SAVE);
    EXPECT_EQ(app_.Answer(IDYES).text, "上書きしますか？");
    EXPECT_TRUE(app_.TitleIs("Vocabrik - other.vbk "));
    EXPECT_EQ(app_.ReadFile("other.vbk"), Record("apple", "NOTE") + Record("cherry", "さくらんぼ"));
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "りんご") + Record("cherry", "さくらんぼ"));

    app_.Post(IDM_NEW);
    EXPECT_TRUE(RowsAre({}));
    EXPECT_TRUE(app_.TitleIs("Vocabrik -  "));
}

// Changes made in the main window show in the list at once, and every Key
// has one row, whoever adds it.
TEST_F(ListWindow, ShowsEveryChangeWithOneRowPerKey)
{
    StartWith(Record("apple", "りんご") + Record("b", "2"));
    EXPECT_EQ(LookUp("apple"), "りんご");
    app_.SetText(app_.Control(IDC_RESULT_PANE), "林檎");
    ASSERT_TRUE(app_.Send(IDC_ADD));
    EXPECT_TRUE(RowsAre({{"apple", "林檎"}, {"b", "2"}})) << "replaced in place";
    ASSERT_TRUE(app_.AddFromPanes("c", "3"));
    EXPECT_TRUE(RowsAre({{"apple", "林檎"}, {"b", "2"}, {"c", "3"}})) << "appended";

    SelectListRows(list_, {0});
    Command(IDC_LIST_EDIT);
    HWND dialog = WaitDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_ADDEDIT_DATA)), "林檎") << "the table's entry, not the list's first fill";
    AcceptDialog(dialog, nullptr, "林檎です");

    PostMessageA(window_, WM_KEYDOWN, VK_F1, 0);
    dialog = WaitDialog();
    ASSERT_TRUE(dialog);
    AcceptDialog(dialog, "b", "two");
    EXPECT_TRUE(RowsAre({{"apple", "林檎です"}, {"b", "two"}, {"c", "3"}})) << "no second row for b";

    // Renamed onto another row's Key: that row gives way.
    SelectListRows(list_, {0});
    Command(IDC_LIST_EDIT);
    dialog = WaitDialog();
    ASSERT_TRUE(dialog);
    AcceptDialog(dialog, "c", nullptr);
    EXPECT_TRUE(RowsAre({{"c", "林檎です"}, {"b", "two"}}));
    EXPECT_EQ(LookUp("c"), "林檎です");
    CloseSaving();
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("b", "two") + Record("c", "林檎です"));
}

TEST_F(ListWindow, EditAndDeleteNeedOneSelectedRow)
{
    StartWith(Record("a", "1") + Record("b", "2"));
    struct {
        int command;
        std::vector<int> selected;
        const char* message;
    } cases[] = {
        {IDC_LIST_DELETE, {}, "項目を選択してください。"},
        {IDC_LIST_EDIT, {}, "項目を選択してください。"},
        {IDC_LIST_EDIT, {0, 1}, "編集できる項目は１つです。"},
    };
    for (const auto& c : cases) {
        SelectListRows(list_, c.selected);
        Command(c.command);
        Box box = app_.WaitBox();
        EXPECT_EQ(box.text, c.message) << "command " << c.command;
        EXPECT_EQ(box.caption, "確認");
        EXPECT_EQ(GetWindow(box.window, GW_OWNER), window_) << "owned by the list window";
        app_.Press(box.window, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box.window); }));
    }
    EXPECT_TRUE(RowsAre({{"a", "1"}, {"b", "2"}}));
}

TEST_F(ListWindow, AddThroughTheDialog)
{
    StartWith(Record("b", "2"));
    // F1 in the list window itself opens the dialog in add mode.
    PostMessageA(window_, WM_KEYDOWN, VK_F1, 0);
    HWND dialog = WaitDialog();
    ASSERT_TRUE(dialog);
    HWND key = GetDlgItem(dialog, IDC_ADDEDIT_KEY), data = GetDlgItem(dialog, IDC_ADDEDIT_DATA);
    EXPECT_EQ(TextOf(key), "");

    // Empty fields are refused, the Key first; the dialog stays.
    struct {
        const char* key;
        const char* data;
        const char* message;
    } refusals[] = {{"", "", "Keyが空なので，追加されません"},
                    {"k", "", "Dataが空なので，追加されません"}};
    for (const auto& r : refusals) {
        app_.SetText(key, r.key);
        app_.SetText(data, r.data);
        app_.Press(dialog, IDC_ADDEDIT_OK);
        HWND refusal = nullptr;
        ASSERT_TRUE(WaitFor([&] {
            refusal = FindWindowExA(nullptr, nullptr, "#32770", "エラー");
            return refusal != nullptr;
        }));
        EXPECT_EQ(DlgText(refusal, MessageBoxTextId), r.message);
        app_.Press(refusal, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(refusal); }));
        EXPECT_TRUE(IsWindow(dialog));
    }

    app_.SetText(key, "表計算");
    app_.SetText(data, "spreadsheet");
    app_.Press(dialog, IDC_ADDEDIT_OK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(RowsAre({{"b", "2"}, {"表計算", "spreadsheet"}})) << "appended after the last row";
    EXPECT_TRUE(app_.TitleIs("Vocabrik - data.vbk* ")) << "at once: " << TextOf(app_.Main());
    EXPECT_EQ(LookUp("表計算"), "spreadsheet");
}

TEST_F(ListWindow, EditReplacesTheRowsEntryAndKeepsLongDataWhole)
{
    const std::string longData(5000, 'd');
    StartWith(Record("apple", longData) + Record("b", "2"));
    SelectListRows(list_, {0});
    Command(IDC_LIST_EDIT);
    HWND dialog = WaitDialog();
    ASSERT_TRUE(dialog);
    HWND key = GetDlgItem(dialog, IDC_ADDEDIT_KEY);
    EXPECT_EQ(TextOf(key), "apple");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_ADDEDIT_DATA)), longData) << "the whole Data, not its start";
    app_.SetText(key, "apples");
    app_.Press(dialog, IDC_ADDEDIT_OK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    Rows rows = ListRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0], "apples") << "the same row, in the same place";
    EXPECT_EQ(LookUp("apples"), longData);
    EXPECT_EQ(LookUp("apple"), Heading + "apples\n" + longData + "\n") << "the old Key is gone";

    // Cancel changes nothing.
    SelectListRows(list_, {1});
    Command(IDC_LIST_EDIT);
    dialog = WaitDialog();
    ASSERT_TRUE(dialog);
    app_.SetText(GetDlgItem(dialog, IDC_ADDEDIT_KEY), "changed");
    app_.Press(dialog, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    EXPECT_TRUE(RowsAre({{"apples", rows[0][1]}, {"b", "2"}}));
}

TEST_F(ListWindow, TheSelectionMovesWithItsRowsWhenSorted)
{
    StartWith(Record("a", "z") + Record("b", "x") + Record("c", "y"));
    SelectListRows(list_, {0, 1}); // a and b
    ClickHeader(1);                // Data ascending: b, c, a
    EXPECT_TRUE(RowsAre({{"b", "x"}, {"c", "y"}, {"a", "z"}}));
    EXPECT_EQ(SelectedRows(), (std::vector<int>{0, 2}));
    // Delete takes the rows that are selected now: b and a.
    Command(IDC_LIST_DELETE);
    EXPECT_TRUE(RowsAre({{"c", "y"}}));
}

TEST_F(ListWindow, TypingJumpsToAKey)
{
    StartWith(Record("Cherry", "1") + Record("apple", "2") + Record("banana", "3"));
    auto focused = [&] { return int(SendMessageA(list_, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)); };
    PostMessageA(list_, WM_CHAR, 'b', 1);
    EXPECT_TRUE(WaitFor([&] { return focused() == 2; }, 3000)) << "focus on row " << focused();
}

} // namespace
