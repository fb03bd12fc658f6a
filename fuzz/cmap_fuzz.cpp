// The code map reader on arbitrary bytes: every lookup agrees with the first
// matching mapping line of the plain model.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "readers/cmap.h"
#include "reference.h"
#include "scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = scratchFile("cmap.txt");
  writeScratch(path, data, size);
  if (readCmap(path.c_str()) != 1) {
    std::abort();
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<reference::Mapping> map = reference::readCmap(text);
  if (cmapsize != static_cast<long long>(map.size())) {
    std::abort();
  }
  // Every index the map names, and IDs made from the input's bytes, with
  // bits above the low 16 and negative ones among them.
  std::vector<int> ids;
  for (const reference::Mapping& m : map) {
    ids.push_back(m.glyph);
    ids.push_back(m.glyph - 65536);
  }
  for (std::size_t i = 0; i + 3 < size && ids.size() < 512; i += 4) {
    ids.push_back(static_cast<int>(static_cast<std::uint32_t>(data[i]) << 24 | data[i + 1] << 16 |
                                   data[i + 2] << 8 | data[i + 3]));
  }
  for (int id : ids) {
    if (getCharCode(id) != reference::lookup(map, id)) {
      std::abort();
    }
  }
  return 0;
}
