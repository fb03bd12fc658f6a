#include "show/show.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/cli.h"
#include "common/codes.h"
#include "common/fontfiles.h"
#include "common/outfile.h"
#include "common/platform.h"
#include "common/scan.h"
#include "common/state.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "show/sheet.h"
#include "show/tables.h"

namespace {

constexpr int kDefaultScale = 4;

// Where a font saved from an image has its baseline: two rows above the
// cell's bottom, as 16-pixel fonts draw it.
constexpr int kSavedBaselineRow = kCellSize - 2;

const char kProgram[] = "fontgraft-show";

const char kHelp[] =
    "fontgraft-show: draws the glyphs of a firmware image's font table\n"
    "Syntax: fontgraft-show [options] <firmware-file> <first-code> [<last-code>]\n"
    "        fontgraft-show [options] --font <font-file> -c <cmap-file> <first-code> "
    "[<last-code>]\n"
    "        fontgraft-show [--png FILE] [--scale N] --sample TEXT <input>...\n"
    "\n"
    "Codes are hexadecimal, with or without U+ or 0x (4E2D, U+4E2D, 0x4E2D), or\n"
    "the character itself (\xE4\xB8\xAD); a single character that is also a hex digit\n"
    "(A) reads as hex. <last-code> defaults to <first-code>. Each glyph is printed\n"
    "as a line \"U+XXXX 0xADDRESS\" and 16 lines of 16 pixels, # set and . clear;\n"
    "a slot past the end of the image is reported as missing.\n"
    "\n"
    "With --font and, after -c (or any word that begins with -c, as fontgraft\n"
    "reads it), the code map, it draws what installing that font and code map\n"
    "into a blank image would show, without an image. An <input> of --sample is\n"
    "a firmware file or a --font with its -c; given several, the sample is drawn\n"
    "once for each, under its name, so that fonts can be compared.\n"
    "\n"
    "Options:\n"
    "  --png FILE   write a contact sheet PNG of the range instead of the text;\n"
    "               a range taller than 16,384 pixels is written as pages\n"
    "               FILE-1.png, FILE-2.png, ... (FILE without its .png)\n"
    "  --bdf FILE   write the range's glyphs as a BDF font, one glyph per code\n"
    "  --cmap FILE  with --bdf: write its code map; fontgraft installs the two\n"
    "               back into the same slots (all but U+0000)\n"
    "  --font FILE  draw this font, installed with the code map after -c\n"
    "  --text       with --png or --bdf, print the text as well\n"
    "  --scale N    PNG pixels per glyph pixel, 1 to 16 (default 4)\n"
    "  --sample TEXT  draw TEXT (UTF-8; a newline or \\n breaks the line) as the\n"
    "               device shows it, the glyphs side by side; a character above\n"
    "               U+FFFF or past the end of the image is a marked empty cell\n"
    "               (? in the text, light red in the PNG)\n"
    "  --version    print the version\n"
    "  -h, --help   print this help\n";

const char kNoPng[] = "\nThis build has no PNG output: libpng was not found when it was built.\n";

enum ShowOption {
  kPngOption,
  kBdfOption,
  kCmapOption,
  kFontOption,
  kScaleOption,
  kTextOption,
  kSampleOption
};

const std::vector<OptionRule> kOptions = {kHelpRule,
                                          kVersionRule,
                                          {"--png", nullptr, true, kPngOption},
                                          {"--bdf", nullptr, true, kBdfOption},
                                          {"--cmap", nullptr, true, kCmapOption},
                                          {"--font", nullptr, true, kFontOption},
                                          {"--scale", nullptr, true, kScaleOption},
                                          {"--text", nullptr, false, kTextOption},
                                          {"--sample", nullptr, true, kSampleOption}};

struct Request {
  std::vector<Input> inputs;  // in the order given
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
  return systemErrorText(error);
}

// Reads a code: hex digits, optionally after "U+" or "0x", at most 0xFFFF; or
// one character in UTF-8 that is not a hex digit.
bool parseCode(const char* text, std::uint16_t* code) {
  const std::size_t length = std::strlen(text);
  std::uint32_t character = 0;
  if (length > 0 && decodeUtf8(text, length, &character) == static_cast<int>(length) &&
      hexDigitValue(static_cast<unsigned char>(text[0])) < 0) {
    *code = static_cast<std::uint16_t>(character);
    return character < kCodes;
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

// The characters of a sample text, line by line: UTF-8, with a newline or the
// two characters "\n" between lines. False when the text is not UTF-8.
bool decodeSample(const char* text, std::vector<std::vector<std::uint32_t>>* lines) {
  lines->assign(1, {});
  for (std::size_t at = 0, length = std::strlen(text); at < length;) {
    if (text[at] == '\n' || (text[at] == '\\' && text[at + 1] == 'n')) {
      at += text[at] == '\n' ? 1 : 2;
      lines->emplace_back();
      continue;
    }
    std::uint32_t code = 0;
    const int taken = decodeUtf8(text + at, length - at, &code);
    if (taken == 0) {
      return false;
    }
    lines->back().push_back(code);
    at += static_cast<std::size_t>(taken);
  }
  return true;
}

// The words of the command line without the code maps that follow a word
// beginning with "-c" (as fontgraft reads them), which go to `maps`.
// Returns -1 to go on, else the exit status.
int takeCodeMaps(int argc, const char* const* argv, std::vector<const char*>* words,
                 std::vector<const char*>* maps) {
  words->push_back(argv[0]);
  bool operandsOnly = false;
  for (int i = 1; i < argc; ++i) {
    const bool mapWord = !operandsOnly && std::strncmp(argv[i], "-c", 2) == 0;
    operandsOnly = operandsOnly || std::strcmp(argv[i], "--") == 0;
    if (!mapWord) {
      words->push_back(argv[i]);
    } else if (i + 1 == argc) {
      return fail(std::string(argv[i]) + " needs the code map of --font (see --help)");
    } else {
      maps->push_back(argv[++i]);
    }
  }
  return -1;
}

// Takes one option of the command line, the `place`-th word, into `request`.
// Returns -1 to go on, else the exit status.
int takeOption(const Argument& argument, std::size_t place, Request* request) {
  const int common =
      takeCommonOption(kProgram, argument, std::string(kHelp) + (canWriteSheets() ? "" : kNoPng));
  if (common >= 0) {
    return common;
  }
  const char* value = argument.value;
  switch (argument.option->id) {
    case kPngOption:
      request->png = value;
      break;
    case kBdfOption:
      request->bdf = value;
      break;
    case kCmapOption:
      request->cmap = value;
      break;
    case kFontOption:
      request->inputs.push_back(Input{nullptr, value, nullptr, place});
      break;
    case kScaleOption:
      if (!parseScale(value, &request->scale)) {
        return fail("bad scale \"" + std::string(value) + "\": give a whole number from 1 to 16");
      }
      break;
    case kTextOption:
      request->text = true;
      break;
    default:
      request->sample = value;
      break;
  }
  return -1;
}

// Gives each --font the code map of its -c, in order.
int pairCodeMaps(const std::vector<const char*>& maps, Request* request) {
  std::size_t next = 0;
  for (Input& input : request->inputs) {
    if (input.font != nullptr) {
      if (next == maps.size()) {
        return fail("--font " + std::string(input.font) +
                    " needs its code map after -c (see --help)");
      }
      input.map = maps[next++];
    }
  }
  if (next < maps.size()) {
    return fail(std::string("the code map ") + maps[next] +
                " after -c belongs to no --font; the code map to write is given by --cmap "
                "(see --help)");
  }
  return -1;
}

// Reads the codes of a range: the first and, when given, the last.
int takeRange(const std::vector<const char*>& codes, Request* request) {
  for (std::size_t k = 0; k < codes.size(); ++k) {
    std::uint16_t* code = k == 0 ? &request->first : &request->last;
    if (!parseCode(codes[k], code)) {
      return fail("bad code \"" + std::string(codes[k]) +
                  "\": give a hex number from 0 to FFFF, such as 41, U+0041 or 0x41, or the "
                  "character");
    }
  }
  if (codes.size() == 1) {
    request->last = request->first;
  }
  if (request->last < request->first) {
    return fail("the range runs backwards: " + codeNumber(request->last) + " comes before " +
                codeNumber(request->first));
  }
  return -1;
}

// Sorts the operands (with the places of the words they were) into inputs and
// codes. Returns -1 to go on, else the exit status.
int takeOperands(const std::vector<const char*>& operands, const std::vector<std::size_t>& places,
                 Request* request) {
  const bool fonts = !request->inputs.empty();
  if (request->sample != nullptr) {
    for (std::size_t i = 0; i < operands.size(); ++i) {
      request->inputs.push_back(Input{operands[i], nullptr, nullptr, places[i]});
    }
    std::stable_sort(request->inputs.begin(), request->inputs.end(),
                     [](const Input& a, const Input& b) { return a.place < b.place; });
    return request->inputs.empty()
               ? fail(
                     "give the firmware file, or a --font with its -c, after the sample (see "
                     "--help)")
               : -1;
  }
  const std::size_t firstCode = fonts ? 0 : 1;
  if (operands.size() < firstCode + 1) {
    return fail(fonts ? "give a first code (see --help)"
                      : "give a firmware file and a first code (see --help)");
  }
  if (operands.size() > firstCode + 2 || request->inputs.size() > 1) {
    return fail("too many arguments (see --help)");
  }
  if (!fonts) {
    request->inputs.push_back(Input{operands[0], nullptr, nullptr, places[0]});
  }
  return takeRange({operands.begin() + static_cast<std::ptrdiff_t>(firstCode), operands.end()},
                   request);
}

// The rules between options. Returns -1 to go on, else the exit status.
int checkRequest(Request* request) {
  const bool fonts = std::any_of(request->inputs.begin(), request->inputs.end(),
                                 [](const Input& input) { return input.font != nullptr; });
  if (request->sample != nullptr && !decodeSample(request->sample, &request->sampleLines)) {
    return fail("the sample is not UTF-8 text");
  }
  if (request->sample != nullptr && request->bdf != nullptr) {
    return fail("--bdf and --cmap save a range of codes, not a sample (see --help)");
  }
  if (fonts && (request->bdf != nullptr || request->cmap != nullptr)) {
    return fail(
        "--bdf and --cmap save what an image holds; with --font the code map is read "
        "after -c (see --help)");
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

// Fills `request` from the command line. Returns -1 to go on, else the exit
// status (0 after the help or the version).
int parseArguments(int argc, const char* const* argv, Request* request) {
  std::vector<const char*> words;
  std::vector<const char*> maps;
  int status = takeCodeMaps(argc, argv, &words, &maps);
  std::vector<Argument> arguments;
  std::string error;
  if (status < 0 &&
      !splitArguments(static_cast<int>(words.size()), words.data(), kOptions, &arguments, &error)) {
    return fail(error);
  }
  std::vector<const char*> operands;
  std::vector<std::size_t> places;
  for (std::size_t i = 0; status < 0 && i < arguments.size(); ++i) {
    if (arguments[i].option == nullptr) {
      operands.push_back(arguments[i].value);
      places.push_back(i);
    } else {
      status = takeOption(arguments[i], i, request);
    }
  }
  if (status < 0) {
    status = pairCodeMaps(maps, request);
  }
  if (status < 0) {
    status = takeOperands(operands, places, request);
  }
  return status < 0 ? checkRequest(request) : status;
}

// Prints the range as text: a header line per code, then its cell, or
// "missing" for a slot past the end of the image. Every line goes into the
// stream's buffer with fwrite: some C libraries (wine's) flush a stream at each
// line end that printf or fputc write, so that a reader that takes one line and
// goes would fail the rest of a short run.
void printRange(const Request& request, const Table& table) {
  char line[kCellSize + 2];
  char header[32];
  for (int code = request.first; code <= request.last; ++code) {
    const bool missing = code - table.first >= table.present;
    const auto address = static_cast<unsigned>(slotAddress(static_cast<std::uint16_t>(code)));
    const int length =
        std::snprintf(header, sizeof header, "U+%04X 0x%08X%s\n", static_cast<unsigned>(code),
                      address, missing ? " missing" : "");
    std::fwrite(header, 1, static_cast<std::size_t>(length), stdout);
    if (missing) {
      continue;
    }
    std::uint16_t rows[kCellSize];
    unpackRecord(table.record(code), rows);
    for (int r = 0; r < kCellSize; ++r) {
      for (int c = 0; c < kCellSize; ++c) {
        line[c] = pixelAt(rows, r, c) ? '#' : '.';
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
      printNote(kProgram, lacking);
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
int writePng(const Request& request, const Table& table, Outputs* outputs) {
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
    const int offset = from - table.first;
    const SheetRange range{
        static_cast<std::uint16_t>(from), static_cast<std::uint16_t>(to), table.present - offset,
        reinterpret_cast<const std::uint8_t(*)[kRecordSize]>(table.record(from))};
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
int writeFont(const Request& request, const Table& table, Outputs* outputs) {
  std::vector<CellGlyph> glyphs;
  for (int code = std::max<int>(request.first, 1); code <= request.last; ++code) {
    if (code - table.first >= table.present) {
      break;  // past the end of the image
    }
    CellGlyph glyph{static_cast<std::uint16_t>(code), {}, kCellSize};
    unpackRecord(table.record(code), glyph.rows);
    glyphs.push_back(glyph);
  }
  const FontHeader header{"Firmware", kCellSize, kSavedBaselineRow};
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

// A sample as one input draws it, with the records of its characters.
struct Drawn {
  SampleBlock block;
  std::vector<std::array<std::uint8_t, kRecordSize>> records;  // what the block's lines point to
  long above = 0;                                              // characters above U+FFFF
  long past = 0;  // characters past the end of the image
};

// The sample's cells in `table`: each character's record, or nullptr for one
// above U+FFFF or past the end of the image.
void drawFrom(const Request& request, const Table& table, Drawn* drawn) {
  std::size_t characters = 0;
  for (const std::vector<std::uint32_t>& line : request.sampleLines) {
    characters += line.size();
  }
  drawn->records.reserve(characters);  // no line's pointers move
  for (const std::vector<std::uint32_t>& characters : request.sampleLines) {
    drawn->block.lines.emplace_back();
    for (std::uint32_t code : characters) {
      const bool inImage = code < static_cast<std::uint32_t>(table.present);
      drawn->above += code >= kCodes ? 1 : 0;
      drawn->past += code < kCodes && !inImage ? 1 : 0;
      const std::uint8_t* record = nullptr;
      if (inImage) {
        drawn->records.emplace_back();
        std::memcpy(drawn->records.back().data(), table.record(static_cast<int>(code)),
                    kRecordSize);
        record = drawn->records.back().data();
      }
      drawn->block.lines.back().push_back(record);
    }
  }
}

// Prints a block of the sample as text: 16 rows for each of its lines, the
// cells of the line side by side; a cell without a slot is all '?'.
void printSample(const SampleBlock& block) {
  std::string row;
  for (const SampleLine& line : block.lines) {
    std::vector<std::array<std::uint16_t, kCellSize>> cells(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != nullptr) {
        unpackRecord(line[i], cells[i].data());
      }
    }
    for (int r = 0; r < kCellSize; ++r) {
      row.clear();
      for (std::size_t i = 0; i < line.size(); ++i) {
        for (int c = 0; c < kCellSize; ++c) {
          row += line[i] == nullptr ? '?' : pixelAt(cells[i].data(), r, c) ? '#' : '.';
        }
      }
      row += '\n';
      std::fwrite(row.data(), 1, row.size(), stdout);
    }
  }
}

// Writes the sample's blocks as one PNG.
int writeSamplePng(const Request& request, const std::vector<SampleBlock>& blocks,
                   Outputs* outputs) {
  int width = 0;
  int height = 0;
  if (std::all_of(blocks.front().lines.begin(), blocks.front().lines.end(),
                  [](const SampleLine& line) { return line.empty(); })) {
    return fail("the sample holds no character to draw");
  }
  if (!sampleFits(blocks, request.scale, &width, &height)) {
    const int fit = sampleCellsFit(request.scale);
    return fail(
        "the sample is too large for a PNG at scale " + std::to_string(request.scale) +
        ": at most " + std::to_string(fit) + " characters a line and " +
        std::to_string(fit / static_cast<int>(blocks.size())) + " lines" +
        (blocks.size() > 1 ? " for each of " + std::to_string(blocks.size()) + " inputs" : ""));
  }
  if (outputs->open("PNG file ", request.png) != 0) {
    return 1;
  }
  errno = 0;
  const char* why = nullptr;
  if (!writeSample(outputs->last, blocks, request.scale, &why)) {
    return fail("cannot write " + outputs->names.back() + ": " +
                (errno != 0 ? reason(errno) : why));
  }
  return 0;
}

// Draws the sample from every input, as text, as a PNG or both; says on
// standard error how many of its characters have no slot.
int drawSample(const Request& request, Outputs* outputs) {
  std::vector<Drawn> drawn(request.inputs.size());
  Table table;
  std::string error;
  long above = 0;
  long past = 0;
  for (std::size_t i = 0; i < request.inputs.size(); ++i) {
    if (!loadTable(request.inputs[i], 0, kCodes, &table, &error)) {
      return fail(error);
    }
    drawFrom(request, table, &drawn[i]);
    drawn[i].block.label = request.inputs.size() > 1 ? request.inputs[i].name() : "";
    above = std::max(above, drawn[i].above);
    past += drawn[i].past;
  }
  std::vector<SampleBlock> blocks;
  for (const Drawn& d : drawn) {
    blocks.push_back(d.block);
  }
  if (request.png != nullptr && writeSamplePng(request, blocks, outputs) != 0) {
    return 1;
  }
  for (std::size_t i = 0; request.text && i < blocks.size(); ++i) {
    if (blocks.size() > 1) {
      const std::string label = "== " + blocks[i].label + "\n";
      std::fwrite(label.data(), 1, label.size(), stdout);
    }
    printSample(blocks[i]);
  }
  if (above + past > 0) {
    std::string why = above > 0 ? std::to_string(above) + " above U+FFFF" : "";
    why += past > 0
               ? (why.empty() ? "" : ", ") + std::to_string(past) + " past the end of the image"
               : "";
    printNote(kProgram, countOf(above + past, "character") +
                            " of the sample drawn as marked empty cells (" + why + ")");
  }
  return 0;
}

// Draws the range of the one input as the request asks.
int drawRange(const Request& request, Outputs* outputs) {
  Table table;
  std::string error;
  if (!loadTable(request.inputs.front(), request.first, request.last - request.first + 1, &table,
                 &error)) {
    return fail(error);
  }
  if ((request.png != nullptr && writePng(request, table, outputs) != 0) ||
      (request.bdf != nullptr && writeFont(request, table, outputs) != 0)) {
    return 1;  // no file is left behind
  }
  if (request.text) {
    printRange(request, table);
  }
  return 0;
}

int show(int argc, const char* const* argv) {
  Request request;
  const int status = parseArguments(argc, argv, &request);
  if (status >= 0) {
    return status;
  }
  Outputs outputs;
  for (const Input& input : request.inputs) {
    outputs.set.addInput(input.image != nullptr ? input.image : input.font,
                         input.image != nullptr ? "the firmware file" : "the font");
    if (input.map != nullptr) {
      outputs.set.addInput(input.map, "the code map");
    }
  }
  if ((request.sample != nullptr ? drawSample(request, &outputs) : drawRange(request, &outputs)) !=
      0) {
    return 1;  // no file is left behind
  }
  if (checkStandardOutput(kProgram) != 0) {
    return 1;  // a run that fails leaves no file behind
  }
  return outputs.commit();
}

}  // namespace

int runShow(int argc, const char* const* argv) {
  try {
    return show(argc, argv);
  } catch (const std::bad_alloc&) {
    return failRun(kProgram, "out of memory");
  }
}
