// Reading the settings file: a profile of N keys in one section (the shape that a settings file
// filled by another program, or by hand, can take), then the same number of keys spread over
// sections of 20. Reading must grow with the size of the file, not with its square: 100,000 keys
// should read in well under a second. items_per_second is keys read per second. The files are
// removed at exit, also when the run is interrupted.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_temp.h"
#include "platform/app/profile.h"

namespace {

const CBenchTempPath g_folder("qav_profile_bench");

// Writes a profile of `keys` keys, `perSection` to a section, and returns its path.
std::string ProfileFile(int keys, int perSection) {
  std::string path = g_folder.Path() + "_" + std::to_string(keys) + "_" + std::to_string(perSection) + ".ini";
  std::string text;
  for (int i = 0; i < keys; ++i) {
    if (i % perSection == 0) text += "[SECTION" + std::to_string(i / perSection) + "]\r\n";
    text += "KEY_" + std::to_string(i) + "=" + std::to_string(i * 7) + "\r\n";
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::exit(1);
  }
  return path;
}

void Read(benchmark::State& state, int perSection) {
  const int keys = static_cast<int>(state.range(0));
  const std::string path = ProfileFile(keys, perSection == 0 ? keys : perSection);
  const std::string last = "KEY_" + std::to_string(keys - 1);
  for (auto _ : state) {
    CProfile profile(path);
    // The last key must be there: the whole file was read.
    if (profile.GetProfileInt(perSection == 0 ? "SECTION0" : ("SECTION" + std::to_string((keys - 1) / perSection)).c_str(),
                              last.c_str(), -1) != static_cast<UINT>((keys - 1) * 7))
      state.SkipWithError("the last key was not read");
  }
  std::remove(path.c_str());
  state.SetItemsProcessed(state.iterations() * keys);
}

void BM_ProfileReadOneSection(benchmark::State& state) { Read(state, 0); }
void BM_ProfileReadSectionsOf20(benchmark::State& state) { Read(state, 20); }

BENCHMARK(BM_ProfileReadOneSection)->Arg(20000)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProfileReadSectionsOf20)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
