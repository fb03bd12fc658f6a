// The font file through FreeType: its faces, its Unicode character table and
// each glyph's bitmap at a pixel size.
#ifndef FONTGRAFT_CONVERT_RENDER_H
#define FONTGRAFT_CONVERT_RENDER_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// How glyphs become pixels.
enum class Rendering {
  kAuto,      // the embedded bitmap strike of the size where there is one, else kHinted
  kHinted,    // outlines hinted for monochrome and rendered in black and white
  kUnhinted,  // outlines as drawn, rendered in black and white
  kGrey,      // outlines rendered in grey and cut at a threshold
};

// A glyph's pixels: `width` x `height`, row by row, 1 for ink; `left` and
// `top` place its top-left pixel from the origin (top counts rows above the
// baseline); `advance` is the pen's move in pixels.
struct Bitmap {
  int width = 0;
  int height = 0;
  int left = 0;
  int top = 0;
  int advance = 0;
  std::vector<std::uint8_t> pixels;
  bool at(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)] != 0; }
};

struct FaceInfo {
  std::string family;
  bool scalable = false;
  std::vector<int> strikes;  // pixel sizes of the embedded bitmap strikes
  int faces = 0;             // faces in the file
};

// Opens face `index` of the font file and picks its Unicode character table.
// False with a one-line reason in `error`.
bool openFace(const std::string& path, int index, FaceInfo* info, std::string* error);

// The codes from 1 to 0xFFFF that the face's table maps, in order, each with
// its glyph index.
std::vector<std::pair<std::uint16_t, unsigned>> mappedCodes();

// Sets the pixel size and the rendering. False with a reason when the face has
// no such size.
bool setSize(int pixels, Rendering rendering, int threshold, std::string* error);

// Renders a glyph at the size set. False when FreeType cannot.
bool renderGlyph(unsigned glyphIndex, Bitmap* bitmap);

// Whether the last setSize uses an embedded bitmap strike.
bool usesStrike();

#endif
