// A font file through FreeType: its faces, their Unicode character tables and
// each glyph's bitmap at a pixel size. Every Face has a FreeType library of its
// own, so that threads may each draw with one.
#ifndef FONTGRAFT_CONVERT_FACE_H
#define FONTGRAFT_CONVERT_FACE_H

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "convert/languages.h"
struct Crossing;
struct FT_SizeRec_;

// How glyphs become pixels.
enum class Rendering {
  kAuto,      // the face's bitmap strike of the size where it has one, else kUnhinted
  kHinted,    // outlines hinted for black and white by the font's own hints
  kUnhinted,  // outlines as drawn, through the black and white rasterizer
  kGrey,      // outlines in grey, cut at a threshold
  kBest,      // per glyph, whichever of unhinted, hinted and autohinted keeps its strokes
  kThin,      // outlines thinned, through the black and white rasterizer with dropout control
};

// Grey level from which a pixel counts as ink, by default: low enough to keep
// the hairlines of Ming and Mincho faces.
constexpr int kDefaultThreshold = 96;

// The largest bitmap drawn, each way, in pixels: a glyph whose box at the size
// set is larger is taken as one that cannot be drawn.
constexpr int kMaxGlyphPixels = 1024;

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

// How much thinner the thinned drawing (kThin) draws a glyph's vertical
// stems and its horizontal strokes, in 1/64 pixels.
struct Thinning {
  int stems = 0;
  int bars = 0;
};

// A Unicode code of a face and its glyph. A bitmap font in a legacy charset
// gives its glyphs at the Unicode codes its table reads; where other tables
// read a code otherwise, its glyph is also given at their reading, as an
// `alternative` (unless the font has a code of its own there), which any
// font's own code is to win over.
struct MappedCode {
  std::uint32_t code;
  unsigned glyph;
  bool alternative = false;
};

struct FaceInfo {
  int index = 0;
  int faces = 0;  // faces in the file that can be opened
  std::string family;
  std::string style;
  bool scalable = false;
  std::vector<int> strikes;                // pixel sizes of the embedded bitmap strikes
  std::vector<MappedCode> codes;           // U+0001 to U+FFFF, in order
  long astral = 0;                         // codes above U+FFFF in the face's full Unicode table
  std::vector<std::uint32_t> astralCodes;  // those codes
  // The languages of Language that the face's names are given in (a
  // collection's face for one language names itself in it).
  unsigned nameLanguages = 0;
  // A bitmap font's charset ("JISX0208.1983-0"; empty for other fonts), the
  // table its codes were read through ("jisx0208.1990-0"; empty where they
  // are Unicode's), and how many of its codes the table leaves undefined (or
  // lie outside the charset), how many read as a Unicode code that an earlier
  // code already has, and how many are given at an alternative reading too:
  // the first two left out.
  std::string charset;
  std::string table;
  long undefined = 0;
  long doubled = 0;
  long alternatives = 0;
};

// The faces of a font file that FreeType can open: it numbers them from 0 to
// 65,535, whatever a collection declares.
constexpr long kMaxFaces = 65536;

// The different fonts of a collection read to list its faces or to find one
// by name, so that a hostile collection costs a bounded time: far more than
// the collections made (Noto Sans CJK holds 10). Any face opens by number.
constexpr int kMaxFontsRead = 1024;

// A font file's faces, and which of them are one font: faces of a collection
// whose table directories are the same (the same offset, or copies of one)
// are read once.
struct FaceList {
  int faces = 0;      // faces 0 to faces - 1 can be opened
  long declared = 0;  // faces the file declares (more than `faces` past kMaxFaces)
  // Per face, the first face that is the same font (itself if none); -1 for
  // a font of its own past the first kMaxFontsRead, not read.
  std::vector<int> same;
};

// Bytes that are not filled when they are made: a font's are read into them
// at once, without writing 20 MB of zeros first.
template <typename T>
struct UnfilledAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UnfilledAllocator<U>;
  };
  UnfilledAllocator() = default;
  template <typename U>
  UnfilledAllocator(const UnfilledAllocator<U>& other) noexcept : std::allocator<T>(other) {}
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};
using FontBytes = std::vector<unsigned char, UnfilledAllocator<unsigned char>>;

// The bytes of a font file, read once and shared by the faces opened on it.
struct FontData {
  std::string path;
  FontBytes bytes;
};

// Reads the file at `path` (a FIFO or a pipe too). False with a one-line
// reason in `error`.
bool readFontData(const std::string& path, FontData* data, std::string* error);

// Unpacks the bytes of a gzip-compressed font file (.pcf.gz), which FreeType
// would unpack anew at every glyph. False with a one-line reason in `error`.
bool unpackFontData(FontData* data, std::string* error);

// Lists the faces of the file. False with the reason in `error`.
bool readFaceList(const FontData& data, FaceList* list, std::string* error);

enum class Drawn { kInk, kBlank, kUndrawable };

class Face {
 public:
  Face();
  ~Face();
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  // Opens face `index` and reads its codes: from its Unicode character table,
  // or, for a bitmap font in a legacy charset, from its own codes through the
  // charset's table. A bitmap font in a charset without a table is refused.
  // False with a one-line reason in `error`.
  bool open(const FontData& data, int index, FaceInfo* info, std::string* error);

  // Opens face `index` for its names, strikes and charset only (its codes
  // left empty, its charset not judged).
  bool openNames(const FontData& data, int index, FaceInfo* info, std::string* error);

  // Opens face `index`, opened once already by open(), to draw its glyphs
  // by their numbers only: nothing of it is read.
  bool openGlyphs(const FontData& data, int index, std::string* error);

  // The faces declared by the file of the face opened last.
  long declaredFaces() const;

  // Sets the pixel size and the rendering. False when the face has no such
  // size. `outline` asks for the outlines even where a strike exists.
  // Outlines are drawn `tall` pixels per em from top to bottom where that is
  // given (0: `pixels`, the same as across); a strike is drawn as it is.
  bool setSize(int pixels, Rendering rendering, int threshold, bool outline, int tall = 0);

  // For kBest: the pixels each way a glyph may take (the area's size).
  void setRoom(int width, int height) {
    roomWidth_ = width;
    roomHeight_ = height;
  }
  // Draws the glyphs drawn next `tall` pixels per em from top to bottom as
  // the last setSize gave (true), or as many as across (false, as setSize
  // leaves it).
  void drawTall(bool tall);
  // Whether the last setSize draws from an embedded bitmap strike.
  bool usesStrike() const { return strike_; }
  // Draws the outlines unthinned and unjudged (kUnhinted) while `plain` is
  // set, whatever the rendering: for the sizes and baselines, which are
  // judged on them, and for a thinned glyph that does not fit.
  void setPlain(bool plain) { plain_ = plain; }
  // For kThin: how much thinner the glyphs drawn next are drawn.
  void setThinning(const Thinning& thinning) { thinning_ = thinning; }
  // Adds the crossings of the strokes of these glyphs at the size set (see
  // crossingsOf), from their outlines drawn kJudgeScale times larger, in
  // order. False where the face has no outlines or cannot be drawn so.
  bool addStrokeCrossings(const unsigned* glyphs, std::size_t count,
                          std::vector<Crossing>* crossings);
  // The pixel size from `largest` down to `smallest` on whose grid every
  // point of these glyphs' outlines stands (a font drawn in pixels, such as
  // GNU Unifont), or 0.
  int gridSize(const std::vector<unsigned>& glyphs, int largest, int smallest);
  // Whether draw() thins the outlines.
  bool thins() const { return rendering_ == Rendering::kThin && !plain_; }

  // Draws a glyph at the size set.
  Drawn draw(unsigned glyph, Bitmap* bitmap);

  // For kBest: which drawing the last glyph drawn took.
  enum class Chosen { kUnhinted, kFontHints, kAutohinted };
  Chosen chosen() const { return chosen_; }

 private:
  // Loads and draws a glyph; `scale` times kMaxGlyphPixels bounds it, and
  // `grey` keeps a grey bitmap's levels (0 to 255) instead of cutting them.
  Drawn drawWith(unsigned glyph, int loadFlags, int renderMode, Bitmap* bitmap, int scale = 1,
                 bool grey = false, bool thin = false);
  // The large size, kJudgeScale times the size drawn at, made active. False
  // when it cannot be set (the size drawn at is active then).
  bool activateLarge();
  // Makes the taller size `tall` pixels per em from top to bottom.
  bool setTall(int tall);
  // The size glyphs are drawn at now.
  FT_SizeRec_* drawnSize() const;
  // The black and white drawing, unhinted or hinted by the font or by
  // FreeType, that keeps the most of the outline's strokes.
  Drawn drawBest(unsigned glyph, Bitmap* bitmap);

  // Opens face `index` of the file (-1: only to count them).
  bool load(const FontData& data, long index, std::string* error);
  // Reads the codes of the face opened into `info`.
  bool readCodes(const std::string& path, FaceInfo* info, std::string* error);

  struct Handles;
  Handles* ft_;
  Rendering rendering_ = Rendering::kUnhinted;
  int threshold_ = kDefaultThreshold;
  bool strike_ = false;
  bool plain_ = false;
  Chosen chosen_ = Chosen::kUnhinted;
  int pixels_ = 0;
  int tall_ = 0;  // the taller size's pixels per em from top to bottom; pixels_ where none
  bool drawTall_ = false;
  int largeAcross_ = 0;  // the large size's pixels per em, 0 until set
  int largeDown_ = 0;
  Thinning thinning_;
  int roomWidth_ = kMaxGlyphPixels;
  int roomHeight_ = kMaxGlyphPixels;
};

#endif
