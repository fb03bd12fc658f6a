#include "check/check.h"

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

#include "check/inputs.h"
#include "common/cli.h"
#include "common/codes.h"
#include "common/scan.h"
#include "common/state.h"
#include "firmware/record.h"
#include "firmware/table.h"
#include "readers/bdf.h"
#include "readers/cmap.h"

namespace fs = std::filesystem;

namespace {

const char kProgram[] = "fontgraft-check";

const char kHelp[] =
    "fontgraft-check: says what installing a font would do, before it is done\n"
    "Syntax: fontgraft-check [--list] [<firmware-file>] <font-file(.bdf)> -c <cmap-file>\n"
    "\n"
    "Reads the font and the code map as fontgraft does and writes nothing. Prints\n"
    "how many glyphs would be written, which codes of the code map would stay\n"
    "blank and why, which slots would be written twice, and which glyphs would\n"
    "lose pixels; with a firmware file, also which glyphs it holds would be\n"
    "written blank and whether it holds every slot. As for fontgraft, the code\n"
    "map comes after any word that begins with -c. The inputs may be pipes.\n"
    "\n"
    "Exit status: 0 when every code of the code map would get its glyph whole;\n"
    "1 on a usage or file error; 2 when something would be lost or left blank,\n"
    "the image would grow, or nothing at all would be written.\n"
    "\n"
    "Options:\n"
    "  --list       one line for each code, glyph or line affected, with its line\n"
    "               in the font or the code map\n"
    "  --version    print the version\n"
    "  -h, --help   print this help\n";

// What fontgraft-check was asked to check.
struct Request {
  const char* image = nullptr;
  const char* font = nullptr;
  const char* cmap = nullptr;
  bool listing = false;
};

// Ways a glyph loses pixels, in the order they are reported.
enum Loss { kAbove, kBelow, kLeft, kRight, kWidth, kLosses };
const char* const kLossText[kLosses] = {"above the cell", "below the cell", "past the left side",
                                        "past the right side",
                                        "in rows not 2 or 4 hex digits wide, stored blank"};

// The blank codes of the code map, by cause.
enum Blank { kWrittenEarlier, kNotInFont, kCodeZero, kBlanks };

// The most runs of line numbers a --list line names.
constexpr std::size_t kMaxLineRuns = 4;

// What the font and the code map come to, and what the image holds.
struct Findings {
  long glyphs = 0;
  long withoutId = 0;
  long withCode = 0;
  std::vector<CmapEntry> lines;       // every mapping line, in file order
  std::vector<std::uint32_t> writes;  // code << 16 | glyph ID, for every glyph written
  bool inFont[kCodes] = {};           // glyph IDs the font holds
  int timesWritten[kCodes] = {};      // per code
  bool writtenBlank[kCodes] = {};     // the last glyph written at the code has no pixel
  long lastWriter[kCodes] = {};       // the glyph (in font order) written there last
  long lost[kLosses] = {};            // pixels lost, by cause
  long losingGlyphs = 0;
  long slots = 0;
  long blank[kBlanks] = {};
  long twice = 0;  // slots written more than once
  long erased = 0;
  std::vector<std::string> list;  // one line per affected code, for --list
};

// The firmware file as the install opens it, and the slots it holds now.
struct Image {
  std::FILE* file = nullptr;
  long long size = 0;
  int present = 0;  // slots from code 0 on that the image holds whole
};
std::uint8_t slots[kCodes][kRecordSize];

// The glyph being read: the pixels it loses by cause and, for --list, the
// lines they stand on.
struct GlyphLoss {
  long pixels[kLosses] = {};
  std::vector<long> lines[kLosses];
};

Findings findings;
FontLines fontLines;
CmapLines cmapLines;
GlyphLoss glyphLoss;
bool listing;
long rowsHeard;  // row lines the glyph reader has placed

// "1 slot", "2 slots".
std::string count(long n, const char* thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string glyphName(unsigned glyph) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", glyph);
  return text;
}

// "font line 7", "font lines 7-8, 12": runs of numbers, the first few of them.
std::string lineList(const char* file, std::vector<long> numbers) {
  if (numbers.empty()) {
    return "";
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  std::string text = std::string(file) + (numbers.size() == 1 ? " line " : " lines ");
  std::size_t runs = 0;
  for (std::size_t i = 0; i < numbers.size(); ++runs) {
    std::size_t end = i;
    while (end + 1 < numbers.size() && numbers[end + 1] == numbers[end] + 1) {
      ++end;
    }
    if (runs == kMaxLineRuns) {
      return text + ", ...";
    }
    text += (runs == 0 ? "" : ", ") + std::to_string(numbers[i]) +
            (end > i ? "-" + std::to_string(numbers[end]) : "");
    i = end + 1;
  }
  return text;
}

// The line of the `index`-th item of `numbers`, as a list of one, or none
// when --list did not number the lines.
std::vector<long> lineOf(const std::vector<long>& numbers, long index) {
  return index >= 0 && static_cast<std::size_t>(index) < numbers.size()
             ? std::vector<long>{numbers[static_cast<std::size_t>(index)]}
             : std::vector<long>{};
}

// " (font line 7)", or "" without a line number.
std::string inParens(const std::string& text) {
  return text.empty() ? "" : " (" + text + ")";
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
  int pixels = 0;
  Loss cause = kWidth;
  if (value < 0) {
    pixels = pixelsOfLine(line);
  } else if (cellRow < 0 || cellRow >= kCellSize) {
    cause = cellRow < 0 ? kAbove : kBelow;
    pixels = pixelsOf(value);
  } else {
    cause = shift < 0 ? kLeft : kRight;
    pixels = pixelsOf(value) - pixelsOf(shiftRow(value, shift));
  }
  if (pixels > 0) {
    glyphLoss.pixels[cause] += pixels;
    if (listing) {
      const std::vector<long> at = lineOf(fontLines.rows, rowsHeard);
      glyphLoss.lines[cause].insert(glyphLoss.lines[cause].end(), at.begin(), at.end());
    }
  }
  ++rowsHeard;
}

void keepLine(const CmapEntry& entry) {
  findings.lines.push_back(entry);
}

bool cellIsBlank() {
  return std::all_of(std::begin(bmpbuf), std::end(bmpbuf), [](int row) { return row == 0; });
}

// Takes the glyph just read: its code, where it goes and what it loses.
void takeGlyph() {
  Findings& f = findings;
  const long index = f.glyphs++;
  const auto glyph = static_cast<unsigned>(glyphid) & 0xFFFFu;
  const std::uint16_t code = hasglyphid ? getCharCode(glyphid) : 0;
  f.inFont[glyph] = f.inFont[glyph] || hasglyphid;
  GlyphLoss loss = std::move(glyphLoss);
  glyphLoss = GlyphLoss();
  if (!hasglyphid) {
    ++f.withoutId;
    if (listing) {
      f.list.push_back(lineList("font", lineOf(fontLines.glyphs, index)) +
                       ": a glyph whose STARTCHAR name carries no glyph ID (glyphID:XXXX), "
                       "passed over");
    }
  }
  if (code == 0) {
    return;
  }
  ++f.withCode;
  f.slots += f.timesWritten[code]++ == 0 ? 1 : 0;
  f.writes.push_back(static_cast<std::uint32_t>(code) << 16 | glyph);
  f.writtenBlank[code] = cellIsBlank();
  f.lastWriter[code] = index;
  long total = 0;
  std::string causes;
  for (int k = 0; k < kLosses; ++k) {
    total += loss.pixels[k];
    f.lost[k] += loss.pixels[k];
    if (loss.pixels[k] > 0) {
      causes += (causes.empty() ? "" : ", ") + std::to_string(loss.pixels[k]) + " " + kLossText[k] +
                inParens(lineList("font", loss.lines[k]));
    }
  }
  f.losingGlyphs += total > 0 ? 1 : 0;
  if (listing && total > 0) {
    f.list.push_back(codeName(code) + " (glyph " + glyphName(glyph) + ") loses " +
                     count(total, "pixel") + ": " + causes);
  }
}

// Reads the font glyph by glyph as the utility does. False when reading fails.
bool readFont(const char* path) {
  if (!openFont(path)) {
    return false;
  }
  rowlistener = countRow;
  while (getFont() != kEndOfFont) {
    takeGlyph();
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
  for (std::size_t i = 0; i < f.lines.size(); ++i) {
    const CmapEntry& line = f.lines[i];
    if (line.code == 0 || seen[line.code] || f.timesWritten[line.code] != 0) {
      continue;
    }
    seen[line.code] = true;
    const std::uint16_t first = getCharCode(line.glyph);  // where the glyph goes
    const Blank cause = !f.inFont[line.glyph] ? kNotInFont
                        : first == 0          ? kCodeZero
                                              : kWrittenEarlier;
    ++f.blank[cause];
    if (!listing) {
      continue;
    }
    const std::string glyph = "its glyph " + glyphName(line.glyph);
    const std::string why[kBlanks] = {glyph + " is written at " + codeName(first),
                                      glyph + " is not in the font",
                                      glyph + " is given code 0 by an earlier line"};
    f.list.push_back(
        codeName(line.code) + " blank: " + why[cause] +
        inParens(lineList("code map", lineOf(cmapLines.mappings, static_cast<long>(i)))));
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

// The slots that hold a glyph now and would be written blank, other than
// those of characters meant to be blank.
void findErased(const Image& image) {
  Findings& f = findings;
  for (unsigned code = 1; code < static_cast<unsigned>(image.present); ++code) {
    const bool holdsGlyph = std::any_of(std::begin(slots[code]), std::end(slots[code]),
                                        [](std::uint8_t b) { return b != 0; });
    if (f.timesWritten[code] == 0 || !f.writtenBlank[code] || !holdsGlyph || isMeantBlank(code)) {
      continue;
    }
    ++f.erased;
    if (listing) {
      f.list.push_back(codeName(code) +
                       " erased: the image holds a glyph there, the font writes it blank" +
                       inParens(lineList("font", lineOf(fontLines.glyphs, f.lastWriter[code]))));
    }
  }
}

// The byte just past the last slot the install writes; 0 when it writes none.
long long endOfWrites() {
  for (unsigned code = kCodes - 1; code > 0; --code) {
    if (findings.timesWritten[code] > 0) {
      return static_cast<long long>(slotAddress(static_cast<std::uint16_t>(code))) + kRecordSize;
    }
  }
  return 0;
}

// Opens the firmware file as the install does, and reads the slots it holds.
int openImageFile(const char* path, Image* image) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec) {
    return failRun(kProgram,
                   "cannot read the firmware file " + std::string(path) + ": " + ec.message());
  }
  if (!fs::is_regular_file(status)) {
    return failRun(kProgram, "the firmware file " + std::string(path) +
                                 " is not a regular file: fontgraft cannot install into it");
  }
  errno = 0;
  image->file = openImage(path);
  if (image->file == nullptr) {
    return failRun(kProgram, "cannot open the firmware file " + std::string(path) +
                                 " for writing, as fontgraft does: " +
                                 (errno != 0 ? std::strerror(errno) : "input/output error"));
  }
  image->size = static_cast<long long>(fs::file_size(path, ec));
  image->present = readKuvraFont(image->file, 0, kCodes, slots);
  if (ec || image->present < 0) {
    return failRun(kProgram, "cannot read the firmware file " + std::string(path) + ": " +
                                 (ec ? ec.message() : "input/output error"));
  }
  return 0;
}

// The help text of unknown options, with where the code map goes.
std::string unknownOption(const std::string& error) {
  const std::string suffix = " (see --help)";
  if (error.rfind("unknown option ", 0) != 0 || error.size() < suffix.size()) {
    return error;
  }
  return error.substr(0, error.size() - suffix.size()) +
         " (the code map comes after a word that begins with -c, as fontgraft reads it: it "
         "reads no code map after any other word; see --help)";
}

// Fills `request` from the command line. Returns -1 to go on, else the exit
// status (0 after the help or the version).
int parseArguments(int argc, const char* const* argv, Request* request) {
  // fontgraft reads the code map after any word that begins with "-c"; the
  // other words are the checker's own.
  std::vector<const char*> words = {argv[0]};
  bool operandsOnly = false;
  for (int i = 1; i < argc; ++i) {
    const bool codeMapWord = !operandsOnly && std::strncmp(argv[i], "-c", 2) == 0;
    operandsOnly = operandsOnly || std::strcmp(argv[i], "--") == 0;
    if (!codeMapWord) {
      words.push_back(argv[i]);
    } else if (i + 1 == argc) {
      return failRun(kProgram, std::string(argv[i]) + " needs the code map file (see --help)");
    } else if (request->cmap != nullptr) {
      return failRun(kProgram, "the code map is given twice (see --help)");
    } else {
      request->cmap = argv[++i];
    }
  }
  static const std::vector<OptionRule> kOptions = {
      {"--help", "-h", false}, {"--version", nullptr, false}, {"--list", nullptr, false}};
  std::vector<Argument> arguments;
  std::string error;
  if (!splitArguments(static_cast<int>(words.size()), words.data(), kOptions, &arguments, &error)) {
    return failRun(kProgram, unknownOption(error));
  }
  std::vector<const char*> files;
  for (const Argument& argument : arguments) {
    const std::string name = argument.option != nullptr ? argument.option->name : "";
    if (name == "--help") {
      return printText(kProgram, kHelp);
    }
    if (name == "--version") {
      return printVersion(kProgram);
    }
    if (name == "--list") {
      request->listing = true;
    } else {
      files.push_back(argument.value);
    }
  }
  if (request->cmap == nullptr || files.empty() || files.size() > 2) {
    return failRun(kProgram, "give the font and, after -c, the code map (see --help)");
  }
  request->image = files.size() == 2 ? files[0] : nullptr;
  request->font = files.back();
  return -1;
}

void printSummary(const Image* image) {
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
      count(f.blank[kWrittenEarlier] + f.blank[kNotInFont] + f.blank[kCodeZero], "code").c_str(),
      f.blank[kWrittenEarlier], f.blank[kNotInFont], f.blank[kCodeZero]);
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
  if (image == nullptr) {
    return;
  }
  std::printf("erase: %ld slot%s that hold%s a glyph would be written blank\n", f.erased,
              f.erased == 1 ? "" : "s", f.erased == 1 ? "s" : "");
  const long long needed = endOfWrites();
  if (image->size >= needed) {
    std::printf("image: %lld bytes, holds every slot written\n", image->size);
  } else {
    std::printf("the image would grow from %lld to %lld bytes: is it the whole firmware?\n",
                image->size, needed);
  }
}

// Why nothing would be written, as far as the inputs tell.
std::string whyNothing() {
  const Findings& f = findings;
  if (!cmapopened && f.glyphs == 0) {
    return "the font and the code map look swapped (the font comes first, the code map after -c)";
  }
  if (!cmapopened) {
    return "the code map has no mapping section";
  }
  if (f.glyphs == 0) {
    return "the font holds no glyph";
  }
  if (f.withoutId == f.glyphs) {
    return "no glyph name carries a glyph ID (STARTCHAR glyphID:XXXX)";
  }
  return "no glyph ID of the font is in the code map";
}

// Prints the list and the verdict; returns the exit status.
int printVerdict(const Image* image) {
  const Findings& f = findings;
  if (listing) {
    for (const std::vector<std::string>* notes : {&fontLines.notes, &cmapLines.notes}) {
      for (const std::string& line : *notes) {
        std::printf("%s\n", line.c_str());
      }
    }
    for (const std::string& line : f.list) {
      std::printf("%s\n", line.c_str());
    }
  }
  const bool lost = std::any_of(std::begin(f.lost), std::end(f.lost), [](long n) { return n > 0; });
  const bool blank = f.blank[kWrittenEarlier] + f.blank[kNotInFont] + f.blank[kCodeZero] > 0;
  const bool grows = image != nullptr && image->size < endOfWrites();
  std::string reasons;
  if (blank || lost || f.twice > 0) {
    reasons = "something would be lost or left blank";
  }
  if (f.erased > 0) {
    reasons += std::string(reasons.empty() ? "" : "; ") + "glyphs the image holds would be erased";
  }
  if (grows) {
    reasons += std::string(reasons.empty() ? "" : "; ") + "the image would grow";
  }
  int status = 2;
  if (f.slots == 0) {
    std::printf("nothing would be written: %s\n", whyNothing().c_str());
  } else if (!reasons.empty()) {
    const bool listable = blank || lost || f.twice > 0 || f.erased > 0;
    std::printf("not ready: %s%s\n", reasons.c_str(),
                listing || !listable ? "" : " (--list names each code)");
  } else {
    std::printf("ready: every code of the code map gets its glyph, whole\n");
    status = 0;
  }
  return checkStandardOutput(kProgram) != 0 ? 1 : status;
}

// Reads the inputs as the install would; returns -1 to go on, else the exit
// status.
int readInputs(const Request& request) {
  TextInput cmap;
  TextInput font;
  std::string error;
  if (!cmap.open(request.cmap, &error)) {
    return failRun(kProgram,
                   "cannot read the code map " + std::string(request.cmap) + ": " + error);
  }
  if (!font.open(request.font, &error)) {
    return failRun(kProgram, "cannot read the font " + std::string(request.font) + ": " + error);
  }
  if (listing &&
      (!readCmapLines(cmap.path(), &cmapLines) || !readFontLines(font.path(), &fontLines))) {
    return failRun(kProgram,
                   "cannot read the inputs again to number their lines: input/output error");
  }
  cmaplistener = keepLine;
  const bool mapRead = readCmap(cmap.path()) == 1;
  cmaplistener = nullptr;
  if (!mapRead) {
    return failRun(
        kProgram, "cannot read the code map " + std::string(request.cmap) + ": input/output error");
  }
  if (!readFont(font.path())) {
    return failRun(kProgram,
                   "cannot read the font " + std::string(request.font) + ": input/output error");
  }
  return -1;
}

}  // namespace

int runCheck(int argc, const char* const* argv) {
  Request request;
  const int parsed = parseArguments(argc, argv, &request);
  if (parsed >= 0) {
    return parsed;
  }
  listing = request.listing;
  Image image;
  if (request.image != nullptr && openImageFile(request.image, &image) != 0) {
    return 1;
  }
  const int read = readInputs(request);
  if (image.file != nullptr) {
    std::fclose(image.file);  // nothing was written to it
  }
  if (read >= 0) {
    return read;
  }
  findBlanksAndTwice();
  if (request.image != nullptr) {
    findErased(image);
  }
  printSummary(request.image != nullptr ? &image : nullptr);
  return printVerdict(request.image != nullptr ? &image : nullptr);
}
