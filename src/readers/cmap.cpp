#include "readers/cmap.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "common/scan.h"
#include "common/textfile.h"

long long cmapsize;

namespace {

constexpr int kEncodingOffset = 15;
constexpr int kMappingOffset = 8;

void addEntry(CmapReader* reader, const CmapEntry& entry, long number) {
  if (!reader->claimed.test(entry.glyph)) {
    reader->claimed.set(entry.glyph);
    reader->codes[entry.glyph] = entry.code;
  }
  ++reader->size;
  if (reader->listener != nullptr && reader->listener->mapping != nullptr) {
    reader->listener->mapping(reader->listener->context, entry, number);
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

bool contains(Line line, const char* text) {
  const std::size_t n = std::strlen(text);
  for (std::size_t i = 0; i + n <= line.length; ++i) {
    if (std::memcmp(line.text + i, text, n) == 0) {
      return true;
    }
  }
  return false;
}

// Whether the first line of a file looks like UTF-16 text: a byte order
// mark, or a NUL in its first two bytes.
bool looksWide(Line line) {
  const auto* u = reinterpret_cast<const unsigned char*>(line.text);
  return line.length >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF) ||
                              u[0] == 0 || u[1] == 0);
}

// A line of the mapping section that is no mapping line: the listener hears
// of it when it looks like one.
void passOver(const CmapReader* reader, Line line, long number) {
  const CmapListener* listener = reader->listener;
  if (listener != nullptr && listener->passedOver != nullptr &&
      (contains(line, "Char") || contains(line, "->"))) {
    listener->passedOver(listener->context, line, number);
  }
}

// The utility's code map.
CmapReader cmapreader;

}  // namespace

void clearCodeMap(CmapReader* reader) {
  std::memset(reader->codes, 0, sizeof reader->codes);
  reader->claimed.reset();
  reader->size = 0;
  reader->opened = false;
  reader->skipped = 0;
  reader->wide = false;
}

bool readCodeMap(CmapReader* reader, std::FILE* file, const CmapListener* listener) {
  clearCodeMap(reader);
  reader->listener = listener;
  startLines(&reader->source, file);
  forEachLine(&reader->source, [reader](Line line, long number) {
    reader->wide = reader->wide || (number == 1 && looksWide(line));
    if (opensMappingSection(line)) {
      reader->opened = true;
      return false;
    }
    CmapEntry entry{};
    reader->skipped += scanMappingLine(line, &entry) ? 1 : 0;
    return true;
  });
  forEachLine(&reader->source, [reader](Line line, long number) {
    CmapEntry entry{};
    if (scanMappingLine(line, &entry)) {
      addEntry(reader, entry, number);
    } else {
      passOver(reader, line, number);
    }
    return true;
  });
  reader->listener = nullptr;
  if (reader->source.failed) {
    clearCodeMap(reader);  // part of a map is no map: the run must not go on with it
    return false;
  }
  return true;
}

void clearCmap() {
  clearCodeMap(&cmapreader);
  cmapsize = 0;
}

int readCmap(const char* path) {
  std::FILE* file = openInput(path, "rb");  // line ends are the reader's to read
  if (file == nullptr) {
    std::printf("CMAP file %s open failed.\n", path);
    return 0;
  }
  const bool read = readCodeMap(&cmapreader, file, nullptr);
  std::fclose(file);
  cmapsize = cmapreader.size;
  return read ? 1 : 0;
}

std::uint16_t getCharCode(int glyphId) {
  return codeOf(cmapreader, glyphId);
}
