// The converter on a font file made of the input after its first byte, which
// picks the size, the rendering and --fill. Whatever the bytes, the run ends
// with 0, 2 or 1; on 1 neither output exists, otherwise both do, and the code
// map names only codes the table holds, each once. (Run it with
// -close_fd_mask=2: the converter reports on standard error.)
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "convert/convert.h"
#include "scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  static const std::string font = scratchFile("font.ttf");
  static const std::string bdf = scratchFile("out.bdf");
  static const std::string cmap = scratchFile("out.txt");
  writeScratch(font, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  std::filesystem::remove(bdf);
  std::filesystem::remove(cmap);

  const char* const renderings[] = {"auto", "unhinted", "hinted", "grey", "best"};
  const std::string sizeText = std::to_string(6 + data[0] % 16);
  const char* argv[10] = {"fontgraft-convert", "--render", renderings[(data[0] >> 4) % 5]};
  int argc = 3;
  if ((data[0] & 0x40) != 0) {
    argv[argc++] = "--size";
    argv[argc++] = sizeText.c_str();
  }
  if ((data[0] & 0x80) != 0) {
    argv[argc++] = "--fill";
  }
  argv[argc++] = font.c_str();
  argv[argc++] = bdf.c_str();
  argv[argc++] = cmap.c_str();
  const int status = runConvert(argc, argv);

  const bool written = std::filesystem::exists(bdf) && std::filesystem::exists(cmap);
  const bool none = !std::filesystem::exists(bdf) && !std::filesystem::exists(cmap);
  if ((status == 1 && !none) || ((status == 0 || status == 2) && !written) ||
      (status != 0 && status != 1 && status != 2)) {
    std::abort();
  }
  if (written) {
    std::ifstream in(cmap);
    std::set<unsigned> codes;
    for (std::string line; std::getline(in, line);) {
      unsigned code = 0;
      unsigned glyph = 0;
      if (std::sscanf(line.c_str(), " Char %X -> Index %u", &code, &glyph) == 2 &&
          (code == 0 || code > 0xFFFF || !codes.insert(code).second)) {
        std::abort();
      }
    }
  }
  return 0;
}
