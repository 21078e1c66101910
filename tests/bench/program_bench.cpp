// From a key press in the search box to both panes showing the result, with
// a table of a million entries, timed from outside the program.
//   lookup_latency [ENTRIES] [PRESSES]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "table/table_codec.h"
#include "tests/e2e/driver.h"

namespace {

std::string RandomWord(std::mt19937& rng)
{
    std::uniform_int_distribution<int> len(4, 10), letter('a', 'z');
    std::string w;
    for (int n = len(rng); n > 0; n--)
        w += char(letter(rng));
    return w;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

} // namespace

int main(int argc, char** argv)
{
    int entries = argc > 1 ? atoi(argv[1]) : 1000000;
    int presses = argc > 2 ? atoi(argv[2]) : 200;

    std::mt19937 rng(42);
    CEntryTable table;
    std::vector<std::string> keys;
    while (int(table.Size()) < entries) {
        std::string k = RandomWord(rng);
        // Data in another order than the Keys, for the list's sort.
        if (table.InsertEntry(k, "\x88\xd3\x96\xa1 " /* 意味 */ + std::string(k.rbegin(), k.rend())))
            keys.push_back(k);
    }
    AppUnderTest app;
    app.WriteTable(EncodeTableToBytes(table));
    LARGE_INTEGER frequency, t0, t1;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    if (!app.Start()) {
        fprintf(stderr, "the program did not start\n");
        return 1;
    }
    QueryPerformanceCounter(&t1);
    printf("start-up with %d entries: %.0f ms (to the window being shown)\n", entries,
           Milliseconds(t0, t1, frequency));

    HWND edit = app.SearchEdit(), keyPane = app.Control(116), resultPane = app.Control(117);
    std::vector<double> times;
    std::uniform_int_distribution<size_t> pick(0, keys.size() - 1);
    for (int i = 0; i < presses; i++) {
        // Half hits, half misses that show a candidate.
        std::string word = keys[pick(rng)];
        if (i % 2)
            word.back() = char(word.back() == 'z' ? 'a' : word.back() + 1);
        std::string prefix = word.substr(0, word.size() - 1);
        app.SetText(edit, prefix);
        DWORD_PTR ignored;
        SendMessageTimeoutA(edit, EM_SETSEL, prefix.size(), prefix.size(), SMTO_NORMAL, 5000,
                            &ignored); // the caret after the text, where the key goes
        WORD key = WORD(toupper(static_cast<unsigned char>(word.back())));

        QueryPerformanceCounter(&t0);
        app.PostKey(edit, key);
        bool shown = false;
        do {
            shown = TextOf(keyPane) == word && !TextOf(resultPane).empty();
            QueryPerformanceCounter(&t1);
        } while (!shown && Milliseconds(t0, t1, frequency) < 5000);
        if (!shown) {
            fprintf(stderr, "'%s' was not shown within 5 s\n", word.c_str());
            return 1;
        }
        times.push_back(Milliseconds(t0, t1, frequency));
    }
    std::sort(times.begin(), times.end());
    printf("key press to panes, %d presses: median %.2f ms, 90th percentile %.2f ms, max %.2f ms\n",
           presses, times[times.size() / 2], times[times.size() * 9 / 10], times.back());

    // The list window, filled with every entry.
    QueryPerformanceCounter(&t0);
    app.Post(136);
    HWND list = nullptr;
    bool filled = WaitFor(
        [&] {
            HWND window = FindWindowA("RegistLV", nullptr);
            list = window ? GetDlgItem(window, 120) : nullptr;
            return list && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == entries &&
                   IsWindowVisible(window);
        },
        600000);
    QueryPerformanceCounter(&t1);
    printf("list window with %d rows: %s in %.0f ms\n", entries, filled ? "shown" : "NOT shown",
           Milliseconds(t0, t1, frequency));
    if (!filled)
        return 1;

    // A click on the Data header sorts every row by its Data.
    std::string smallest;
    table.ForEachEntry([&](const Entry& e) {
        if (smallest.empty() || e.Data < smallest)
            smallest = std::string(e.Data);
    });
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RECT r = HeaderItemRect(list, 1);
    QueryPerformanceCounter(&t0);
    app.Click(header, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    bool sorted = WaitFor([&] { return ListCellText(list, 0, 1) == smallest; }, 600000);
    QueryPerformanceCounter(&t1);
    printf("sort of %d rows by Data: %s in %.0f ms\n", entries, sorted ? "done" : "NOT done",
           Milliseconds(t0, t1, frequency));
    return 0;
}
