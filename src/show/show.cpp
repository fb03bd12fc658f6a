#include "show/show.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/cli.h"
#include "common/fontfiles.h"
#include "common/outfile.h"
#include "common/scan.h"
#include "common/state.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "show/sheet.h"

namespace {

constexpr int kDefaultScale = 4;

const char kProgram[] = "fontgraft-show";

const char kHelp[] =
    "fontgraft-show: draws the glyphs of a firmware image's font table\n"
    "Syntax: fontgraft-show [options] <firmware-file> <first-code> [<last-code>]\n"
    "        fontgraft-show [--png FILE] [--scale N] --sample TEXT <firmware-file>\n"
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
    "  --sample TEXT  draw TEXT (UTF-8; a newline or \\n breaks the line) as the\n"
    "               device shows it, the glyphs side by side; a character above\n"
    "               U+FFFF or past the end of the image is a marked empty cell\n"
    "               (? in the text, light red in the PNG)\n"
    "  --version    print the version\n"
    "  -h, --help   print this help\n";

const char kNoPng[] = "\nThis build has no PNG output: libpng was not found when it was built.\n";

// The records of the range, as read from the image.
std::uint8_t records[kCodes][kRecordSize];

struct Request {
  const char* image = nullptr;
  const char* png = nullptr;
  const char* bdf = nullptr;
  const char* cmap = nullptr;
  const char* sample = nullptr;
  std::vector<std::vector<std::uint32_t>> sampleLines;  // the sample's characters, by line
  bool text = false;
  int scale = kDefaultScale;
  std::uint16_t first = 0;
  std::uint16_t last = 0;
};

int fail(const std::string& message) {
  return failRun(kProgram, message);
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

// "1 character", "2 characters".
std::string count(long n, const char* thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

// Where the PNG sheet of the range goes: the path for one page, else a file
// for each page.
std::vector<std::string> pngPaths(const Request& request);

// The characters of a sample text, line by line: UTF-8, with a newline or the
// two characters "\n" between lines. False when the text is not UTF-8.
bool decodeSample(const char* text, std::vector<std::vector<std::uint32_t>>* lines) {
  const auto* u = reinterpret_cast<const unsigned char*>(text);
  lines->assign(1, {});
  while (*u != '\0') {
    if (*u == '\n' || (u[0] == '\\' && u[1] == 'n')) {
      u += *u == '\n' ? 1 : 2;
      lines->emplace_back();
      continue;
    }
    const int length = *u < 0x80             ? 1
                       : (*u & 0xE0) == 0xC0 ? 2
                       : (*u & 0xF0) == 0xE0 ? 3
                       : (*u & 0xF8) == 0xF0 ? 4
                                             : 0;
    std::uint32_t code = length == 1 ? *u : *u & (0x7Fu >> length);
    for (int i = 1; i < length; ++i) {
      if ((u[i] & 0xC0) != 0x80) {
        return false;  // also at the text's end, whose NUL is no continuation byte
      }
      code = code << 6 | (u[i] & 0x3Fu);
    }
    constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (length == 0 || code < kLeast[length] || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    lines->back().push_back(code);
    u += length;
  }
  return true;
}

// Fills `request` from the command line. Returns -1 to go on, else the exit
// status (0 after the help or the version).
int parseArguments(int argc, const char* const* argv, Request* request) {
  static const std::vector<OptionRule> kOptions = {
      {"--help", "-h", false},    {"--version", nullptr, false}, {"--png", nullptr, true},
      {"--bdf", nullptr, true},   {"--cmap", nullptr, true},     {"--scale", nullptr, true},
      {"--text", nullptr, false}, {"--sample", nullptr, true}};
  std::vector<Argument> arguments;
  std::string error;
  if (!splitArguments(argc, argv, kOptions, &arguments, &error)) {
    return fail(error);
  }
  std::vector<const char*> positional;
  for (const Argument& argument : arguments) {
    const std::string name = argument.option != nullptr ? argument.option->name : "";
    const char* value = argument.value;
    if (name == "--help") {
      return printText(kProgram, std::string(kHelp) + (canWriteSheets() ? "" : kNoPng));
    }
    if (name == "--version") {
      return printVersion(kProgram);
    }
    if (name == "--scale" && !parseScale(value, &request->scale)) {
      return fail("bad scale \"" + std::string(value) + "\": give a whole number from 1 to 16");
    }
    if (name == "--png" || name == "--bdf" || name == "--cmap" || name == "--sample") {
      (name == "--png"    ? request->png
       : name == "--bdf"  ? request->bdf
       : name == "--cmap" ? request->cmap
                          : request->sample) = value;
    }
    request->text = request->text || name == "--text";
    if (name.empty()) {
      positional.push_back(value);
    }
  }
  const std::size_t codes = request->sample != nullptr ? 0 : 2;
  if (positional.size() > codes + 1) {
    return fail(request->sample != nullptr
                    ? "with --sample give the firmware file alone, no codes (see --help)"
                    : "too many arguments (see --help)");
  }
  if (positional.size() < (codes == 0 ? 1 : 2)) {
    return fail(codes == 0 ? "give the firmware file after the sample (see --help)"
                           : "give a firmware file and a first code (see --help)");
  }
  request->image = positional[0];
  for (std::size_t k = 1; k < positional.size(); ++k) {
    std::uint16_t* code = k == 1 ? &request->first : &request->last;
    if (!parseCode(positional[k], code)) {
      return fail("bad code \"" + std::string(positional[k]) +
                  "\": give a hex number from 0 to FFFF, such as 41, U+0041 or 0x41, or the "
                  "character");
    }
  }
  if (positional.size() == 2) {
    request->last = request->first;
  }
  if (request->last < request->first) {
    return fail("the range runs backwards: " + codeName(request->last) + " comes before " +
                codeName(request->first));
  }
  if (request->sample != nullptr && !decodeSample(request->sample, &request->sampleLines)) {
    return fail("the sample is not UTF-8 text");
  }
  if (request->sample != nullptr && request->bdf != nullptr) {
    return fail("--bdf and --cmap save a range of codes, not a sample (see --help)");
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

// The first code of each page of the range's sheet, and the code past the last.
std::vector<int> pageStarts(const Request& request) {
  const int perPage = sheetRowsPerPage(request.scale) * 16;
  const int firstRow = request.first & ~15;
  std::vector<int> starts = {request.first};
  for (int row = firstRow + perPage; row <= request.last; row += perPage) {
    starts.push_back(row);
  }
  starts.push_back(request.last + 1);
  return starts;
}

std::vector<std::string> pngPaths(const Request& request) {
  if (request.sample != nullptr) {
    return {request.png};
  }
  const int pages = static_cast<int>(pageStarts(request).size()) - 1;
  std::vector<std::string> paths;
  for (int page = 1; page <= pages; ++page) {
    paths.push_back(pageName(request.png, page, pages));
  }
  return paths;
}

// The files a run writes, each beside its target until the run has
// succeeded, then all moved into place or none; pages of an earlier, longer
// sheet removed with them.
struct Outputs {
  OutputSet set;
  std::vector<std::string> paths;
  std::vector<std::string> names;  // "PNG file sheet.png", for messages
  std::FILE* last = nullptr;       // the file opened last
  std::string lacking;             // what the files lack, said after the commit (status 2)

  int open(const char* kind, const std::string& path) {
    std::string error;
    names.push_back(kind + path);
    paths.push_back(path);
    last = set.add(path, &error);
    return last != nullptr ? 0 : fail("cannot write " + names.back() + ": " + error);
  }
  int commit() {
    std::string failed;
    std::string error;
    if (!set.commit(&failed, &error)) {
      const auto named = std::find(paths.begin(), paths.end(), failed);
      return fail(
          "cannot write " +
          (named != paths.end() ? names[static_cast<std::size_t>(named - paths.begin())] : failed) +
          ": " + error);
    }
    if (!lacking.empty()) {
      std::fprintf(stderr, "%s: %s\n", kProgram, lacking.c_str());
      return 2;
    }
    return 0;
  }
};

// The most pages a sheet can have: one row of 16 codes a page at least.
constexpr int kMaxPages = kCodes / 16;

// Pages of a sheet written by an earlier run with more pages than this one
// (`pages`), which would stand beside the new ones: files named as pages,
// numbered after the new last one, each a PNG. They go with the commit.
void dropStalePages(const std::string& path, int pages, Outputs* outputs) {
  static const std::string kPngSignature = "\x89PNG\r\n\x1a\n";
  for (int page = pages == 1 ? 1 : pages + 1; page <= kMaxPages; ++page) {
    const std::string name = pageName(path, page, kMaxPages);
    if (!regularFileStartsWith(name, kPngSignature) || !outputs->set.removeWith(name)) {
      break;
    }
  }
}

// Writes the sheet of the range, in pages where it is taller than a page.
// Pages go only where a sheet of one page may go: the path given must take a
// file before any page is written.
int writePng(const Request& request, int present, Outputs* outputs) {
  const std::vector<int> starts = pageStarts(request);
  const std::vector<std::string> paths = pngPaths(request);
  std::string error;
  if (paths.size() > 1 && !checkOutTarget(request.png, &error)) {
    return fail("cannot write PNG file " + std::string(request.png) + ": " + error);
  }
  for (std::size_t page = 0; page < paths.size(); ++page) {
    const int from = starts[page];
    const int to = starts[page + 1] - 1;
    if (outputs->open("PNG file ", paths[page]) != 0) {
      return 1;
    }
    const int offset = from - request.first;
    const SheetRange range{static_cast<std::uint16_t>(from), static_cast<std::uint16_t>(to),
                           present - offset, records + offset};
    errno = 0;
    const char* why = nullptr;
    if (!writeSheet(outputs->last, range, request.scale, &why)) {
      return fail("cannot write " + outputs->names.back() + ": " +
                  (errno != 0 ? reason(errno) : why));
    }
  }
  dropStalePages(request.png, static_cast<int>(paths.size()), outputs);
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
  if (!writeBdfFont(outputs->last, header, glyphs)) {
    return fail("cannot write " + outputs->names.back() + ": " + reason(errno));
  }
  if (outputs->open("code map file ", request.cmap) != 0) {
    return 1;
  }
  if (!writeCodeMapFile(outputs->last, glyphs)) {
    return fail("cannot write " + outputs->names.back() + ": " + reason(errno));
  }
  if (glyphs.empty()) {
    outputs->lacking =
        "the font written holds no glyph: " +
        std::string(request.last == 0 ? "U+0000 is never saved (no code map can name it)"
                                      : "the range lies past the end of the image");
  }
  return 0;
}

// The sample's cells: each character's record, or nullptr for one above
// U+FFFF or past the end of the image, counted in `above` and `past`.
std::vector<SampleLine> sampleCells(const Request& request, int present, long* above, long* past) {
  std::vector<SampleLine> lines;
  for (const std::vector<std::uint32_t>& characters : request.sampleLines) {
    lines.emplace_back();
    for (std::uint32_t code : characters) {
      const bool inImage = code < static_cast<std::uint32_t>(present);
      *above += code >= kCodes ? 1 : 0;
      *past += code < kCodes && !inImage ? 1 : 0;
      lines.back().push_back(inImage ? records[code] : nullptr);
    }
  }
  return lines;
}

// Prints the sample as text: 16 rows for each of its lines, the cells of the
// line side by side; a cell without a slot is all '?'.
void printSample(const std::vector<SampleLine>& lines) {
  std::string row;
  for (const SampleLine& line : lines) {
    std::vector<std::array<int, kCellSize>> cells;
    for (const std::uint8_t* record : line) {
      cells.emplace_back();
      if (record != nullptr) {
        std::memcpy(fntbuf, record, kRecordSize);
        convKUVRA2BDF();
        std::copy(std::begin(bmpbuf), std::end(bmpbuf), cells.back().begin());
      }
    }
    for (int r = 0; r < kCellSize; ++r) {
      row.clear();
      for (std::size_t i = 0; i < line.size(); ++i) {
        for (int c = 0; c < kCellSize; ++c) {
          const bool ink =
              ((cells[i][static_cast<std::size_t>(r)] >> (kCellSize - 1 - c)) & 1) != 0;
          row += line[i] == nullptr ? '?' : ink ? '#' : '.';
        }
      }
      row += '\n';
      std::fwrite(row.data(), 1, row.size(), stdout);
    }
  }
}

// Draws the sample as text, as a PNG or both; says on standard error how many
// of its characters have no slot.
int drawSample(const Request& request, int present, Outputs* outputs) {
  long above = 0;
  long past = 0;
  const std::vector<SampleLine> lines = sampleCells(request, present, &above, &past);
  if (request.png != nullptr) {
    const int fit = sampleCellsFit(request.scale);
    std::size_t widest = 0;
    for (const SampleLine& line : lines) {
      widest = std::max(widest, line.size());
    }
    if (widest == 0) {
      return fail("the sample holds no character to draw");
    }
    if (widest > static_cast<std::size_t>(fit) || lines.size() > static_cast<std::size_t>(fit)) {
      return fail("the sample is too large for a PNG at scale " + std::to_string(request.scale) +
                  ": at most " + std::to_string(fit) + " characters a line and " +
                  std::to_string(fit) + " lines");
    }
    if (outputs->open("PNG file ", request.png) != 0) {
      return 1;
    }
    errno = 0;
    const char* why = nullptr;
    if (!writeSample(outputs->last, lines, request.scale, &why)) {
      return fail("cannot write " + outputs->names.back() + ": " +
                  (errno != 0 ? reason(errno) : why));
    }
  }
  if (request.text) {
    printSample(lines);
  }
  if (above + past > 0) {
    std::string why = above > 0 ? std::to_string(above) + " above U+FFFF" : "";
    why += past > 0
               ? (why.empty() ? "" : ", ") + std::to_string(past) + " past the end of the image"
               : "";
    std::fprintf(stderr, "%s: %s of the sample drawn as marked empty cells (%s)\n", kProgram,
                 count(above + past, "character").c_str(), why.c_str());
  }
  return 0;
}

}  // namespace

int runShow(int argc, const char* const* argv) {
  Request request;
  const int status = parseArguments(argc, argv, &request);
  if (status >= 0) {
    return status;
  }
  errno = 0;
  std::FILE* image = std::fopen(request.image, "rb");
  const bool sample = request.sample != nullptr;
  const int first = sample ? 0 : request.first;
  const int count = sample ? kCodes : request.last - request.first + 1;
  const int present = image != nullptr
                          ? readKuvraFont(image, static_cast<std::uint16_t>(first), count, records)
                          : -1;
  const int readErrno = errno;
  if (image != nullptr) {
    std::fclose(image);
  }
  if (present < 0) {
    return fail("cannot read firmware file " + std::string(request.image) + ": " +
                reason(readErrno));
  }
  Outputs outputs;
  outputs.set.addInput(request.image, "the firmware file");
  if ((sample && drawSample(request, present, &outputs) != 0) ||
      (!sample && request.png != nullptr && writePng(request, present, &outputs) != 0) ||
      (request.bdf != nullptr && writeFont(request, present, &outputs) != 0)) {
    return 1;  // no file is left behind
  }
  if (!sample && request.text) {
    printText(request, present);
  }
  if (checkStandardOutput(kProgram) != 0) {
    return 1;  // a run that fails leaves no file behind
  }
  return outputs.commit();
}
