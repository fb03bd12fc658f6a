#include "show/show.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/outfile.h"
#include "common/scan.h"
#include "common/state.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "show/sheet.h"

namespace {

constexpr int kCodes = 65536;
constexpr int kDefaultScale = 4;

const char kHelp[] =
    "fontgraft-show: draws the glyphs of a firmware image's font table\n"
    "Syntax: fontgraft-show [options] <firmware-file> <first-code> [<last-code>]\n"
    "\n"
    "Codes are hexadecimal, with or without U+ or 0x (41, U+0041, 0x41);\n"
    "<last-code> defaults to <first-code>. Each glyph is printed as a line\n"
    "\"U+XXXX 0xADDRESS\" and 16 lines of 16 pixels, # set and . clear; a slot\n"
    "past the end of the image is reported as missing.\n"
    "\n"
    "Options:\n"
    "  --png FILE   write a contact sheet PNG of the range instead of the text\n"
    "  --text       with --png, print the text as well\n"
    "  --scale N    PNG pixels per glyph pixel, 1 to 16 (default 4)\n"
    "  -h, --help   print this help\n";

// The records of the range, as read from the image.
std::uint8_t records[kCodes][kRecordSize];

struct Request {
  const char* image = nullptr;
  const char* png = nullptr;
  bool text = false;
  int scale = kDefaultScale;
  std::uint16_t first = 0;
  std::uint16_t last = 0;
};

int fail(const std::string& message) {
  std::fprintf(stderr, "fontgraft-show: %s\n", message.c_str());
  return 1;
}

// The system's reason for a failed file operation.
std::string reason(int error) {
  return error != 0 ? std::strerror(error) : "input/output error";
}

// Reads a code: hex digits, optionally after "U+" or "0x", at most 0xFFFF.
bool parseCode(const char* text, std::uint16_t* code) {
  const char* p = text;
  if ((p[0] == 'U' || p[0] == 'u') && p[1] == '+') {
    p += 2;
  } else if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
    p += 2;
  }
  if (*p == '\0') {
    return false;
  }
  unsigned value = 0;
  for (; *p != '\0'; ++p) {
    const int digit = hexDigitValue(static_cast<unsigned char>(*p));
    if (digit < 0) {
      return false;
    }
    value = value * 16 + static_cast<unsigned>(digit);
    if (value > 0xFFFF) {
      return false;
    }
  }
  *code = static_cast<std::uint16_t>(value);
  return true;
}

bool parseScale(const char* text, int* scale) {
  int value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9' || value > kMaxSheetScale) {
      return false;
    }
    value = value * 10 + (*p - '0');
  }
  if (*text == '\0' || value < 1 || value > kMaxSheetScale) {
    return false;
  }
  *scale = value;
  return true;
}

std::string codeName(std::uint16_t code) {
  char name[8];
  std::snprintf(name, sizeof name, "U+%04X", code);
  return name;
}

// Fills `request` from the command line. Returns -1 to go on, else the exit
// status (0 after the help).
int parseArguments(int argc, const char* const* argv, Request* request) {
  const char* positional[3] = {nullptr, nullptr, nullptr};
  int positionals = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (arg == "--png" || arg == "--scale") {
      if (i + 1 >= argc) {
        return fail(arg + " needs a value (see --help)");
      }
      const char* value = argv[++i];
      if (arg == "--png") {
        request->png = value;
      } else if (!parseScale(value, &request->scale)) {
        return fail("bad scale \"" + std::string(value) + "\": give a whole number from 1 to 16");
      }
    } else if (arg == "--text") {
      request->text = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + arg + " (see --help)");
    } else if (positionals == 3) {
      return fail("too many arguments (see --help)");
    } else {
      positional[positionals++] = argv[i];
    }
  }
  if (positionals < 2) {
    return fail("give a firmware file and a first code (see --help)");
  }
  request->image = positional[0];
  for (int k = 1; k < positionals; ++k) {
    std::uint16_t* code = k == 1 ? &request->first : &request->last;
    if (!parseCode(positional[k], code)) {
      return fail("bad code \"" + std::string(positional[k]) +
                  "\": give a hex number from 0 to FFFF, such as 41, U+0041 or 0x41");
    }
  }
  if (positionals == 2) {
    request->last = request->first;
  }
  if (request->last < request->first) {
    return fail("the range runs backwards: " + codeName(request->last) + " comes before " +
                codeName(request->first));
  }
  if (request->png == nullptr) {
    request->text = true;
  } else if (!canWriteSheets()) {
    return fail("this build has no PNG output: libpng was not found when it was built");
  } else {
    std::error_code ignored;
    if (std::filesystem::equivalent(request->png, request->image, ignored)) {
      return fail("the PNG file " + std::string(request->png) +
                  " is the firmware file; give another");
    }
  }
  return -1;
}

// Prints the range as text: a header line per code, then its cell, or
// "missing" for a slot past the end of the image.
void printText(const Request& request, int present) {
  char line[kCellRows + 2];
  for (int code = request.first; code <= request.last; ++code) {
    const int index = code - request.first;
    const auto address = static_cast<unsigned>(slotAddress(static_cast<std::uint16_t>(code)));
    if (index >= present) {
      std::printf("U+%04X 0x%08X missing\n", static_cast<unsigned>(code), address);
      continue;
    }
    std::printf("U+%04X 0x%08X\n", static_cast<unsigned>(code), address);
    std::memcpy(fntbuf, records[index], kRecordSize);
    convKUVRA2BDF();
    for (int r = 0; r < kCellRows; ++r) {
      for (int c = 0; c < kCellRows; ++c) {
        line[c] = ((bmpbuf[r] >> (kCellRows - 1 - c)) & 1) != 0 ? '#' : '.';
      }
      line[kCellRows] = '\n';
      std::fwrite(line, 1, kCellRows + 1, stdout);
    }
  }
}

// Writes the sheet into a new file beside its target; `png` keeps it until
// the run has succeeded.
int writePng(const Request& request, int present, OutFile* png) {
  const std::string path = request.png;
  std::string error;
  if (!openOutFile(path, png, &error)) {
    return fail("cannot write PNG file " + path + ": " + error);
  }
  const SheetRange range{request.first, request.last, present, records};
  errno = 0;
  const char* why = nullptr;
  if (!writeSheet(png->file, range, request.scale, &why)) {
    const int writeErrno = errno;
    dropOutFile(png);
    return fail("cannot write PNG file " + path + ": " +
                (writeErrno != 0 ? reason(writeErrno) : why));
  }
  return 0;
}

// Fails the run when standard output could not take what was printed.
int checkStandardOutput() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    return fail("cannot write to standard output: " + reason(errno));
  }
  return 0;
}

}  // namespace

int runShow(int argc, const char* const* argv) {
  Request request;
  const int status = parseArguments(argc, argv, &request);
  if (status >= 0) {
    return status == 0 ? checkStandardOutput() : status;
  }
  errno = 0;
  std::FILE* image = std::fopen(request.image, "rb");
  const int count = request.last - request.first + 1;
  const int present = image != nullptr ? readKuvraFont(image, request.first, count, records) : -1;
  const int readErrno = errno;
  if (image != nullptr) {
    std::fclose(image);
  }
  if (present < 0) {
    return fail("cannot read firmware file " + std::string(request.image) + ": " +
                reason(readErrno));
  }
  OutFile png;
  if (request.png != nullptr && writePng(request, present, &png) != 0) {
    return 1;
  }
  if (request.text) {
    printText(request, present);
  }
  if (checkStandardOutput() != 0) {
    dropOutFile(&png);  // a run that fails leaves no sheet behind
    return 1;
  }
  std::string error;
  if (request.png != nullptr && !commitOutFile(&png, &error)) {
    return fail("cannot write PNG file " + std::string(request.png) + ": " + error);
  }
  return 0;
}
