// The converter on packaged fonts, whole: reading, sizing, drawing every
// glyph and writing both files. A font that is not installed is skipped.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "convert/convert.h"

namespace {

void convertFont(benchmark::State& state, const char* path) {
  if (!std::filesystem::exists(path)) {
    state.SkipWithError("the font is not installed");
    return;
  }
  std::string folder = std::filesystem::temp_directory_path() / "fontgraft-bench-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("cannot make a scratch folder");
    return;
  }
  const std::string bdf = folder + "/font.bdf";
  const std::string cmap = folder + "/cmap.txt";
  const char* argv[] = {"fontgraft-convert", path, bdf.c_str(), cmap.c_str()};
  std::FILE* quiet = std::freopen("/dev/null", "w", stderr);  // the summary lines
  for (auto _ : state) {
    if (runConvert(4, argv) != 0) {
      state.SkipWithError("the conversion failed");
      break;
    }
  }
  static_cast<void>(quiet);
  std::filesystem::remove_all(folder);
}

BENCHMARK_CAPTURE(convertFont, ZenHei, "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(convertFont, DejaVuSans, "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
