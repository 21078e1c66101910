// A release archive as a user gets it: scripts/test unpacks it into a new
// folder, makes a new Wine prefix and runs this program there, with
// VOCABRIK_PACKAGE_DIR naming the folder. Nothing else is in the folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/common/file_bytes.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/vbk_process.h"
#include "vocabrik_version.h"

namespace {

const std::string Credit = "(C) 2026 The Vocabrik Authors";

std::string PackageFolder()
{
    char path[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA("VOCABRIK_PACKAGE_DIR", path, MAX_PATH);
    return n && n < MAX_PATH ? std::string(path, n) : std::string();
}

// The names in a folder, sorted.
std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Join(const std::vector<std::string>& names)
{
    std::string all;
    for (const std::string& n : names)
        all += n + " ";
    return all;
}

struct VersionRecord {
    bool found = false;
    VS_FIXEDFILEINFO fixed = {};
    WORD language = 0, codePage = 0;
    std::vector<std::pair<std::string, std::string>> strings;
};

VersionRecord ReadVersionRecord(const std::string& file,
                                const std::vector<std::string>& names)
{
    VersionRecord record;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (!size)
        return record;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data()))
        return record;
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", &value, &length) || length < sizeof record.fixed)
        return record;
    record.found = true;
    record.fixed = *static_cast<VS_FIXEDFILEINFO*>(value);
    if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) &&
        length >= 4) {
        record.language = static_cast<WORD*>(value)[0];
        record.codePage = static_cast<WORD*>(value)[1];
    }
    for (const std::string& name : names) {
        char path[128];
        wsprintfA(path, "\\StringFileInfo\\%04x%04x\\%s", record.language, record.codePage,
                  name.c_str());
        std::string text = "<missing>";
        if (VerQueryValueA(block.data(), path, &value, &length))
            text = static_cast<const char*>(value);
        record.strings.emplace_back(name, text);
    }
    return record;
}

class Package : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = PackageFolder();
        ASSERT_FALSE(folder_.empty()) << "VOCABRIK_PACKAGE_DIR names no folder";
    }
    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

    std::string folder_;
};

TEST_F(Package, HoldsTheProgramsTheTableAndTwoTextsForNotepad)
{
    EXPECT_EQ(Join(Listing(folder_)), "LICENSE.txt README-ja.txt data.vbk vbk.exe vocabrik.exe ");
    // Notepad of every Windows version reads UTF-8 correctly after a
    // byte-order mark, and breaks lines only at CR LF on the older ones.
    for (const char* name : {"README-ja.txt", "LICENSE.txt"}) {
        std::string text = ReadFileBytes(Path(name));
        EXPECT_EQ(text.compare(0, 3, "\xEF\xBB\xBF"), 0) << name << ": no byte-order mark";
        size_t bareLineFeeds = 0;
        for (size_t i = 0; i < text.size(); i++)
            if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
                bareLineFeeds++;
        EXPECT_EQ(bareLineFeeds, 0u) << name << ": line feeds without a carriage return";
        EXPECT_NE(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                      int(text.size()), nullptr, 0),
                  0)
            << name << " is not UTF-8";
    }
}

TEST_F(Package, VersionRecordsNameProductVersionAndCredit)
{
    const DWORD versionMS = MAKELONG(VK_VERSION_MINOR, VK_VERSION_MAJOR);
    const DWORD versionLS = MAKELONG(0, VK_VERSION_PATCH);
    struct Case {
        const char* file;
        const char* description;
    } cases[] = {
        {"vocabrik.exe", "Vocabrik"},
        {"vbk.exe", "vbk: Vocabrik の表ファイルを扱うコマンドライン ツール"},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<std::string, std::string>> want = {
            {"ProductName", "Vocabrik"},
            {"ProductVersion", VK_VERSION_TEXT},
            {"FileVersion", VK_VERSION_TEXT},
            {"FileDescription", c.description},
            {"LegalCopyright", Credit},
            {"OriginalFilename", c.file},
        };
        std::vector<std::string> names;
        for (const auto& w : want)
            names.push_back(w.first);
        VersionRecord record = ReadVersionRecord(Path(c.file), names);
        ASSERT_TRUE(record.found) << c.file << " has no version record";
        EXPECT_EQ(record.fixed.dwFileVersionMS, versionMS) << c.file;
        EXPECT_EQ(record.fixed.dwFileVersionLS, versionLS) << c.file;
        EXPECT_EQ(record.fixed.dwProductVersionMS, versionMS) << c.file;
        EXPECT_EQ(record.language, 0x0411) << c.file << ": the texts are not Japanese";
        EXPECT_EQ(record.codePage, 1200) << c.file << ": the texts are not Unicode";
        for (size_t i = 0; i < want.size(); i++)
            EXPECT_EQ(record.strings[i].second, want[i].second) << c.file << " " << want[i].first;
    }
}

TEST_F(Package, VocabrikStartsInItsFolderAndFindsAppleInTheShippedTable)
{
    std::vector<std::string> before = Listing(folder_);
    {
        AppUnderTest app(folder_);
        ASSERT_TRUE(app.Start()) << "vocabrik.exe showed no window";
        EXPECT_EQ(TextOf(app.Main()), "Vocabrik - data.vbk ") << "the shipped table did not load";
        HWND edit = app.SearchEdit();
        ASSERT_TRUE(edit);
        app.SetText(edit, "apple");
        app.PostKey(edit, VK_RIGHT); // looks the box's text up, changing none of it
        std::string key, data;
        EXPECT_TRUE(WaitFor([&] {
            key = TextOf(app.Control(IDC_KEY_PANE));
            data = TextOf(app.Control(IDC_RESULT_PANE));
            return key == "apple" && data == "りんご";
        })) << "key pane '" << key << "', data pane '" << data << "'";
        // Nothing changed, so closing asks nothing.
        PostMessageA(app.Main(), WM_CLOSE, 0, 0);
        DWORD code = 1;
        EXPECT_TRUE(app.WaitExit(10000, &code)) << "vocabrik.exe did not end";
        EXPECT_EQ(code, 0u);
    }
    EXPECT_EQ(Join(Listing(folder_)), Join(before)) << "the program wrote into its folder";
}

TEST_F(Package, VbkShowsUsageAndVersionAndLooksUpInTheShippedTable)
{
    std::vector<std::string> before = Listing(folder_);
    std::string vbk = Path("vbk.exe");
    VbkRun help = RunVbkAt(vbk, {"--help"}, folder_);
    EXPECT_EQ(help.Status, 0) << help.Err;
    EXPECT_EQ(help.Out.rfind("usage: vbk import", 0), 0u) << help.Out;

    VbkRun version = RunVbkAt(vbk, {"--version"}, folder_);
    EXPECT_EQ(version.Status, 0) << version.Err;
    EXPECT_EQ(version.Out, "vbk (Vocabrik) " VK_VERSION_TEXT "\n" + Credit + "\n");

    VbkRun get = RunVbkAt(vbk, {"get", "data.vbk", "apple"}, folder_);
    EXPECT_EQ(get.Status, 0) << get.Err;
    EXPECT_EQ(get.Out, "りんご\n");
    EXPECT_EQ(Join(Listing(folder_)), Join(before)) << "vbk wrote into the folder";
}

} // namespace
