#include "readers/cmap.h"

#include <cstdio>
#include <cstring>

#include "common/scan.h"
#include "common/textfile.h"

long long cmapsize;

namespace {

// The map, indexed by glyph index so that a lookup takes constant time. A slot
// holds kMapped | code once a mapping line has claimed it; the first line in
// file order claims it, later lines for the same index are passed over.
constexpr int kGlyphIndexes = 65536;
constexpr std::uint32_t kMapped = 0x10000;
std::uint32_t cmap[kGlyphIndexes];
LineSource cmapfile;

constexpr int kEncodingOffset = 15;
constexpr int kMappingOffset = 8;

void addEntry(const CmapEntry& entry) {
  std::uint32_t& slot = cmap[entry.glyph];
  if (slot == 0) {
    slot = kMapped | entry.code;
  }
  ++cmapsize;
}

// Reads an encoding line from its 16th character on: true when its specific
// ID is 1, which opens the mapping section.
bool opensMappingSection(const char* line) {
  int id = 0;
  return scanPattern(line + kEncodingOffset, "Specific ID:%4d", &id, 1) == 1 && id == 1;
}

// Reads a mapping line from its 9th character on: true, with `entry` filled,
// when both numbers convert.
bool scanMappingLine(const char* line, CmapEntry* entry) {
  int values[2] = {0, 0};
  if (scanPattern(line + kMappingOffset, "Char %4X -> Index %d", values, 2) != 2) {
    return false;
  }
  entry->code = static_cast<std::uint16_t>(values[0] & 0xFFFF);
  entry->glyph = static_cast<std::uint16_t>(values[1] & 0xFFFF);
  return true;
}

}  // namespace

void clearCmap() {
  std::memset(cmap, 0, sizeof cmap);
  cmapsize = 0;
}

int readCmap(const char* path) {
  std::FILE* file = openInput(path, "r");
  if (file == nullptr) {
    std::printf("CMAP file %s open failed.\n", path);
    return 0;
  }
  clearCmap();
  startLines(&cmapfile, file);
  const char* line = cmapfile.line;
  bool inMapping = false;
  while (readLine(&cmapfile)) {
    CmapEntry entry{};
    if (!inMapping) {
      inMapping = opensMappingSection(line);
    } else if (scanMappingLine(line, &entry)) {
      addEntry(entry);
    }
  }
  std::fclose(file);
  return 1;
}

std::uint16_t getCharCode(int glyphId) {
  return static_cast<std::uint16_t>(cmap[static_cast<unsigned>(glyphId) & 0xFFFFu]);
}
