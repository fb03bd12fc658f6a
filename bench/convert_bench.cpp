// The converter on packaged fonts, whole: reading, sizing, drawing every
// glyph and writing both files; by default, and with the 14 x 14 area and the
// unhinted drawing that were the defaults before the thinned drawing, to
// compare; and otf2bdf on the same font at 15 px, the yardstick (the default
// must take at most 0.75 of its time). A font or program that is not
// installed is skipped.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "convert/convert.h"

namespace {

void convertFont(benchmark::State& state, const char* path, const char* options) {
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
  std::vector<const char*> argv = {"fontgraft-convert"};
  std::istringstream words(options);
  std::vector<std::string> held(std::istream_iterator<std::string>(words), {});
  for (const std::string& word : held) {
    argv.push_back(word.c_str());
  }
  argv.insert(argv.end(), {path, bdf.c_str(), cmap.c_str()});
  std::FILE* quiet = std::freopen("/dev/null", "w", stderr);  // the summary lines
  for (auto _ : state) {
    if (runConvert(static_cast<int>(argv.size()), argv.data()) != 0) {
      state.SkipWithError("the conversion failed");
      break;
    }
  }
  static_cast<void>(quiet);
  std::filesystem::remove_all(folder);
}

// otf2bdf, run as a program, its output written to a scratch file.
void otf2bdf(benchmark::State& state, const char* path) {
  if (!std::filesystem::exists(path) || std::system("command -v otf2bdf >/dev/null") != 0) {
    state.SkipWithError("the font or otf2bdf is not installed");
    return;
  }
  std::string folder = std::filesystem::temp_directory_path() / "fontgraft-bench-XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("cannot make a scratch folder");
    return;
  }
  const std::string command = "otf2bdf -p 15 -o " + folder + "/font.bdf " + path +
                              " 2>/dev/null; test -s " + folder + "/font.bdf";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("otf2bdf failed");
      break;
    }
  }
  std::filesystem::remove_all(folder);
}

constexpr char kZenHei[] = "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc";
constexpr char kDejaVu[] = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr char kBefore[] = "--area 14 --render unhinted";

BENCHMARK_CAPTURE(convertFont, ZenHei, kZenHei, "")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convertFont, ZenHeiAsBefore, kZenHei, kBefore)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(otf2bdf, ZenHei, kZenHei)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convertFont, DejaVuSans, kDejaVu, "")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
