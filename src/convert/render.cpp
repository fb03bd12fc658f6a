#include "convert/render.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

FT_Library library;
FT_Face face;
FT_Int32 loadFlags;
FT_Render_Mode renderMode;
int cut;  // grey level from which a pixel counts as ink
bool strike;

// FreeType's own words for its error codes, from its error list.
#undef FTERRORS_H_
#define FT_ERRORDEF(e, v, s) {e, s},
#define FT_ERROR_START_LIST {
#define FT_ERROR_END_LIST \
  { 0, nullptr }          \
  }                       \
  ;
const struct {
  int code;
  const char* text;
} kErrors[] =
#include FT_ERRORS_H

    const char * errorText(FT_Error error) {
  for (const auto& entry : kErrors) {
    if (entry.text != nullptr && entry.code == error) {
      return entry.text;
    }
  }
  return "unknown FreeType error";
}

// Rank of a character table: lower is better, -1 for one never taken (Mac
// tables, Unicode variation sequences).
int tableRank(const FT_CharMap map) {
  static const int kPreferred[][2] = {{3, 1}, {3, 10}, {0, 4}, {0, 3}, {0, 2}, {0, 1}, {0, 0}};
  for (int i = 0; i < static_cast<int>(sizeof kPreferred / sizeof kPreferred[0]); ++i) {
    if (map->platform_id == kPreferred[i][0] && map->encoding_id == kPreferred[i][1]) {
      return i;
    }
  }
  return -1;
}

}  // namespace

bool openFace(const std::string& path, int index, FaceInfo* info, std::string* error) {
  std::FILE* probe = std::fopen(path.c_str(), "rb");
  if (probe == nullptr || std::fgetc(probe) == EOF) {
    *error = std::string("cannot read font file ") + path + ": " +
             (errno != 0 ? std::strerror(errno) : "it is empty");
    if (probe != nullptr) {
      std::fclose(probe);
    }
    return false;
  }
  std::fclose(probe);
  FT_Error status = library == nullptr ? FT_Init_FreeType(&library) : 0;
  if (status == 0) {
    status = FT_New_Face(library, path.c_str(), -1, &face);  // how many faces
  }
  if (status != 0) {
    *error = "cannot read font file " + path + ": " +
             (status == FT_Err_Unknown_File_Format ? "not a font that FreeType can read"
                                                   : errorText(status));
    return false;
  }
  info->faces = static_cast<int>(face->num_faces);
  FT_Done_Face(face);
  face = nullptr;
  if (index < 0 || index >= info->faces) {
    *error = "there is no face " + std::to_string(index) + " in " + path + ": it has " +
             std::to_string(info->faces) + (info->faces == 1 ? " face (0)" : " faces (0 to ") +
             (info->faces == 1 ? "" : std::to_string(info->faces - 1) + ")");
    return false;
  }
  status = FT_New_Face(library, path.c_str(), index, &face);
  if (status != 0) {
    *error = "cannot read face " + std::to_string(index) + " of " + path + ": " + errorText(status);
    return false;
  }
  FT_CharMap best = nullptr;
  for (int i = 0; i < face->num_charmaps; ++i) {
    const int rank = tableRank(face->charmaps[i]);
    if (rank >= 0 && (best == nullptr || rank < tableRank(best))) {
      best = face->charmaps[i];
    }
  }
  if (best == nullptr || FT_Set_Charmap(face, best) != 0) {
    *error = path + " has no Unicode character table";
    return false;
  }
  info->family = face->family_name != nullptr ? face->family_name : "";
  info->scalable = FT_IS_SCALABLE(face);
  info->strikes.clear();
  for (int i = 0; i < face->num_fixed_sizes; ++i) {
    info->strikes.push_back(static_cast<int>((face->available_sizes[i].y_ppem + 32) >> 6));
  }
  return true;
}

std::vector<std::pair<std::uint16_t, unsigned>> mappedCodes() {
  std::vector<std::pair<std::uint16_t, unsigned>> codes;
  FT_UInt glyph = 0;
  for (FT_ULong code = FT_Get_First_Char(face, &glyph); glyph != 0 && code <= 0xFFFF;
       code = FT_Get_Next_Char(face, code, &glyph)) {
    if (code != 0) {
      codes.emplace_back(static_cast<std::uint16_t>(code), glyph);
    }
  }
  return codes;
}

bool setSize(int pixels, Rendering rendering, int threshold, std::string* error) {
  int strikeIndex = -1;
  for (int i = 0; i < face->num_fixed_sizes; ++i) {
    if (((face->available_sizes[i].y_ppem + 32) >> 6) == pixels) {
      strikeIndex = i;
    }
  }
  strike = strikeIndex >= 0 && rendering == Rendering::kAuto;
  FT_Error status = 0;
  if (FT_IS_SCALABLE(face)) {
    status = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
  } else if (strikeIndex >= 0) {
    status = FT_Select_Size(face, strikeIndex);
    strike = true;
  } else {
    status = FT_Err_Invalid_Pixel_Size;
  }
  if (status != 0) {
    *error = "the face cannot be drawn at " + std::to_string(pixels) + " pixels";
    return false;
  }
  cut = threshold;
  renderMode = rendering == Rendering::kGrey ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO;
  loadFlags = rendering == Rendering::kGrey ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
  if (rendering == Rendering::kUnhinted) {
    loadFlags |= FT_LOAD_NO_HINTING;
  }
  if (!strike && FT_IS_SCALABLE(face)) {
    loadFlags |= FT_LOAD_NO_BITMAP;
  }
  return true;
}

bool usesStrike() {
  return strike;
}

bool renderGlyph(unsigned glyphIndex, Bitmap* bitmap) {
  if (FT_Load_Glyph(face, glyphIndex, loadFlags) != 0 ||
      (face->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
       FT_Render_Glyph(face->glyph, renderMode) != 0)) {
    return false;
  }
  const FT_GlyphSlot slot = face->glyph;
  const FT_Bitmap& source = slot->bitmap;
  bitmap->width = static_cast<int>(source.width);
  bitmap->height = static_cast<int>(source.rows);
  bitmap->left = slot->bitmap_left;
  bitmap->top = slot->bitmap_top;
  bitmap->advance = static_cast<int>((slot->advance.x + 32) >> 6);
  bitmap->pixels.assign(static_cast<std::size_t>(bitmap->width) * bitmap->height, 0);
  for (int y = 0; y < bitmap->height; ++y) {
    const unsigned char* row = source.buffer + static_cast<std::ptrdiff_t>(y) * source.pitch;
    for (int x = 0; x < bitmap->width; ++x) {
      bool ink = false;
      switch (source.pixel_mode) {
        case FT_PIXEL_MODE_MONO:
          ink = ((row[x / 8] >> (7 - x % 8)) & 1) != 0;
          break;
        case FT_PIXEL_MODE_GRAY:
          ink = row[x] * 255 >= cut * (source.num_grays - 1);
          break;
        case FT_PIXEL_MODE_BGRA:
          ink = row[4 * x + 3] >= cut;  // its alpha
          break;
        default:
          return false;
      }
      bitmap->pixels[static_cast<std::size_t>(y * bitmap->width + x)] = ink ? 1 : 0;
    }
  }
  return true;
}
