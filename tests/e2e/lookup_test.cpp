// Words typed into the search box, and entries added and deleted from the panes.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/vbk_process.h"

namespace {

const std::string Ringo = "りんご";
const std::string Banana = "バナナ";
const std::string Heading = "＜候補単語＞\n";

// Entries of many lines, longer than the panes clear at a time.
std::string Lines(const char* word, size_t bytes)
{
    std::string text;
    for (int i = 0; text.size() < bytes; i++)
        text += std::string(word) + " line " + std::to_string(i) + " of a long entry\n";
    return text;
}
const std::string LongA = Lines("first", 9000), LongB = Lines("second", 6000);

class Lookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        app_.WriteTable(Record("apple", Ringo) + Record("banana", Banana));
        ASSERT_TRUE(app_.Start());
        edit_ = app_.SearchEdit();
        ASSERT_TRUE(edit_);
    }

    // Presses keys in the search box and waits until each has run its
    // search: every key press adds one item to the box's list.
    void Press(const std::vector<WORD>& keys)
    {
        int before = ListCount();
        for (WORD k : keys)
            app_.PostKey(edit_, k);
        int want = before + int(keys.size());
        ASSERT_TRUE(WaitFor([&] { return ListCount() == want; }))
            << "list has " << ListCount() << " items, want " << want;
    }

    // Types lower-case letters.
    void Type(const std::string& letters)
    {
        std::vector<WORD> keys;
        for (char c : letters)
            keys.push_back(WORD(toupper(static_cast<unsigned char>(c))));
        Press(keys);
    }

    int ListCount() { return int(SendMessageA(app_.Control(IDC_SEARCH_BOX), CB_GETCOUNT, 0, 0)); }

    void ClearBox()
    {
        app_.SetText(edit_, "");
    }

    // Waits until both panes show what is expected; reports what they show.
    void ExpectPanes(const std::string& key, const std::string& result, const char* what)
    {
        std::string k, r;
        bool ok = WaitFor([&] {
            k = TextOf(app_.Control(IDC_KEY_PANE));
            r = TextOf(app_.Control(IDC_RESULT_PANE));
            return k == key && r == result;
        });
        EXPECT_TRUE(ok) << what << ": key pane '" << k << "' (want '" << key
                        << "'), result pane '" << r << "' (want '" << result << "')";
    }

    std::vector<std::string> ListItems()
    {
        HWND combo = app_.Control(IDC_SEARCH_BOX);
        std::vector<std::string> items;
        int n = int(SendMessageA(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < n; i++) {
            // Across processes the list hands its texts back in UTF-16.
            wchar_t wide[512] = L"";
            SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(wide));
            char text[1024] = "";
            WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
            items.push_back(text);
        }
        return items;
    }

    AppUnderTest app_;
    HWND edit_ = nullptr;
};

TEST_F(Lookup, TypedWordsShowTheirDataOrACandidate)
{
    struct {
        const char* typed;
        std::string key, result;
    } cases[] = {
        {"apple", "apple", Ringo},
        {"b", "b", Heading + "banana\n" + Banana + "\n"},
        {"c", "c", Heading},
        {"appl", "appl", Heading + "apple\n" + Ringo + "\n"},
        {"banana", "banana", Banana},
    };
    for (const auto& c : cases) {
        ClearBox();
        Type(c.typed);
        ExpectPanes(c.key, c.result, c.typed);
    }
}


// Words as a person types or copies them, with capitals: a miss shows the
// Key that is the word in lower case, an exact Key is shown for itself, and
// a word with no such Key still shows the next one.
struct TypedWord {
    std::string word, shownFirst; // the result pane's beginning
    std::string holds;            // and something further on in it; empty: nothing further
};

void ExpectShown(AppUnderTest& app, const std::vector<TypedWord>& cases)
{
    HWND edit = app.SearchEdit(), combo = app.Control(IDC_SEARCH_BOX);
    for (const TypedWord& c : cases) {
        int items = int(SendMessageA(combo, CB_GETCOUNT, 0, 0));
        app.SetText(edit, c.word);
        app.PostKey(edit, VK_RIGHT);
        EXPECT_TRUE(WaitFor([&] { return SendMessageA(combo, CB_GETCOUNT, 0, 0) > items; })) << c.word;
        std::string k = TextOf(app.Control(IDC_KEY_PANE)), r = TextOf(app.Control(IDC_RESULT_PANE));
        EXPECT_EQ(k, c.word);
        EXPECT_EQ(r.substr(0, c.shownFirst.size()), c.shownFirst) << "word " << c.word << ": " << r.substr(0, 300);
        if (c.holds.empty())
            EXPECT_EQ(r, c.shownFirst) << "word " << c.word;
        else
            EXPECT_NE(r.find(c.holds), std::string::npos) << "word " << c.word << ": " << r.substr(0, 300);
    }
}

TEST(LookupCapitals, FoundAsAPersonTypesThem)
{
    {
        // The German-English dictionary as vbk brings it in: its Keys in
        // lower case, its headwords in the Data as written.
        AppUnderTest german;
        VbkRun import = RunVbk({"import", "Z:\\usr\\share\\dictd\\freedict-deu-eng.index", "-o",
                                "data.vbk", "--unencodable", "replace"},
                               german.Folder());
        ASSERT_EQ(import.Status, 0) << import.Out << import.Err
                                    << "(scripts/bootstrap installs dict-freedict-deu-eng)";
        ASSERT_TRUE(german.Start());
        ExpectShown(german, {
                                {"Haus", Heading + "haus\nHaus /h\"aUs/ <neut, n, sg>\n", "house <n>"},
                                {"haus", "Haus /h\"aUs/ <neut, n, sg>\n", "establishment"},
                            });
    }
    // A Key that differs from another only in case; long entries, whole
    // after one another and before a short one.
    AppUnderTest cased;
    cased.WriteTable(Record("Polish", "polnisch") + Record("apple", Ringo) + Record("polish", "Politur") +
                     Record("zlonga", LongA) + Record("zlongb", LongB) + Record("zzz", "schnarchen"));
    ASSERT_TRUE(cased.Start());
    ExpectShown(cased, {
                           {"Polish", "polnisch", ""},
                           {"polish", "Politur", ""},
                           {"zlonga", LongA, ""},
                           {"zlongb", LongB, ""},
                           {"POLISH", Heading + "polish\nPolitur\n", ""},
                           {"Apple", Heading + "apple\n" + Ringo + "\n", ""},
                           {"zz", Heading + "zzz\nschnarchen\n", ""},
                       });
}

TEST_F(Lookup, ClearingTheBoxLooksUpTheEmptyWord)
{
    Type("b");
    ExpectPanes("b", Heading + "banana\n" + Banana + "\n", "b");
    Press({VK_BACK});
    ExpectPanes("", Heading + "apple\n" + Ringo + "\n", "empty word");
}

TEST(LookupJapanese, JapaneseWordsHitAndMiss)
{
    AppUnderTest app;
    app.WriteTable(Record("apple", Ringo) + Record("りんご", "apple") + Record("表計算", "spreadsheet"));
    ASSERT_TRUE(app.Start());
    HWND edit = app.SearchEdit(), combo = app.Control(IDC_SEARCH_BOX);
    struct {
        std::string word, result;
    } cases[] = {
        {"りんご", "apple"},
        {"ばなな", Heading + "りんご\napple\n"},
        {"表計算", "spreadsheet"},
        {"表", Heading + "表計算\nspreadsheet\n"},
        {"腕", Heading},
    };
    int presses = 0;
    for (const auto& c : cases) {
        app.SetText(edit, c.word);
        app.PostKey(edit, VK_RIGHT);
        presses++;
        ASSERT_TRUE(WaitFor([&] { return SendMessageA(combo, CB_GETCOUNT, 0, 0) == presses; }));
        std::string k = TextOf(app.Control(IDC_KEY_PANE)), r = TextOf(app.Control(IDC_RESULT_PANE));
        EXPECT_EQ(k, c.word);
        EXPECT_EQ(r, c.result) << "word " << c.word;
    }
}

TEST_F(Lookup, EveryKeyPressAddsAListItemNewestFirst)
{
    Type("ab");
    Press({VK_LEFT});
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"ab", "ab", "a"}));
    ExpectPanes("ab", Heading + "apple\n" + Ringo + "\n", "ab");
}

TEST_F(Lookup, AddAndDeleteFromThePanes)
{
    HWND keyPane = app_.Control(IDC_KEY_PANE), resultPane = app_.Control(IDC_RESULT_PANE);
    // Refusals, with the exact messages.
    struct {
        const char* key;
        const char* data;
        const char* message;
    } refusals[] = {
        {"", "x", "Keyが空なので，追加されません"},
        {"x", "", "Dataが空なので，追加されません"},
    };
    for (const auto& r : refusals) {
        app_.SetText(keyPane, r.key);
        app_.SetText(resultPane, r.data);
        app_.Post(IDC_ADD);
        Box box = app_.WaitBox();
        EXPECT_EQ(box.text, r.message);
        EXPECT_EQ(box.caption, "エラー");
        app_.Press(box.window, IDOK);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(box.window); }));
    }
    EXPECT_EQ(TextOf(app_.Main()), "Vocabrik - data.vbk ") << "a refusal changes nothing";

    // A new Japanese Key with Japanese Data, then a replaced Data.
    const std::string key = "表計算ソフト", data = "スプレッドシート（表計算）";
    app_.SetText(keyPane, key);
    app_.SetText(resultPane, data);
    ASSERT_TRUE(app_.Send(IDC_ADD));
    EXPECT_TRUE(WaitFor([&] { return TextOf(app_.Main()) == "Vocabrik - data.vbk* "; }))
        << TextOf(app_.Main());
    app_.SetText(keyPane, "apple");
    app_.SetText(resultPane, "林檎");
    ASSERT_TRUE(app_.Send(IDC_ADD));

    // Delete clears both panes.
    app_.SetText(keyPane, "banana");
    ASSERT_TRUE(app_.Send(IDC_DELETE));
    EXPECT_EQ(TextOf(keyPane), "");
    EXPECT_EQ(TextOf(resultPane), "");

    // The lookup sees the changes.
    app_.SetText(edit_, key);
    Press({VK_RIGHT});
    ExpectPanes(key, data, "added Japanese key");

    PostMessageA(app_.Main(), WM_CLOSE, 0, 0);
    Box box = app_.WaitBox();
    EXPECT_EQ(box.text, "上書きしますか？");
    EXPECT_EQ(box.caption, "確認");
    app_.Press(box.window, IDYES);
    DWORD code = 1;
    ASSERT_TRUE(app_.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(app_.ReadFile("data.vbk"), Record("apple", "林檎") + Record(key, data));
}

TEST_F(Lookup, AddAndDeleteWorkInSearchModeToo)
{
    ASSERT_TRUE(app_.Send(IDC_MODE_SEARCH));
    Type("cherry");
    ExpectPanes("cherry", Heading, "cherry");
    // Add right after a miss stores the whole result pane as the Data, so
    // "c" now finds cherry as its candidate, with the heading as its Data.
    ASSERT_TRUE(app_.Send(IDC_ADD));
    ClearBox();
    Type("c");
    ExpectPanes("c", Heading + "cherry\n" + Heading + "\n", "c after adding cherry");
    ClearBox();
    Type("cherry");
    ASSERT_TRUE(app_.Send(IDC_DELETE));
    ClearBox();
    Type("c");
    ExpectPanes("c", Heading, "c after deleting cherry");
}

} // namespace
