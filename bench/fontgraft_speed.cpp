// Times fontgraft on the largest input against `wc -l` over the same font and
// code map, the cost of merely reading them. The two run in turns, each in its
// own process with its output sent to /dev/null, after one untimed round that
// brings the files into the page cache. Prints both medians and their ratio.
// Given a second build of fontgraft, it runs that one in the same turns too
// and says how the first compares with it.
//
//   fontgraft_speed <fontgraft-binary> [rounds [<other-fontgraft-binary>]]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "timed_run.h"
#include "worst_case.h"

namespace {

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fputs("Syntax: fontgraft_speed <fontgraft-binary> [rounds [<other-fontgraft-binary>]]\n",
               stderr);
    return 2;
  }
  const int rounds = argc >= 3 ? std::atoi(argv[2]) : 21;
  if (rounds < 1) {
    std::fputs("fontgraft_speed: rounds must be a positive number\n", stderr);
    return 2;
  }
  char pattern[] = "/tmp/fontgraft-speed-XXXXXX";
  if (mkdtemp(pattern) == nullptr || !worst_case::write(pattern)) {
    std::fputs("fontgraft_speed: cannot write the input files under /tmp\n", stderr);
    return 1;
  }
  const std::string dir = pattern;
  const std::string font = worst_case::fontPath(dir);
  const std::string cmap = worst_case::cmapPath(dir);
  const std::string image = worst_case::imagePath(dir);
  const std::vector<std::string> fontgraft{argv[1], image, font, "-c", cmap};
  const std::vector<std::string> wc{"wc", "-l", font, cmap};
  std::vector<std::string> other = fontgraft;
  other[0] = argc == 4 ? argv[3] : "";

  std::vector<double> fontgraftTimes;
  std::vector<double> otherTimes;
  std::vector<double> wcTimes;
  bool ok = true;
  for (int round = 0; ok && round <= rounds; ++round) {
    const double f = timeRun(fontgraft);
    const double o = other[0].empty() ? 0 : timeRun(other);
    const double w = timeRun(wc);
    ok = f >= 0 && o >= 0 && w >= 0;
    if (round > 0) {  // round 0 warms the page cache
      fontgraftTimes.push_back(f);
      otherTimes.push_back(o);
      wcTimes.push_back(w);
    }
  }
  std::remove(font.c_str());
  std::remove(cmap.c_str());
  std::remove(image.c_str());
  rmdir(dir.c_str());
  if (!ok) {
    std::fputs("fontgraft_speed: a run failed (fontgraft or wc did not exit with 0)\n", stderr);
    return 1;
  }
  const double f = median(fontgraftTimes);
  const double w = median(wcTimes);
  std::printf("input: %d glyphs (%s), %d code map lines\n", worst_case::kGlyphs, "16 x 14", 65535);
  std::printf("rounds:           %d\n", rounds);
  std::printf("fontgraft median: %8.2f ms\n", f);
  std::printf("wc -l median:     %8.2f ms\n", w);
  std::printf("ratio:            %8.2f\n", f / w);
  if (!other[0].empty()) {
    const double o = median(otherTimes);
    std::printf("other median:     %8.2f ms (%s)\n", o, other[0].c_str());
    std::printf("against other:    %8.3f\n", f / o);
  }
  return 0;
}
