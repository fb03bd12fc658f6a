// Packaged fonts converted and installed: every code the font maps gets its
// slot or is reported left out, and every glyph stands in it pixel for pixel
// as FreeType itself draws it at the size reported, moved only as far as the
// converter says, and nothing is clipped.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <gtest/gtest.h>
#ifndef _WIN32
#include <iconv.h>
#endif

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "convert/face.h"
#include "convert/layout.h"
#include "convert/strokes.h"
#include "convert/workers.h"
#include "support.h"

namespace {

struct FontCase {
  const char* name;
  const char* path;
  const char* options;
  int face;
  int size;  // the size it must be converted at
};

void PrintTo(const FontCase& font, std::ostream* os) {
  *os << font.path << " " << font.options;
}

// What the converter said about the run.
struct Report {
  int size = 0;
  int baseline = 0;
  int first = 2;                              // first row and column of the area
  int right = 16;                             // one past its last column
  int tall = 0;                               // the main scripts' height in pixels per em
  std::set<std::string> scripts;              // the main scripts named: "ideographs", "Hangul"
  int thin[2][2] = {};                        // 1/64 px: stems, bars; main scripts, Latin
  bool plainAll = false;                      // unhinted, unthinned, no dropout control
  std::map<long, std::pair<int, int>> moves;  // code: rows down, columns right
  std::map<long, int> smaller;                // code: the size it was drawn at
  std::set<long> leftOut;
  std::set<long> unthinned;
  bool clipped = false;
};

// "0.22" px in 1/64 pixels.
int sixtyFourths(const std::string& pixels) {
  return static_cast<int>(std::lround(std::stod(pixels) * 64));
}

Report readReport(const std::string& log) {
  Report report;
  std::istringstream lines(log);
  const std::regex move(
      R"(moved (?:(\d+) rows? (up|down))?(?:, )?(?:(\d+) columns? (left|right))?)");
  const std::regex smaller(R"(drawn at (\d+) pixels per em to fit)");
  const std::regex summary(R"(at (\d+) pixels per em.* baseline above cell row (\d+))");
  const std::regex thinned(R"(thinned by ([\d.]+) x ([\d.]+) px \(Latin ([\d.]+) x ([\d.]+)\))");
  const std::regex tall(R"(pixels per em \((\d+) tall)");
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    const long code = line.rfind("U+", 0) == 0 ? std::stol(line.substr(2, 4), nullptr, 16) : -1;
    if (code >= 0 && line.find("unthinned") != std::string::npos) {
      report.unthinned.insert(code);
    }
    if (code >= 0 && std::regex_search(line, m, smaller)) {
      report.smaller[code] = std::stoi(m[1]);
    }
    if (code >= 0 && std::regex_search(line, m, move)) {
      report.moves[code] = {m[1].matched ? std::stoi(m[1]) * (m[2] == "up" ? -1 : 1) : 0,
                            m[3].matched ? std::stoi(m[3]) * (m[4] == "left" ? -1 : 1) : 0};
    } else if (code >= 0 && line.find("left out") != std::string::npos) {
      report.leftOut.insert(code);

    } else if (code >= 0 && line.find("clipped") != std::string::npos) {
      report.clipped = true;
    } else if (report.size == 0 && std::regex_search(line, m, summary)) {  // the first font's
      report.size = std::stoi(m[1]);
      report.baseline = std::stoi(m[2]);
      report.first = line.find("14 x 14 area") != std::string::npos ? 2 : 0;
      report.right = line.find("15 x 16 area") != std::string::npos ? 15 : 16;
      report.plainAll = line.find("unhinted") != std::string::npos;
      report.tall = std::regex_search(line, m, tall) ? std::stoi(m[1]) : 0;
      for (const char* script : {"ideographs", "Hangul", "kana"}) {
        if (line.find(std::string("its ") + script) != std::string::npos ||
            line.find(std::string(", ") + script) != std::string::npos ||
            line.find(std::string("and ") + script + " fit") != std::string::npos) {
          report.scripts.insert(script);
        }
      }
      if (std::regex_search(line, m, thinned)) {
        for (int i = 0; i < 4; ++i) {
          report.thin[i / 2][i % 2] = sixtyFourths(m[i + 1]);
        }
      }
    }
  }
  return report;
}

// The codes whose glyphs are thinned as the Latin letters are.
bool isLatin(long code) {
  return code <= 0x024F || (code >= 0x1E00 && code <= 0x1EFF);
}

// The script a code's glyph is counted in, of those that may size a font
// (the converter's summary names them), or "".
std::string sizingScriptOf(long c) {
  if ((c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
      (c >= 0xF900 && c <= 0xFAFF)) {
    return "ideographs";
  }
  if ((c >= 0xAC00 && c <= 0xD7FF) || (c >= 0x1100 && c <= 0x11FF) ||
      (c >= 0x3130 && c <= 0x318F) || (c >= 0xA960 && c <= 0xA97F)) {
    return "Hangul";
  }
  if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
      (c >= 0xFF66 && c <= 0xFF9F)) {
    return "kana";
  }
  return "";
}

// How a glyph is drawn from its outline: thinned by `thin` (1/64 px, stems
// and bars) with the rasterizer's smart dropout control, stubs included, or
// plain.
struct OutlineDrawing {
  bool thinned = false;
  int thin[2] = {};
};

// The 32-byte record the utility stores for FreeType's own bitmap of a glyph,
// placed from the baseline row and shifted as reported.

std::string expectedRecord(FT_Face face, unsigned glyph, int size, int tall, const Report& report,
                           std::pair<int, int> shift, bool outline, const OutlineDrawing& drawing,
                           std::string* why) {
  std::string record(32, '\0');
  FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(size), static_cast<FT_UInt>(tall));
  bool strike = false;
  for (int i = 0; i < face->num_fixed_sizes; ++i) {
    strike = strike || face->available_sizes[i].height == size;
  }
  // The strike where there is one, and the outline unhinted for what it lacks.
  const FT_Int32 flags =
      (strike && !outline ? 0 : FT_LOAD_NO_BITMAP) | FT_LOAD_NO_HINTING | FT_LOAD_TARGET_MONO;
  if (FT_Load_Glyph(face, glyph, flags) != 0) {
    *why = "FreeType cannot load it";
    return record;
  }
  if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE && drawing.thinned) {
    FT_Outline& o = face->glyph->outline;
    if ((drawing.thin[0] != 0 || drawing.thin[1] != 0) &&
        FT_Outline_EmboldenXY(&o, -drawing.thin[0], -drawing.thin[1]) != 0) {
      *why = "FreeType cannot thin it";
      return record;
    }
    o.flags = (o.flags & ~FT_OUTLINE_IGNORE_DROPOUTS) | FT_OUTLINE_SMART_DROPOUTS |
              FT_OUTLINE_INCLUDE_STUBS;
  }
  if (face->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0) {
    *why = "FreeType cannot draw it";
    return record;
  }
  const FT_Bitmap& bitmap = face->glyph->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO) {
    *why = "not a black and white bitmap";
    return record;
  }
  const int first = report.first;
  for (int y = 0; y < static_cast<int>(bitmap.rows); ++y) {
    for (int x = 0; x < static_cast<int>(bitmap.width); ++x) {
      const unsigned char byte = bitmap.buffer[y * bitmap.pitch + x / 8];
      if ((byte & (0x80 >> (x % 8))) == 0) {
        continue;
      }
      const int r = report.baseline - face->glyph->bitmap_top + y + shift.first;
      const int c = first + face->glyph->bitmap_left + x + shift.second;
      if (r < first || r >= 16 || c < first || c >= report.right) {
        *why = "ink outside the area";
        return record;
      }
      record[static_cast<std::size_t>(r / 8 * 16 + c)] |= static_cast<char>(1 << r % 8);
    }
  }
  return record;
}

// The ink box of FreeType's plain drawing of a glyph at `size` (unhinted,
// black and white): width and height, 0 x 0 for a glyph without ink.
std::pair<int, int> plainInk(FT_Face face, unsigned glyph, int size) {
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_HINTING | FT_LOAD_TARGET_MONO) != 0 ||
      (face->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
       FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0)) {
    return {0, 0};
  }
  const FT_Bitmap& bitmap = face->glyph->bitmap;
  int x0 = INT_MAX, x1 = -1, y0 = INT_MAX, y1 = -1;
  for (int y = 0; y < static_cast<int>(bitmap.rows); ++y) {
    for (int x = 0; x < static_cast<int>(bitmap.width); ++x) {
      if ((bitmap.buffer[y * bitmap.pitch + x / 8] & (0x80 >> (x % 8))) != 0) {
        x0 = std::min(x0, x);
        x1 = std::max(x1, x);
        y0 = std::min(y0, y);
        y1 = std::max(y1, y);
      }
    }
  }
  return x1 < 0 ? std::pair<int, int>{0, 0} : std::pair<int, int>{x1 - x0 + 1, y1 - y0 + 1};
}

// Why the converter may have left a glyph out, by FreeType's own drawing:
// it draws nothing at the size, or even at the smallest size tried (6) it is
// larger than the area. "" when neither holds.
std::string leftOutBecause(FT_Face face, unsigned glyph, const Report& report) {
  if (plainInk(face, glyph, report.size).first == 0) {
    return "blank";
  }
  const auto [width, height] = plainInk(face, glyph, 6);
  return width > report.right - report.first || height > 16 - report.first ? "too large" : "";
}

// A glyph counted as fitting at a baseline is placed there unmoved up or
// down and loses no pixel, wherever it stands and whatever its size; every
// glyph no larger than the area fits at some baseline, and none larger does.
TEST(Layout, FittingMeansPlacedWhole) {
  for (const Area area : {kWholeCell, kMarginArea, kHandDrawnArea}) {
    for (int width = 1; width <= kCellSize + 2; ++width) {
      for (int height = 1; height <= kCellSize + 2; ++height) {
        Bitmap bitmap;
        bitmap.width = width;
        bitmap.height = height;
        bitmap.pixels.assign(static_cast<std::size_t>(width * height), 1);
        bool fitsSomewhere = false;
        for (int top = -4; top <= kCellSize + 4; ++top) {
          for (int left = -3; left <= kCellSize; left += 3) {
            bitmap.top = top;
            bitmap.left = left;
            const InkBox ink = inkOf(bitmap);
            for (int baseline = 0; baseline <= kCellSize; ++baseline) {
              if (!fitsAt(baseline, ink, area)) {
                continue;
              }
              fitsSomewhere = true;
              const Placed placed = placeGlyph(bitmap, ink, baseline, area);
              ASSERT_EQ(placed.down, 0) << width << "x" << height << " top " << top;
              ASSERT_EQ(placed.lost, 0) << width << "x" << height << " left " << left;
            }
          }
        }
        EXPECT_EQ(fitsSomewhere, width <= area.width && height <= area.height)
            << width << "x" << height << " in an area of " << area.width << "x" << area.height;
      }
    }
  }
}

// Two bars a pixel thick and a pixel apart, 2 px long, drawn kJudgeScale
// times larger: their tops 4 and 2 px above the baseline.
Bitmap twoBars() {
  Bitmap reference;
  reference.width = 2 * kJudgeScale;
  reference.height = 5 * kJudgeScale;
  reference.top = 5 * kJudgeScale;
  reference.pixels.assign(static_cast<std::size_t>(reference.width * reference.height), 0);
  for (int y : {8, 24}) {
    std::fill_n(reference.pixels.begin() + y * reference.width, 8 * reference.width, 255);
  }
  return reference;
}

// The crossings of the bars, worked out by hand: down each column, a bar
// 3.5 px above the baseline, a bar at 1.5 and the gap between at 2.5 (each
// gap follows the stroke after it), each a pixel
// thick; along each row of a bar, a run 2 px long centred 1 px right of the
// origin.
TEST(Strokes, CrossingsOfTwoBars) {
  const std::vector<Crossing> crossings = crossingsOf(twoBars());
  struct Want {
    bool across, gap;
    int line;
    float centre, width;
  };
  const Want want[] = {{false, false, 0, 3.5f, 1}, {false, false, 0, 1.5f, 1},
                       {false, true, 0, 2.5f, 1},  {false, false, 1, 3.5f, 1},
                       {false, false, 1, 1.5f, 1}, {false, true, 1, 2.5f, 1},
                       {true, false, 4, 1.0f, 2},  {true, false, 2, 1.0f, 2}};
  ASSERT_EQ(crossings.size(), std::size(want));
  for (std::size_t i = 0; i < crossings.size(); ++i) {
    EXPECT_EQ(crossings[i].across, want[i].across) << i;
    EXPECT_EQ(crossings[i].gap, want[i].gap) << i;
    EXPECT_EQ(crossings[i].line, want[i].line) << i;
    EXPECT_FLOAT_EQ(crossings[i].centre, want[i].centre) << i;
    EXPECT_FLOAT_EQ(crossings[i].width, want[i].width) << i;
  }
  const StrokeWidths widths = strokeWidthsOf(crossings);
  EXPECT_FLOAT_EQ(widths.stems, 2);
  EXPECT_FLOAT_EQ(widths.bars, 1);
}

// The stems' width is the one at five eighths of them in order (the 6th of
// 8), the bars' their median (the 2nd of 3); gaps count for neither.
TEST(Strokes, WidthsOfStemsAndBars) {
  std::vector<Crossing> crossings;
  for (const float stem : {1.25f, 0.5f, 2.0f, 1.5f, 1.0f, 0.75f, 1.75f, 0.25f}) {
    crossings.push_back({true, false, 0, 0, stem});
  }
  for (const float bar : {3.0f, 1.0f, 2.0f}) {
    crossings.push_back({false, false, 0, 0, bar});
  }
  crossings.push_back({true, true, 0, 0, 9.0f});
  crossings.push_back({false, true, 0, 0, 9.0f});
  const StrokeWidths widths = strokeWidthsOf(crossings);
  EXPECT_FLOAT_EQ(widths.stems, 1.5f);
  EXPECT_FLOAT_EQ(widths.bars, 2.0f);
}

// A small drawing that keeps both bars and the gap keeps every crossing;
// one whose bars run together, or that lost a bar, keeps fewer.
TEST(Strokes, KeptByDrawings) {
  const std::vector<Crossing> crossings = crossingsOf(twoBars());
  const auto drawing = [](const char* rows) {
    Bitmap small;
    small.width = 2;
    small.height = 5;
    small.top = 5;
    for (const char* c = rows; *c != '\0'; ++c) {
      small.pixels.push_back(*c == '#' ? 1 : 0);
    }
    return small;
  };
  const int all = static_cast<int>(crossings.size());
  EXPECT_EQ(crossingsKept(crossings, drawing("..##..##..")), all);
  EXPECT_LT(crossingsKept(crossings, drawing("..######..")), all);
  EXPECT_LT(crossingsKept(crossings, drawing("..##......")), all);
  EXPECT_EQ(crossingsKept(crossings, drawing("..........")), 2);  // the gaps, blank anyway
  // A drawing a row higher or lower than the outline still keeps them all.
  EXPECT_EQ(crossingsKept(crossings, drawing("##..##....")), all);
  EXPECT_EQ(crossingsKept(crossings, drawing("....##..##")), all);
}

// A bar along the very top of the outline's drawing: down each column, one
// pixel of ink 4.5 px above the baseline, and no gap.
TEST(Strokes, CrossingsOfABarAtTheTop) {
  Bitmap reference = twoBars();
  std::fill(reference.pixels.begin(), reference.pixels.end(), 0);
  std::fill_n(reference.pixels.begin(), 8 * reference.width, 255);
  const std::vector<Crossing> crossings = crossingsOf(reference);
  int down = 0;
  for (const Crossing& crossing : crossings) {
    if (!crossing.across) {
      ++down;
      EXPECT_FALSE(crossing.gap);
      EXPECT_FLOAT_EQ(crossing.centre, 4.5f);
      EXPECT_FLOAT_EQ(crossing.width, 1);
    }
  }
  EXPECT_EQ(down, 2);
}

// Every job is handed out once, whoever asks, and none after stop().
TEST(Workers, JobsTakenOnceEach) {
  for (const std::size_t step : {1u, 7u, 1000u, 2000u}) {
    Jobs jobs(1000, step);
    std::vector<std::atomic<int>> taken(1000);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        for (std::size_t from = 0, to = 0; jobs.take(&from, &to);) {
          EXPECT_LT(from, to);
          EXPECT_LE(to, 1000u);
          EXPECT_LE(to - from, step);
          for (std::size_t i = from; i < to; ++i) {
            ++taken[i];
          }
        }
      });
    }
    for (std::thread& thread : threads) {
      thread.join();
    }
    for (std::size_t i = 0; i < taken.size(); ++i) {
      ASSERT_EQ(taken[i].load(), 1) << "job " << i << ", " << step << " at a time";
    }
  }
  Jobs jobs(10, 2);
  std::size_t from = 0;
  std::size_t to = 0;
  ASSERT_TRUE(jobs.take(&from, &to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 2u);
  jobs.stop();
  EXPECT_FALSE(jobs.take(&from, &to));
}

// A worker whose face cannot be opened (here: a face the file lacks) takes
// no part, and worker 0 does all the work; an exception on another worker's
// thread is thrown to the caller once all have finished.
TEST(Workers, TheOthersDoTheShareOfOneThatCannotWork) {
  FontData data;
  std::string error;
  ASSERT_TRUE(readFontData(std::string(FONTGRAFT_EXAMPLES) + "/blocky.ttf", &data, &error))
      << error;
  Face first;
  FaceInfo info;
  ASSERT_TRUE(first.open(data, 0, &info, &error)) << error;
  Workers none(data, 7, &first, 4);  // workers 1 on cannot open face 7
  Jobs jobs(100, 3);
  std::vector<int> by(100, -1);
  none.run(none.size(), [&](Face* face, std::size_t worker) {
    EXPECT_EQ(face == &first, worker == 0);
    for (std::size_t from = 0, to = 0; jobs.take(&from, &to);) {
      std::fill(by.begin() + static_cast<std::ptrdiff_t>(from),
                by.begin() + static_cast<std::ptrdiff_t>(to), static_cast<int>(worker));
    }
  });
  EXPECT_EQ(std::count(by.begin(), by.end(), 0), 100);

  Workers some(data, 0, &first, 2);
  if (some.size() < 2) {
    GTEST_SKIP() << "one core: no other worker's thread";
  }
  std::atomic<int> finished{0};
  EXPECT_THROW(some.run(2,
                        [&](Face*, std::size_t worker) {
                          if (worker == 1) {
                            throw std::bad_alloc();
                          }
                          ++finished;
                        }),
               std::bad_alloc);
  EXPECT_EQ(finished.load(), 1);
}

class PackagedFont : public ::testing::TestWithParam<FontCase> {};

TEST_P(PackagedFont, InstallsEveryGlyphWhole) {
  const FontCase& font = GetParam();
  if (!std::filesystem::exists(font.path)) {
    GTEST_SKIP() << font.path << " is not installed";
  }
  TempDir dir;
  const std::string image = dir.file("image.bin");
  writeFile(image, std::string(0x34C928 + 65536 * 32, '\0'));
  const std::string convert = std::string(FONTGRAFT_CONVERT_BIN) + " -v " + font.options +
                              " --face " + std::to_string(font.face) + " " + font.path + " " +
                              dir.file("font.bdf") + " " + dir.file("cmap.txt") + " 2>" +
                              dir.file("log");
  ASSERT_EQ(std::system(convert.c_str()), 0) << readFile(dir.file("log"));
  const std::string install = std::string(FONTGRAFT_BIN) + " " + image + " " +
                              dir.file("font.bdf") + " -c " + dir.file("cmap.txt") + " >" +
                              dir.file("installed");
  ASSERT_EQ(std::system(install.c_str()), 0);
  const Report report = readReport(readFile(dir.file("log")));
  ASSERT_GT(report.size, 0) << readFile(dir.file("log"));
  EXPECT_EQ(report.size, font.size);
  EXPECT_FALSE(report.clipped);

  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  ASSERT_EQ(FT_New_Face(library, font.path, font.face, &face), 0);
  ASSERT_EQ(FT_Select_Charmap(face, FT_ENCODING_UNICODE), 0);
  const std::string after = readFile(image);
  const std::string written = readFile(dir.file("cmap.txt"));
  long codes = 0;
  FT_UInt glyph = 0;
  for (FT_ULong code = FT_Get_First_Char(face, &glyph); glyph != 0 && code <= 0xFFFF;
       code = FT_Get_Next_Char(face, code, &glyph)) {
    const long c = static_cast<long>(code);
    if (c != 0 && report.leftOut.count(c) != 0) {
      EXPECT_NE(leftOutBecause(face, glyph, report), "") << "U+" << std::hex << code << " left out";
    }
    if (c == 0 || report.leftOut.count(c) != 0) {
      continue;
    }
    ++codes;
    const auto smaller = report.smaller.find(c);
    const auto move = report.moves.find(c);
    std::string why;
    const int size = smaller != report.smaller.end() ? smaller->second : report.size;
    const int* thin = report.thin[isLatin(c) ? 1 : 0];
    OutlineDrawing drawing;
    drawing.thinned = !report.plainAll && report.unthinned.count(c) == 0;
    drawing.thin[0] = thin[0] * size / report.size;
    drawing.thin[1] = thin[1] * size / report.size;
    // The main scripts' glyphs as much taller as the summary says.
    const int tall = report.tall != 0 && report.scripts.count(sizingScriptOf(c)) != 0
                         ? (report.tall * size + report.size / 2) / report.size
                         : size;
    const std::string want =
        expectedRecord(face, glyph, size, tall, report,
                       move != report.moves.end() ? move->second : std::pair<int, int>{0, 0},
                       smaller != report.smaller.end(), drawing, &why);
    ASSERT_EQ(why, "") << "U+" << std::hex << code;
    ASSERT_EQ(after.substr(0x34C928 + 32 * static_cast<std::size_t>(code), 32), want)
        << "U+" << std::hex << code;
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  // One line per glyph written, and nothing else was.
  const std::string installed = readFile(dir.file("installed"));
  EXPECT_EQ(std::count(installed.begin(), installed.end(), '\n'), codes);
  EXPECT_GT(written.size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    , PackagedFont,
    ::testing::Values(
        FontCase{"DejaVuSans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "", 0, 14},
        FontCase{"ZenHei", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "", 0, 15},
        FontCase{"NanumGothicTaller", "/usr/share/fonts/truetype/nanum/NanumGothic.ttf", "", 0, 16},
        FontCase{"ZenHeiMargins", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
                 "--area 14 --render unhinted", 0, 13},
        FontCase{"ZenHeiSharpBitmaps", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", "", 2, 15},
        FontCase{"UnifontFilled", "/usr/share/fonts/opentype/unifont/unifont.otf",
                 "--fill --size 16", 0, 16},
        FontCase{"UnifontByItself", "/usr/share/fonts/opentype/unifont/unifont.otf", "", 0, 16},
        FontCase{"Terminus16", "/usr/share/fonts/X11/misc/ter-u16n_unicode.pcf.gz", "", 0, 16},
        FontCase{"BitmapSong16", "/usr/share/fonts/X11/misc/wenquanyi_12pt.pcf", "", 0, 16}),
    [](const ::testing::TestParamInfo<FontCase>& info) { return std::string(info.param.name); });

#ifndef _WIN32
// Packaged bitmap fonts in legacy charsets: the glyph of each code of the
// font stands, as FreeType draws it, in the slot of the Unicode code that
// glibc's iconv gives that code (a table other than the converter's, which
// reads a few codes otherwise).
struct LegacyFont {
  const char* name;
  const char* path;
  const char* charset;             // iconv's name
  bool euc;                        // codes written with the high bit of each byte set
  double share;                    // of the codes iconv reads, at least this many exact
  const char* fallback = nullptr;  // a font that completes it (--fallback)
};

void PrintTo(const LegacyFont& font, std::ostream* os) {
  *os << font.path;
}

// The Unicode code iconv reads for a font's code, 0 where it reads none.
unsigned long unicodeByIconv(iconv_t cd, const LegacyFont& font, FT_ULong code) {
  char in[2] = {static_cast<char>(code >> 8 | (font.euc ? 0x80 : 0)),
                static_cast<char>((code & 0xFF) | (font.euc ? 0x80 : 0))};
  unsigned char out[8];
  char* from = code < 0x100 && !font.euc ? in + 1 : in;
  std::size_t left = static_cast<std::size_t>(in + 2 - from);
  char* to = reinterpret_cast<char*>(out);
  std::size_t room = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &from, &left, &to, &room) == static_cast<std::size_t>(-1) || left != 0 ||
      room != sizeof out - 4) {
    return 0;
  }
  return static_cast<unsigned long>(out[0]) << 24 | out[1] << 16 | out[2] << 8 | out[3];
}

// The rows a slot's ink spans, 0 for a blank slot.
int inkRows(const std::string& record) {
  int top = 16;
  int bottom = -1;
  for (int r = 0; r < 16; ++r) {
    for (int c = 0; c < 16; ++c) {
      if ((record[static_cast<std::size_t>(r / 8 * 16 + c)] >> r % 8 & 1) != 0) {
        top = std::min(top, r);
        bottom = r;
      }
    }
  }
  return bottom < 0 ? 0 : bottom - top + 1;
}

// The ideographs (U+4E00-U+9FFF) of a chain: every one the fallback maps
// and the first font lacks (`first`: the codes it was read at) is installed
// unless reported left out, and their ink is on average within a row as tall
// as the first font's ideographs.
void expectFallbackIdeographs(const char* fallback, const std::set<unsigned long>& first,
                              const Report& report, const std::string& image) {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  ASSERT_EQ(FT_New_Face(library, fallback, 0, &face), 0);
  ASSERT_EQ(FT_Select_Charmap(face, FT_ENCODING_UNICODE), 0);
  double heights[2] = {};
  long counts[2] = {};
  for (unsigned long code = 0x4E00; code <= 0x9FFF; ++code) {
    const int rows = inkRows(image.substr(0x34C928 + 32 * code, 32));
    const int from = first.count(code) != 0 ? 0 : 1;
    if (from == 1 && (FT_Get_Char_Index(face, code) == 0 ||
                      report.leftOut.count(static_cast<long>(code)) != 0)) {
      continue;
    }
    ASSERT_GT(rows, 0) << "U+" << std::hex << code;
    heights[from] += rows;
    ++counts[from];
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  ASSERT_GT(counts[0], 0);
  ASSERT_GT(counts[1], 0);
  std::printf("ideographs %ld of the font, %.2f rows tall; %ld of the fallback, %.2f\n", counts[0],
              heights[0] / counts[0], counts[1], heights[1] / counts[1]);
  EXPECT_LE(std::fabs(heights[0] / counts[0] - heights[1] / counts[1]), 1.0);
}

class PackagedLegacyFont : public ::testing::TestWithParam<LegacyFont> {};

TEST_P(PackagedLegacyFont, InstallsItsGlyphsAtTheirUnicodeCodes) {
  const LegacyFont& font = GetParam();
  if (!std::filesystem::exists(font.path) ||
      (font.fallback != nullptr && !std::filesystem::exists(font.fallback))) {
    GTEST_SKIP() << font.path << " or its fallback is not installed";
  }
  TempDir dir;
  const std::string image = dir.file("image.bin");
  writeFile(image, std::string(0x34C928 + 65536 * 32, '\0'));
  const std::string chain =
      font.fallback != nullptr ? std::string(" --fallback ") + font.fallback : "";
  const std::string run = std::string(FONTGRAFT_CONVERT_BIN) + " -v" + chain + " " + font.path +
                          " " + dir.file("font.bdf") + " " + dir.file("cmap.txt") + " 2>" +
                          dir.file("log") + " && " + FONTGRAFT_BIN + " " + image + " " +
                          dir.file("font.bdf") + " -c " + dir.file("cmap.txt") + " >/dev/null";
  ASSERT_EQ(std::system(run.c_str()), 0) << readFile(dir.file("log"));
  const Report report = readReport(readFile(dir.file("log")));
  const std::string after = readFile(image);
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  // Unpacked first: FreeType would unpack a .gz anew at every glyph.
  const std::string plain = dir.file("font.pcf");
  ASSERT_EQ(std::system(("gzip -dc <" + std::string(font.path) + " >" + plain).c_str()), 0);
  ASSERT_EQ(FT_New_Face(library, plain.c_str(), 0, &face), 0);
  ASSERT_EQ(FT_Set_Charmap(face, face->charmaps[0]), 0);
  const iconv_t cd = iconv_open("UTF-32BE", font.charset);
  ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
  long read = 0;
  long exact = 0;
  std::set<unsigned long> codes;
  FT_UInt glyph = 0;
  for (FT_ULong code = FT_Get_First_Char(face, &glyph); glyph != 0;
       code = FT_Get_Next_Char(face, code, &glyph)) {
    const unsigned long unicode = unicodeByIconv(cd, font, code);
    if (unicode == 0 || unicode > 0xFFFF || report.leftOut.count(static_cast<long>(unicode))) {
      continue;
    }
    ++read;
    codes.insert(unicode);
    const auto move = report.moves.find(static_cast<long>(unicode));
    std::string why;
    const std::string want =
        expectedRecord(face, glyph, report.size, report.size, report,
                       move != report.moves.end() ? move->second : std::pair<int, int>{0, 0}, false,
                       OutlineDrawing{}, &why);
    exact += why.empty() && after.substr(0x34C928 + 32 * unicode, 32) == want ? 1 : 0;
  }
  iconv_close(cd);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  std::printf("%s: %ld of the %ld codes iconv reads exact\n", font.path, exact, read);
  EXPECT_GT(read, 0);
  EXPECT_GE(static_cast<double>(exact), font.share * static_cast<double>(read));
  if (font.fallback != nullptr) {
    expectFallbackIdeographs(font.fallback, codes, report, after);
  }
}

INSTANTIATE_TEST_SUITE_P(
    , PackagedLegacyFont,
    ::testing::Values(
        LegacyFont{"Shinonome16", "/usr/share/fonts/X11/misc/shnmk16.pcf.gz", "EUC-JP", true, 0.99},
        LegacyFont{"ShinonomeMincho12", "/usr/share/fonts/X11/misc/shnmk12min.pcf.gz", "EUC-JP",
                   true, 0.99},
        LegacyFont{"ShinonomeHalf16", "/usr/share/fonts/X11/misc/shnm8x16r.pcf.gz", "SHIFT_JIS",
                   false, 0.99},
        LegacyFont{"GuoBiao16", "/usr/share/fonts/X11/misc/guob16.pcf.gz", "EUC-CN", true, 0.99},
        LegacyFont{"Gulim16", "/usr/share/fonts/X11/75dpi/gulim16.pcf.gz", "EUC-KR", true, 0.99},
        LegacyFont{"Dotum12", "/usr/share/fonts/X11/75dpi/dotum12.pcf.gz", "EUC-KR", true, 0.99},
        LegacyFont{"Taipei16", "/usr/share/fonts/X11/misc/taipei16.pcf.gz", "BIG5", false, 0.99},
        // Completed by an outline font: the chain of the README.
        LegacyFont{"Shinonome16WithHanaMinA", "/usr/share/fonts/X11/misc/shnmk16.pcf.gz", "EUC-JP",
                   true, 0.99, "/usr/share/fonts/truetype/hanazono/HanaMinA.ttf"}),
    [](const ::testing::TestParamInfo<LegacyFont>& info) { return std::string(info.param.name); });
#endif

}  // namespace
