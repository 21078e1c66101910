// vbk import of word lists of the shape a whole dictionary has: Keys of 4 to
// 20 letters and digits, Data of 8 to 30 kanji, every tenth with an escaped
// line break and a second sense. From the list on disk to the table file in
// place: in this process, and as the vbk program itself, whose peak memory
// (the largest resident size it reached) is set beside the list's size. And
// EDICT, where Debian's package has put it, and an EIJIRO-shaped file, whose
// peak is set beside the table's size. Also the hard inputs of
// dictionaries: HTML that never ends a reference or a tag, and one headword
// listed a hundred thousand times.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/common/dictd_number.h"
#include "encodings/text_encoding.h"
#include "formats/html_text.h"
#include "tools/vbk/vbk_commands.h"

namespace fs = std::filesystem;

namespace {

// The lists are large: they go when the benchmarks are done.
struct MadeLists {
    std::map<std::pair<int, int>, fs::path> paths;
    ~MadeLists()
    {
        std::error_code ignored;
        for (const auto& entry : paths)
            fs::remove(entry.second, ignored);
    }
};

std::string Kanji(std::mt19937& rng, int count)
{
    std::uniform_int_distribution<uint32_t> pick(0x4E00, 0x9FA0);
    std::string text, unused;
    while (count > 0) {
        std::string one;
        AppendUtf8(pick(rng), one);
        unused.clear();
        if (!Utf8ToCp932(one, unused).Ok)
            continue; // not every code point of the range has a code in code page 932
        text += one;
        count--;
    }
    return text;
}

const fs::path& ListFile(TextEncoding encoding, int lines)
{
    static MadeLists made;
    fs::path& path = made.paths[{int(encoding), lines}];
    if (!path.empty())
        return path;
    path = fs::temp_directory_path() / ("vbk-bench-" + std::to_string(int(encoding)) + "-" +
                                        std::to_string(lines) + ".tsv");
    std::mt19937 rng(lines);
    std::uniform_int_distribution<int> keyLength(4, 20), symbol(0, 35), dataLength(8, 30);
    std::string text;
    for (int i = 0; i < lines; i++) {
        for (int n = keyLength(rng); n > 0; n--) {
            int s = symbol(rng);
            text += char(s < 26 ? 'a' + s : '0' + s - 26);
        }
        text += '\t';
        std::string data = Kanji(rng, dataLength(rng));
        if (i % 10 == 0)
            data += "\\n" + Kanji(rng, 8);
        if (encoding == TextEncoding::ShiftJis) {
            std::string sjis;
            Utf8ToCp932(data, sjis);
            data = sjis;
        }
        text += data;
        text += '\n';
    }
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

fs::path TableFile() { return fs::temp_directory_path() / "vbk-bench-out.vbk"; }

void BM_Import(benchmark::State& state, TextEncoding encoding)
{
    const int lines = int(state.range(0));
    ImportOptions o;
    o.List = ListFile(encoding, lines).string();
    o.Table = TableFile().string();
    for (auto _ : state) {
        CommandIo io;
        if (RunImport(o, io) != ExitOk)
            state.SkipWithError(io.Err.c_str());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(fs::file_size(o.List)));
    state.counters["lines/s"] =
        benchmark::Counter(double(lines) * double(state.iterations()), benchmark::Counter::kIsRate);
    fs::remove(o.Table);
}
BENCHMARK_CAPTURE(BM_Import, utf8, TextEncoding::Utf8)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Import, sjis, TextEncoding::ShiftJis)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// EDICT as Debian installs it (package edict): EUC-JP turned into UTF-8,
// every writing and reading a Key, the entries of each Key joined.
void BM_ImportEdict(benchmark::State& state)
{
    ImportOptions o;
    o.List = "/usr/share/edict/edict";
    o.Table = TableFile().string();
    o.WhenUnencodable = Unencodable::Replace;
    if (!fs::exists(o.List))
        state.SkipWithError("no /usr/share/edict/edict: apt-get install edict");
    for (auto _ : state) {
        CommandIo io;
        if (RunImport(o, io) != ExitOk)
            state.SkipWithError(io.Err.c_str());
    }
    fs::remove(o.Table);
}
BENCHMARK(BM_ImportEdict)->Unit(benchmark::kMillisecond)->UseRealTime();

// An EIJIRO-shaped file in code page 932: headwords of one to four lines
// ("■abandon  {他動-1} : ..."), some with a note (◆) and an example (■・),
// some with NEC's special characters.
const fs::path& EijiroFile(int lines)
{
    static MadeLists made;
    fs::path& path = made.paths[{-1, lines}];
    if (!path.empty())
        return path;
    path = fs::temp_directory_path() / ("vbk-bench-eijiro-" + std::to_string(lines) + ".txt");
    std::mt19937 rng(lines);
    std::vector<std::string> kanji; // a pool, in code page 932
    for (int i = 0; i < 3000; i++) {
        std::string one;
        Utf8ToCp932(Kanji(rng, 1), one);
        kanji.push_back(one);
    }
    // 名 動 形 他動-1
    const std::string labels[] = {"{\x96\xBC}", "{\x93\xAE}", "{\x8C`}", "{\x91\xBC\x93\xAE-1}"};
    const std::string mark = "\x81\xA1", note = "\x81\x9F", example = "\x81\xA1\x81" "E";
    const std::string nec = "\x87@\x87\x8A\x87T"; // ①㈱Ⅰ
    std::uniform_int_distribution<int> keyLength(3, 12), letter(0, 25), senses(1, 4),
        dataLength(8, 30), pool(0, int(kanji.size()) - 1), chance(0, 9);
    auto words = [&](int n) {
        std::string s;
        while (n-- > 0)
            s += kanji[size_t(pool(rng))];
        return s;
    };
    std::string text;
    for (int i = 0; i < lines;) {
        std::string headword;
        for (int n = keyLength(rng); n > 0; n--)
            headword += char((headword.empty() && chance(rng) == 0 ? 'A' : 'a') + letter(rng));
        if (chance(rng) < 2)
            headword += " up";
        for (int n = senses(rng); n > 0 && i < lines; n--, i++) {
            text += mark + headword + "  " + labels[chance(rng) % 4] + " : ";
            text += words(dataLength(rng));
            if (chance(rng) < 3)
                text += note + words(12);
            if (chance(rng) < 2)
                text += example + "They did it for the first time. " + words(14);
            if (chance(rng) == 0)
                text += nec;
            text += "\r\n";
        }
    }
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

// Runs `vbk import LIST -o TABLE` with its output discarded; false if it
// failed. peakKb: the largest resident size it reached. VBK_BENCH_PROGRAM
// names another vbk to run, an older build say, on the very same lists.
//
// fork, not posix_spawn: a child that shares this process's memory until it
// starts vbk would be charged this process's own peak (the lists it made).
bool RunVbkImport(const std::string& list, const std::string& table, long& peakKb,
                  double* cpuSeconds = nullptr)
{
    const char* other = std::getenv("VBK_BENCH_PROGRAM");
    std::string program = other && *other ? other : VBK_PATH;
    std::vector<std::string> args = {program, "import", list, "-o", table};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        int null = open("/dev/null", O_WRONLY);
        if (null >= 0)
            dup2(null, 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    if (wait4(child, &status, 0, &usage) != child)
        return false;
    peakKb = usage.ru_maxrss; // kilobytes on Linux
    if (cpuSeconds) // on a busy machine the wall time says little
        *cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_ImportProgram(benchmark::State& state, TextEncoding encoding)
{
    const int lines = int(state.range(0));
    const std::string list = ListFile(encoding, lines).string();
    const double listMb = double(fs::file_size(list)) / (1 << 20);
    long peakKb = 0;
    for (auto _ : state) {
        long kb = 0;
        if (!RunVbkImport(list, TableFile().string(), kb))
            state.SkipWithError("vbk import failed");
        peakKb = std::max(peakKb, kb);
    }
    state.counters["list_MB"] = listMb;
    state.counters["peak_MB"] = double(peakKb) / 1024;
    state.counters["peak/list"] = double(peakKb) / 1024 / listMb;
    fs::remove(TableFile());
}
// EIJIRO as the vbk program reads it: the time of the whole import, and its
// peak memory beside the table it writes.
void BM_ImportEijiroProgram(benchmark::State& state)
{
    const int lines = int(state.range(0));
    const std::string list = EijiroFile(lines).string();
    long peakKb = 0;
    double tableMb = 0, cpu = 0;
    for (auto _ : state) {
        long kb = 0;
        double seconds = 0;
        if (!RunVbkImport(list, TableFile().string(), kb, &seconds))
            state.SkipWithError("vbk import failed");
        peakKb = std::max(peakKb, kb);
        cpu += seconds;
        tableMb = double(fs::file_size(TableFile())) / (1 << 20);
    }
    state.counters["list_MB"] = double(fs::file_size(list)) / (1 << 20);
    state.counters["table_MB"] = tableMb;
    state.counters["peak_MB"] = double(peakKb) / 1024;
    state.counters["peak/table"] = double(peakKb) / 1024 / tableMb;
    state.counters["vbk_cpu_s"] = cpu / double(state.iterations());
    fs::remove(TableFile());
}
BENCHMARK(BM_ImportEijiroProgram)
    ->Arg(2500000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

BENCHMARK_CAPTURE(BM_ImportProgram, utf8, TextEncoding::Utf8)
    ->Arg(1000000)
    ->Arg(3000000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportProgram, sjis, TextEncoding::ShiftJis)
    ->Arg(1000000)
    ->Arg(3000000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Text that keeps starting a reference or a tag and never ends one: each
// '&' or '<' must not search the rest of the text.
void BM_HtmlToTextOfUnendedMarkup(benchmark::State& state, std::string piece)
{
    std::string html;
    while (html.size() < size_t(state.range(0)))
        html += piece;
    for (auto _ : state)
        benchmark::DoNotOptimize(HtmlToText(html, TextEncoding::Utf8));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(html.size()));
}
BENCHMARK_CAPTURE(BM_HtmlToTextOfUnendedMarkup, ampersands, std::string("&"))
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HtmlToTextOfUnendedMarkup, tags, std::string("<a"))
    ->Arg(1 << 20)
    ->Arg(4 << 20)
    ->Unit(benchmark::kMillisecond);

// A dictd dictionary of one headword listed N times, each with a
// definition of its own: joining them must not search what came before.
void BM_ImportOneHeadwordListedOften(benchmark::State& state)
{
    const int times = int(state.range(0));
    const fs::path base = fs::temp_directory_path() / "vbk-bench-homographs";
    std::string index, dict;
    for (int i = 0; i < times; i++) {
        std::string text = "sense " + std::to_string(i) + "\n";
        index += "run\t" + DictdNumber(dict.size()) + "\t" + DictdNumber(text.size()) + "\n";
        dict += text;
    }
    std::ofstream(base.string() + ".index", std::ios::binary) << index;
    std::ofstream(base.string() + ".dict", std::ios::binary) << dict;
    ImportOptions o;
    o.List = base.string() + ".index";
    o.Table = TableFile().string();
    for (auto _ : state) {
        CommandIo io;
        if (RunImport(o, io) != ExitOk)
            state.SkipWithError(io.Err.c_str());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(index.size()));
    fs::remove(base.string() + ".index");
    fs::remove(base.string() + ".dict");
    fs::remove(TableFile());
}
BENCHMARK(BM_ImportOneHeadwordListedOften)->Arg(40000)->Arg(160000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
