#include "check/check.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/scan.h"
#include "common/state.h"
#include "firmware/table.h"
#include "readers/bdf.h"
#include "readers/cmap.h"

namespace {

const char kHelp[] =
    "fontgraft-check: says what installing a font would do, before it is done\n"
    "Syntax: fontgraft-check [--list] [<firmware-file>] <font-file(.bdf)> -c <cmap-file>\n"
    "\n"
    "Reads the font and the code map as fontgraft does and writes nothing. Prints\n"
    "how many glyphs would be written, which codes of the code map would stay\n"
    "blank and why, which slots would be written twice, and which glyphs would\n"
    "lose pixels; with a firmware file, also whether it holds every slot.\n"
    "\n"
    "Exit status: 0 when every code of the code map would get its glyph whole;\n"
    "1 on a usage or file error; 2 when something would be lost or left blank,\n"
    "or nothing at all would be written.\n"
    "\n"
    "Options:\n"
    "  --list       one line for each code or glyph affected\n"
    "  -h, --help   print this help\n";

// Ways a glyph loses pixels, in the order they are reported.
enum Loss { kAbove, kBelow, kLeft, kRight, kWidth, kLosses };
const char* const kLossText[kLosses] = {"above the cell", "below the cell", "past the left side",
                                        "past the right side",
                                        "in rows not 2 or 4 hex digits wide, stored blank"};

// What the font and the code map come to.
struct Findings {
  long glyphs = 0;
  long withoutId = 0;
  long withCode = 0;
  std::vector<CmapEntry> lines;       // every mapping line, in file order
  std::vector<std::uint32_t> writes;  // code << 16 | glyph ID, for every glyph written
  bool inFont[kCodes] = {};           // glyph IDs the font holds
  int timesWritten[kCodes] = {};      // per code
  long lost[kLosses] = {};            // pixels lost, by cause
  long losingGlyphs = 0;
  long slots = 0;
  long blank[3] = {};             // codes left blank: glyph written earlier, missing, code 0
  long twice = 0;                 // slots written more than once
  std::vector<std::string> list;  // one line per affected code, for --list
};

Findings findings;
bool listing;             // --list: gather one line per affected code
long glyphLoss[kLosses];  // pixels the glyph being read loses, by cause

// "1 slot", "2 slots".
std::string count(long n, const char* thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

int pixelsOf(int value) {
  return __builtin_popcount(static_cast<unsigned>(value) & 0xFFFFu);
}

// Pixels of a row line of any width: the set bits of its hex digits.
int pixelsOfLine(Line line) {
  int pixels = 0;
  for (std::size_t i = 0; i < line.length && line.text[i] != '\r' && line.text[i] != '\n'; ++i) {
    const int digit = hexDigitValue(static_cast<unsigned char>(line.text[i]));
    pixels += digit > 0 ? __builtin_popcount(static_cast<unsigned>(digit)) : 0;
  }
  return pixels;
}

// Where the pixels of each row line go, as the glyph reader places it.
void countRow(Line line, long long cellRow, int value, long long shift) {
  if (value < 0) {
    glyphLoss[kWidth] += pixelsOfLine(line);
  } else if (cellRow < 0 || cellRow >= kCellSize) {
    glyphLoss[cellRow < 0 ? kAbove : kBelow] += pixelsOf(value);
  } else {
    glyphLoss[shift < 0 ? kLeft : kRight] += pixelsOf(value) - pixelsOf(shiftRow(value, shift));
  }
}

void keepLine(const CmapEntry& entry) {
  findings.lines.push_back(entry);
}

// "U+4E00 一": the code and, where it is a printable character, the character.
std::string codeName(unsigned code) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", code);
  std::string name = text;
  if (code < 0x20 || (code >= 0x7F && code <= 0xA0) || (code >= 0xD800 && code <= 0xDFFF) ||
      code >= 0xFFFE) {
    return name;
  }
  name += ' ';
  if (code < 0x80) {
    name += static_cast<char>(code);
  } else if (code < 0x800) {
    name += static_cast<char>(0xC0 | code >> 6);
    name += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    name += static_cast<char>(0xE0 | code >> 12);
    name += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    name += static_cast<char>(0x80 | (code & 0x3F));
  }
  return name;
}

std::string glyphName(unsigned glyph) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", glyph);
  return text;
}

// Reads the font glyph by glyph as the utility does, with the code each glyph
// gets and the pixels it would lose. False when reading fails.
bool readFont(const char* path) {
  Findings& f = findings;
  if (!openFont(path)) {
    return false;
  }
  rowlistener = countRow;
  std::fill(std::begin(glyphLoss), std::end(glyphLoss), 0);
  while (getFont() != kEndOfFont) {
    ++f.glyphs;
    const auto glyph = static_cast<unsigned>(glyphid) & 0xFFFFu;
    const std::uint16_t code = hasglyphid ? getCharCode(glyphid) : 0;
    f.withoutId += hasglyphid ? 0 : 1;
    f.inFont[glyph] = f.inFont[glyph] || hasglyphid;
    long total = 0;
    std::string causes;
    for (int k = 0; k < kLosses && code != 0; ++k) {
      total += glyphLoss[k];
      f.lost[k] += glyphLoss[k];
      if (listing && glyphLoss[k] > 0) {
        causes += (causes.empty() ? "" : ", ") + std::to_string(glyphLoss[k]) + " " + kLossText[k];
      }
    }
    std::fill(std::begin(glyphLoss), std::end(glyphLoss), 0);
    if (code == 0) {
      continue;
    }
    ++f.withCode;
    f.slots += f.timesWritten[code]++ == 0 ? 1 : 0;
    f.writes.push_back(static_cast<std::uint32_t>(code) << 16 | glyph);
    f.losingGlyphs += total > 0 ? 1 : 0;
    if (listing && total > 0) {
      f.list.push_back(codeName(code) + " (glyph " + glyphName(glyph) + ") loses " +
                       count(total, "pixel") + ": " + causes);
    }
  }
  rowlistener = nullptr;
  const bool whole = !fontReadFailed();
  closeFont();
  return whole;
}

// The codes of the code map that no glyph would be written at, by cause; the
// slots written more than once.
void findBlanksAndTwice() {
  Findings& f = findings;
  std::vector<bool> seen(kCodes, false);
  for (const CmapEntry& line : f.lines) {
    if (line.code == 0 || seen[line.code] || f.timesWritten[line.code] != 0) {
      continue;
    }
    seen[line.code] = true;
    const std::uint16_t first = getCharCode(line.glyph);  // where the glyph goes
    const int cause = !f.inFont[line.glyph] ? 1 : first == 0 ? 2 : 0;
    ++f.blank[cause];
    if (!listing) {
      continue;
    }
    const std::string glyph = "its glyph " + glyphName(line.glyph);
    const std::string why[] = {glyph + " is written at " + codeName(first),
                               glyph + " is not in the font",
                               glyph + " is given code 0 by an earlier line"};
    f.list.push_back(codeName(line.code) + " blank: " + why[cause]);
  }
  std::vector<std::string> glyphsAt(kCodes);
  for (std::uint32_t write : f.writes) {
    const unsigned code = write >> 16;
    if (listing && f.timesWritten[code] > 1) {
      glyphsAt[code] += (glyphsAt[code].empty() ? "" : ", then ") + glyphName(write & 0xFFFFu);
    }
  }
  for (unsigned code = 1; code < kCodes; ++code) {
    if (f.timesWritten[code] > 1) {
      ++f.twice;
    }
    if (listing && f.timesWritten[code] > 1) {
      f.list.push_back(codeName(code) + " written " + std::to_string(f.timesWritten[code]) +
                       " times: glyph " + glyphsAt[code] + " (the last wins)");
    }
  }
}

// Why a file cannot be read, or "" when it can.
std::string unreadable(const char* path) {
  errno = 0;
  std::FILE* file = std::fopen(path, "rb");
  const bool read = file != nullptr && (std::fgetc(file) != EOF || std::ferror(file) == 0);
  const int error = errno;
  if (file != nullptr) {
    std::fclose(file);
  }
  return read ? "" : std::strerror(error != 0 ? error : EIO);
}

// The first bytes of a file, to tell a font from a code map.
std::string startOf(const char* path) {
  char head[32] = {};
  std::FILE* file = std::fopen(path, "rb");
  if (file != nullptr) {
    head[std::fread(head, 1, sizeof head - 1, file)] = '\0';
    std::fclose(file);
  }
  return head;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "fontgraft-check: %s\n", message.c_str());
  return 1;
}

void printSummary() {
  const Findings& f = findings;
  std::printf("font: %s, %ld without a glyph ID, %ld with a code in the code map\n",
              count(f.glyphs, "glyph").c_str(), f.withoutId, f.withCode);
  if (cmapopened) {
    std::printf("code map: %s read; %lld before the line \"Specific ID: 1\" passed over\n",
                count(static_cast<long>(f.lines.size()), "mapping line").c_str(), cmapskipped);
  } else {
    std::printf(
        "code map: no line \"Specific ID: 1\" (at its 16th character), so no mapping line "
        "is read; %lld passed over\n",
        cmapskipped);
  }
  std::printf("install: %s written\n", count(f.slots, "slot").c_str());
  std::printf(
      "blank: %s of the code map stay blank: %ld whose glyph is written at an "
      "earlier code, %ld whose glyph is not in the font, %ld whose glyph is given code 0\n",
      count(f.blank[0] + f.blank[1] + f.blank[2], "code").c_str(), f.blank[0], f.blank[1],
      f.blank[2]);
  std::printf("twice: %s written more than once (the last glyph wins)\n",
              count(f.twice, "slot").c_str());
  long pixels = 0;
  std::string causes;
  for (int k = 0; k < kLosses; ++k) {
    pixels += f.lost[k];
    if (f.lost[k] > 0) {
      causes += "; " + std::to_string(f.lost[k]) + " " + kLossText[k];
    }
  }
  std::printf("lost: %s in %s%s\n", count(pixels, "pixel").c_str(),
              count(f.losingGlyphs, "glyph").c_str(), causes.c_str());
}

// Says whether the image holds every slot the install writes; true when it
// is shorter and would grow.
bool imageGrows(const char* path) {
  std::FILE* image = std::fopen(path, "rb");
  long size = 0;
  if (image != nullptr) {
    size = std::fseek(image, 0, SEEK_END) == 0 ? std::ftell(image) : 0;
    std::fclose(image);
  }
  unsigned last = 0;
  for (unsigned code = 1; code < kCodes; ++code) {
    last = findings.timesWritten[code] > 0 ? code : last;
  }
  const long needed =
      last > 0 ? static_cast<long>(slotAddress(static_cast<std::uint16_t>(last))) + 32 : 0;
  if (size >= needed) {
    std::printf("image: %ld bytes, holds every slot written\n", size);
    return false;
  }
  std::printf("image: %ld bytes, shorter than the slots written: it would grow to %ld bytes\n",
              size, needed);
  return true;
}

}  // namespace

int runCheck(int argc, const char* const* argv) {
  std::vector<const char*> files;
  const char* cmapPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return std::fflush(stdout) == 0 ? 0 : fail("cannot write to standard output");
    }
    if (arg == "--list") {
      listing = true;
    } else if (arg == "-c") {
      if (i + 1 == argc) {
        return fail("-c needs the code map file (see --help)");
      }
      cmapPath = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + arg +
                  " (the code map comes after -c, spelled so: fontgraft reads no code map after "
                  "any other word; see --help)");
    } else {
      files.push_back(argv[i]);
    }
  }
  if (cmapPath == nullptr || files.empty() || files.size() > 2) {
    return fail("give the font and, after -c, the code map (see --help)");
  }
  const char* imagePath = files.size() == 2 ? files[0] : nullptr;
  const char* fontPath = files.back();
  for (const char* path : {cmapPath, fontPath}) {
    const std::string why = unreadable(path);
    if (!why.empty()) {
      return fail(std::string("cannot read ") + (path == cmapPath ? "the code map " : "the font ") +
                  path + ": " + why);
    }
  }
  cmaplistener = keepLine;
  const bool mapRead = readCmap(cmapPath) == 1;
  cmaplistener = nullptr;
  if (!mapRead || !readFont(fontPath)) {
    return fail(std::string("cannot read ") + (mapRead ? "the font " : "the code map ") +
                (mapRead ? fontPath : cmapPath) + ": input/output error");
  }
  findBlanksAndTwice();
  if (imagePath != nullptr && !unreadable(imagePath).empty()) {
    return fail("cannot read the firmware file " + std::string(imagePath) + ": " +
                unreadable(imagePath));
  }
  printSummary();
  const bool grows = imagePath != nullptr && imageGrows(imagePath);
  if (listing) {
    for (const std::string& line : findings.list) {
      std::printf("%s\n", line.c_str());
    }
  }

  const Findings& f = findings;
  const bool lost = std::any_of(std::begin(f.lost), std::end(f.lost), [](long n) { return n > 0; });
  const bool blank = f.blank[0] + f.blank[1] + f.blank[2] > 0;
  int status = 2;
  if (f.slots == 0) {
    std::string why = "nothing would be written";
    if (startOf(cmapPath).rfind("STARTFONT", 0) == 0 || startOf(fontPath).rfind("cmap", 0) == 0) {
      why +=
          ": the font and the code map look swapped (the font comes first, the code map "
          "after -c)";
    } else if (!cmapopened) {
      why += ": the code map has no mapping section";
    } else if (f.glyphs == 0) {
      why += ": the font holds no glyph";
    } else if (f.withoutId == f.glyphs) {
      why += ": no glyph name carries a glyph ID (STARTCHAR glyphID:XXXX)";
    } else {
      why += ": no glyph ID of the font is in the code map";
    }
    std::printf("%s\n", why.c_str());
  } else if (blank || lost || f.twice > 0 || grows) {
    std::printf("not ready: something would be lost or left blank%s\n",
                listing ? "" : " (--list names each code)");
  } else {
    std::printf("ready: every code of the code map gets its glyph, whole\n");
    status = 0;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    return fail("cannot write to standard output");
  }
  return status;
}
