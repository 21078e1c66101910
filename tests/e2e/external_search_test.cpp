// The external search opens the expanded address with the system's handler
// of https addresses, which the tests replace by a recorder of the addresses.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/common/table_bytes.h"
#include "tests/e2e/driver.h"

namespace {

const std::string DefaultTemplate = "https://dictionary.example.jp/search.php?MT=%s&kind=ej";

std::string Folder()
{
    std::string p = ProgramPath();
    return p.substr(0, p.find_last_of('\\') + 1);
}

class ExternalSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The system's handler of https addresses is our recorder for these
        // tests; the one it had comes back afterwards.
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, HandlerKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
        char old[1024] = "";
        DWORD size = sizeof old - 1;
        if (RegQueryValueExA(key_, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(old),
                             &size) == ERROR_SUCCESS)
            previous_ = old;
        SetHandler("\"" + Folder() + "url_recorder.exe\" \"%1\"");
        DeleteFileA(LastUrlPath().c_str());
        ASSERT_TRUE(app_.Start());
        edit_ = app_.SearchEdit();
    }

    void TearDown() override
    {
        if (key_) {
            SetHandler(previous_);
            RegCloseKey(key_);
        }
    }

    void SetHandler(const std::string& command)
    {
        RegSetValueExA(key_, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       DWORD(command.size() + 1));
    }

    static constexpr const char* HandlerKey = "Software\\Classes\\https\\shell\\open\\command";
    std::string previous_;

    static std::string LastUrlPath() { return Folder() + "last-url"; }

    // Waits for the recorder to have been run, and takes what it recorded.
    std::string OpenedUrl()
    {
        std::string url;
        bool opened = WaitFor(
            [&] {
                HANDLE f = CreateFileA(LastUrlPath().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
                if (f == INVALID_HANDLE_VALUE)
                    return false;
                char buffer[8192];
                DWORD got = 0;
                ReadFile(f, buffer, sizeof buffer, &got, nullptr);
                CloseHandle(f);
                url.assign(buffer, got);
                return true;
            },
            15000);
        DeleteFileA(LastUrlPath().c_str());
        return opened ? url : "(nothing opened)";
    }

    void TypeWord(const std::string& text, WORD lastKey)
    {
        int before = int(SendMessageA(app_.Control(IDC_SEARCH_BOX), CB_GETCOUNT, 0, 0));
        app_.SetText(edit_, text);
        app_.PostKey(edit_, lastKey);
        ASSERT_TRUE(WaitFor(
            [&] { return SendMessageA(app_.Control(IDC_SEARCH_BOX), CB_GETCOUNT, 0, 0) == before + 1; }));
    }

    std::string Expected(const std::string& word)
    {
        return "https://dictionary.example.jp/search.php?MT=" + word + "&kind=ej";
    }

    HKEY key_ = nullptr;
    AppUnderTest app_;
    HWND edit_ = nullptr;
};

TEST_F(ExternalSearch, BeforeAnyTypingTheWordIsEmpty)
{
    app_.Post(IDC_EXTERNAL_SEARCH);
    EXPECT_EQ(OpenedUrl(), Expected(""));
}

TEST_F(ExternalSearch, EnterAndTheButtonSearchTheLastInternalSearch)
{
    // The bytes that would end the word's field, start another, or break the
    // quoting of the browser's command line go in escaped.
    struct {
        std::string text;
        WORD key;
        const char* how;
        std::string sent;
    } cases[] = {
        {"apple", VK_RIGHT, "Enter", "apple"},
        {"ice cream", VK_END, "button", "ice cream"},
        {"表計算", VK_LEFT, "Enter", "表計算"},
        {"AT&T", VK_RIGHT, "Enter", "AT%26T"},
        {"C++", VK_END, "button", "C%2B%2B"},
        {"say \"hi\"", VK_RIGHT, "Enter", "say %22hi%22"},
    };
    for (const auto& c : cases) {
        TypeWord(c.text, c.key);
        int items = int(SendMessageA(app_.Control(IDC_SEARCH_BOX), CB_GETCOUNT, 0, 0));
        if (std::string(c.how) == "Enter")
            app_.PostKey(edit_, VK_RETURN);
        else
            app_.Click(app_.Control(IDC_EXTERNAL_SEARCH), 30, 12);
        EXPECT_EQ(OpenedUrl(), Expected(c.sent)) << c.how << " for '" << c.text << "'";
        EXPECT_EQ(SendMessageA(app_.Control(IDC_SEARCH_BOX), CB_GETCOUNT, 0, 0), items)
            << "Enter runs no internal search";
    }
}

TEST_F(ExternalSearch, CustomizeDialog)
{
    auto openDialog = [&] {
        app_.Post(IDM_CUSTOMIZE);
        Box box = app_.WaitBox();
        EXPECT_EQ(box.caption, "カスタマイズボックス");
        return box.window;
    };
    auto field = [](HWND dialog) { return GetDlgItem(dialog, IDC_URL_EDIT); };

    // Cancel keeps the template, whatever the field holds.
    HWND dialog = openDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(TextOf(field(dialog)), DefaultTemplate);
    app_.SetText(field(dialog), "https://x.example/?q=%s&again=%s&n=%d");
    app_.Press(dialog, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));

    // An empty field is refused and the dialog stays.
    dialog = openDialog();
    app_.SetText(field(dialog), "");
    app_.Press(dialog, IDOK);
    HWND refusal = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        refusal = FindWindowExA(nullptr, nullptr, "#32770", "エラー");
        return refusal != nullptr;
    }));
    EXPECT_EQ(DlgText(refusal, MessageBoxTextId), "Keyが空なので，追加されません");
    EXPECT_EQ(GetWindow(refusal, GW_OWNER), dialog) << "owned by the dialog";
    app_.Press(refusal, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(refusal); }));
    EXPECT_TRUE(IsWindow(dialog));

    // Two "%s" and a "%d": every "%s" is the word, the rest stays as written.
    app_.SetText(field(dialog), "https://x.example/?q=%s&again=%s&n=%d&p=100%%");
    app_.Press(dialog, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    TypeWord("word", VK_RIGHT);
    app_.PostKey(edit_, VK_RETURN);
    EXPECT_EQ(OpenedUrl(), "https://x.example/?q=word&again=word&n=%d&p=100%");

    // The default comes back with the restore button and OK.
    dialog = openDialog();
    EXPECT_EQ(TextOf(field(dialog)), "https://x.example/?q=%s&again=%s&n=%d&p=100%%");
    app_.Press(dialog, IDC_RESTORE_DEFAULT);
    ASSERT_TRUE(WaitFor([&] { return TextOf(field(dialog)) == DefaultTemplate; }));
    app_.Press(dialog, IDOK);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    app_.PostKey(edit_, VK_RETURN);
    EXPECT_EQ(OpenedUrl(), Expected("word"));
}

} // namespace
