// Micro-benchmarks of the hot pieces on the largest input, in-process:
// the whole run, the code map reader and its lookups, the glyph reader, its
// header lines alone, row parsing, record packing and the staging of records
// into the image.
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
#include "firmware/table.h"
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

// Reads every glyph of the font at `path`, as often as the benchmark asks.
void readEveryGlyph(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    openFont(path.c_str());
    int glyphs = 0;
    while (getFont() != kEndOfFont) {
      ++glyphs;
    }
    closeFont();
    benchmark::DoNotOptimize(glyphs);
  }
}

void BM_GetFont(benchmark::State& state) {
  readEveryGlyph(state, worst_case::fontPath(folder()));
}
BENCHMARK(BM_GetFont)->Unit(benchmark::kMillisecond);

// The header lines alone: a font of the largest input's glyph headers
// (STARTCHAR, ENCODING, SWIDTH, DWIDTH, BBX, BITMAP, ENDCHAR) with no rows.
void BM_HeaderLines(benchmark::State& state) {
  static const std::string font = [] {
    const std::string path = folder() + "/headers.bdf";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    std::fputs("STARTFONT 2.1\nFONTBOUNDINGBOX 16 14 0 -2\n", file);
    for (int g = 0; g < worst_case::kGlyphs; ++g) {
      std::fprintf(file,
                   "STARTCHAR glyphID:%04x\nENCODING %d\nSWIDTH 1000 0\nDWIDTH 16 0\n"
                   "BBX 16 14 0 -2\nBITMAP\nENDCHAR\n",
                   g, g);
    }
    std::fclose(file);
    return path;
  }();
  readEveryGlyph(state, font);
}
BENCHMARK(BM_HeaderLines)->Unit(benchmark::kMillisecond);

// Staging a record for every code in the code map's shuffled order, and
// writing them into a full-size image.
void BM_Staging(benchmark::State& state) {
  const std::string image = worst_case::imagePath(folder());
  for (auto _ : state) {
    for (int code = 1; code <= 0xFFFF; ++code) {
      fntbuf[0] = static_cast<std::uint8_t>(code);
      writeKuvraFont(slotAddress(static_cast<std::uint16_t>(worst_case::glyphOfCode(code))));
    }
    std::FILE* file = openImage(image.c_str());
    benchmark::DoNotOptimize(flushKuvraFont(file));
    std::fclose(file);
  }
}
BENCHMARK(BM_Staging)->Unit(benchmark::kMillisecond);

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
  for (int r = 0; r < kCellSize; ++r) {
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
