// Micro-benchmarks of the hot pieces on the largest input, in-process:
// the whole run, the code map reader and its lookups, the glyph reader, row
// parsing and record packing.
//
//   cmake -S . -B build-bench -DFONTGRAFT_BENCHMARKS=ON && cmake --build build-bench
//   build-bench/bench/fontgraft_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/state.h"
#include "firmware/record.h"
#include "readers/bdf.h"
#include "readers/cmap.h"
#include "run/run.h"
#include "worst_case.h"

namespace {

// The largest input, written once per process.
const std::string& folder() {
  static const std::string made = [] {
    char pattern[] = "/tmp/fontgraft-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr || !worst_case::write(pattern)) {
      std::fputs("fontgraft_bench: cannot write the input under /tmp\n", stderr);
      std::exit(1);
    }
    return std::string(pattern);
  }();
  return made;
}

void BM_WholeRun(benchmark::State& state) {
  const std::string image = worst_case::imagePath(folder());
  const std::string font = worst_case::fontPath(folder());
  const std::string cmap = worst_case::cmapPath(folder());
  const char* argv[] = {"fontgraft", image.c_str(), font.c_str(), "-c", cmap.c_str()};
  std::FILE* saved = stdout;
  for (auto _ : state) {
    stdout = std::fopen("/dev/null", "w");
    const int status = runFontgraft(5, argv);
    std::fclose(stdout);
    stdout = saved;
    if (status != 0) {
      state.SkipWithError("run failed");
    }
  }
}
BENCHMARK(BM_WholeRun)->Unit(benchmark::kMillisecond);

void BM_ReadCmap(benchmark::State& state) {
  const std::string cmap = worst_case::cmapPath(folder());
  for (auto _ : state) {
    benchmark::DoNotOptimize(readCmap(cmap.c_str()));
  }
}
BENCHMARK(BM_ReadCmap)->Unit(benchmark::kMillisecond);

// One lookup per glyph ID, in font order.
void BM_GetCharCode(benchmark::State& state) {
  readCmap(worst_case::cmapPath(folder()).c_str());
  for (auto _ : state) {
    unsigned sum = 0;
    for (int id = 0; id < worst_case::kGlyphs; ++id) {
      sum += getCharCode(id);
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * worst_case::kGlyphs);
}
BENCHMARK(BM_GetCharCode);

void BM_GetFont(benchmark::State& state) {
  const std::string font = worst_case::fontPath(folder());
  for (auto _ : state) {
    openFont(font.c_str());
    int glyphs = 0;
    while (getFont() != kEndOfFont) {
      ++glyphs;
    }
    closeFont();
    benchmark::DoNotOptimize(glyphs);
  }
}
BENCHMARK(BM_GetFont)->Unit(benchmark::kMillisecond);

void BM_RowValue(benchmark::State& state) {
  static const char rows[] = "0000\n927F\n08BC\n30F1\n1179\n4D3D\n1244\n757B\n";
  for (auto _ : state) {
    int sum = 0;
    for (std::size_t at = 0; at + 5 <= sizeof rows - 1; at += 5) {
      sum += rowValue(Line{rows + at, 5});
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(BM_RowValue);

void BM_Pack(benchmark::State& state) {
  for (int r = 0; r < kCellRows; ++r) {
    bmpbuf[r] = worst_case::glyphRow(r, r);
  }
  for (auto _ : state) {
    convBDF2KUVRA();
    benchmark::DoNotOptimize(fntbuf);
  }
}
BENCHMARK(BM_Pack);

}  // namespace

BENCHMARK_MAIN();
