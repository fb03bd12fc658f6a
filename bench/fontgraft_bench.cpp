// Speed of the whole run and of the glyph reader on the largest input: a font of
// 65,536 glyphs of 16 x 14 pixels and a code map of 65,535 mapping lines.
//
//   cmake -S . -B build-bench -DFONTGRAFT_BENCHMARKS=ON && cmake --build build-bench
//   build-bench/bench/fontgraft_bench
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "readers/bdf.h"
#include "run/run.h"

namespace {

struct Inputs {
  std::string dir;
  std::string font;
  std::string cmap;
  std::string image;
};

// Writes the largest font, its code map and a blank image once per process.
const Inputs& inputs() {
  static const Inputs made = [] {
    char pattern[] = "/tmp/fontgraft-bench-XXXXXX";
    Inputs in{mkdtemp(pattern), "", "", ""};
    in.font = in.dir + "/large.bdf";
    in.cmap = in.dir + "/large-cmap.txt";
    in.image = in.dir + "/firmware.bin";
    std::FILE* font = std::fopen(in.font.c_str(), "w");
    std::fputs("STARTFONT 2.1\nFONTBOUNDINGBOX 16 16 0 -2\nCHARS 65536\n", font);
    unsigned seed = 1;
    for (int g = 0; g < 65536; ++g) {
      std::fprintf(font,
                   "STARTCHAR glyphID:%04x\nENCODING %d\nSWIDTH 1000 0\nDWIDTH 16 0\n"
                   "BBX 16 14 -2 -2\nBITMAP\n",
                   g, g);
      for (int row = 0; row < 14; ++row) {
        seed = seed * 1103515245u + 12345u;
        std::fprintf(font, "%04X\n", (seed >> 8) & 0xFFFF);
      }
      std::fputs("ENDCHAR\n", font);
    }
    std::fputs("ENDFONT\n", font);
    std::fclose(font);
    std::FILE* cmap = std::fopen(in.cmap.c_str(), "w");
    std::fputs("               Specific ID: 1\n", cmap);
    for (int g = 0; g < 65535; ++g) {
      std::fprintf(cmap, "        Char %04X -> Index %d\n", (g * 7919) % 65535 + 1, g);
    }
    std::fclose(cmap);
    std::FILE* image = std::fopen(in.image.c_str(), "w");
    std::fseek(image, 0x34C928 + 65536 * 32 - 1, SEEK_SET);
    std::fputc(0, image);
    std::fclose(image);
    return in;
  }();
  return made;
}

void BM_WholeRun(benchmark::State& state) {
  const Inputs& in = inputs();
  const char* argv[] = {"fontgraft", in.image.c_str(), in.font.c_str(), "-c", in.cmap.c_str()};
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

void BM_GetFont(benchmark::State& state) {
  for (auto _ : state) {
    openFont(inputs().font.c_str());
    int glyphs = 0;
    while (getFont() != kEndOfFont) {
      ++glyphs;
    }
    closeFont();
    benchmark::DoNotOptimize(glyphs);
  }
}
BENCHMARK(BM_GetFont)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
