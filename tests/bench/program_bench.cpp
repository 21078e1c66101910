// The program itself with a large table, timed and measured from outside as
// a person would use it: start-up, key presses, the list window and its
// sort, changes that the open list follows, Open-new and Save.
//   program_bench [ENTRIES] [PRESSES]      (PRESSES 0: start-up alone)
// The recovery journal: what each change costs with it and without it,
// start-up without a journal, and a restore of many changes; with a folder
// that holds another vocabrik.exe, that one's start-up is timed beside.
//   program_bench journal [CHANGES] [RESTORED] [OTHER-PROGRAM-FOLDER]
// A dictionary or list brought in through 開く（新しい表を作る）, against
// vbk import of the same file in the same run, and the program's memory
// meanwhile against the table's size.
//   program_bench import FILE [COMPANION...]
// Side by side with another vocabrik.exe (an older build, say) on the same
// tables: start-up with a small table and with a whole dictionary, and key
// presses that show entries of 1, 8 and 26 KB.
//   program_bench compare [OTHER-PROGRAM-FOLDER] [LARGE-ENTRIES]
// The key presses of compare alone, in ROUNDS taken by turns, with medians.
//   program_bench presses [OTHER-PROGRAM-FOLDER] [ROUNDS]
// The start-ups of that alone, as many times as asked, for a steadier
// median on a busy machine.
//   program_bench startups [OTHER-PROGRAM-FOLDER] [LARGE-ENTRIES] [RUNS]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/journal_codec.h"
#include "core/table_codec.h"
#include "res/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/vbk_process.h"

namespace {

// Keys of 4 to 20 letters and digits, Data of 8 to 30 Japanese characters.
std::string RandomKey(std::mt19937& rng)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> len(4, 20), letter(0, 35);
    std::string w;
    for (int n = len(rng); n > 0; n--)
        w += letters[letter(rng)];
    return w;
}

std::string RandomData(std::mt19937& rng)
{
    // Kanji of the rows where every cell is assigned, so that the panes give
    // back exactly the bytes they were given.
    std::uniform_int_distribution<int> len(8, 30), lead(0x89, 0x97), trail(0x40, 0xFC);
    std::string d;
    for (int n = len(rng); n > 0; n--) {
        int t = trail(rng);
        d += char(lead(rng));
        d += char(t == 0x7F ? 0x80 : t);
    }
    return d;
}

using Clock = LARGE_INTEGER;

Clock Now()
{
    Clock c;
    QueryPerformanceCounter(&c);
    return c;
}

double Ms(Clock from, Clock to)
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    return double(to.QuadPart - from.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

struct Memory {
    double privateMb, peakMb;
};

// Polls without sleeping, so that a time is not rounded up to the poll.
template <class Condition>
bool Until(Condition condition, double timeoutMs = 10000)
{
    Clock t0 = Now();
    while (!condition()) {
        if (Ms(t0, Now()) > timeoutMs)
            return false;
    }
    return true;
}

Memory MemoryOf(DWORD pid)
{
    Memory m = {};
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    PROCESS_MEMORY_COUNTERS_EX c = {};
    if (process && GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&c),
                                        sizeof c)) {
        // Some systems leave PrivateUsage at 0; the page-file usage is the
        // same private commit.
        m.privateMb = double(c.PrivateUsage ? c.PrivateUsage : c.PagefileUsage) / 1e6;
        m.peakMb = double(c.PeakPagefileUsage) / 1e6;
    }
    if (process)
        CloseHandle(process);
    return m;
}

// The highest private memory of the process while it runs, sampled from a
// thread of our own.
class PeakSampler {
public:
    explicit PeakSampler(DWORD pid)
        : thread_([this, pid] {
              while (!stop_) {
                  double now = MemoryOf(pid).privateMb;
                  if (now > peak_)
                      peak_ = now;
                  Sleep(1);
              }
          })
    {
    }
    double Stop()
    {
        stop_ = true;
        thread_.join();
        return peak_;
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<double> peak_{0};
    std::thread thread_;
};

void Report(const char* what, std::vector<double> times)
{
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    double mean = std::accumulate(times.begin(), times.end(), 0.0) / double(times.size());
    printf("%s, %zu times: mean %.2f ms, median %.2f ms, 90th percentile %.2f ms, max %.2f ms\n",
           what, times.size(), mean, times[times.size() / 2], times[times.size() * 9 / 10],
           times.back());
}

class Bench {
public:
    Bench(int entries, int presses) : entries_(entries), presses_(presses), rng_(42) {}

    int Run()
    {
        MakeTable();
        if (!StartUp())
            return 1;
        if (presses_ == 0)
            return 0; // start-up alone
        keyPresses_ = KeyPresses(presses_);
        if (!OpenList())
            return 1;
        SortByData();
        Report("key press to panes", keyPresses_);
        Report("key press to panes, list open", KeyPresses(presses_));
        ChangesFollowedByTheList();
        Save();
        OpenNew();
        return 0;
    }

private:
    void MakeTable()
    {
        while (int(table_.Size()) < entries_) {
            std::string k = RandomKey(rng_);
            if (table_.InsertEntry(k, RandomData(rng_)))
                keys_.push_back(k);
        }
        bytes_ = EncodeTableToBytes(table_);
        app_.WriteTable(bytes_);
        // On the disk before the start, as a person's table has long been:
        // its writing must not slow the start that is timed.
        HANDLE f = CreateFileA((app_.Folder() + "\\data.vbk").c_str(), GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            FlushFileBuffers(f);
            CloseHandle(f);
        }
    }

    bool StartUp()
    {
        Clock t0 = Now();
        if (!app_.Launch())
            return false;
        PeakSampler sampler(app_.Pid());
        bool shown = app_.WaitShown(60000, 1);
        Clock t1 = Now();
        // Ready: a word typed at once is answered.
        const std::string& key = keys_.front();
        std::string data(table_.FindEntry(key)->Data);
        bool ready = shown && app_.LookUp(key) == data;
        Clock t2 = Now();
        app_.Sync();
        double peak = sampler.Stop();
        if (!ready) {
            fprintf(stderr, "the program did not start: shown %d, '%s' gave '%s'\n", shown,
                    key.c_str(), app_.LookUp(key).c_str());
            return false;
        }
        Memory m = MemoryOf(app_.Pid());
        printf("start-up with %d entries (file %.1f MB): window shown in %.0f ms, first word "
               "answered at %.0f ms; private memory %.1f MB, peak %.1f MB\n",
               entries_, double(bytes_.size()) / 1e6, Ms(t0, t1), Ms(t0, t2), m.privateMb,
               std::max(peak, m.privateMb));
        return true;
    }

    std::vector<double> KeyPresses(int presses)
    {
        HWND edit = app_.SearchEdit(), keyPane = app_.Control(IDC_KEY_PANE), resultPane = app_.Control(IDC_RESULT_PANE);
        std::vector<double> times;
        std::uniform_int_distribution<size_t> pick(0, keys_.size() - 1);
        for (int i = 0; i < presses; i++) {
            // Half hits, half misses that show a candidate.
            std::string word = keys_[pick(rng_)];
            if (i % 2)
                word.back() = char(word.back() == 'z' ? 'a' : word.back() == '9' ? '0' : word.back() + 1);
            if (!isalpha(static_cast<unsigned char>(word.back())))
                word.back() = 'q'; // a digit needs a shifted key on some layouts
            std::string prefix = word.substr(0, word.size() - 1);
            app_.SetText(edit, prefix);
            DWORD_PTR ignored;
            SendMessageTimeoutA(edit, EM_SETSEL, prefix.size(), prefix.size(), SMTO_NORMAL, 5000,
                                &ignored); // the caret after the text, where the key goes
            WORD key = WORD(toupper(static_cast<unsigned char>(word.back())));
            Clock t0 = Now(), t1;
            app_.PostKey(edit, key);
            bool shown = false;
            do {
                shown = TextOf(keyPane) == word && !TextOf(resultPane).empty();
                t1 = Now();
            } while (!shown && Ms(t0, t1) < 5000);
            if (!shown) {
                fprintf(stderr, "'%s' was not shown within 5 s\n", word.c_str());
                continue;
            }
            times.push_back(Ms(t0, t1));
        }
        return times;
    }

    int Rows() const { return int(SendMessageA(list_, LVM_GETITEMCOUNT, 0, 0)); }

    bool OpenList()
    {
        Memory before = MemoryOf(app_.Pid());
        Clock t0 = Now();
        app_.Post(IDM_LIST);
        bool filled = WaitFor(
            [&] {
                HWND window = FindWindowA("RegistLV", nullptr);
                list_ = window ? GetDlgItem(window, IDC_LIST_VIEW) : nullptr;
                return list_ && Rows() == entries_ && IsWindowVisible(window);
            },
            600000);
        Clock t1 = Now();
        app_.Sync();
        Memory after = MemoryOf(app_.Pid());
        printf("list window with %d rows: %s in %.0f ms; it adds %.1f bytes a row\n", entries_,
               filled ? "shown" : "NOT shown", Ms(t0, t1),
               (after.privateMb - before.privateMb) * 1e6 / entries_);
        return filled;
    }

    bool SortByData()
    {
        std::string smallest;
        table_.ForEachEntry([&](const Entry& e) {
            if (smallest.empty() || e.Data < smallest)
                smallest = std::string(e.Data);
        });
        HWND header = reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0));
        RECT r = HeaderItemRect(list_, 1);
        Clock t0 = Now();
        app_.Click(header, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
        bool sorted = WaitFor([&] { return ListCellText(list_, 0, 1) == smallest; }, 600000);
        Clock t1 = Now();
        printf("sort of %d rows by Data: %s in %.0f ms\n", entries_, sorted ? "done" : "NOT done",
               Ms(t0, t1));
        return sorted;
    }

    // Add of a new Key and Delete of a present one from the main window,
    // each until the open list shows it.
    bool ChangesFollowedByTheList()
    {
        std::vector<double> adds, deletes;
        for (int i = 0; i < 20; i++) {
            std::string key = "zz-new-" + std::to_string(i);
            app_.SetText(app_.Control(IDC_KEY_PANE), key);
            app_.SetText(app_.Control(IDC_RESULT_PANE), "new");
            int rows = Rows();
            Clock t0 = Now();
            app_.Post(IDC_ADD);
            bool shown = Until([&] { return Rows() == rows + 1 && ListCellText(list_, rows, 0) == key; });
            adds.push_back(Ms(t0, Now()));

            app_.LookUp(keys_[size_t(i) * 7919 % keys_.size()]);
            rows = Rows();
            t0 = Now();
            app_.Post(IDC_DELETE);
            bool gone = Until([&] { return Rows() == rows - 1; });
            deletes.push_back(Ms(t0, Now()));
            if (!shown || !gone) {
                printf("change %d was not shown in the list\n", i);
                return false;
            }
        }
        Report("Add from the main window until the list shows it", adds);
        Report("Delete from the main window until the list shows it", deletes);
        return true;
    }

    // Open-new of another table as large, until the list shows it.
    bool OpenNew()
    {
        CEntryTable other;
        std::string first;
        for (int i = 0; i < entries_; i++)
            other.InsertEntry(RandomKey(rng_), RandomData(rng_));
        first = std::string(other.FindCandidate("")->Key);
        app_.WriteFile("other.vbk", EncodeTableToBytes(other));
        app_.Post(IDM_OPEN_NEW);
        Clock t0 = Now();
        if (!app_.ChooseFile("ファイルを開く", "other.vbk"))
            return false;
        bool filled = WaitFor(
            [&] { return Rows() == int(other.Size()) && ListCellText(list_, 0, 0) == first; },
            60000);
        printf("Open-new of %zu entries until the list shows them: %s in %.0f ms\n",
               other.Size(), filled ? "done" : "NOT done", Ms(t0, Now()));
        return filled;
    }

    bool Save()
    {
        app_.Post(IDM_SAVE);
        Box box = app_.WaitBox();
        if (!box.window)
            return false;
        Clock t0 = Now();
        app_.Press(box.window, IDYES);
        bool saved = app_.TitleIs("Vocabrik - data.vbk ");
        printf("save of %d entries: %s in %.0f ms\n", entries_, saved ? "done" : "NOT done",
               Ms(t0, Now()));
        return saved;
    }

    int entries_, presses_;
    std::mt19937 rng_;
    CEntryTable table_;
    std::vector<std::string> keys_;
    std::string bytes_;
    AppUnderTest app_;
    HWND list_ = nullptr;
    std::vector<double> keyPresses_;
};

// The journal's cost, on a table of 1000 entries.
class JournalBench {
public:
    JournalBench(int changes, int restored, std::string otherProgram)
        : changes_(changes), restored_(restored), other_(std::move(otherProgram)), rng_(7)
    {
    }

    int Run()
    {
        CEntryTable table;
        while (table.Size() < 1000)
            table.InsertEntry(RandomKey(rng_), RandomData(rng_));
        table_ = EncodeTableToBytes(table);
        std::vector<double> with, without;
        // Alternately, so that a slower moment of the machine falls on both.
        for (int round = 0; round < 4; round++) {
            if (!Changes(true, with) || !Changes(false, without))
                return 1;
        }
        Report("change (Add) with the journal", with);
        Report("change (Add) without a journal", without);
        printf("the journal adds %.2f ms a change (mean)\n", Mean(with) - Mean(without));
        StartUps();
        return Restore() ? 0 : 1;
    }

private:
    static double Mean(const std::vector<double>& v)
    {
        return std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
    }

    // A file where the journal's folder would be keeps it from being made.
    static void AllowJournal(AppUnderTest& app, bool allowed)
    {
        std::string blocker = app.AppData() + "\\Vocabrik";
        RemoveDirectoryA(blocker.c_str());
        DeleteFileA(blocker.c_str());
        if (!allowed)
            CloseHandle(CreateFileA(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                                    nullptr));
    }

    // Each Add as the person gives it, until the program has handled it.
    bool Changes(bool journal, std::vector<double>& times)
    {
        AppUnderTest app;
        app.WriteTable(table_);
        AllowJournal(app, journal);
        if (!app.Start())
            return false;
        HWND keyPane = app.Control(IDC_KEY_PANE), dataPane = app.Control(IDC_RESULT_PANE);
        for (int i = 0; i < changes_ / 4; i++) {
            app.SetText(keyPane, "zz-" + std::to_string(i));
            app.SetText(dataPane, RandomData(rng_));
            Clock t0 = Now();
            if (!app.Send(IDC_ADD))
                return false;
            times.push_back(Ms(t0, Now()));
        }
        bool journalled = GetFileAttributesA(app.JournalPath().c_str()) != INVALID_FILE_ATTRIBUTES;
        app.Kill();
        if (journalled != journal) {
            fprintf(stderr, "the journal was %s\n", journalled ? "written" : "not written");
            return false;
        }
        return true;
    }

    static double StartUp(AppUnderTest& app)
    {
        Clock t0 = Now();
        if (!app.Launch() || !app.WaitShown(60000, 1) || !app.Sync())
            return -1;
        double ms = Ms(t0, Now());
        app.Kill();
        return ms;
    }

    void StartUps()
    {
        std::vector<double> ours, theirs;
        for (int i = 0; i < 10; i++) {
            AppUnderTest app;
            app.WriteTable(table_);
            ours.push_back(StartUp(app));
            if (!other_.empty()) {
                AppUnderTest other(other_);
                theirs.push_back(StartUp(other));
            }
        }
        Report("start-up without a journal, until the program answers", ours);
        Report("start-up of the other program", theirs);
    }

    // A journal of many changes, left as a killed program leaves it: the
    // time from はい until the program answers with every change made.
    bool Restore()
    {
        AppUnderTest app;
        app.WriteTable(table_);
        std::string path = app.Folder() + "\\data.vbk";
        WIN32_FILE_ATTRIBUTE_DATA data;
        GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
        JournalBase base;
        base.TablePath = path;
        base.Size = data.nFileSizeLow;
        base.Time = uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                    data.ftLastWriteTime.dwLowDateTime;
        std::string journal = EncodeJournalHeader(base), lastKey, lastData;
        for (int i = 0; i < restored_; i++) {
            lastKey = "restored-" + std::to_string(100000 + i);
            lastData = RandomData(rng_);
            journal += EncodeJournalRecord(JournalKind::Store, {lastKey, lastData});
        }
        CreateDirectoryA((app.AppData() + "\\Vocabrik").c_str(), nullptr);
        HANDLE f = CreateFileA(app.JournalPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               0, nullptr);
        DWORD written = 0;
        WriteFile(f, journal.data(), DWORD(journal.size()), &written, nullptr);
        CloseHandle(f);
        if (!app.Start())
            return false;
        Box box = app.WaitBox();
        if (!box.window)
            return false;
        Clock t0 = Now();
        app.Press(box.window, IDYES);
        bool restored = app.TitleIs("Vocabrik - data.vbk* ") && app.Sync();
        double ms = Ms(t0, Now());
        restored = restored && app.LookUp(lastKey) == lastData;
        printf("restore of %d changes: %s in %.0f ms (journal %.1f MB)\n", restored_,
               restored ? "done" : "NOT done", ms, double(journal.size()) / 1e6);
        return restored;
    }

    int changes_, restored_;
    std::string other_;
    std::mt19937 rng_;
    std::string table_;
};

class ImportBench {
public:
    explicit ImportBench(const std::vector<std::string>& files) : files_(files) {}

    int Run()
    {
        // vbk in the folder of the timed program, on the same copies.
        AppUnderTest timed;
        std::string list = Copy(timed);
        Clock v0 = Now();
        VbkRun vbk = RunVbk({"import", list, "-o", timed.Folder() + "\\vbk.vbk", "--unencodable",
                             "replace"},
                            timed.Folder());
        double vbkMs = Ms(v0, Now());
        if (vbk.Status != 0) {
            printf("vbk import failed: %s\n", vbk.Err.c_str());
            return 1;
        }
        WIN32_FILE_ATTRIBUTE_DATA table;
        GetFileAttributesExA((timed.Folder() + "\\vbk.vbk").c_str(), GetFileExInfoStandard, &table);
        double tableMb = double(uint64_t(table.nFileSizeHigh) << 32 | table.nFileSizeLow) / 1e6;

        // Timed without the memory sampler, which takes a processor of its own.
        double ms = 0, peak = 0, before = 0;
        std::string text;
        if (!Import(timed, list, nullptr, ms, text))
            return 1;
        timed.Kill();
        AppUnderTest measured;
        std::string copy = Copy(measured);
        if (!measured.Start())
            return 1;
        before = MemoryOf(measured.Pid()).privateMb;
        double unused = 0;
        std::string again;
        if (!Import(measured, copy, &peak, unused, again))
            return 1;
        printf("%s: %s\n", list.substr(list.find_last_of('\\') + 1).c_str(),
               text.substr(0, text.find('\n')).c_str());
        printf("vbk import: %.0f ms; from the window: %.0f ms (%.2fx)\n", vbkMs, ms, ms / vbkMs);
        printf("table %.1f MB; the program's private memory %.1f MB before, %.1f MB at its peak "
               "(%.2fx the table, %.2fx with what it held before)\n",
               tableMb, before, peak, (peak - before) / tableMb, peak / tableMb);
        return 0;
    }

private:
    // The files are copied into the program's folder: its file dialogs
    // remember the folder they were last used in. The first is the list.
    std::string Copy(AppUnderTest& app)
    {
        std::string first;
        for (const std::string& f : files_) {
            std::string to = app.Folder() + "\\" + f.substr(f.find_last_of("\\/") + 1);
            CopyFileA(f.c_str(), to.c_str(), FALSE);
            if (first.empty())
                first = to;
        }
        return first;
    }

    // 開く（新しい表を作る） with the list, until the report comes; the time
    // runs from the dialog's closing. The wait looks every 10 ms, not in a
    // busy loop that would take a processor from the program.
    bool Import(AppUnderTest& app, const std::string& list, double* peak, double& ms,
                std::string& text)
    {
        if (!app.Running() && !app.Start())
            return false;
        app.Post(IDM_OPEN_NEW);
        std::unique_ptr<PeakSampler> sampler;
        if (peak)
            sampler = std::make_unique<PeakSampler>(app.Pid());
        if (!app.ChooseFile("ファイルを開く", list))
            return false;
        Clock t0 = Now();
        HWND box = nullptr;
        bool done = WaitFor([&] { return (box = app.FindBox(0)) != nullptr; }, 600000, 10);
        ms = Ms(t0, Now());
        if (sampler)
            *peak = sampler->Stop();
        text = done ? DlgText(box, MessageBoxTextId) : "";
        if (box)
            app.Press(box, IDOK);
        return done;
    }

    std::vector<std::string> files_;
};

// Lines of dictionary prose, as a long entry of an English dictionary has.
std::string Prose(size_t bytes, std::mt19937& rng)
{
    static const char* const words[] = {"the", "of", "to", "set", "place", "put", "in",
                                        "fixed", "position", "verb", "noun", "as", "a",
                                        "which", "is", "and", "that", "or", "be", "with"};
    std::uniform_int_distribution<size_t> pick(0, sizeof words / sizeof *words - 1);
    std::string text, line;
    while (text.size() < bytes) {
        line.clear();
        while (line.size() < 68)
            line.append(words[pick(rng)]).append(" ");
        text += line + "\n";
    }
    text.resize(bytes);
    return text;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

class CompareBench {
public:
    CompareBench(std::string other, int large, int runs = 0)
        : other_(std::move(other)), large_(large), runs_(runs), rng_(42)
    {
    }

    int Run()
    {
        std::string small = TableOf(1000, false, first_[0], firstData_[0]);
        std::string large = TableOf(large_, false, first_[1], firstData_[1]);
        std::string longOnes = TableOf(1000, true, first_[2], firstData_[2]);
        const int programs = other_.empty() ? 1 : 2;
        Figures figures[2];
        // Alternately, so that a slower moment of the machine falls on both.
        const int runs = runs_ ? runs_ : 5, largeRuns = runs_ ? runs_ : 3;
        for (int run = 0; run < runs; run++) {
            for (int p = 0; p < programs; p++) {
                Memory m = {};
                double ms = StartUp(p, small, 0, &m);
                if (ms < 0)
                    return 1;
                figures[p].small.push_back(ms);
                figures[p].smallMb = m.privateMb;
                if (run < largeRuns) {
                    if ((ms = StartUp(p, large, 1, &m)) < 0)
                        return 1;
                    figures[p].large.push_back(ms);
                    figures[p].largeMb = m.privateMb;
                }
            }
        }
        for (int p = 0; p < programs && !runs_; p++)
            if (!Presses(p, longOnes, figures[p]))
                return 1;

        const double fileMb = double(large.size()) / 1e6;
        printf("\n%-44s %18s %18s\n", "", programs > 1 ? "other program" : "", "this program");
        auto row = [&](const char* what, auto value) {
            printf("%-44s %18s %18s\n", what, programs > 1 ? value(figures[1]).c_str() : "",
                   value(figures[0]).c_str());
        };
        auto ms = [](double v) { return Format("%.0f ms", v); };
        std::string smallRow = Format("start-up, 1000 entries (median of %d)", runs);
        row(smallRow.c_str(), [&](const Figures& f) { return ms(Median(f.small)); });
        std::string largeRow =
            Format("start-up, %d entries, %.0f MB (median of %d)", large_, fileMb, largeRuns);
        row(largeRow.c_str(), [&](const Figures& f) { return ms(Median(f.large)); });
        row("  ratio", [&](const Figures& f) { return Format("%.2f", Median(f.large) / Median(f.small)); });
        row("  memory at rest, net, per file byte", [&](const Figures& f) {
            return Format("%.2f", (f.largeMb - f.smallMb) / fileMb);
        });
        for (size_t i = 0; i < LongSizes && !runs_; i++) {
            std::string what = Format("key press to both panes, %zu KB entry, mean / worst",
                                      LongBytes[i] / 1024);
            row(what.c_str(), [&](const Figures& f) {
                return Format("%.1f / %.0f ms", Mean(f.presses[i]), Max(f.presses[i]));
            });
        }
        return 0;
    }

    // The key presses alone, the two programs by turns, a started program
    // each round.
    int RunPresses(int rounds)
    {
        std::string longOnes = TableOf(1000, true, first_[2], firstData_[2]);
        const int programs = other_.empty() ? 1 : 2;
        Figures figures[2];
        for (int run = 0; run < rounds; run++)
            for (int p = 0; p < programs; p++)
                if (!Presses(p, longOnes, figures[p]))
                    return 1;
        printf("\n%-44s %18s %18s\n", "", programs > 1 ? "other program" : "", "this program");
        for (size_t i = 0; i < LongSizes; i++) {
            std::string what = Format("key press, %zu KB entry, median / mean / worst",
                                      LongBytes[i] / 1024);
            auto value = [&](const Figures& f) {
                return Format("%.1f / %.1f / %.0f ms", Median(f.presses[i]), Mean(f.presses[i]),
                              Max(f.presses[i]));
            };
            printf("%-44s %18s %18s\n", what.c_str(), programs > 1 ? value(figures[1]).c_str() : "",
                   value(figures[0]).c_str());
            what = Format("  a short entry after it, median / mean");
            auto after = [&](const Figures& f) {
                return Format("%.1f / %.1f ms", Median(f.shortAfter[i]), Mean(f.shortAfter[i]));
            };
            printf("%-44s %18s %18s\n", what.c_str(), programs > 1 ? after(figures[1]).c_str() : "",
                   after(figures[0]).c_str());
        }
        return 0;
    }

private:
    static constexpr size_t LongSizes = 3;
    static constexpr size_t LongBytes[LongSizes] = {1024, 8 * 1024, 26 * 1024};
    static constexpr int PressesEach = 10;
    struct Figures {
        std::vector<double> small, large, presses[LongSizes];
        std::vector<double> shortAfter[LongSizes]; // "zlongs", pressed after a long entry
        double smallMb = 0, largeMb = 0;
    };

    template <class... Args>
    static std::string Format(const char* format, Args... args)
    {
        char b[128];
        snprintf(b, sizeof b, format, args...);
        return b;
    }
    static double Mean(const std::vector<double>& v)
    {
        return v.empty() ? -1 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
    }
    static double Max(const std::vector<double>& v)
    {
        return v.empty() ? -1 : *std::max_element(v.begin(), v.end());
    }
    static std::string LongKey(size_t i) { return std::string("zlong") + char('a' + i); }

    // A table of random entries, and with long ones the entries of LongKey
    // and a short one, "zlongs", to press in between.
    std::string TableOf(int entries, bool longOnes, std::string& first, std::string& firstData)
    {
        CEntryTable table;
        while (int(table.Size()) < entries)
            table.InsertEntry(RandomKey(rng_), RandomData(rng_));
        if (longOnes) {
            for (size_t i = 0; i < LongSizes; i++)
                table.InsertEntry(LongKey(i), Prose(LongBytes[i], rng_));
            table.InsertEntry("zlongs", "short");
        }
        first = std::string(table.FindCandidate("")->Key);
        firstData = std::string(table.FindCandidate("")->Data);
        return EncodeTableToBytes(table);
    }

    std::unique_ptr<AppUnderTest> App(int program, const std::string& table)
    {
        auto app = program == 0 ? std::make_unique<AppUnderTest>()
                                : std::make_unique<AppUnderTest>(other_);
        app->WriteTable(table);
        // On the disk before the start, as a person's table has long been.
        HANDLE f = CreateFileA((app->Folder() + "\\data.vbk").c_str(), GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            FlushFileBuffers(f);
            CloseHandle(f);
        }
        return app;
    }

    // Until the titled window answers the first Key; -1 if it never did.
    double StartUp(int program, const std::string& table, int which, Memory* memory)
    {
        auto app = App(program, table);
        Clock t0 = Now();
        if (!app->Launch() || !app->WaitShown(60000, 1))
            return -1;
        bool answered = app->LookUp(first_[which]) == firstData_[which];
        double ms = Ms(t0, Now());
        app->Sync();
        *memory = MemoryOf(app->Pid());
        if (!answered)
            fprintf(stderr, "program %d did not answer '%s'\n", program, first_[which].c_str());
        return answered ? ms : -1;
    }

    static LRESULT Length(HWND pane)
    {
        DWORD_PTR length = 0;
        SendMessageTimeoutA(pane, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length);
        return LRESULT(length);
    }

    // Each press of the last letter of a long entry's Key, after one that
    // showed a short entry, until both panes hold their whole texts.
    bool Presses(int program, const std::string& table, Figures& figures)
    {
        auto app = App(program, table);
        if (!app->Start())
            return false;
        HWND edit = app->SearchEdit(), keyPane = app->Control(IDC_KEY_PANE),
             resultPane = app->Control(IDC_RESULT_PANE);
        for (size_t i = 0; i < LongSizes; i++) {
            app->LookUp(LongKey(i));
            const LRESULT whole = Length(resultPane);
            for (int n = 0; n < PressesEach; n++) {
                for (const std::string& word : {std::string("zlongs"), LongKey(i)}) {
                    std::string prefix = word.substr(0, word.size() - 1);
                    app->SetText(edit, prefix);
                    DWORD_PTR ignored;
                    SendMessageTimeoutA(edit, EM_SETSEL, prefix.size(), prefix.size(), SMTO_NORMAL,
                                        5000, &ignored);
                    Clock t0 = Now(), t1;
                    app->PostKey(edit, WORD(toupper(static_cast<unsigned char>(word.back()))));
                    bool shown = false;
                    do {
                        shown = TextOf(keyPane) == word &&
                                (word == "zlongs" ? TextOf(resultPane) == "short"
                                                  : Length(resultPane) == whole);
                        t1 = Now();
                    } while (!shown && Ms(t0, t1) < 5000);
                    if (!shown) {
                        fprintf(stderr, "program %d: '%s' was not shown within 5 s\n", program, word.c_str());
                        return false;
                    }
                    (word != "zlongs" ? figures.presses : figures.shortAfter)[i].push_back(Ms(t0, t1));
                }
            }
        }
        return true;
    }

    std::string other_;
    int large_;
    int runs_; // 0: the whole comparison
    std::mt19937 rng_;
    std::string first_[3], firstData_[3];
};

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::string(argv[1]) == "import")
        return ImportBench(std::vector<std::string>(argv + 2, argv + argc)).Run();
    if (argc > 1 && std::string(argv[1]) == "journal")
        return JournalBench(argc > 2 ? atoi(argv[2]) : 200, argc > 3 ? atoi(argv[3]) : 10000,
                            argc > 4 ? argv[4] : "")
            .Run();
    if (argc > 1 && std::string(argv[1]) == "compare")
        return CompareBench(argc > 2 ? argv[2] : "", argc > 3 ? atoi(argv[3]) : 3000000).Run();
    if (argc > 1 && std::string(argv[1]) == "presses")
        return CompareBench(argc > 2 ? argv[2] : "", 0).RunPresses(argc > 3 ? atoi(argv[3]) : 3);
    if (argc > 1 && std::string(argv[1]) == "startups")
        return CompareBench(argc > 2 ? argv[2] : "", argc > 3 ? atoi(argv[3]) : 3000000,
                            argc > 4 ? std::max(1, atoi(argv[4])) : 9)
            .Run();
    int entries = argc > 1 ? atoi(argv[1]) : 1000000;
    int presses = argc > 2 ? atoi(argv[2]) : 200;
    return Bench(entries, presses).Run();
}
