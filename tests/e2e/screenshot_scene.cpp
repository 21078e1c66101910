// Sets the program up as the README shows it, for docs/screenshot to
// photograph the display: the table VOCABRIK_SHOT_TABLE, the word
// VOCABRIK_SHOT_WORD typed into the search box and, with VOCABRIK_SHOT_LIST,
// the list window beside it. VOCABRIK_SHOT_DIR names a folder for the
// hand-over: "ready" is written here once the scene stands, "done" by the
// script once it has its picture.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "res/resource.h"
#include "tests/e2e/driver.h"

namespace {

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int Fail(const char* why)
{
    fprintf(stderr, "screenshot_scene: %s\n", why);
    return 1;
}

} // namespace

int main()
{
    const char* dir = getenv("VOCABRIK_SHOT_DIR");
    const char* table = getenv("VOCABRIK_SHOT_TABLE");
    const char* word = getenv("VOCABRIK_SHOT_WORD");
    if (!dir || !table || !word)
        return Fail("VOCABRIK_SHOT_DIR, VOCABRIK_SHOT_TABLE and VOCABRIK_SHOT_WORD are needed");
    std::ifstream in(table, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    AppUnderTest app;
    app.WriteTable(bytes);
    if (!app.Start())
        return Fail("the program did not start");
    HWND edit = app.SearchEdit();
    for (const char* c = word; *c; c++)
        app.PostKey(edit, WORD(toupper(static_cast<unsigned char>(*c))));
    size_t presses = strlen(word);
    if (!WaitFor([&] {
            return size_t(SendMessageA(app.Control(IDC_SEARCH_BOX), CB_GETCOUNT, 0, 0)) == presses;
        }))
        return Fail("the word was not looked up");
    if (getenv("VOCABRIK_SHOT_LIST")) {
        app.Post(IDM_LIST);
        HWND list = nullptr;
        if (!WaitFor([&] { return (list = FindWindowA("RegistLV", nullptr)) != nullptr; }))
            return Fail("the list window did not open");
        SetWindowPos(list, nullptr, 20, 20, 480, 400, SWP_NOZORDER);
        // Photographed once it has painted its rows.
        HWND rows = GetDlgItem(list, IDC_LIST_VIEW);
        WaitFor([&] { return !GetUpdateRect(list, nullptr, FALSE) && !GetUpdateRect(rows, nullptr, FALSE); });
    }
    std::ofstream(std::string(dir) + "/ready") << "ready";
    return WaitFor([&] { return Exists(std::string(dir) + "/done"); }, 60000) ? 0 : 1;
}
