// Not a test: sets the program up as the README shows it, then lets
// docs/screenshot photograph the display. Run only on request
// (--gtest_also_run_disabled_tests), with VOCABRIK_SHOT_DIR naming a folder for
// the hand-over files "ready" (written here) and "done" (written by the script).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/e2e/driver.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST(Screenshot, DISABLED_MainWindowShowingACandidate)
{
    const char* dir = getenv("VOCABRIK_SHOT_DIR");
    const char* table = getenv("VOCABRIK_SHOT_TABLE");
    const char* word = getenv("VOCABRIK_SHOT_WORD");
    ASSERT_TRUE(dir && table && word);
    std::ifstream in(table, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AppUnderTest app;
    app.WriteTable(bytes);
    ASSERT_TRUE(app.Start());
    HWND edit = app.SearchEdit();
    for (const char* c = word; *c; c++)
        app.PostKey(edit, WORD(toupper(static_cast<unsigned char>(*c))));
    size_t presses = strlen(word);
    ASSERT_TRUE(WaitFor([&] {
        return size_t(SendMessageA(app.Control(118), CB_GETCOUNT, 0, 0)) == presses;
    }));
    if (getenv("VOCABRIK_SHOT_LIST")) {
        // The list window beside the main window, for a look at it.
        app.Post(136);
        HWND list = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (list = FindWindowA("RegistLV", nullptr)) != nullptr; }));
        SetWindowPos(list, nullptr, 20, 20, 480, 400, SWP_NOZORDER);
    }
    std::ofstream(std::string(dir) + "/ready") << "ready";
    EXPECT_TRUE(WaitFor([&] { return Exists(std::string(dir) + "/done"); }, 60000));
}

} // namespace
