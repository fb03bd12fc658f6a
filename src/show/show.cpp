#include "show/show.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "common/fontfiles.h"
#include "common/outfile.h"
#include "common/scan.h"
#include "common/state.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "show/sheet.h"

namespace {

constexpr int kDefaultScale = 4;

const char kHelp[] =
    "fontgraft-show: draws the glyphs of a firmware image's font table\n"
    "Syntax: fontgraft-show [options] <firmware-file> <first-code> [<last-code>]\n"
    "\n"
    "Codes are hexadecimal, with or without U+ or 0x (4E2D, U+4E2D, 0x4E2D), or\n"
    "the character itself (\xE4\xB8\xAD); a single character that is also a hex digit\n"
    "(A) reads as hex. <last-code> defaults to <first-code>. Each glyph is printed\n"
    "as a line \"U+XXXX 0xADDRESS\" and 16 lines of 16 pixels, # set and . clear;\n"
    "a slot past the end of the image is reported as missing.\n"
    "\n"
    "Options:\n"
    "  --png FILE   write a contact sheet PNG of the range instead of the text;\n"
    "               a range taller than 16,384 pixels is written as pages\n"
    "               FILE-1.png, FILE-2.png, ... (FILE without its .png)\n"
    "  --bdf FILE   write the range's glyphs as a BDF font, one glyph per code\n"
    "  --cmap FILE  with --bdf: write its code map; fontgraft installs the two\n"
    "               back into the same slots (all but U+0000)\n"
    "  --text       with --png or --bdf, print the text as well\n"
    "  --scale N    PNG pixels per glyph pixel, 1 to 16 (default 4)\n"
    "  -h, --help   print this help\n";

// The records of the range, as read from the image.
std::uint8_t records[kCodes][kRecordSize];

struct Request {
  const char* image = nullptr;
  const char* png = nullptr;
  const char* bdf = nullptr;
  const char* cmap = nullptr;
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

// Reads a code: hex digits, optionally after "U+" or "0x", at most 0xFFFF; or
// one character in UTF-8 that is not a hex digit.
bool parseCode(const char* text, std::uint16_t* code) {
  const auto* u = reinterpret_cast<const unsigned char*>(text);
  const std::size_t length = std::strlen(text);
  if (length == 1 && hexDigitValue(u[0]) < 0 && u[0] < 0x80) {
    *code = u[0];
    return true;
  }
  if (length == 2 && (u[0] & 0xE0) == 0xC0 && (u[1] & 0xC0) == 0x80 && u[0] >= 0xC2) {
    *code = static_cast<std::uint16_t>((u[0] & 0x1F) << 6 | (u[1] & 0x3F));
    return true;
  }
  if (length == 3 && (u[0] & 0xF0) == 0xE0 && (u[1] & 0xC0) == 0x80 && (u[2] & 0xC0) == 0x80) {
    const unsigned value = (u[0] & 0x0Fu) << 12 | (u[1] & 0x3Fu) << 6 | (u[2] & 0x3Fu);
    *code = static_cast<std::uint16_t>(value);
    return value >= 0x800 && (value < 0xD800 || value > 0xDFFF);
  }
  return parseHexCode(text, code);
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
      if (!canWriteSheets()) {
        std::fputs("\nThis build has no PNG output: libpng was not found when it was built.\n",
                   stdout);
      }
      return 0;
    }
    if (arg == "--png" || arg == "--scale" || arg == "--bdf" || arg == "--cmap") {
      if (i + 1 >= argc) {
        return fail(arg + " needs a value (see --help)");
      }
      const char* value = argv[++i];
      if (arg == "--scale" && !parseScale(value, &request->scale)) {
        return fail("bad scale \"" + std::string(value) + "\": give a whole number from 1 to 16");
      }
      (arg == "--png"   ? request->png
       : arg == "--bdf" ? request->bdf
                        : request->cmap) = arg == "--scale" ? nullptr : value;
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
                  "\": give a hex number from 0 to FFFF, such as 41, U+0041 or 0x41, or the "
                  "character");
    }
  }
  if (positionals == 2) {
    request->last = request->first;
  }
  if (request->last < request->first) {
    return fail("the range runs backwards: " + codeName(request->last) + " comes before " +
                codeName(request->first));
  }
  if ((request->bdf == nullptr) != (request->cmap == nullptr)) {
    return fail("give --bdf and --cmap together: the font and its code map");
  }
  if (request->png == nullptr && request->bdf == nullptr) {
    request->text = true;
  }
  if (request->png != nullptr && !canWriteSheets()) {
    return fail("this build has no PNG output: libpng was not found when it was built");
  }
  const std::pair<const char*, const char*> outputs[] = {
      {"PNG", request->png}, {"BDF", request->bdf}, {"code map", request->cmap}};
  for (const auto& [kind, path] : outputs) {
    std::error_code ignored;
    if (path != nullptr &&
        std::filesystem::equivalent(std::filesystem::u8path(path),
                                    std::filesystem::u8path(request->image), ignored)) {
      return fail("the " + std::string(kind) + " file " + path +
                  " is the firmware file; give another");
    }
  }
  return -1;
}

// Prints the range as text: a header line per code, then its cell, or
// "missing" for a slot past the end of the image. Every line goes into the
// stream's buffer with fwrite: some C libraries (wine's) flush a stream at each
// line end that printf or fputc write, so that a reader that takes one line and
// goes would fail the rest of a short run.
void printText(const Request& request, int present) {
  char line[kCellSize + 2];
  char header[32];
  for (int code = request.first; code <= request.last; ++code) {
    const int index = code - request.first;
    const auto address = static_cast<unsigned>(slotAddress(static_cast<std::uint16_t>(code)));
    const int length =
        std::snprintf(header, sizeof header, "U+%04X 0x%08X%s\n", static_cast<unsigned>(code),
                      address, index >= present ? " missing" : "");
    std::fwrite(header, 1, static_cast<std::size_t>(length), stdout);
    if (index >= present) {
      continue;
    }
    std::memcpy(fntbuf, records[index], kRecordSize);
    convKUVRA2BDF();
    for (int r = 0; r < kCellSize; ++r) {
      for (int c = 0; c < kCellSize; ++c) {
        line[c] = ((bmpbuf[r] >> (kCellSize - 1 - c)) & 1) != 0 ? '#' : '.';
      }
      line[kCellSize] = '\n';
      std::fwrite(line, 1, kCellSize + 1, stdout);
    }
  }
}

// The name of page `page` (from 1) of a sheet of `pages` pages at `path`:
// the path itself for a sheet of one page, else "-N" before its ".png".
std::string pageName(const std::string& path, int page, int pages) {
  if (pages == 1) {
    return path;
  }
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t cut =
      dot != std::string::npos && (slash == std::string::npos || dot > slash) ? dot : path.size();
  return path.substr(0, cut) + "-" + std::to_string(page) + path.substr(cut);
}

// The files a run writes, each beside its target until the run has
// succeeded.
struct Outputs {
  std::vector<OutFile> files;
  std::vector<std::string> names;  // "PNG file sheet.png", for messages

  int open(const char* kind, const std::string& path) {
    std::string error;
    files.emplace_back();
    names.push_back(kind + path);
    return openOutFile(path, &files.back(), &error)
               ? 0
               : fail("cannot write " + names.back() + ": " + error);
  }
  void drop() {
    for (OutFile& file : files) {
      dropOutFile(&file);
    }
  }
};

// Writes the sheet of the range, in pages where it is taller than a page.
int writePng(const Request& request, int present, Outputs* outputs) {
  const int perPage = sheetRowsPerPage(request.scale) * 16;
  const int firstRow = request.first & ~15;
  const int pages = (request.last - firstRow) / perPage + 1;
  for (int page = 0; page < pages; ++page) {
    const int from = std::max<int>(request.first, firstRow + page * perPage);
    const int to = std::min<int>(request.last, firstRow + (page + 1) * perPage - 1);
    if (outputs->open("PNG file ", pageName(request.png, page + 1, pages)) != 0) {
      return 1;
    }
    const int offset = from - request.first;
    const SheetRange range{static_cast<std::uint16_t>(from), static_cast<std::uint16_t>(to),
                           present - offset, records + offset};
    errno = 0;
    const char* why = nullptr;
    if (!writeSheet(outputs->files.back().file, range, request.scale, &why)) {
      return fail("cannot write " + outputs->names.back() + ": " +
                  (errno != 0 ? reason(errno) : why));
    }
  }
  return 0;
}

// Writes the range's glyphs as a font and its code map, each glyph placed so
// that fontgraft puts it back into its slot bit for bit.
int writeFont(const Request& request, int present, Outputs* outputs) {
  std::vector<CellGlyph> glyphs;
  for (int code = std::max<int>(request.first, 1); code <= request.last; ++code) {
    const int index = code - request.first;
    if (index >= present) {
      break;  // past the end of the image
    }
    std::memcpy(fntbuf, records[index], kRecordSize);
    convKUVRA2BDF();
    CellGlyph glyph{static_cast<std::uint16_t>(code), {}, 16};
    for (int r = 0; r < kCellSize; ++r) {
      glyph.rows[r] = static_cast<std::uint16_t>(bmpbuf[r]);
    }
    glyphs.push_back(glyph);
  }
  const FontHeader header{"Firmware", 16, 14};
  if (outputs->open("BDF file ", request.bdf) != 0) {
    return 1;
  }
  if (!writeBdfFont(outputs->files.back().file, header, glyphs)) {
    return fail("cannot write " + outputs->names.back() + ": " + reason(errno));
  }
  if (outputs->open("code map file ", request.cmap) != 0) {
    return 1;
  }
  if (!writeCodeMapFile(outputs->files.back().file, glyphs)) {
    return fail("cannot write " + outputs->names.back() + ": " + reason(errno));
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
  Outputs outputs;
  if ((request.png != nullptr && writePng(request, present, &outputs) != 0) ||
      (request.bdf != nullptr && writeFont(request, present, &outputs) != 0)) {
    outputs.drop();
    return 1;
  }
  if (request.text) {
    printText(request, present);
  }
  if (checkStandardOutput() != 0) {
    outputs.drop();  // a run that fails leaves no file behind
    return 1;
  }
  for (std::size_t i = 0; i < outputs.files.size(); ++i) {
    std::string error;
    if (!commitOutFile(&outputs.files[i], &error)) {
      outputs.drop();
      return fail("cannot write " + outputs.names[i] + ": " + error);
    }
  }
  return 0;
}
