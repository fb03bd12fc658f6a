#include "readers/cmap.h"

#include <bitset>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "common/scan.h"
#include "common/textfile.h"

long long cmapsize;
bool cmapopened;
long long cmapskipped;
void (*cmaplistener)(const CmapEntry& entry);

namespace {

// The map, indexed by glyph index so that a lookup takes constant time. The
// first mapping line in file order claims an index and sets its code; later
// lines for the same index are passed over.
constexpr std::size_t kGlyphIndexes = 65536;
std::uint16_t cmap[kGlyphIndexes];
std::bitset<kGlyphIndexes> claimed;
LineSource cmapfile;

constexpr int kEncodingOffset = 15;
constexpr int kMappingOffset = 8;

void addEntry(const CmapEntry& entry) {
  if (!claimed.test(entry.glyph)) {
    claimed.set(entry.glyph);
    cmap[entry.glyph] = entry.code;
  }
  ++cmapsize;
  if (cmaplistener != nullptr) {
    cmaplistener(entry);
  }
}

// Reads an encoding line from its 16th character on: true when its specific
// ID is 1, which opens the mapping section.
bool opensMappingSection(Line line) {
  int id = 0;
  return scanPattern(line.from(kEncodingOffset), "Specific ID:%4d", &id, 1) == 1 && id == 1;
}

// Reads "Char XXXX -> Index N" spelled as dumps spell it, with single blanks
// and four hex digits: true, with code and index in values[0] and values[1].
bool readPlainMapping(Line rest, int values[2]) {
  constexpr std::size_t kCode = 5;    // after "Char "
  constexpr std::size_t kIndex = 19;  // after " -> Index "
  return rest.length > kIndex && std::memcmp(rest.text, "Char ", kCode) == 0 &&
         std::memcmp(rest.text + kCode + 4, " -> Index ", kIndex - kCode - 4) == 0 &&
         plainHex4(rest.text + kCode, &values[0]) &&
         plainDecimal(rest.text + kIndex, rest.length - kIndex, &values[1]) != 0;
}

// Reads a mapping line from its 9th character on: true, with `entry` filled,
// when both numbers convert.
bool scanMappingLine(Line line, CmapEntry* entry) {
  const Line rest = line.from(kMappingOffset);
  int values[2] = {0, 0};
  if (!readPlainMapping(rest, values) &&
      scanPattern(rest, "Char %4X -> Index %d", values, 2) != 2) {
    return false;
  }
  entry->code = static_cast<std::uint16_t>(values[0] & 0xFFFF);
  entry->glyph = static_cast<std::uint16_t>(values[1] & 0xFFFF);
  return true;
}

}  // namespace

void clearCmap() {
  std::memset(cmap, 0, sizeof cmap);
  claimed.reset();
  cmapsize = 0;
  cmapopened = false;
  cmapskipped = 0;
}

int readCmap(const char* path) {
  std::FILE* file = openInput(path, "rb");  // line ends are the reader's to read
  if (file == nullptr) {
    std::printf("CMAP file %s open failed.\n", path);
    return 0;
  }
  clearCmap();
  startLines(&cmapfile, file);
  forEachLine(&cmapfile, [](Line line) {
    if (opensMappingSection(line)) {
      cmapopened = true;
      return false;
    }
    CmapEntry entry{};
    cmapskipped += scanMappingLine(line, &entry) ? 1 : 0;
    return true;
  });
  forEachLine(&cmapfile, [](Line line) {
    CmapEntry entry{};
    if (scanMappingLine(line, &entry)) {
      addEntry(entry);
    }
    return true;
  });
  std::fclose(file);
  if (cmapfile.failed) {
    clearCmap();  // part of a map is no map: the run must not go on with it
    return 0;
  }
  return 1;
}

std::uint16_t getCharCode(int glyphId) {
  return cmap[static_cast<unsigned>(glyphId) & 0xFFFFu];
}
