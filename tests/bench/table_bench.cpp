// Load, save and lookup costs of tables of realistic shape: English Keys of
// 4 to 15 bytes, Japanese Data of about 30 bytes.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/table_codec.h"

namespace {

std::string MakeKey(std::mt19937& rng, int i)
{
    std::uniform_int_distribution<int> len(3, 12), letter('a', 'z');
    std::string k;
    for (int n = len(rng); n > 0; n--)
        k += char(letter(rng));
    return k + std::to_string(i);
}

std::string MakeData(std::mt19937& rng)
{
    std::uniform_int_distribution<int> len(6, 20), trail(0x9F, 0xF1);
    std::string d;
    for (int n = len(rng); n > 0; n--) {
        d += char(0x82);
        d += char(trail(rng));
    }
    return d;
}

const std::string& TableBytes(int n)
{
    static std::map<int, std::string> cache;
    auto& bytes = cache[n];
    if (bytes.empty()) {
        std::mt19937 rng(n);
        CEntryTable t;
        for (int i = 0; i < n; i++)
            t.InsertEntry(MakeKey(rng, i), MakeData(rng));
        bytes = EncodeTableToBytes(t);
    }
    return bytes;
}

void BM_Load(benchmark::State& state)
{
    const std::string& bytes = TableBytes(int(state.range(0)));
    for (auto _ : state) {
        CEntryTable t;
        DecodeTable(bytes, t);
        benchmark::DoNotOptimize(t.Size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_Load)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// As the program loads a file: its bytes, mapped and already in memory,
// are borrowed and indexed in place.
void BM_LoadInPlace(benchmark::State& state)
{
    const std::string& bytes = TableBytes(int(state.range(0)));
    std::string view = bytes; // what the file's pages hold
    std::shared_ptr<char> borrowed(view.data(), [](char*) {});
    for (auto _ : state) {
        CEntryTable t;
        DecodeTableImage(borrowed, view.size(), true, t);
        benchmark::DoNotOptimize(t.Size());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_LoadInPlace)->Arg(100000)->Arg(1000000)->Arg(3000000)->Unit(benchmark::kMillisecond);

void BM_Save(benchmark::State& state)
{
    CEntryTable t;
    DecodeTable(TableBytes(int(state.range(0))), t);
    for (auto _ : state) {
        size_t total = 0;
        EncodeTable(t, [&](const char* p, size_t n) {
            benchmark::DoNotOptimize(p);
            total += n;
            return true;
        });
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_Save)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

struct Loaded {
    CEntryTable table;
    std::vector<std::string> hits, misses;
    explicit Loaded(int n)
    {
        DecodeTable(TableBytes(n), table);
        std::mt19937 rng(7);
        std::vector<std::string> keys;
        table.ForEachEntry([&](const Entry& e) { keys.emplace_back(e.Key); });
        std::uniform_int_distribution<size_t> pick(0, keys.size() - 1);
        for (int i = 0; i < 4096; i++) {
            hits.push_back(keys[pick(rng)]);
            misses.push_back(keys[pick(rng)] + "q");
        }
    }
};

// One table for both lookups, as in the program.
Loaded& Million()
{
    static Loaded data(1000000);
    return data;
}

void BM_FindEntryHit(benchmark::State& state)
{
    Loaded& data = Million();
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(data.table.FindEntry(data.hits[i++ & 4095]));
}
BENCHMARK(BM_FindEntryHit);

// The program's lookup is one bound search: on a miss it yields the candidate.
void BM_FindCandidateMiss(benchmark::State& state)
{
    Loaded& data = Million();
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(data.table.FindCandidate(data.misses[i++ & 4095]));
}
BENCHMARK(BM_FindCandidateMiss);

} // namespace

BENCHMARK_MAIN();
