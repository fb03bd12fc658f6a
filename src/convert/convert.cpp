#include "convert/convert.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "common/cli.h"
#include "common/codes.h"
#include "common/fontfiles.h"
#include "common/outfile.h"
#include "common/scan.h"
#include "convert/chain.h"
#include "convert/charsets.h"
#include "convert/drawing.h"
#include "convert/face.h"
#include "convert/layout.h"
#include "convert/scripts.h"
#include "convert/sizing.h"
#include "convert/workers.h"

namespace {

const char kProgram[] = "fontgraft-convert";

const char kHelp[] =
    "fontgraft-convert: makes the BDF font and the code map that fontgraft installs\n"
    "Syntax: fontgraft-convert [options] <font-file> <out.bdf> <out-cmap.txt>\n"
    "        fontgraft-convert --list-faces <font-file>\n"
    "\n"
    "Reads a TrueType or OpenType font (.ttf, .otf, .ttc, .otc, .woff, or any font\n"
    "FreeType reads, bitmap fonts in Unicode and in the legacy CJK charsets\n"
    "too) and writes one glyph per character code, named after the code, each\n"
    "placed so that fontgraft puts every pixel inside the cell. A code whose\n"
    "glyph draws nothing is left out, so that the device keeps its own glyph,\n"
    "unless it is a space or an invisible format character.\n"
    "\n"
    "Options:\n"
    "  --face F         the face of a collection: its number or its name, with or\n"
    "                   without its style (default 0; see --list-faces)\n"
    "  --fallback FILE  a font that completes the font: it draws only the codes\n"
    "                   the fonts before it lack (repeatable, in order of\n"
    "                   preference), in the font's area, on its baseline, at the\n"
    "                   size at which its glyphs are as tall as the font's (its\n"
    "                   own bitmaps only at the font's size)\n"
    "  --fallback-face F  the face of a fallback collection, one for each\n"
    "                   --fallback in order: its number, its name, or auto (the\n"
    "                   default: the face for the script and language it fills)\n"
    "  --size N         pixels per em (default: the largest at which every common\n"
    "                   character of the font's main scripts fits the area, CJK\n"
    "                   ones drawn up to 1 px in 7 taller where they still fit;\n"
    "                   a glyph that still does not fit is drawn smaller to fit;\n"
    "                   with --size, what does not fit is clipped, status 2)\n"
    "  --codes A-B      only the codes A to B, in hex (repeatable; default: every\n"
    "                   code from 1 to FFFF the font maps); the size stays the\n"
    "                   whole font's\n"
    "  --area N         the part of the 16 x 16 cell glyphs are drawn in: 15 (the\n"
    "                   default: 15 columns and 16 rows, as the hand-drawn 16-pixel\n"
    "                   fonts draw, a blank column between neighbours), 14 (the\n"
    "                   14 x 14 area below and right of the 2-pixel margins) or 16\n"
    "                   (the whole cell); bitmaps of 15 and 16 pixels and outlines\n"
    "                   drawn in 16 pixels fill the cell by default\n"
    "  --fill           the same as --area 16\n"
    "  --render MODE    auto: the font's own bitmaps of the size where it has\n"
    "                   them, else thin (the default); thin: outlines thinned to\n"
    "                   strokes one pixel wide, none lost (black and white, with\n"
    "                   dropout control); unhinted: outlines as drawn, in black\n"
    "                   and white; hinted: outlines hinted by the font for black\n"
    "                   and white; grey: outlines in grey, cut at the threshold;\n"
    "                   best: per glyph, unhinted, hinted by the font or by\n"
    "                   FreeType, whichever keeps most of the outline's strokes\n"
    "                   and the gaps between them (slower)\n"
    "  --threshold N    for grey: the grey level from 1 to 255 from which a pixel\n"
    "                   is ink (default 96); lower keeps more ink and the\n"
    "                   hairlines, higher keeps the gaps between strokes\n"
    "  --list-faces     list the faces of the font file, one per line: names,\n"
    "                   codes, scripts, sizes, charset, coverage of the common\n"
    "                   sets of each language\n"
    "  -v, --verbose    list each code moved, drawn smaller, clipped or left out\n"
    "  -h, --help       print this help\n"
    "  --version        print the version\n"
    "\n"
    "With --fallback, each code comes from the first font that draws it (a glyph\n"
    "without ink is left to the next, unless it is meant blank), a code at another\n"
    "table's reading only where no font has it as its own; --size, --area and\n"
    "--face are the first font's, and the fallbacks are matched to it.\n"
    "\n"
    "Exit status: 0 when every glyph was written whole (a glyph that fits the area\n"
    "at no size is left out and named), 2 when the files were written but pixels\n"
    "were lost (clipped glyphs, with --size), 1 on an error.\n";

struct Request {
  std::string font;
  std::string bdf;
  std::string cmap;
  std::string face = "0";
  SizingRequest sizing;
  CodeRanges ranges;
  std::vector<std::string> fallbacks;      // in order of preference
  std::vector<std::string> fallbackFaces;  // the first's, the second's, ...
  bool listFaces = false;
  bool verbose = false;
};

// A whole number from `low` to `high`.
bool parseNumber(const char* text, int low, int high, int* value) {
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (*text < '0' || *text > '9' || *end != '\0' || number < low || number > high) {
    return false;
  }
  *value = static_cast<int>(number);
  return true;
}

bool parseRange(const std::string& text, std::pair<std::uint32_t, std::uint32_t>* range) {
  const std::size_t dash = text.find('-');
  const std::string first = text.substr(0, dash);
  const std::string last = dash == std::string::npos ? first : text.substr(dash + 1);
  std::uint16_t from = 0;
  std::uint16_t to = 0;
  if (!parseHexCode(first.c_str(), &from) || !parseHexCode(last.c_str(), &to) || from > to) {
    return false;
  }
  *range = {from, to};
  return true;
}

enum ConvertOption {
  kFaceOption,
  kSizeOption,
  kCodesOption,
  kRenderOption,
  kThresholdOption,
  kFillOption,
  kAreaOption,
  kListFacesOption,
  kVerboseOption,
  kFallbackOption,
  kFallbackFaceOption,
};

const std::vector<OptionRule> kOptions = {
    kHelpRule,
    kVersionRule,
    {"--face", nullptr, true, kFaceOption},
    {"--size", nullptr, true, kSizeOption},
    {"--codes", nullptr, true, kCodesOption},
    {"--render", nullptr, true, kRenderOption},
    {"--threshold", nullptr, true, kThresholdOption},
    {"--fill", nullptr, false, kFillOption},
    {"--area", nullptr, true, kAreaOption},
    {"--list-faces", nullptr, false, kListFacesOption},
    {"--verbose", "-v", false, kVerboseOption},
    {"--fallback", nullptr, true, kFallbackOption},
    {"--fallback-face", nullptr, true, kFallbackFaceOption},
};

bool parseRendering(const char* text, Rendering* rendering) {
  static const std::map<std::string, Rendering> kModes = {
      {"auto", Rendering::kAuto},     {"thin", Rendering::kThin},
      {"hinted", Rendering::kHinted}, {"unhinted", Rendering::kUnhinted},
      {"grey", Rendering::kGrey},     {"best", Rendering::kBest}};
  const auto mode = kModes.find(text);
  if (mode == kModes.end()) {
    return false;
  }
  *rendering = mode->second;
  return true;
}

bool parseArea(const char* text, int* size) {
  Area area{};
  return parseNumber(text, 1, kCellSize, size) && areaOfSize(*size, &area);
}

// What the fallback face "auto" asks for: the face chosen by the codes it
// fills.
const char kChosenFace[] = "auto";

// Takes --fallback or --fallback-face into `request`.
std::string takeFallback(int id, const std::string& given, Request* request) {
  if (id == kFallbackFaceOption) {
    request->fallbackFaces.push_back(given);
    return given.empty()
               ? "bad fallback face \"\": give its number or its name (see --list-faces), "
                 "or auto"
               : "";
  }
  request->fallbacks.push_back(given);
  if (request->fallbacks.size() > kMaxFallbacks) {
    return "too many fallbacks: give at most " + std::to_string(kMaxFallbacks);
  }
  return given.empty() ? "bad fallback \"\": give a font file" : "";
}

// Takes one option into `request`: "" to go on, else what is wrong with it.
std::string takeOption(int id, const char* value, Request* request) {
  const std::string given = value != nullptr ? value : "";
  std::pair<std::uint32_t, std::uint32_t> range;
  switch (id) {
    case kFaceOption:
      request->face = given;
      return given.empty() ? "bad face \"\": give its number or its name (see --list-faces)" : "";
    case kSizeOption:
      return parseNumber(value, 1, 64, &request->sizing.size)
                 ? ""
                 : "bad size \"" + given + "\": give pixels per em from 1 to 64";
    case kCodesOption:
      request->ranges.push_back(range);
      return parseRange(given, &request->ranges.back())
                 ? ""
                 : "bad codes \"" + given +
                       "\": give hex codes FIRST-LAST from 0 to FFFF, such as 4E00-9FFF";
    case kRenderOption:
      return parseRendering(value, &request->sizing.rendering)
                 ? ""
                 : "bad rendering \"" + given +
                       "\": give auto, thin, unhinted, hinted, grey or best";
    case kThresholdOption:
      return parseNumber(value, 1, 255, &request->sizing.threshold)
                 ? ""
                 : "bad threshold \"" + given + "\": give a number from 1 to 255";
    case kFillOption:
      request->sizing.area = kWholeCell.width;
      return "";
    case kAreaOption:
      return parseArea(value, &request->sizing.area)
                 ? ""
                 : "bad area \"" + given +
                       "\": give 14 (the margins kept), 15 (the default) or 16 (the whole cell)";
    case kListFacesOption:
      request->listFaces = true;
      return "";
    case kFallbackOption:
    case kFallbackFaceOption:
      return takeFallback(id, given, request);
    default:
      request->verbose = true;
      return "";
  }
}

// Takes the operands: the font file and the two files to write, or, with
// --list-faces, the font file alone.
int takeFiles(const std::vector<std::string>& files, Request* request) {
  if (request->fallbackFaces.size() > request->fallbacks.size()) {
    return failRun(kProgram,
                   "give --fallback-face once for each --fallback at most, in their "
                   "order (see --help)");
  }
  if (request->listFaces) {
    if (files.size() != 1 || !request->fallbacks.empty()) {
      return failRun(kProgram, "give the one font file whose faces to list (see --help)");
    }
    request->font = files[0];
    return -1;
  }
  if (files.size() != 3) {
    return failRun(kProgram,
                   "give a font file, the BDF file and the code map file to write (see --help)");
  }
  request->font = files[0];
  request->bdf = files[1];
  request->cmap = files[2];
  return -1;
}

// Fills `request` from the command line. Returns -1 to go on, else the exit
// status (after the help, the version or an error).
int parseArguments(int argc, const char* const* argv, Request* request) {
  std::vector<Argument> arguments;
  std::string error;
  if (!splitArguments(argc, argv, kOptions, &arguments, &error)) {
    return failRun(kProgram, error);
  }
  std::vector<std::string> files;
  for (const Argument& argument : arguments) {
    const int common = takeCommonOption(kProgram, argument, kHelp);
    if (common >= 0) {
      return common;
    }
    if (argument.option == nullptr) {
      files.push_back(argument.value);
      continue;
    }
    error = takeOption(argument.option->id, argument.value, request);
    if (!error.empty()) {
      return failRun(kProgram, error);
    }
  }
  return takeFiles(files, request);
}

// "41,635"
std::string counted(long number) {
  std::string digits = std::to_string(number < 0 ? -number : number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
    digits.insert(static_cast<std::size_t>(at), ",");
  }
  return (number < 0 ? "-" : "") + digits;
}

std::string lowered(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return out;
}

std::string faceName(const FaceInfo& info) {
  return info.style.empty() ? info.family : info.family + " " + info.style;
}

// "there is no face 3 in F: it has 2 faces, 0 to 1 (see --list-faces)"
std::string noSuchFace(const FontData& data, const std::string& wanted, const FaceList& list) {
  const std::string faces =
      list.declared == 1 ? "one face, 0" : counted(list.declared) + " faces, ";
  return "there is no face " + wanted + " in " + data.path + ": it has " + faces +
         (list.declared == 1 ? ""
          : list.faces == list.declared
              ? "0 to " + counted(list.faces - 1)
              : "of which 0 to " + counted(list.faces - 1) + " can be opened") +
         " (see --list-faces)";
}

// The face named `wanted`: its family with or without its style (a family
// alone takes its regular face, else its first); -1 where none is. Each font
// of a collection is read once, for its names only.
int faceNamed(const FontData& data, const FaceList& list, const std::string& wanted, Face* face) {
  int found = -1;
  for (int i = 0; i < list.faces; ++i) {
    FaceInfo candidate;
    std::string error;
    if (list.same[static_cast<std::size_t>(i)] != i ||
        !face->openNames(data, i, &candidate, &error)) {
      continue;
    }
    const bool whole = lowered(faceName(candidate)) == lowered(wanted);
    const bool family = lowered(candidate.family) == lowered(wanted);
    const bool regular = lowered(candidate.style) == "regular" ||
                         lowered(candidate.style) == "medium" || lowered(candidate.style) == "book";
    if (whole || (family && (found < 0 || regular))) {
      found = i;
      if (whole) {
        break;
      }
    }
  }
  return found;
}

// Opens the face `wanted` names: its number, or its name (see faceNamed).
// The font's bytes are unpacked first where they are compressed.
bool openWantedFace(FontData* font, const std::string& wanted, Face* face, FaceInfo* info,
                    std::string* error) {
  const FontData& data = *font;
  FaceList list;
  if (!unpackFontData(font, error) || !readFaceList(data, &list, error)) {
    return false;
  }
  int index = 0;
  if (parseNumber(wanted.c_str(), 0, 0x7FFFFFFF, &index)) {
    if (index >= list.faces) {
      *error = noSuchFace(data, wanted, list);
      return false;
    }
    return face->open(data, index, info, error);
  }
  const int found = faceNamed(data, list, wanted, face);
  if (found < 0) {
    const bool all = std::count(list.same.begin(), list.same.end(), -1) == 0;
    *error = "no face of " + data.path +
             (all ? "" : " among its first " + counted(kMaxFontsRead) + " different fonts") +
             " is named \"" + wanted + "\" (see --list-faces)";
    return false;
  }
  return face->open(data, found, info, error);
}

// The codes of a face, in order, without those given at another table's
// reading.
std::vector<std::uint32_t> ownCodes(const std::vector<MappedCode>& codes) {
  std::vector<std::uint32_t> own;
  for (const MappedCode& c : codes) {
    if (!c.alternative) {
      own.push_back(c.code);
    }
  }
  return own;
}

// "GB 2312 level 1: 3,755 of 3,755; ...; Big5 common: 0 of 5,401", for codes
// in order; empty where they cover none of the sets.
std::string coverageText(const std::vector<CommonSet>& sets,
                         const std::vector<std::uint32_t>& codes) {
  std::string text;
  bool any = false;
  for (const CommonSet& set : sets) {
    // The smaller list looked up in the larger.
    const bool fewer = codes.size() < set.codes.size();
    const std::vector<std::uint32_t>& small = fewer ? codes : set.codes;
    const std::vector<std::uint32_t>& large = fewer ? set.codes : codes;
    long have = 0;
    for (std::uint32_t code : small) {
      have += std::binary_search(large.begin(), large.end(), code) ? 1 : 0;
    }
    any = any || have > 0;
    text += (text.empty() ? "" : "; ") + std::string(set.name) + ": " + counted(have) + " of " +
            counted(static_cast<long>(set.codes.size()));
  }
  return any ? text : "";
}

// "charset JISX0208.1983-0, read through X.Org's table jisx0208.1990-0"
std::string charsetText(const FaceInfo& info) {
  return "charset " + info.charset +
         (info.table.empty() ? ", its codes Unicode's"
                             : ", read through X.Org's table " + info.table);
}

// One line of --list-faces.
std::string faceLine(const FaceInfo& info, const std::vector<CommonSet>& sets) {
  std::string strikes;
  for (int size : info.strikes) {
    strikes += (strikes.empty() ? "" : " ") + std::to_string(size);
  }
  const std::string coverage = coverageText(sets, ownCodes(info.codes));
  return std::to_string(info.index) + ": \"" + info.family + "\" " + info.style + ", " +
         counted(static_cast<long>(info.codes.size())) +
         (info.codes.size() == 1 ? " code" : " codes") +
         (info.astral > 0 ? " and " + counted(info.astral) + " above U+FFFF" : "") +
         ", scripts: " + scriptsCovered(info.codes) + (info.scalable ? "; outlines" : "") +
         (strikes.empty() ? "" : "; bitmaps of " + strikes + " px") +
         (info.charset.empty() ? "" : "; " + charsetText(info)) +
         (coverage.empty() ? "" : "; " + coverage) + "\n";
}

// Lists the faces, each font of a collection read once.
int listFaces(const Request& request) {
  FontData data;
  FaceList list;
  std::string error;
  if (!readFontData(request.font, &data, &error) || !unpackFontData(&data, &error) ||
      !readFaceList(data, &list, &error)) {
    return failRun(kProgram, error);
  }
  const std::vector<CommonSet> sets = commonSets();
  std::string text;
  Face face;
  for (int i = 0; i < list.faces; ++i) {
    const int same = list.same[static_cast<std::size_t>(i)];
    FaceInfo info;
    if (same < 0) {
      text += std::to_string(i) + ": not read: the collection holds more than " +
              counted(kMaxFontsRead) + " different fonts (--face " + std::to_string(i) +
              " opens it)\n";
    } else if (same != i) {
      text += std::to_string(i) + ": the same font as face " + std::to_string(same) + "\n";
    } else if (!face.open(data, i, &info, &error)) {
      text += std::to_string(i) + ": " + error + "\n";
    } else {
      text += faceLine(info, sets);
    }
  }
  if (list.declared > list.faces) {
    text += "faces " + counted(list.faces) + " to " + counted(list.declared - 1) +
            " cannot be opened: FreeType numbers faces up to " + counted(kMaxFaces - 1) + "\n";
  }
  return printText(kProgram, text);
}

// What became of one code.
// "2 rows down, 1 column left", saying only the ways the glyph moved.
std::string moveText(const Converted& c) {
  const auto part = [](int amount, const char* unit, const char* less, const char* more) {
    if (amount == 0) {
      return std::string();
    }
    const int steps = std::abs(amount);
    return std::to_string(steps) + " " + unit + (steps == 1 ? " " : "s ") +
           (amount < 0 ? less : more);
  };
  const std::string rows = part(c.down, "row", "up", "down");
  const std::string columns = part(c.right, "column", "left", "right");
  return rows + (rows.empty() || columns.empty() ? "" : ", ") + columns;
}

struct Tally {
  long counts[kScriptGroups] = {};
  long total = 0;
  void add(std::uint32_t code) {
    ++counts[scriptOf(code)];
    ++total;
  }
  // "105 (ideographs 2, other 103)"
  std::string text() const {
    std::string parts;
    for (int g = 0; g < kScriptGroups; ++g) {
      if (counts[g] > 0) {
        parts += (parts.empty() ? "" : ", ") +
                 std::string(scriptName(static_cast<ScriptGroup>(g))) + " " + counted(counts[g]);
      }
    }
    return counted(total) + (total > 0 ? " (" + parts + ")" : "");
  }
};

// "outlines thinned by 0.22 x 0.09 px (Latin 0.09 x 0.00), every stroke kept"
std::string thinnedName(const SizeChoice& choice) {
  const auto pixels = [](int sixtyFourths) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", sixtyFourths / 64.0);
    return std::string(text);
  };
  const Thinning& t = choice.thinning;
  const Thinning& l = choice.latinThinning;
  if (t.stems == 0 && t.bars == 0 && l.stems == 0 && l.bars == 0) {
    return "outlines, every stroke kept";
  }
  return "outlines thinned by " + pixels(t.stems) + " x " + pixels(t.bars) + " px (Latin " +
         pixels(l.stems) + " x " + pixels(l.bars) + "), every stroke kept";
}

std::string renderingName(const SizeChoice& choice, Rendering rendering) {
  const bool thinned = rendering == Rendering::kAuto || rendering == Rendering::kThin;
  if (choice.strike) {
    return "the font's own bitmaps" + (thinned && choice.scalable
                                           ? "; " + thinnedName(choice) + " where they lack one"
                                           : std::string());
  }
  if (choice.onGrid) {
    return "outlines drawn in pixels, unhinted";
  }
  switch (rendering) {
    case Rendering::kHinted:
      return "hinted outlines";
    case Rendering::kGrey:
      return "grey outlines";
    case Rendering::kBest:
      return "outlines, each glyph unhinted or hinted, whichever keeps most of its strokes";
    case Rendering::kUnhinted:
      return "unhinted outlines";
    default:
      return thinnedName(choice);
  }
}

std::string sizeReason(const SizeChoice& choice, bool given) {
  if (given) {
    return "the size asked for";
  }
  std::string scripts;
  for (std::size_t i = 0; i < choice.binding.size(); ++i) {
    scripts += (i == 0                           ? ""
                : i + 1 == choice.binding.size() ? " and "
                                                 : ", ") +
               std::string(scriptName(choice.binding[i]));
  }
  if (scripts.empty()) {
    scripts = "glyphs";
  }
  if (choice.onGrid) {
    return "the size of the pixels its outlines are drawn in";
  }
  return choice.fits ? "the largest at which its " + scripts + " fit"
                     : "the smallest tried: its " + scripts + " fit at none";
}

// What became of the codes, counted for the summary.
struct Summary {
  Tally moved, smaller, clipped, blank, undrawable, noFit, plain, written;
  long chosen[3] = {};  // --render best: glyphs by the drawing taken
  long why[4] = {};     // drawn smaller, by Misfit
  bool anyInk = false;
  std::string verbose;  // a line for each code not drawn whole where it stands
};

// The line -v gives a code, or "".
std::string verboseLine(const Converted& c) {
  if (c.outcome == Outcome::kWhole && !c.plain) {
    return "";
  }
  const std::string name = codeName(c.code);
  switch (c.outcome) {
    case Outcome::kMoved:
      return name + " moved " + moveText(c) + (c.plain ? ", unthinned" : "") + "\n";
    case Outcome::kSmaller:
      return name + " drawn at " + std::to_string(c.size) + " pixels per em to fit" +
             (c.misfit == Misfit::kWide   ? " (too wide)"
              : c.misfit == Misfit::kTall ? " (too tall)"
                                          : " on its baseline") +
             (c.plain ? ", unthinned" : "") +
             (c.down != 0 || c.right != 0 ? ", moved " + moveText(c) : "") + "\n";
    case Outcome::kClipped:
      return name + " clipped: " + std::to_string(c.lost) + " pixels lost\n";
    case Outcome::kBlankLeftOut:
      return name + " draws nothing: left out\n";
    case Outcome::kUndrawable:
      return name + " cannot be drawn: left out\n";
    case Outcome::kNoFit:
      return name + " fits the area at no size: left out\n";
    default:
      return c.plain ? name + " drawn unthinned to fit\n" : "";
  }
}

// Counts one code into `summary`.
void tally(const Converted& c, Summary* summary) {
  Tally* const tallies[] = {nullptr,           &summary->moved, &summary->smaller,
                            &summary->clipped, &summary->blank, &summary->undrawable,
                            &summary->noFit};
  Tally* tally = tallies[static_cast<int>(c.outcome)];
  if (tally != nullptr) {
    tally->add(c.code);
  }
  if (c.outcome == Outcome::kSmaller) {
    ++summary->why[static_cast<int>(c.misfit)];
  }
  if (c.plain) {
    summary->plain.add(c.code);
  }
  if (c.ink) {
    ++summary->chosen[static_cast<int>(c.chosen)];
  }
  if (isWritten(c.outcome)) {
    summary->written.add(c.code);
    summary->anyInk = summary->anyInk || c.ink;
  }
}

// The glyphs to write, in code order, and the summary of every code: of the
// whole chain in `total` (with the lines of -v), of each font in `fonts`.
std::vector<CellGlyph> collect(const std::vector<Given>& given, Summary* total,
                               std::vector<Summary>* fonts) {
  std::vector<CellGlyph> glyphs;
  for (const Given& g : given) {
    tally(g.converted, total);
    tally(g.converted, &(*fonts)[g.font]);
    total->verbose += verboseLine(g.converted);
    if (isWritten(g.converted.outcome)) {
      glyphs.push_back(g.converted.cell);
    }
  }
  return glyphs;
}

std::string areaName(const SizeChoice& choice) {
  if (choice.filled) {
    return choice.onGrid ? "filling the whole cell (outlines drawn in its pixels)"
                         : "filling the whole cell (bitmaps drawn for it)";
  }
  if (choice.area.width == kWholeCell.width) {
    return "filling the whole cell";
  }
  return choice.area.width == kMarginArea.width
             ? "in the 14 x 14 area below and right of the margins"
             : "in the 15 x 16 area left of a blank column";
}

// "drawn smaller to fit 3 (Latin 3): 1 too wide, 2 on their baseline"
std::string smallerText(const Summary& summary) {
  static const char* const kWhy[] = {nullptr, "too wide", "too tall", "to stand on their baseline"};
  std::string why;
  for (int m = 1; m < 4; ++m) {
    if (summary.why[m] > 0) {
      why += (why.empty() ? ": " : ", ") + counted(summary.why[m]) + " " + kWhy[m];
    }
  }
  return summary.smaller.text() + why;
}

// The counts of glyphs drawn otherwise than the drawing named says.
std::string drawingNote(Rendering rendering, const SizeChoice& choice, const Summary& summary) {
  if (summary.plain.total > 0) {
    return "; " + summary.plain.text() + " unthinned to fit";
  }
  if (rendering == Rendering::kBest && !choice.strike) {
    return ": unhinted " + counted(summary.chosen[0]) + ", hinted by the font " +
           counted(summary.chosen[1]) + ", by FreeType " + counted(summary.chosen[2]);
  }
  return "";
}

// " (17 tall, to fill the area's height)", or "".
std::string tallText(const SizeChoice& choice) {
  return choice.tall == 0
             ? ""
             : " (" + std::to_string(choice.tall) + " tall, to fill the area's height)";
}

// The summary's first line for a font converted alone.
void printFontLine(const Request& request, const FaceInfo& info, const SizeChoice& choice,
                   const Summary& summary) {
  const long glyphs = summary.written.total;
  printNote(kProgram, counted(glyphs) + (glyphs == 1 ? " glyph" : " glyphs") + " of " +
                          faceName(info) + " (face " + std::to_string(info.index) + ") at " +
                          std::to_string(choice.size) + " pixels per em" + tallText(choice) + ", " +
                          sizeReason(choice, request.sizing.size != 0) + " (" +
                          renderingName(choice, request.sizing.rendering) +
                          drawingNote(request.sizing.rendering, choice, summary) +
                          "), baseline above cell row " + std::to_string(choice.baselineRow) +
                          ", " + areaName(choice));
}

// The summary's lines on what became of the codes, for one font or a chain:
// `astral` codes above U+FFFF.
void printTotals(const Summary& summary, int smallest, long astral) {
  printNote(kProgram, "moved " + summary.moved.text() + "; drawn smaller to fit " +
                          smallerText(summary) + "; clipped " + summary.clipped.text() +
                          (summary.clipped.total == 0 ? ""
                           : smallest > 0
                               ? ": at " + std::to_string(smallest) + " pixels per em none would be"
                               : ""));
  if (summary.blank.total > 0 || summary.undrawable.total > 0 || summary.noFit.total > 0) {
    std::string parts = summary.blank.text() + " that draw nothing";
    if (summary.undrawable.total > 0) {
      parts += ", " + summary.undrawable.text() + " that cannot be drawn";
    }
    if (summary.noFit.total > 0) {
      parts += ", " + summary.noFit.text() + " that fit the area at no size";
    }
    printNote(kProgram, "left out, so that the device keeps its own: " + parts);
  }
  if (astral > 0) {
    printNote(kProgram, counted(astral) + (astral == 1 ? " code" : " codes") +
                            " above U+FFFF left out: the table holds U+0000\u2013U+FFFF");
  }
}

// How many glyphs' lines a worker makes at a time.
constexpr std::size_t kLinesPerTake = 2048;

// The lines of both files, made on every worker: the glyphs' BDF lines and
// their mappings, a piece for each kLinesPerTake glyphs.
struct OutputLines {
  std::vector<std::string> bdf;
  std::vector<std::string> cmap;
};

OutputLines linesOf(Workers* workers, const FontHeader& header,
                    const std::vector<CellGlyph>& glyphs) {
  OutputLines lines;
  const std::size_t pieces = (glyphs.size() + kLinesPerTake - 1) / kLinesPerTake;
  lines.bdf.resize(pieces);
  lines.cmap.resize(pieces);
  Jobs jobs(pieces, 1);
  workers->run(workers->size(), [&](Face*, std::size_t) {
    for (std::size_t piece = 0, end = 0; jobs.take(&piece, &end);) {
      const std::size_t from = piece * kLinesPerTake;
      const std::size_t count = std::min(kLinesPerTake, glyphs.size() - from);
      lines.bdf[piece] = bdfGlyphLines(header, glyphs.data() + from, count);
      lines.cmap[piece] = codeMapLines(glyphs.data() + from, count);
    }
  });
  return lines;
}

// Writes both files, together or not at all, never onto a font of the chain.
int writeOutputs(Workers* workers, const Request& request, const FontHeader& header,
                 const std::vector<CellGlyph>& glyphs) {
  const OutputLines lines = linesOf(workers, header, glyphs);
  OutputSet outputs;
  outputs.addInput(request.font, "the font");
  for (const std::string& fallback : request.fallbacks) {
    outputs.addInput(fallback, "a fallback font");
  }
  std::string error;
  std::string failed = request.bdf;
  std::FILE* bdf = outputs.add(request.bdf, &error);
  bool ok = bdf != nullptr && writeBdfLines(bdf, header, glyphs, lines.bdf);
  if (ok) {
    failed = request.cmap;
    std::FILE* cmap = outputs.add(request.cmap, &error);
    ok = cmap != nullptr && writeCodeMapLines(cmap, lines.cmap);
  }
  const int written = errno;  // why a write failed, where one did
  ok = ok && outputs.commit(&failed, &error);
  if (!ok) {
    return failRun(kProgram, "cannot write " + failed + ": " +
                                 (error.empty() ? writeFailure(written) : error));
  }
  return 0;
}

// Why the face cannot be drawn: at the size asked for, or, for a bitmap font
// whose sizes are all outside those tried, which it has.
std::string sizeFailure(const Request& request, const FaceInfo& info) {
  std::string sizes;
  for (std::size_t i = 0; i < info.strikes.size(); ++i) {
    sizes += (i == 0                         ? ""
              : i + 1 == info.strikes.size() ? " and "
                                             : ", ") +
             std::to_string(info.strikes[i]);
  }
  if (request.sizing.size != 0) {
    return "the face cannot be drawn at " + std::to_string(request.sizing.size) + " pixels" +
           (sizes.empty() ? "" : ": it has bitmaps of " + sizes + " pixels");
  }
  if (info.scalable || sizes.empty()) {
    return "the face cannot be drawn at any size";
  }
  Area area = kHandDrawnArea;
  if (request.sizing.area != 0) {
    areaOfSize(request.sizing.area, &area);
  }
  const int largest = area.height + kSizesAboveArea;
  return "the face has bitmaps of " + sizes + " pixels only, outside the sizes tried (" +
         std::to_string(largest) + " down to " + std::to_string(kMinSize) + "): give --size " +
         std::to_string(info.strikes.front()) +
         " to draw it at its own size, clipping what does not fit";
}

// "; 6 codes also written at another table's reading; left out: 2 codes the
// table leaves undefined"
std::string readingText(const FaceInfo& info) {
  const auto codes = [](long n) { return counted(n) + (n == 1 ? " code" : " codes"); };
  std::string out;
  if (info.undefined > 0) {
    out += codes(info.undefined) +
           (info.table.empty() ? " outside the charset" : " the table leaves undefined");
  }
  if (info.doubled > 0) {
    out += (out.empty() ? "" : ", ") + codes(info.doubled) +
           " read as the Unicode code of an earlier one";
  }
  return (info.alternatives > 0
              ? "; " + codes(info.alternatives) + " also written at another table's reading"
              : "") +
         (out.empty() ? "" : "; left out: " + out);
}

// A face of the same file with bitmaps of `size` pixels, where the face
// converted has none, and its name; -1 where there is none.
int faceWithStrike(const FontData& data, const FaceInfo& info, int size, std::string* name) {
  FaceList list;
  std::string error;
  if (info.faces < 2 || std::count(info.strikes.begin(), info.strikes.end(), size) > 0 ||
      !readFaceList(data, &list, &error)) {
    return -1;
  }
  const int converted = list.same[static_cast<std::size_t>(info.index)];
  Face face;
  for (int i = 0; i < list.faces; ++i) {
    FaceInfo other;
    if (list.same[static_cast<std::size_t>(i)] == i && i != converted &&
        face.openNames(data, i, &other, &error) &&
        std::count(other.strikes.begin(), other.strikes.end(), size) > 0) {
      *name = faceName(other);
      return i;
    }
  }
  return -1;
}

// A font of the chain: its file and face, how it is drawn and what it drew;
// for a fallback, how its face was chosen and its size matched.
struct ChainFont {
  FontData data;
  FaceInfo info;
  SizingRequest sizing;
  SizeChoice choice;
  ChainPart part;
  int smallest = 0;  // where glyphs are clipped, the size at which none would be
  bool faceAsked = false;
  FaceChoice faceChoice;
  SizeMatch match;
  std::unique_ptr<Workers> workers;  // on its face, while it is open
};

// The summary's lines on what the glyphs came from: a bitmap font's charset
// and table, the coverage of the common sets by the glyphs written, and a
// face of the first font's file with bitmaps of the size where this one is
// drawn from outlines.
std::vector<std::string> sourceSummary(const std::vector<ChainFont>& fonts,
                                       const std::vector<CellGlyph>& glyphs) {
  std::vector<std::string> notes;
  for (std::size_t k = 0; k < fonts.size(); ++k) {
    const FaceInfo& info = fonts[k].info;
    if (!info.charset.empty()) {
      notes.push_back((k == 0 ? "" : "fallback " + faceName(info) + ": ") + charsetText(info) +
                      readingText(info));
    }
  }
  std::vector<std::uint32_t> written;
  for (const CellGlyph& glyph : glyphs) {
    written.push_back(glyph.code);
  }
  std::sort(written.begin(), written.end());
  const std::string coverage = coverageText(commonSets(), written);
  if (!coverage.empty()) {
    notes.push_back("coverage: " + coverage);
  }
  std::string name;
  const ChainFont& first = fonts[0];
  const int size = first.choice.size;
  const int other = first.choice.strike ? -1 : faceWithStrike(first.data, first.info, size, &name);
  if (other >= 0) {
    notes.push_back("face " + std::to_string(other) + " of the file (" + name +
                    ") has hand-drawn bitmaps of " + std::to_string(size) +
                    " pixels, the size chosen here: try --face " + std::to_string(other));
  }
  return notes;
}

// "6,885 glyphs (ideographs 6,355, kana 169, other 361)"
std::string glyphsText(const Tally& tally) {
  const std::string number = counted(tally.total);
  return number + (tally.total == 1 ? " glyph" : " glyphs") + tally.text().substr(number.size());
}

// How a font's face was taken: "face 2 of 10, chosen for the ideographs it
// fills, in simplified Chinese".
std::string faceText(const ChainFont& font, bool fallback) {
  const FaceInfo& info = font.info;
  const std::string face = "face " + std::to_string(info.index);
  if (!fallback || info.faces < 2) {
    return face;
  }
  if (font.faceAsked) {
    return face + " of " + counted(info.faces) + ", as asked";
  }
  const FaceChoice& choice = font.faceChoice;
  return face + " of " + counted(info.faces) + ", chosen for the " + scriptName(choice.script) +
         " it fills" +
         (choice.language != kNoLanguage ? std::string(", in ") + languageName(choice.language)
                                         : "") +
         (choice.strike ? ", with bitmaps of the first font's size" : "") +
         (choice.capped ? " (of its first " + counted(kMaxFacesCompared) + " fonts)" : "");
}

// Why a fallback is drawn at its size.
std::string matchText(const ChainFont& font) {
  const SizeMatch& match = font.match;
  if (match.strike) {
    return "its bitmaps of the first font's size";
  }
  if (match.script == kOtherScripts) {
    return sizeReason(font.choice, false) +
           " in the first font's area, sharing none of its scripts";
  }
  char heights[64];
  std::snprintf(heights, sizeof heights, "%.1f rows on average, against %.1f", match.height,
                match.firstHeight);
  return std::string("its ") + scriptName(match.script) + " as tall as the first font's (" +
         heights + ")";
}

// ", 1 row lower than the first font's", or "".
std::string shiftText(const SizeMatch& match) {
  if (match.shift == 0) {
    return "";
  }
  const int rows = std::abs(match.shift);
  return ", " + countOf(rows, "row") + (match.shift > 0 ? " lower" : " higher") +
         " than the first font's, so that its " + scriptName(match.script) +
         " stand in the same rows";
}

// The summary's line for font `k` of a chain.
std::string chainLine(const Request& request, const ChainFont& font, const Summary& summary,
                      std::size_t k) {
  const SizeChoice& choice = font.choice;
  const Rendering rendering = font.sizing.rendering;
  return (k == 0 ? "" : "fallback ") + faceName(font.info) + " (" + faceText(font, k > 0) +
         ") gave " + glyphsText(summary.written) + " at " + std::to_string(choice.size) +
         " pixels per em" + tallText(choice) + ", " +
         (k == 0 ? sizeReason(choice, request.sizing.size != 0) : matchText(font)) + " (" +
         renderingName(choice, rendering) + drawingNote(rendering, choice, summary) +
         "), baseline above cell row " + std::to_string(choice.baselineRow) +
         (k == 0 ? ", " + areaName(choice) : shiftText(font.match));
}

// The codes above U+FFFF that the fonts of the chain map, each once.
long astralOf(const std::vector<ChainFont>& fonts) {
  if (fonts.size() == 1) {
    return fonts[0].info.astral;
  }
  std::vector<std::uint32_t> codes;
  for (const ChainFont& font : fonts) {
    codes.insert(codes.end(), font.info.astralCodes.begin(), font.info.astralCodes.end());
  }
  std::sort(codes.begin(), codes.end());
  return static_cast<long>(std::unique(codes.begin(), codes.end()) - codes.begin());
}

void report(const Request& request, const std::vector<ChainFont>& fonts, const Summary& total,
            const std::vector<Summary>& each, const std::vector<CellGlyph>& glyphs) {
  if (request.verbose) {
    std::fputs(total.verbose.c_str(), stderr);
  }
  if (fonts.size() == 1) {
    printFontLine(request, fonts[0].info, fonts[0].choice, total);
  } else {
    for (std::size_t k = 0; k < fonts.size(); ++k) {
      printNote(kProgram, chainLine(request, fonts[k], each[k], k));
    }
  }
  printTotals(total, fonts[0].smallest, astralOf(fonts));
  for (const std::string& note : sourceSummary(fonts, glyphs)) {
    printNote(kProgram, note);
  }
}

// Why there is nothing to write, or "".
std::string nothingToWrite(const Request& request, const std::vector<Given>& given,
                           const Summary& total) {
  const bool chain = !request.fallbacks.empty();
  if (given.empty()) {
    return chain ? "no font of the chain maps a code in the codes asked for"
                 : "the font maps no code in the codes asked for";
  }
  const bool onlyMeantBlank = std::all_of(
      given.begin(), given.end(), [](const Given& g) { return isMeantBlank(g.converted.code); });
  if (total.written.total > 0 && (total.anyInk || onlyMeantBlank)) {
    return "";
  }
  return std::string(chain ? "the fonts draw" : "the font draws") + " none of the " +
         (request.ranges.empty() ? "" : "asked-for ") + "codes (" + counted(total.blank.total) +
         " draw nothing, " + counted(total.undrawable.total) + " cannot be drawn)";
}

// "the font maps no code from 1 to FFFF: its 3 codes are all above U+FFFF, ..."
std::string noCodesText(const FaceInfo& info) {
  return info.astral > 0 ? "the font maps no code from 1 to FFFF: its " + counted(info.astral) +
                               (info.astral == 1 ? " code is" : " codes are") +
                               " all above U+FFFF, which the table cannot hold"
                         : "the font maps no code from 1 to FFFF";
}

// Opens the first font, takes its codes to draw and chooses its size.
bool openFirst(const Request& request, Face* face, ChainFont* font, std::string* error) {
  if (!readFontData(request.font, &font->data, error) ||
      !openWantedFace(&font->data, request.face, face, &font->info, error)) {
    return false;
  }
  const FaceInfo& info = font->info;
  font->part.codes = codesToDraw(info.codes, request.ranges, {});
  font->sizing = request.sizing;
  font->workers = std::make_unique<Workers>(font->data, info.index, face);
  if (info.codes.empty()) {
    *error = noCodesText(info);
  } else if (font->part.codes.empty() && request.fallbacks.empty()) {
    *error = "the font maps no code in the codes asked for";
  } else if (!chooseSize(font->workers.get(), info, font->sizing, &font->choice)) {
    *error = sizeFailure(request, info);
  }
  return error->empty();
}

// Opens fallback `k` (from 1) in the face asked for, or else in the one
// chosen for the codes it is to fill.
bool openFallback(const Request& request, std::size_t k, const std::vector<std::uint32_t>& drawn,
                  Language language, int strikeSize, Face* face, ChainFont* font,
                  std::string* error) {
  const std::string wanted =
      k <= request.fallbackFaces.size() ? request.fallbackFaces[k - 1] : kChosenFace;
  font->faceAsked = wanted != kChosenFace;
  FaceList list;
  if (!readFontData(request.fallbacks[k - 1], &font->data, error)) {
    return false;
  }
  if (font->faceAsked) {
    return openWantedFace(&font->data, wanted, face, &font->info, error);
  }
  if (!unpackFontData(&font->data, error) || !readFaceList(font->data, &list, error) ||
      (list.faces > 1 && !chooseFallbackFace(font->data, list, request.ranges, drawn, language,
                                             strikeSize, &font->faceChoice, error))) {
    return false;
  }
  return face->open(font->data, font->faceChoice.face, &font->info, error);
}

// Draws the codes font `k` of the chain is to draw.
void drawFont(const Request& request, std::size_t k, ChainFont* font) {
  const Drawing drawing{&font->sizing, &font->choice, font->info.scalable,
                        k == 0 && request.sizing.size != 0};
  drawAll(font->workers.get(), drawing, font->part.codes, &font->part.converted, &font->smallest);
}

// Opens fallback `k`, matches it to the first font and draws the codes that
// the fonts before it left undrawn.
bool drawFallback(const Request& request, std::size_t k, const FirstFont& first,
                  const std::vector<std::uint32_t>& drawn, Language language, ChainFont* font,
                  std::string* error) {
  Face face;
  const int strikeSize = request.sizing.rendering == Rendering::kAuto ? first.choice->size : 0;
  if (!openFallback(request, k, drawn, language, strikeSize, &face, font, error)) {
    return false;
  }
  font->part.codes = codesToDraw(font->info.codes, request.ranges, drawn);
  font->sizing = request.sizing;
  font->workers = std::make_unique<Workers>(font->data, font->info.index, &face);
  std::string why;
  const bool matched = matchFallback(first, font->workers.get(), font->info, font->part.codes,
                                     &font->sizing, &font->choice, &font->match, &why);
  if (matched) {
    drawFont(request, k, font);
  }
  font->workers.reset();  // its faces close with it, before `face`
  if (!matched) {
    *error = "the fallback " + request.fallbacks[k - 1] +
             " cannot be drawn beside the first font: " + why;
  }
  return matched;
}

// Draws fallback `k` and adds the codes it draws to `drawn`; the first
// fallback whose codes have a language gives it to the chain, where the
// first font's had none. Its bytes are let go once its faces are closed.
bool addFallback(const Request& request, std::size_t k, const FirstFont& first,
                 std::vector<std::uint32_t>* drawn, Language* language, ChainFont* font,
                 std::string* error) {
  if (!drawFallback(request, k, first, *drawn, *language, font, error)) {
    return false;
  }
  addDrawn(font->part, drawn);
  *language = *language != kNoLanguage ? *language : languageOfCodes(font->info.codes);
  FontBytes().swap(font->data.bytes);
  return true;
}

int convert(const Request& request) {
  std::vector<ChainFont> fonts(1 + request.fallbacks.size());
  Face face;                         // the first font's, which its fallbacks are matched to
  std::vector<std::uint32_t> drawn;  // the codes drawn at their own codes so far, in order
  std::string error;
  if (!openFirst(request, &face, &fonts[0], &error)) {
    return failRun(kProgram, error);
  }
  drawFont(request, 0, &fonts[0]);
  addDrawn(fonts[0].part, &drawn);
  Language language = fonts.size() > 1 ? languageOfCodes(fonts[0].info.codes) : kNoLanguage;
  const FirstFont first{&face, &fonts[0].info, &fonts[0].sizing, &fonts[0].choice};
  for (std::size_t k = 1; k < fonts.size(); ++k) {
    if (!addFallback(request, k, first, &drawn, &language, &fonts[k], &error)) {
      return failRun(kProgram, error);
    }
  }
  std::vector<const ChainPart*> parts;
  for (const ChainFont& font : fonts) {
    parts.push_back(&font.part);
  }
  const std::vector<Given> given = mergeChain(parts);
  Summary total;
  std::vector<Summary> each(fonts.size());
  const std::vector<CellGlyph> glyphs = collect(given, &total, &each);
  error = nothingToWrite(request, given, total);
  if (!error.empty()) {
    return failRun(kProgram, error);
  }
  const FontHeader header{fonts[0].info.family, fonts[0].choice.size, fonts[0].choice.baselineRow};
  if (writeOutputs(fonts[0].workers.get(), request, header, glyphs) != 0) {
    return 1;
  }
  report(request, fonts, total, each, glyphs);
  return total.clipped.total > 0 ? 2 : 0;
}

}  // namespace

int runConvert(int argc, const char* const* argv) {
  try {
    Request request;
    const int status = parseArguments(argc, argv, &request);
    if (status >= 0) {
      return status;
    }
    return request.listFaces ? listFaces(request) : convert(request);
  } catch (const std::bad_alloc&) {
    return failRun(kProgram, "out of memory");
  }
}
