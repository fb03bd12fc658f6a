#include "reference.h"

#include <cstdio>
#include <cstring>

namespace reference {

namespace {

// Calls `take` with every line of `text` as fgets reads it into a 255-byte
// buffer that is cleared before every read.
template <typename Take>
void eachLine(const std::string& text, Take take) {
  if (text.empty()) {
    return;
  }
  std::string copy = text;
  std::FILE* file = fmemopen(copy.data(), copy.size(), "r");
  char line[255];
  for (;;) {
    std::memset(line, 0, sizeof line);
    if (std::fgets(line, 254, file) == nullptr || !take(line)) {
      break;
    }
  }
  std::fclose(file);
}

int placeValue(char c) {
  const char digits[] = "0123456789abcdef0123456789ABCDEF";
  const char* at = c == '\0' ? nullptr : std::strchr(digits, c);
  return at == nullptr ? 0 : static_cast<int>(at - digits) % 16;
}

}  // namespace

std::vector<Glyph> readFont(const std::string& font) {
  std::vector<Glyph> glyphs;
  int fbbx[4] = {0, 0, 0, 0};
  Glyph glyph{};
  int bbx[4] = {0, 0, 0, 0};
  bool inBitmap = false;
  auto startGlyph = [&] {
    glyph = Glyph{};
    std::memset(bbx, 0, sizeof bbx);
    inBitmap = false;
  };
  startGlyph();
  eachLine(font, [&](char* line) {
    if (!inBitmap) {
      if (std::strncmp(line, "FONTBOUNDINGBOX", 15) == 0) {
        std::sscanf(line, "FONTBOUNDINGBOX %d %d %d %d", &fbbx[0], &fbbx[1], &fbbx[2], &fbbx[3]);
      } else if (std::strncmp(line, "STARTCHAR", 9) == 0) {
        unsigned id = 0;
        glyph.hasId = std::sscanf(line, "STARTCHAR glyphID:%4x", &id) == 1;
        glyph.id = glyph.hasId ? static_cast<int>(id) : 0;
      } else if (std::strncmp(line, "BBX", 3) == 0) {
        std::sscanf(line, "BBX %d %d %d %d", &bbx[0], &bbx[1], &bbx[2], &bbx[3]);
      } else if (std::strncmp(line, "BITMAP", 6) == 0) {
        inBitmap = true;
      }
      return true;
    }
    if (std::strncmp(line, "ENDCHAR", 7) == 0) {
      glyphs.push_back(glyph);
      startGlyph();
      return true;
    }
    int places = 0;
    if (line[2] == '\r' || line[2] == '\n') {
      places = 2;
    } else if (line[4] == '\r' || line[4] == '\n') {
      places = 4;
    }
    if (places != 0) {
      long long value = 0;
      for (int i = 0; i < 4; ++i) {
        value = value * 16 + (i < places ? placeValue(line[i]) : 0);
      }
      const long long r =
          static_cast<long long>(fbbx[1]) + fbbx[3] - bbx[1] - bbx[3] + 2 + glyph.rows;
      const long long s = static_cast<long long>(bbx[2]) + 2;
      if (r >= 0 && r <= 15) {
        long long shifted = 0;
        if (s >= 0 && s <= 15) {
          shifted = value >> s;
        } else if (s < 0 && s > -16) {
          shifted = (value << -s) % 65536;
        }
        glyph.cell[r] = static_cast<int>(shifted);
      }
    }
    ++glyph.rows;
    return true;
  });
  if (inBitmap) {
    glyphs.push_back(glyph);
  }
  return glyphs;
}

std::vector<Mapping> readCmap(const std::string& text) {
  std::vector<Mapping> map;
  bool inMapping = false;
  eachLine(text, [&](char* line) {
    if (!inMapping) {
      int id = 0;
      inMapping = std::sscanf(line + 15, "Specific ID:%4d", &id) == 1 && id == 1;
    } else {
      unsigned code = 0;
      int index = 0;
      if (std::sscanf(line + 8, "Char %4X -> Index %d", &code, &index) == 2) {
        map.push_back(
            {static_cast<std::uint16_t>(index & 0xFFFF), static_cast<std::uint16_t>(code)});
      }
    }
    return true;
  });
  return map;
}

std::uint16_t lookup(const std::vector<Mapping>& map, int id) {
  for (const Mapping& m : map) {
    if (m.glyph == (id & 0xFFFF)) {
      return m.code;
    }
  }
  return 0;
}

std::string pack(const int cell[16]) {
  std::string record(32, '\0');
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 16; ++c) {
      if ((cell[r] >> (15 - c)) & 1) {
        record[static_cast<std::size_t>((r / 8) * 16 + c)] |= static_cast<char>(1 << (r % 8));
      }
    }
  }
  return record;
}

Install install(const std::vector<Glyph>& glyphs, const std::vector<Mapping>& map) {
  Install result;
  for (const Glyph& glyph : glyphs) {
    const std::uint16_t code = glyph.hasId ? lookup(map, glyph.id) : 0;
    if (code == 0) {
      continue;
    }
    const std::uint32_t address = 0x34C928u + 32u * code;
    result.records[address] = pack(glyph.cell);
    char text[64];
    std::snprintf(text, sizeof text, "address:0x%08X font:U+%04X\n", address, code);
    result.out += text;
  }
  return result;
}

}  // namespace reference
