// vbk import of a 10^6-line word list, from the file on disk to the table
// file in place: English Keys of 4 to 15 bytes, Japanese Data of 6 to 20
// characters, every tenth with an escaped line break.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "tools/vbk/text_encoding.h"
#include "tools/vbk/vbk_commands.h"

namespace fs = std::filesystem;

namespace {

const fs::path& ListFile(TextEncoding encoding, int lines)
{
    static std::map<std::pair<int, int>, fs::path> made;
    fs::path& path = made[{int(encoding), lines}];
    if (!path.empty())
        return path;
    path = fs::temp_directory_path() / ("vbk-bench-" + std::to_string(int(encoding)) + "-" +
                                        std::to_string(lines) + ".tsv");
    std::mt19937 rng(lines);
    std::uniform_int_distribution<int> keyLength(3, 12), letter('a', 'z'), dataLength(6, 20),
        hiragana(0x3041, 0x3093);
    std::string text;
    for (int i = 0; i < lines; i++) {
        for (int n = keyLength(rng); n > 0; n--)
            text += char(letter(rng));
        text += std::to_string(i);
        text += '\t';
        std::string data;
        for (int n = dataLength(rng); n > 0; n--)
            AppendUtf8(uint32_t(hiragana(rng)), data);
        if (i % 10 == 0)
            data += "\\n" + data.substr(0, 6);
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

void BM_Import(benchmark::State& state, TextEncoding encoding)
{
    const int lines = int(state.range(0));
    ImportOptions o;
    o.List = ListFile(encoding, lines).string();
    o.Table = (fs::temp_directory_path() / "vbk-bench-out.vbk").string();
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

} // namespace

BENCHMARK_MAIN();
