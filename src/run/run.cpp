#include "run/run.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/state.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "readers/bdf.h"
#include "readers/cmap.h"

namespace {

// Argument positions after the program name.
constexpr int kImageArg = 1;
constexpr int kFontArg = 2;
constexpr int kOptionArg = 3;
constexpr int kCmapArg = 4;

// The report lines, gathered and handed to standard output in large writes
// rather than one call per line.
constexpr char kReportLine[] = "address:0x00000000 font:U+0000\n";
constexpr std::size_t kReportLength = sizeof kReportLine - 1;
char reports[kReportLength * 2048];
std::size_t reportsUsed;

void flushReports() {
  std::fwrite(reports, 1, reportsUsed, stdout);
  reportsUsed = 0;
}

// The two upper-case hex digits of every byte value.
constexpr std::array<char, 512> makeHexPairs() {
  std::array<char, 512> pairs{};
  for (unsigned b = 0; b < 256; ++b) {
    pairs[2 * b] = "0123456789ABCDEF"[b >> 4];
    pairs[2 * b + 1] = "0123456789ABCDEF"[b & 0xFu];
  }
  return pairs;
}
constexpr std::array<char, 512> kHexPairs = makeHexPairs();

// Puts the hex digits of `value` into text[0 .. 2 * bytes - 1], upper case,
// most significant first, two at a time.
void putHex(char* text, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    std::memcpy(text + 2 * i, &kHexPairs[2 * (value & 0xFFu)], 2);
    value >>= 8;
  }
}

// Prints the report line "address:0x%08X font:U+%04X" for a written slot.
void printReport(std::uint32_t slot, std::uint16_t code) {
  if (reportsUsed + kReportLength > sizeof reports) {
    flushReports();
  }
  char* text = reports + reportsUsed;
  std::memcpy(text, kReportLine, kReportLength);
  putHex(text + 10, slot, 4);
  putHex(text + 26, code, 2);
  reportsUsed += kReportLength;
}

// The glyph just read: pack it, find its character code and, when it has one,
// put its record at the code's slot and report the slot.
void placeGlyph() {
  convBDF2KUVRA();
  if (!hasglyphid) {
    return;  // no ID in its name: nothing to look up
  }
  uccode = getCharCode(glyphid & 0xFFFF);
  if (uccode == 0) {
    return;
  }
  address = slotAddress(uccode);
  if (isValidAddress(address) != 0) {
    writeKuvraFont(address);
    printReport(address, uccode);
  }
}

}  // namespace

void printUsage() {
  std::fputs(
      "kuvra firmware font put utility\n"
      "Syntax: fontgraft <firmware-file> <font-file(.bdf)> -c <cmap-file>\n"
      "\n",
      stdout);
}

int runFontgraft(int argc, const char* const* argv) {
  clearCmap();
  const int args = argc - 1;
  if (args < 4) {
    printUsage();
    return 1;
  }
  const char* option = argv[kOptionArg];
  if (option[0] == '-') {
    if (option[1] == 'c' && readCmap(argv[kCmapArg]) != 1) {
      std::puts("CMAP file read failed.");
      return 1;
    }
  } else if (args < 5) {
    printUsage();
    return 1;
  }

  std::FILE* image = openImage(argv[kImageArg]);
  if (image == nullptr) {
    std::puts("firmware file open failed.");
    return 1;
  }
  if (!openFont(argv[kFontArg])) {
    std::puts("input file open failed.");
    std::fclose(image);  // nothing was written to it
    return 1;
  }

  while (getFont() != kEndOfFont) {
    placeGlyph();
  }
  flushReports();
  int status = 0;
  if (fontReadFailed()) {
    // Part of a font is not the font: no record goes in, the image stays as
    // it was.
    std::puts("input file read failed.");
    discardKuvraFont();
    status = 1;
  } else if (!flushKuvraFont(image)) {
    status = 1;
  }
  if (!closeFont()) {
    std::puts("input file close failed.");
  }
  if (std::fclose(image) != 0) {
    std::puts("input file close failed.");
    status = 1;
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    // The report is lost (a closed pipe, a full device); the records are in
    // the image all the same. Standard error is the only place left to say so.
    std::fputs("standard output write failed.\n", stderr);
    status = 1;
  }
  return status;
}
