#include "convert/convert.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "common/fontfiles.h"
#include "common/outfile.h"
#include "common/scan.h"
#include "convert/layout.h"
#include "convert/render.h"

namespace {

const char kHelp[] =
    "fontgraft-convert: makes the BDF font and the code map that fontgraft installs\n"
    "Syntax: fontgraft-convert [options] <font-file> <out.bdf> <out-cmap.txt>\n"
    "\n"
    "Reads a TrueType or OpenType font (.ttf, .otf, .ttc, .otc, or any font\n"
    "FreeType reads) and writes one glyph per character code, named after the\n"
    "code, so that no code is left blank, each placed so that fontgraft puts\n"
    "every pixel inside the cell.\n"
    "\n"
    "Options:\n"
    "  --face N         the face of a font collection (default 0)\n"
    "  --size N         pixels per em (default: the largest size whose glyphs fit)\n"
    "  --codes A-B      only the codes A to B, in hex (repeatable; default: every\n"
    "                   code from 1 to FFFF the font maps)\n"
    "  --fill           use the whole 16 x 16 cell, for fonts drawn for it, instead\n"
    "                   of the 14 x 14 area below and right of the 2-pixel margins\n"
    "  --render MODE    auto: the embedded bitmaps of the size where the font has\n"
    "                   them, else hinted (the default); hinted: outlines hinted\n"
    "                   for black and white; unhinted: outlines as drawn; grey:\n"
    "                   outlines in grey, cut at the threshold\n"
    "  --threshold N    grey level from 1 to 255 that counts as ink (default 128)\n"
    "  -v, --verbose    list each code that was moved or clipped\n"
    "  -h, --help       print this help\n";

struct Request {
  const char* font = nullptr;
  const char* bdf = nullptr;
  const char* cmap = nullptr;
  int face = 0;
  int size = 0;  // 0: choose
  std::vector<std::pair<int, int>> ranges;
  bool fill = false;
  Rendering rendering = Rendering::kAuto;
  int threshold = 128;
  bool verbose = false;
};

int fail(const std::string& message) {
  std::fprintf(stderr, "fontgraft-convert: %s\n", message.c_str());
  return 1;
}

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

bool parseRange(const std::string& text, std::pair<int, int>* range) {
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

// Fills `request` from the command line. Returns -1 to go on, else the exit
// status (0 after the help).
int parseArguments(int argc, const char* const* argv, Request* request) {
  std::vector<const char*> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool takesValue = arg == "--face" || arg == "--size" || arg == "--codes" ||
                            arg == "--render" || arg == "--threshold";
    if (takesValue && i + 1 >= argc) {
      return fail(arg + " needs a value (see --help)");
    }
    const char* value = takesValue ? argv[++i] : nullptr;
    std::pair<int, int> range;
    if (arg == "-h" || arg == "--help") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (arg == "--face") {
      if (!parseNumber(value, 0, 65535, &request->face)) {
        return fail("bad face \"" + std::string(value) + "\": give a number from 0");
      }
    } else if (arg == "--size") {
      if (!parseNumber(value, 1, 64, &request->size)) {
        return fail("bad size \"" + std::string(value) + "\": give pixels per em from 1 to 64");
      }
    } else if (arg == "--codes") {
      if (!parseRange(value, &range)) {
        return fail("bad codes \"" + std::string(value) +
                    "\": give hex codes FIRST-LAST from 0 to FFFF, such as 4E00-9FFF");
      }
      request->ranges.push_back(range);
    } else if (arg == "--render") {
      static const std::map<std::string, Rendering> kModes = {{"auto", Rendering::kAuto},
                                                              {"hinted", Rendering::kHinted},
                                                              {"unhinted", Rendering::kUnhinted},
                                                              {"grey", Rendering::kGrey}};
      const auto mode = kModes.find(value);
      if (mode == kModes.end()) {
        return fail("bad rendering \"" + std::string(value) +
                    "\": give auto, hinted, unhinted or grey");
      }
      request->rendering = mode->second;
    } else if (arg == "--threshold") {
      if (!parseNumber(value, 1, 255, &request->threshold)) {
        return fail("bad threshold \"" + std::string(value) + "\": give a number from 1 to 255");
      }
    } else if (arg == "--fill") {
      request->fill = true;
    } else if (arg == "-v" || arg == "--verbose") {
      request->verbose = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return fail("unknown option " + arg + " (see --help)");
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.size() != 3) {
    return fail("give a font file, the BDF file and the code map file to write (see --help)");
  }
  request->font = files[0];
  request->bdf = files[1];
  request->cmap = files[2];
  return -1;
}

bool wanted(const Request& request, int code) {
  return request.ranges.empty() || std::any_of(request.ranges.begin(), request.ranges.end(),
                                               [code](const std::pair<int, int>& r) {
                                                 return code >= r.first && code <= r.second;
                                               });
}

// Glyph indexes spread evenly over the codes, at most `count` of them, to
// measure a size on.
std::vector<unsigned> sampleOf(const std::vector<std::pair<std::uint16_t, unsigned>>& codes,
                               std::size_t count) {
  std::vector<unsigned> sample;
  const std::size_t step = codes.size() / count + 1;
  for (std::size_t i = 0; i < codes.size(); i += step) {
    sample.push_back(codes[i].second);
  }
  return sample;
}

std::vector<InkBox> inksAt(const std::vector<unsigned>& glyphs) {
  std::vector<InkBox> inks;
  Bitmap bitmap;
  for (unsigned glyph : glyphs) {
    if (renderGlyph(glyph, &bitmap)) {
      inks.push_back(inkOf(bitmap));
    }
  }
  return inks;
}

// The font's typical glyphs, by which its size and baseline are chosen: its
// ideographs when it has them, else its letters, digits and punctuation, else
// all its glyphs.
std::vector<std::pair<std::uint16_t, unsigned>> typicalOf(
    const std::vector<std::pair<std::uint16_t, unsigned>>& codes) {
  for (const auto& [first, last] : {std::pair{0x4E00, 0x9FFF}, std::pair{0x21, 0x7E}}) {
    std::vector<std::pair<std::uint16_t, unsigned>> typical;
    for (const auto& entry : codes) {
      if (entry.first >= first && entry.first <= last) {
        typical.push_back(entry);
      }
    }
    if (!typical.empty()) {
      return typical;
    }
  }
  return codes;
}

// The largest size at which 99 in 100 of the typical glyphs fit the area
// unmoved at one baseline: the font's embedded bitmap sizes first, when it has
// them and they are to be used, then any size of its outlines.
int chooseSize(const Request& request, const FaceInfo& info, const Area& area,
               const std::vector<unsigned>& typical) {
  std::vector<int> sizes;
  if (request.rendering == Rendering::kAuto || !info.scalable) {
    sizes = info.strikes;
    std::sort(sizes.rbegin(), sizes.rend());
  }
  if (info.scalable) {
    for (int size = area.size() + 8; size >= 6; --size) {
      sizes.push_back(size);
    }
  }
  std::string ignored;
  for (int size : sizes) {
    if (!setSize(size, request.rendering, request.threshold, &ignored)) {
      continue;
    }
    const std::vector<InkBox> inks = inksAt(typical);
    const int baseline = chooseBaseline(inks, inks, area);
    if (fitAt(baseline, inks, area).fits * 100 >= static_cast<long>(inks.size()) * 99) {
      return size;
    }
  }
  return sizes.empty() ? 0 : sizes.back();
}

const char* renderingName(Rendering rendering) {
  if (usesStrike()) {
    return "embedded bitmaps";
  }
  switch (rendering) {
    case Rendering::kUnhinted:
      return "unhinted outlines";
    case Rendering::kGrey:
      return "grey outlines";
    default:
      return "hinted outlines";
  }
}

// "2 rows down, 1 column left", saying only the ways the glyph moved.
std::string moveText(const Placed& placed) {
  const auto part = [](int amount, const char* unit, const char* less, const char* more) {
    if (amount == 0) {
      return std::string();
    }
    const int steps = std::abs(amount);
    return std::to_string(steps) + " " + unit + (steps == 1 ? " " : "s ") +
           (amount < 0 ? less : more);
  };
  const std::string rows = part(placed.down, "row", "up", "down");
  const std::string columns = part(placed.right, "column", "left", "right");
  return rows + (rows.empty() || columns.empty() ? "" : ", ") + columns;
}

// Writes both files, each whole or not at all.
int writeOutputs(const Request& request, const FontHeader& header,
                 const std::vector<CellGlyph>& glyphs) {
  OutFile bdf;
  OutFile cmap;
  std::string error;
  const char* failed = request.bdf;
  bool ok = openOutFile(request.bdf, &bdf, &error) && writeBdfFont(bdf.file, header, glyphs);
  if (ok) {
    failed = request.cmap;
    ok = openOutFile(request.cmap, &cmap, &error) && writeCodeMapFile(cmap.file, glyphs);
  }
  if (ok) {
    failed = request.bdf;
    ok = commitOutFile(&bdf, &error);
  }
  if (ok) {
    failed = request.cmap;
    ok = commitOutFile(&cmap, &error);
  }
  if (!ok) {
    dropOutFile(&bdf);
    dropOutFile(&cmap);
    return fail("cannot write " + std::string(failed) + ": " +
                (error.empty() ? "input/output error" : error));
  }
  return 0;
}

}  // namespace

int runConvert(int argc, const char* const* argv) {
  Request request;
  const int status = parseArguments(argc, argv, &request);
  if (status >= 0) {
    return status;
  }
  FaceInfo info;
  std::string error;
  if (!openFace(request.font, request.face, &info, &error)) {
    return fail(error);
  }
  std::vector<std::pair<std::uint16_t, unsigned>> codes;
  for (const auto& entry : mappedCodes()) {
    if (wanted(request, entry.first)) {
      codes.push_back(entry);
    }
  }
  if (codes.empty()) {
    return fail(std::string("the font maps no code ") +
                (request.ranges.empty() ? "from 1 to FFFF" : "in the codes asked for"));
  }
  const Area area{request.fill ? 0 : 2};
  const std::vector<unsigned> typical = sampleOf(typicalOf(codes), 1000);
  const std::vector<unsigned> sample = sampleOf(codes, 1000);
  const int size = request.size != 0 ? request.size : chooseSize(request, info, area, typical);
  if (!setSize(size, request.rendering, request.threshold, &error)) {
    std::string sizes;
    for (int strike : info.strikes) {
      sizes += (sizes.empty() ? "" : ", ") + std::to_string(strike);
    }
    return fail(error + (sizes.empty() ? "" : "; it has bitmaps of " + sizes + " pixels"));
  }
  const int baselineRow = chooseBaseline(inksAt(typical), inksAt(sample), area);

  std::vector<CellGlyph> glyphs;
  long moved = 0;
  long clipped = 0;
  long undrawn = 0;
  Bitmap bitmap;
  for (const auto& [code, glyph] : codes) {
    if (!renderGlyph(glyph, &bitmap)) {
      ++undrawn;
      if (request.verbose) {
        std::fprintf(stderr, "U+%04X cannot be drawn: left out\n", code);
      }
      continue;
    }
    const Placed placed = placeGlyph(bitmap, inkOf(bitmap), baselineRow, area);
    CellGlyph cell{code, {}, bitmap.advance};
    std::copy(placed.rows, placed.rows + 16, cell.rows);
    glyphs.push_back(cell);
    if (placed.lost > 0) {
      ++clipped;
      if (request.verbose) {
        std::fprintf(stderr, "U+%04X clipped: %d pixels lost\n", code, placed.lost);
      }
    } else if (placed.down != 0 || placed.right != 0) {
      ++moved;
      if (request.verbose) {
        std::fprintf(stderr, "U+%04X moved %s\n", code, moveText(placed).c_str());
      }
    }
  }
  const FontHeader header{info.family, size, baselineRow};
  if (writeOutputs(request, header, glyphs) != 0) {
    return 1;
  }
  std::fprintf(stderr,
               "fontgraft-convert: %lu glyph%s at %d pixels per em (%s), baseline above cell row "
               "%d: %ld moved, %ld clipped%s\n",
               static_cast<unsigned long>(glyphs.size()), glyphs.size() == 1 ? "" : "s", size,
               renderingName(request.rendering), baselineRow, moved, clipped,
               undrawn > 0 ? (", " + std::to_string(undrawn) + " not drawn").c_str() : "");
  return 0;
}
