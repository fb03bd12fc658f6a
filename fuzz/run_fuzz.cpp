// The whole run on a font and a code map cut from one input (at @@CMAP@@),
// into a small image that grows as slots are written; the first byte picks
// the option word. Every report line names a slot of its code, the run ends
// with 0 or 1, and no byte of the image outside the reported slots changes.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>

#include "run/run.h"
#include "scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  static const std::string font = scratchFile("font.bdf");
  static const std::string cmap = scratchFile("cmap.txt");
  static const std::string image = scratchFile("image.bin");
  static const std::string out = scratchFile("out.txt");
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = rest.find("@@CMAP@@");
  writeScratch(font, rest.substr(0, cut));
  writeScratch(cmap, cut == std::string::npos ? "" : rest.substr(cut + 8));
  std::string original(64, '\0');
  for (std::size_t i = 0; i < original.size(); ++i) {
    original[i] = static_cast<char>(i * 37 + data[0]);
  }
  writeScratch(image, original);

  const char* const options[] = {"-c", "-cmap", "-x", "-", "c"};
  const char* argv[] = {"fontgraft",          image.c_str(), font.c_str(),
                        options[data[0] % 5], cmap.c_str(),  "extra"};
  static std::FILE* captured = std::freopen(out.c_str(), "w+", stdout);
  if (captured == nullptr || ftruncate(fileno(stdout), 0) != 0) {
    std::abort();
  }
  std::rewind(stdout);
  const int status = runFontgraft(5 + (data[0] >> 7), argv);
  std::fflush(stdout);

  std::set<unsigned> slots;
  std::FILE* report = std::fopen(out.c_str(), "r");
  unsigned address = 0;
  unsigned code = 0;
  char line[64];
  while (std::fgets(line, sizeof line, report) != nullptr) {
    if (std::sscanf(line, "address:0x%8X font:U+%4X", &address, &code) == 2) {
      if (code == 0 || address != 0x34C928 + 32 * code) {
        std::abort();
      }
      slots.insert(address);
    }
  }
  std::fclose(report);
  // Only the parts of the (sparse) image that hold data need reading: holes
  // read as zeros, which is what the image grows with.
  const int fd = open(image.c_str(), O_RDONLY);
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end != static_cast<off_t>(slots.empty() ? 64 : std::max(64u, *slots.rbegin() + 32))) {
    std::abort();
  }
  for (off_t at = lseek(fd, 0, SEEK_DATA); at >= 0; at = lseek(fd, at, SEEK_DATA)) {
    std::string bytes(static_cast<std::size_t>(lseek(fd, at, SEEK_HOLE) - at), '\0');
    if (pread(fd, bytes.data(), bytes.size(), at) != static_cast<ssize_t>(bytes.size())) {
      std::abort();
    }
    for (char byte : bytes) {
      const auto i = static_cast<unsigned>(at++);
      const auto slot = slots.upper_bound(i);
      const bool reported = slot != slots.begin() && i < *std::prev(slot) + 32;
      if (!reported && byte != (i < original.size() ? original[i] : '\0')) {
        std::abort();
      }
    }
  }
  close(fd);
  if (status != 0 && status != 1) {
    std::abort();
  }
  return 0;
}
