#include "check/check.h"

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "check/inputs.h"
#include "common/cli.h"
#include "common/codes.h"
#include "common/fontfiles.h"
#include "common/outfile.h"
#include "common/platform.h"
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

// Ways a glyph loses pixels, in the order the reader tells them and they are
// reported.
const char* const kLossText[kRowLosses] = {"above the cell", "below the cell", "past the left side",
                                           "past the right side",
                                           "in rows not 2 or 4 hex digits wide, stored blank"};

// The blank codes of the code map, by cause.
enum Blank { kWrittenEarlier, kNotInFont, kCodeZero, kBlanks };

// The most runs of line numbers a --list line names, and the most glyphs it
// names for a slot written more than once.
constexpr int kMaxLineRuns = 4;
constexpr int kMaxNamedWrites = 8;

// The most of a line a note quotes.
constexpr std::size_t kMaxQuoted = 48;

// Line numbers in increasing order, kept as the first few runs of
// consecutive numbers.
struct LineRuns {
  long first[kMaxLineRuns] = {};
  long last[kMaxLineRuns] = {};
  int runs = 0;
  bool more = false;  // numbers beyond the runs kept

  // Adds the numbers `from` to `to`, which follow those added before.
  void add(long from, long to) {
    if (runs > 0 && from <= last[runs - 1] + 1) {
      last[runs - 1] = to;
    } else if (runs < kMaxLineRuns) {
      first[runs] = from;
      last[runs] = to;
      ++runs;
    } else {
      more = true;
    }
  }

  // "font line 7", "font lines 7-8, 12", "" for none.
  std::string text(const char* file) const {
    if (runs == 0) {
      return "";
    }
    const bool one = runs == 1 && first[0] == last[0] && !more;
    std::string text = std::string(file) + (one ? " line " : " lines ");
    for (int i = 0; i < runs; ++i) {
      text += (i == 0 ? "" : ", ") + std::to_string(first[i]) +
              (last[i] > first[i] ? "-" + std::to_string(last[i]) : "");
    }
    return text + (more ? ", ..." : "");
  }
};

LineRuns lineOf(long number) {
  LineRuns runs;
  if (number > 0) {
    runs.add(number, number);
  }
  return runs;
}

// The glyph being read: the pixels it loses by cause and the lines they
// stand on.
struct GlyphLoss {
  long pixels[kRowLosses] = {};
  LineRuns lines[kRowLosses];
};

// What the install does at each code. The counts are read for every glyph,
// at codes in any order, so they are kept apart from what only --list needs.
struct Slots {
  std::vector<std::uint32_t> times = std::vector<std::uint32_t>(kCodes);  // glyphs written
  std::bitset<kCodes> blank;  // the last glyph written there has no pixel
  std::bitset<kCodes> named;  // the code map names the code
  std::vector<std::uint16_t> mapGlyph =
      std::vector<std::uint16_t>(kCodes);  // the glyph it first gives

  // For --list: the code map line that first names the code, and the font
  // line of the last glyph written there and the glyphs written there (the
  // first few and the last).
  struct Writes {
    long lastLine = 0;
    int named = 0;
    std::uint16_t glyphs[kMaxNamedWrites] = {};
  };
  std::vector<long> mapLine;
  std::vector<Writes> writes;
};

// The firmware file as the install opens it.
struct Image {
  std::FILE* file = nullptr;
  long long size = 0;
  ~Image() {
    if (file != nullptr) {
      std::fclose(file);  // nothing was written to it
    }
  }
};

// The most slots of the image read at once.
constexpr int kSlotsRead = 1024;

// Everything the checker reads and finds, passed to each of its steps.
struct Check {
  Request request;
  FontReader font;
  int cell[kCellSize];
  int fontBox[4];
  CmapReader map;
  std::unique_ptr<Image> image;

  long glyphs = 0;
  long withoutId = 0;
  long withCode = 0;
  std::bitset<kCodes> inFont;  // glyph IDs the font holds
  Slots slots;
  std::vector<std::uint16_t> mapOrder;  // codes in the order the code map first names them
  GlyphLoss glyphLoss;                  // of the glyph being read
  long lost[kRowLosses] = {};
  long losingGlyphs = 0;
  long slotsWritten = 0;
  long blank[kBlanks] = {};
  long twice = 0;
  long erased = 0;
  MapDigest mapDigest;  // of the code map read
  bool fontHasDigest = false;
  MapDigest fontDigest;  // the one the font was written with

  // The --list lines, in the order they are printed.
  Spool fontNotes;
  Spool mapNotes;
  Spool glyphLines;
  std::vector<std::string> codeLines;  // at most a few per code
};

std::string glyphName(unsigned glyph) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", glyph);
  return text;
}

// " (font line 7)", or "" without a line number.
std::string inParens(const std::string& text) {
  return text.empty() ? "" : " (" + text + ")";
}

// The line without its line end and leading blanks, cut to kMaxQuoted.
std::string quoted(Line line) {
  std::size_t start = 0;
  std::size_t end = line.length;
  while (start < end && (line.text[start] == ' ' || line.text[start] == '\t')) {
    ++start;
  }
  while (end > start && (line.text[end - 1] == '\n' || line.text[end - 1] == '\r')) {
    --end;
  }
  std::string text(line.text + start, end - start);
  return "\"" + (text.size() > kMaxQuoted ? text.substr(0, kMaxQuoted) + "..." : text) + "\"";
}

// What the readers tell the checker.

void heardRowsLost(void* context, RowLoss why, long pixels, long first, long last) {
  GlyphLoss& loss = static_cast<Check*>(context)->glyphLoss;
  loss.pixels[why] += pixels;
  loss.lines[why].add(first, last);
}

void heardShortBox(void* context, Line line, long number, int read) {
  auto* check = static_cast<Check*>(context);
  if (check->request.listing) {
    check->fontNotes.add("font line " + std::to_string(number) + ": " + quoted(line) + " gives " +
                         std::to_string(read) +
                         " of its 4 numbers; the others keep their earlier values");
  }
}

void heardComment(void* context, Line line, long) {
  auto* check = static_cast<Check*>(context);
  if (!check->fontHasDigest && readDigestComment(line, &check->fontDigest)) {
    check->fontHasDigest = true;
  }
}

void heardMapping(void* context, const CmapEntry& entry, long number) {
  auto* check = static_cast<Check*>(context);
  check->mapDigest.add(entry.code, entry.glyph);
  Slots& slots = check->slots;
  if (entry.code != 0 && !slots.named.test(entry.code)) {
    slots.named.set(entry.code);
    slots.mapGlyph[entry.code] = entry.glyph;
    if (check->request.listing) {
      slots.mapLine[entry.code] = number;
    }
    check->mapOrder.push_back(entry.code);
  }
}

void heardPassedOver(void* context, Line line, long number) {
  auto* check = static_cast<Check*>(context);
  if (check->request.listing) {
    check->mapNotes.add("code map line " + std::to_string(number) + ": " + quoted(line) +
                        " is not read as a mapping line (\"Char XXXX -> Index N\" after 8 "
                        "blanks, at most 4 hex digits), passed over");
  }
}

bool cellIsBlank(const Check& check) {
  return std::all_of(std::begin(check.cell), std::end(check.cell),
                     [](int row) { return row == 0; });
}

// Notes the glyph `glyph` written at `code`.
void noteWrite(Check* check, std::uint16_t code, std::uint16_t glyph) {
  Slots& slots = check->slots;
  check->slotsWritten += slots.times[code]++ == 0 ? 1 : 0;
  slots.blank.set(code, cellIsBlank(*check));
  if (!check->request.listing) {
    return;
  }
  Slots::Writes& writes = slots.writes[code];
  writes.lastLine = check->font.glyphLine;
  if (writes.named < kMaxNamedWrites) {
    ++writes.named;
  }
  writes.glyphs[writes.named - 1] = glyph;  // the last one stays last
}

// Takes the pixels the glyph just read at `code` loses.
void noteLoss(Check* check, std::uint16_t code, unsigned glyph) {
  const GlyphLoss& loss = check->glyphLoss;
  long total = 0;
  for (int k = 0; k < kRowLosses; ++k) {
    total += loss.pixels[k];
    check->lost[k] += loss.pixels[k];
  }
  check->losingGlyphs += total > 0 ? 1 : 0;
  if (!check->request.listing || total == 0) {
    return;
  }
  std::string causes;
  for (int k = 0; k < kRowLosses; ++k) {
    if (loss.pixels[k] > 0) {
      causes += (causes.empty() ? "" : ", ") + std::to_string(loss.pixels[k]) + " " + kLossText[k] +
                inParens(loss.lines[k].text("font"));
    }
  }
  check->glyphLines.add(codeName(code) + " (glyph " + glyphName(glyph) + ") loses " +
                        countOf(total, "pixel") + ": " + causes);
}

// Takes the glyph just read: its code, where it goes and what it loses.
void takeGlyph(Check* check) {
  const FontReader& font = check->font;
  ++check->glyphs;
  const auto glyph = static_cast<std::uint16_t>(font.glyphId & 0xFFFF);
  const std::uint16_t code = font.hasGlyphId ? codeOf(check->map, font.glyphId) : 0;
  if (font.hasGlyphId) {
    check->inFont.set(glyph);
  } else {
    ++check->withoutId;
    if (check->request.listing) {
      check->glyphLines.add(lineOf(font.glyphLine).text("font") +
                            ": a glyph whose STARTCHAR name carries no glyph ID (glyphID:XXXX), "
                            "passed over");
    }
  }
  if (code != 0) {
    ++check->withCode;
    noteWrite(check, code, glyph);
    noteLoss(check, code, glyph);
  }
  for (int k = 0; k < kRowLosses; ++k) {
    if (check->glyphLoss.pixels[k] > 0) {
      check->glyphLoss.pixels[k] = 0;
      check->glyphLoss.lines[k] = LineRuns();
    }
  }
}

// Reads the font glyph by glyph as the utility does. False when reading fails.
bool readFont(Check* check, const char* path) {
  std::FILE* file = openInput(path, "rb");
  if (file == nullptr) {
    return false;
  }
  FontListener listener;
  listener.context = check;
  listener.rowsLost = heardRowsLost;
  listener.shortBox = heardShortBox;
  listener.comment = heardComment;
  startFontReader(&check->font, file, check->cell, check->fontBox, &listener);
  while (readGlyph(&check->font) != kEndOfFont) {
    takeGlyph(check);
  }
  const bool whole = !check->font.source.failed;
  std::fclose(file);
  return whole;
}

// Reads the code map as the utility does. False when reading fails.
bool readMap(Check* check, const char* path) {
  std::FILE* file = openInput(path, "rb");
  if (file == nullptr) {
    return false;
  }
  CmapListener listener;
  listener.context = check;
  listener.mapping = heardMapping;
  listener.passedOver = heardPassedOver;
  const bool whole = readCodeMap(&check->map, file, &listener);
  std::fclose(file);
  return whole;
}

// The codes of the code map that no glyph would be written at, by cause.
void findBlanks(Check* check) {
  const Slots& slots = check->slots;
  for (std::uint16_t code : check->mapOrder) {
    if (slots.times[code] != 0) {
      continue;
    }
    const std::uint16_t glyph = slots.mapGlyph[code];
    const std::uint16_t first = codeOf(check->map, glyph);  // where the glyph goes
    const Blank cause = !check->inFont.test(glyph) ? kNotInFont
                        : first == 0               ? kCodeZero
                                                   : kWrittenEarlier;
    ++check->blank[cause];
    if (!check->request.listing) {
      continue;
    }
    const std::string its = "its glyph " + glyphName(glyph);
    const std::string why[kBlanks] = {its + " is written at " + codeName(first),
                                      its + " is not in the font",
                                      its + " is given code 0 by an earlier line"};
    check->codeLines.push_back(codeName(code) + " blank: " + why[cause] +
                               inParens(lineOf(slots.mapLine[code]).text("code map")));
  }
}

// The slots written more than once.
void findTwice(Check* check) {
  for (unsigned code = 1; code < kCodes; ++code) {
    const std::uint32_t times = check->slots.times[code];
    if (times <= 1) {
      continue;
    }
    ++check->twice;
    if (check->request.listing) {
      const Slots::Writes& writes = check->slots.writes[code];
      std::string glyphs;
      for (int i = 0; i < writes.named; ++i) {
        const bool skipped =
            i == writes.named - 1 && times > static_cast<std::uint32_t>(writes.named);
        glyphs += (i == 0    ? ""
                   : skipped ? ", ..., then "
                             : ", then ") +
                  glyphName(writes.glyphs[i]);
      }
      check->codeLines.push_back(codeName(code) + " written " + std::to_string(times) +
                                 " times: glyph " + glyphs + " (the last wins)");
    }
  }
}

void noteErased(Check* check, unsigned code) {
  ++check->erased;
  if (check->request.listing) {
    check->codeLines.push_back(codeName(code) +
                               " erased: the image holds a glyph there, the font writes it blank" +
                               inParens(lineOf(check->slots.writes[code].lastLine).text("font")));
  }
}

// Whether the install would write the code's slot blank where the image may
// hold a glyph, for a character not meant to be blank.
bool mayErase(const Check& check, unsigned code) {
  return check.slots.times[code] != 0 && check.slots.blank.test(code) && !isMeantBlank(code);
}

// The slots that hold a glyph now and would be written blank, other than
// those of characters meant to be blank. Only those slots are read, in runs.
// False when the image cannot be read.
bool findErased(Check* check) {
  std::uint8_t records[kSlotsRead][kRecordSize];
  for (unsigned code = 1; code < kCodes; ++code) {
    if (!mayErase(*check, code)) {
      continue;
    }
    unsigned end = code + 1;
    while (end < kCodes && end - code < kSlotsRead && mayErase(*check, end)) {
      ++end;
    }
    const int count = static_cast<int>(end - code);
    const int present =
        readKuvraFont(check->image->file, static_cast<std::uint16_t>(code), count, records);
    if (present < 0) {
      return false;
    }
    for (int i = 0; i < present; ++i) {
      if (std::any_of(std::begin(records[i]), std::end(records[i]),
                      [](std::uint8_t b) { return b != 0; })) {
        noteErased(check, code + static_cast<unsigned>(i));
      }
    }
    code = end - 1;
  }
  return true;
}

// The byte just past the last slot the install writes; 0 when it writes none.
long long endOfWrites(const Check& check) {
  for (unsigned code = kCodes - 1; code > 0; --code) {
    if (check.slots.times[code] > 0) {
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
                   "cannot read the firmware file " + std::string(path) + ": " +
                       (isDeviceName(path) ? fileErrorText(path, 0) : systemErrorText(ec)));
  }
  if (!fs::is_regular_file(status)) {
    return failRun(kProgram, "the firmware file " + std::string(path) +
                                 " is not a regular file: fontgraft cannot install into it");
  }
  errno = 0;
  image->file = openImage(path);
  if (image->file == nullptr) {
    return failRun(kProgram, "cannot open the firmware file " + std::string(path) +
                                 " for writing, as fontgraft does: " + fileErrorText(path, errno));
  }
  image->size = static_cast<long long>(fs::file_size(path, ec));
  if (ec) {
    return failRun(kProgram, "cannot read the firmware file " + std::string(path) + ": " +
                                 systemErrorText(ec));
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
  constexpr int kListOption = 0;
  static const std::vector<OptionRule> kOptions = {
      kHelpRule, kVersionRule, {"--list", nullptr, false, kListOption}};
  std::vector<Argument> arguments;
  std::string error;
  if (!splitArguments(static_cast<int>(words.size()), words.data(), kOptions, &arguments, &error)) {
    return failRun(kProgram, unknownOption(error));
  }
  std::vector<const char*> files;
  for (const Argument& argument : arguments) {
    const int common = takeCommonOption(kProgram, argument, kHelp);
    if (common >= 0) {
      return common;
    }
    if (argument.option != nullptr) {
      request->listing = true;  // the one option of its own
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

// "pair: ..." when the font says which code map it was written with.
std::string pairLine(const Check& check) {
  if (!check.fontHasDigest) {
    return "";
  }
  if (check.fontDigest == check.mapDigest) {
    return "pair: the code map is the one the font was written with\n";
  }
  const long long had = check.fontDigest.count;
  const long long has = check.mapDigest.count;
  return "pair: the code map " + std::string(check.request.cmap) + " is not the one " +
         check.request.font + " was written with (" +
         (has == had
              ? "its " + std::to_string(has) + " mappings are others"
              : std::to_string(has) + " mappings where the font's had " + std::to_string(had)) +
         "): convert again to write both together, with --codes for a part\n";
}

void printSummary(const Check& check) {
  std::printf("font: %s, %ld without a glyph ID, %ld with a code in the code map\n",
              countOf(check.glyphs, "glyph").c_str(), check.withoutId, check.withCode);
  if (check.map.opened) {
    std::printf("code map: %s read; %lld before the line \"Specific ID: 1\" passed over\n",
                countOf(check.map.size, "mapping line").c_str(), check.map.skipped);
  } else {
    std::printf(
        "code map: no line \"Specific ID: 1\" (at its 16th character), so no mapping line "
        "is read; %lld passed over\n",
        check.map.skipped);
  }
  std::fputs(pairLine(check).c_str(), stdout);
  std::printf("install: %s written\n", countOf(check.slotsWritten, "slot").c_str());
  const long blanks =
      check.blank[kWrittenEarlier] + check.blank[kNotInFont] + check.blank[kCodeZero];
  std::printf(
      "blank: %s of the code map stay blank: %ld whose glyph is written at an "
      "earlier code, %ld whose glyph is not in the font, %ld whose glyph is given code 0\n",
      countOf(blanks, "code").c_str(), check.blank[kWrittenEarlier], check.blank[kNotInFont],
      check.blank[kCodeZero]);
  std::printf("twice: %s written more than once (the last glyph wins)\n",
              countOf(check.twice, "slot").c_str());
  long pixels = 0;
  std::string causes;
  for (int k = 0; k < kRowLosses; ++k) {
    pixels += check.lost[k];
    if (check.lost[k] > 0) {
      causes += "; " + std::to_string(check.lost[k]) + " " + kLossText[k];
    }
  }
  std::printf("lost: %s in %s%s\n", countOf(pixels, "pixel").c_str(),
              countOf(check.losingGlyphs, "glyph").c_str(), causes.c_str());
}

void printImageSummary(const Check& check) {
  std::printf("erase: %ld slot%s that hold%s a glyph would be written blank\n", check.erased,
              check.erased == 1 ? "" : "s", check.erased == 1 ? "s" : "");
  const long long needed = endOfWrites(check);
  if (check.image->size >= needed) {
    std::printf("image: %lld bytes, holds every slot written\n", check.image->size);
  } else {
    std::printf("the image would grow from %lld to %lld bytes: is it the whole firmware?\n",
                check.image->size, needed);
  }
}

// Why nothing would be written, as far as the inputs tell.
std::string whyNothing(const Check& check) {
  if (!check.map.opened && check.glyphs == 0) {
    return "the font and the code map look swapped (the font comes first, the code map after -c)";
  }
  if (!check.map.opened) {
    return check.map.wide ? "the code map is UTF-16 text, which fontgraft does not read: save it "
                            "as UTF-8 or ANSI (Notepad: Save As, Encoding UTF-8; PowerShell: "
                            "Out-File -Encoding ascii)"
                          : "the code map has no mapping section";
  }
  if (check.glyphs == 0) {
    return "the font holds no glyph";
  }
  if (check.withoutId == check.glyphs) {
    return "no glyph name carries a glyph ID (STARTCHAR glyphID:XXXX)";
  }
  return "no glyph ID of the font is in the code map";
}

// Prints the --list lines, in the order the summary counts them.
bool printList(Check* check) {
  bool copied = check->fontNotes.copyTo(stdout) && check->mapNotes.copyTo(stdout) &&
                check->glyphLines.copyTo(stdout);
  for (const std::string& line : check->codeLines) {
    std::printf("%s\n", line.c_str());
  }
  return copied;
}

// Why the install is not ready, "" when it is.
std::string reasonsOf(const Check& check) {
  const bool lost =
      std::any_of(std::begin(check.lost), std::end(check.lost), [](long n) { return n > 0; });
  const bool blank =
      check.blank[kWrittenEarlier] + check.blank[kNotInFont] + check.blank[kCodeZero] > 0;
  std::vector<std::string> reasons;
  if (blank || lost || check.twice > 0) {
    reasons.push_back("something would be lost or left blank");
  }
  if (check.fontHasDigest && !(check.fontDigest == check.mapDigest)) {
    reasons.push_back("the code map is not the font's own");
  }
  if (check.erased > 0) {
    reasons.push_back("glyphs the image holds would be erased");
  }
  if (check.image != nullptr && check.image->size < endOfWrites(check)) {
    reasons.push_back("the image would grow");
  }
  std::string text;
  for (const std::string& reason : reasons) {
    text += (text.empty() ? "" : "; ") + reason;
  }
  return text;
}

// Prints the list and the verdict; returns the exit status.
int printVerdict(Check* check) {
  if (check->request.listing && !printList(check)) {
    return failRun(kProgram, "cannot keep the list of findings in the temporary folder");
  }
  const std::string reasons = reasonsOf(*check);
  int status = 2;
  if (check->slotsWritten == 0) {
    std::printf("nothing would be written: %s\n", whyNothing(*check).c_str());
  } else if (!reasons.empty()) {
    const bool listable =
        reasons.find("lost or left blank") != std::string::npos || check->erased > 0;
    std::printf("not ready: %s%s\n", reasons.c_str(),
                check->request.listing || !listable ? "" : " (--list names each code)");
  } else {
    std::printf("ready: every code of the code map gets its glyph, whole\n");
    status = 0;
  }
  return checkStandardOutput(kProgram) != 0 ? 1 : status;
}

// Reads the inputs as the install would; returns -1 to go on, else the exit
// status.
int readInputs(Check* check) {
  const Request& request = check->request;
  // A run writing the pair holds its folders while it replaces the files, so
  // the two read here come from one run.
  FolderLocks locks;
  std::size_t busy = 0;
  if (!locks.take({request.font, request.cmap}, false, kFolderLockMilliseconds, &busy)) {
    return failRun(kProgram, std::string("the folder of ") +
                                 (busy == 0 ? request.font : request.cmap) +
                                 " stays locked by another run that writes there; try again when "
                                 "it is done");
  }
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
  if (!readMap(check, cmap.path())) {
    return failRun(
        kProgram, "cannot read the code map " + std::string(request.cmap) + ": input/output error");
  }
  if (!readFont(check, font.path())) {
    return failRun(kProgram,
                   "cannot read the font " + std::string(request.font) + ": input/output error");
  }
  return -1;
}

int check(int argc, const char* const* argv) {
  auto check = std::make_unique<Check>();
  const int parsed = parseArguments(argc, argv, &check->request);
  if (parsed >= 0) {
    return parsed;
  }
  if (check->request.listing) {
    check->slots.mapLine.assign(kCodes, 0);
    check->slots.writes.assign(kCodes, Slots::Writes());
  }
  if (check->request.image != nullptr) {
    check->image = std::make_unique<Image>();
    if (openImageFile(check->request.image, check->image.get()) != 0) {
      return 1;
    }
  }
  const int read = readInputs(check.get());
  if (read >= 0) {
    return read;
  }
  findBlanks(check.get());
  findTwice(check.get());
  if (check->image != nullptr && !findErased(check.get())) {
    return failRun(kProgram, "cannot read the firmware file " + std::string(check->request.image) +
                                 ": input/output error");
  }
  printSummary(*check);
  if (check->image != nullptr) {
    printImageSummary(*check);
  }
  return printVerdict(check.get());
}

}  // namespace

int runCheck(int argc, const char* const* argv) {
  try {
    return check(argc, argv);
  } catch (const std::bad_alloc&) {
    return failRun(kProgram, "out of memory");
  }
}
