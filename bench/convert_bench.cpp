// The converter on packaged fonts, whole: reading, sizing, drawing every
// glyph and writing both files; by default, and with the 14 x 14 area and the
// unhinted drawing that were the defaults before the thinned drawing, to
// compare; otf2bdf on the same font at 15 px, the yardstick (the default
// must take at most 0.75 of its time), and the three as processes in turns,
// whose counters give the default's share of the others' times; the listing
// and the search of the faces of a hostile collection; and a font completed
// by another (--fallback) against the other alone. A font or program that is
// not installed is skipped.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "timed_run.h"

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

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty()           ? 0
         : v.size() % 2 == 1 ? v[v.size() / 2]
                             : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The bound on the default's time, as a share of otf2bdf's, and the rounds
// run before the timed ones.
constexpr double kOtf2bdfShare = 0.75;
constexpr int kWarmRounds = 2;

// The converter's default on WenQuanYi Zen Hei, the drawing of before and
// otf2bdf at 15 px, each as a process writing its files (the converter's
// synced), in turns, after kWarmRounds rounds that are not counted: the
// counters are the default's median time and its share of the others'
// medians (`of_otf2bdf` must be at most kOtf2bdfShare; `bound` is 1 where
// it is).
void againstOthers(benchmark::State& state) {
  const std::string converter = FONTGRAFT_CONVERT_BIN;
  std::string folder = std::filesystem::temp_directory_path() / "fontgraft-bench-XXXXXX";
  if (converter.empty() || !std::filesystem::exists(kZenHei) ||
      std::system("command -v otf2bdf >/dev/null") != 0 || mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("the converter, the font or otf2bdf is missing, or no scratch folder");
    return;
  }
  const std::vector<std::string> runs[] = {
      {converter, kZenHei, folder + "/a.bdf", folder + "/a.txt"},
      {converter, "--area", "14", "--render", "unhinted", kZenHei, folder + "/b.bdf",
       folder + "/b.txt"},
      {"otf2bdf", "-p", "15", "-o", folder + "/c.bdf", kZenHei}};
  std::vector<double> times[3];
  int round = 0;
  for (auto _ : state) {
    double took[3];
    for (int r = 0; r < 3; ++r) {
      took[r] = timeRun(runs[r], r == 2);
    }
    if (took[0] < 0 || took[1] < 0 || took[2] < 0) {
      state.SkipWithError("a run failed");
      break;
    }
    state.SetIterationTime(took[0] / 1000);
    if (++round > kWarmRounds) {
      for (int r = 0; r < 3; ++r) {
        times[r].push_back(took[r]);
      }
    }
  }
  std::filesystem::remove_all(folder);
  const double ours = median(times[0]);
  const double before = median(times[1]);
  const double otf = median(times[2]);
  if (before > 0 && otf > 0) {
    state.counters["median_ms"] = ours;
    state.counters["of_before"] = ours / before;
    state.counters["of_otf2bdf"] = ours / otf;
    state.counters["bound"] = ours / otf <= kOtf2bdfShare ? 1 : 0;
  }
}

BENCHMARK_CAPTURE(convertFont, ZenHei, kZenHei, "")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convertFont, ZenHeiAsBefore, kZenHei, kBefore)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(otf2bdf, ZenHei, kZenHei)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(convertFont, DejaVuSans, kDejaVu, "")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(againstOthers)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(17);

// A hand-drawn font completed by an outline font (--fallback), against the
// outline font converted alone.
constexpr char kShinonome[] = "/usr/share/fonts/X11/misc/shnmk16.pcf.gz";
constexpr char kHanaMinA[] = "/usr/share/fonts/truetype/hanazono/HanaMinA.ttf";
BENCHMARK_CAPTURE(convertFont, ShinonomeWithHanaMinA, kShinonome,
                  "--fallback /usr/share/fonts/truetype/hanazono/HanaMinA.ttf")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(convertFont, HanaMinA, kHanaMinA, "")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

void putBigEndian(std::string* bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    (*bytes)[at + i] = static_cast<char>(value >> (24 - 8 * i));
  }
}

// A hostile collection: `faces` face offsets, each to one of the faces of
// the collection at `path` in turn, its fonts moved after the longer list.
std::string hostileCollection(const std::string& path, std::uint32_t faces) {
  std::ifstream in(path, std::ios::binary);
  const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::uint32_t count = old.size() > 12 ? bigEndian(old, 8) : 0;
  if (old.compare(0, 4, "ttcf") != 0 || count == 0 || old.size() < 12 + 4 * count) {
    return "";
  }
  const std::size_t start = 12 + 4 * std::size_t{count};  // the first font, at the latest
  const std::size_t shift = 12 + 4 * std::size_t{faces} - start;
  std::string out =
      old.substr(0, 12) + std::string(4 * std::size_t{faces}, '\0') + old.substr(start);
  putBigEndian(&out, 8, faces);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t at = bigEndian(old, 12 + 4 * i);
    const std::uint32_t tables = bigEndian(old, at + 2) & 0xFFFF;  // numTables
    for (std::uint32_t t = 0; t < tables; ++t) {
      const std::size_t record = at + shift + 12 + 16 * t + 8;
      putBigEndian(&out, record, bigEndian(out, record) + static_cast<std::uint32_t>(shift));
    }
  }
  for (std::uint32_t i = 0; i < faces; ++i) {
    putBigEndian(&out, 12 + 4 * i,
                 bigEndian(old, 12 + 4 * (i % count)) + static_cast<std::uint32_t>(shift));
  }
  return out;
}

// --list-faces and --face of a name no face has, on WenQuanYi Zen Hei made a
// collection of 300,000 faces.
void hostileFaces(benchmark::State& state, bool list) {
  const std::string bytes =
      hostileCollection("/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", 300000);
  std::string folder = std::filesystem::temp_directory_path() / "fontgraft-bench-XXXXXX";
  if (bytes.empty() || mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("WenQuanYi Zen Hei is not installed, or no scratch folder");
    return;
  }
  const std::string font = folder + "/hostile.ttc";
  std::ofstream(font, std::ios::binary) << bytes;
  const std::string bdf = folder + "/font.bdf";
  const std::string cmap = folder + "/cmap.txt";
  const char* listing[] = {"fontgraft-convert", "--list-faces", font.c_str()};
  const char* search[] = {"fontgraft-convert", "--face",    "Nope",
                          font.c_str(),        bdf.c_str(), cmap.c_str()};
  // The list and the error line go to /dev/null, the benchmark's report not.
  std::fflush(nullptr);
  const int out = dup(1);
  const int error = dup(2);
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, 1);
  dup2(null, 2);
  for (auto _ : state) {
    if (list ? runConvert(3, listing) != 0 : runConvert(6, search) != 1) {
      state.SkipWithError("the run failed");
      break;
    }
  }
  std::fflush(nullptr);
  dup2(out, 1);
  dup2(error, 2);
  for (const int fd : {out, error, null}) {
    close(fd);
  }
  std::filesystem::remove_all(folder);
}

BENCHMARK_CAPTURE(hostileFaces, ListFaces, true)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(hostileFaces, FaceByName, false)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
