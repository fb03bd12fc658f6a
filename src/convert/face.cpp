#include "convert/face.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BITMAP_H
#include FT_BDF_H
#include FT_FONT_FORMATS_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <numeric>
#include <system_error>
#include <unordered_map>

#include "common/codes.h"
#include "common/platform.h"
#include "convert/charsets.h"
#include "convert/strokes.h"

#ifdef FONTGRAFT_ZLIB
#include <zlib.h>
#endif

struct Face::Handles {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  FT_Bitmap converted;
  FT_Size small = nullptr;  // the size glyphs are drawn at
  FT_Size tall = nullptr;   // as wide and taller, for the glyphs drawn taller
  FT_Size large = nullptr;  // kJudgeScale times larger, for --render best
};

namespace {

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

// The largest font file read: far above the largest fonts made (about 60 MB).
constexpr std::size_t kMaxFontBytes = std::size_t{1} << 30;

// The Unicode tables, best first: the full one, then the BMP ones. Others
// (Mac Roman, symbol, variation sequences, a bitmap font's own charset) are
// never taken.
int tableRank(const FT_CharMap map) {
  static const int kPreferred[][2] = {{3, 10}, {0, 4}, {0, 6}, {3, 1},
                                      {0, 3},  {0, 2}, {0, 1}, {0, 0}};
  if (map->encoding != FT_ENCODING_UNICODE) {
    return -1;
  }
  for (int i = 0; i < static_cast<int>(sizeof kPreferred / sizeof kPreferred[0]); ++i) {
    if (map->platform_id == kPreferred[i][0] && map->encoding_id == kPreferred[i][1]) {
      return i;
    }
  }
  return static_cast<int>(sizeof kPreferred / sizeof kPreferred[0]);  // a bitmap font's
}

// Whether the face is an X11 bitmap font, whose codes are those of the
// charset it names.
bool isX11Bitmap(FT_Face face) {
  const char* format = FT_Get_Font_Format(face);
  return format != nullptr && (std::strcmp(format, "BDF") == 0 || std::strcmp(format, "PCF") == 0);
}

// The fields of an XLFD name ("-misc-fixed-medium-...-iso10646-1"), from
// the foundry to the encoding; none where it is not one.
std::vector<std::string> xlfdFields(const char* name) {
  std::vector<std::string> fields;
  if (name == nullptr || *name != '-') {
    return fields;
  }
  for (const char* at = name + 1;; ++at) {
    const char* end = std::strchr(at, '-');
    fields.emplace_back(at, end != nullptr ? static_cast<std::size_t>(end - at) : std::strlen(at));
    if (end == nullptr) {
      break;
    }
    at = end;
  }
  return fields.size() == 14 ? fields : std::vector<std::string>();
}

std::vector<std::string> xlfdOf(FT_Face face) {
  BDF_PropertyRec font;
  return FT_Get_BDF_Property(face, "FONT", &font) == 0 && font.type == BDF_PROPERTY_TYPE_ATOM
             ? xlfdFields(font.u.atom)
             : std::vector<std::string>();
}

// The charset an X11 bitmap font names: its CHARSET_REGISTRY and
// CHARSET_ENCODING, else the last two fields of its XLFD name; empty where
// it names none.
std::string charsetOf(FT_Face face) {
  const char* encoding = nullptr;
  const char* registry = nullptr;
  if (FT_Get_BDF_Charset_ID(face, &encoding, &registry) == 0 && registry != nullptr &&
      *registry != '\0') {
    return std::string(registry) +
           (encoding != nullptr && *encoding != '\0' ? std::string("-") + encoding : "");
  }
  const std::vector<std::string> xlfd = xlfdOf(face);
  return xlfd.empty() || xlfd[12].empty() ? std::string() : xlfd[12] + "-" + xlfd[13];
}

// A name for a face without a family name: the family of its XLFD name, else
// its file's name up to the first dot.
std::string familyOf(FT_Face face, const std::string& path) {
  if (face->family_name != nullptr && *face->family_name != '\0') {
    return face->family_name;
  }
  const std::vector<std::string> xlfd = xlfdOf(face);
  if (!xlfd.empty() && !xlfd[1].empty()) {
    return xlfd[1];
  }
  const std::size_t slash = path.find_last_of("/\\");
  const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = file.find('.');
  return dot == 0 || dot == std::string::npos ? file : file.substr(0, dot);
}

// The language of Language that a name of the face is given in, by its
// platform's language ID (Windows' or the Mac's); none for the others.
unsigned languageOfName(const FT_SfntName& name) {
  if (name.platform_id == TT_PLATFORM_MICROSOFT) {
    switch (name.language_id) {
      case TT_MS_LANGID_JAPANESE_JAPAN:
        return kJapanese;
      case TT_MS_LANGID_KOREAN_KOREA:
        return kKorean;
      case TT_MS_LANGID_CHINESE_PRC:
      case TT_MS_LANGID_CHINESE_SINGAPORE:
        return kSimplifiedChinese;
      case TT_MS_LANGID_CHINESE_TAIWAN:
      case TT_MS_LANGID_CHINESE_HONG_KONG:
      case TT_MS_LANGID_CHINESE_MACAO:
        return kTraditionalChinese;
      default:
        return kNoLanguage;
    }
  }
  if (name.platform_id != TT_PLATFORM_MACINTOSH) {
    return kNoLanguage;
  }
  return name.language_id == TT_MAC_LANGID_JAPANESE              ? kJapanese
         : name.language_id == TT_MAC_LANGID_KOREAN              ? kKorean
         : name.language_id == TT_MAC_LANGID_CHINESE_SIMPLIFIED  ? kSimplifiedChinese
         : name.language_id == TT_MAC_LANGID_CHINESE_TRADITIONAL ? kTraditionalChinese
                                                                 : kNoLanguage;
}

unsigned nameLanguagesOf(FT_Face face) {
  unsigned languages = 0;
  const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
  for (FT_UInt i = 0; i < count; ++i) {
    FT_SfntName name;
    if (FT_Get_Sfnt_Name(face, i, &name) == 0) {
      languages |= languageOfName(name);
    }
  }
  return languages;
}

// The character table the codes are read from: the best Unicode one, or for
// an X11 bitmap font read through a table, its own; for an X11 bitmap font
// in a Unicode charset without one FreeType knows, its own as well.
FT_CharMap charmapOf(FT_Face face, const Charset& charset, bool x11) {
  FT_CharMap best = nullptr;
  for (int i = 0; i < face->num_charmaps; ++i) {
    FT_CharMap map = face->charmaps[i];
    const int rank = tableRank(map);
    if (charset.table != nullptr ? map->encoding == FT_ENCODING_NONE
                                 : rank >= 0 && (best == nullptr || rank < tableRank(best))) {
      best = map;
    }
  }
  return best == nullptr && x11 && face->num_charmaps > 0 ? face->charmaps[0] : best;
}

bool byCode(const MappedCode& a, const MappedCode& b) {
  return a.code < b.code;
}

// Codes read through a table come in the order of the charset: put in
// Unicode's, the first code of the font kept where two read alike.
void orderCodes(FaceInfo* info) {
  std::vector<MappedCode>& codes = info->codes;
  std::stable_sort(codes.begin(), codes.end(), byCode);
  const auto last = std::unique(codes.begin(), codes.end(),
                                [](const auto& a, const auto& b) { return a.code == b.code; });
  info->doubled = static_cast<long>(codes.end() - last);
  codes.erase(last, codes.end());
}

// Gives the glyphs of the codes other tables read otherwise at their
// readings too, where the font has nothing there.
void addAlternatives(const Charset& charset, FaceInfo* info) {
  std::vector<MappedCode>& codes = info->codes;
  const auto find = [&codes](std::uint32_t code) {
    const auto at = std::lower_bound(codes.begin(), codes.end(), MappedCode{code, 0}, byCode);
    return at != codes.end() && at->code == code ? at : codes.end();
  };
  std::vector<MappedCode> added;
  for (const OtherReading& reading : otherReadings(charset)) {
    const auto own = find(reading.unicode);
    if (own != codes.end() && find(reading.other) == codes.end()) {
      added.push_back({reading.other, own->glyph, true});
    }
  }
  info->alternatives = static_cast<long>(added.size());
  codes.insert(codes.end(), added.begin(), added.end());
  std::sort(codes.begin(), codes.end(), byCode);
}

// Faces of a collection whose table directories are the same are one font.
// Directories larger than this (256 tables) are not compared.
constexpr std::size_t kMaxDirectoryCompared = 12 + 16 * 256;

std::uint32_t bigEndian(const FontBytes& bytes, std::size_t at, int length) {
  std::uint32_t value = 0;
  for (int i = 0; i < length; ++i) {
    value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  }
  return value;
}

// The length of the table directory at `offset`, 0 where it does not fit the
// file.
std::size_t directoryLength(const FontBytes& bytes, std::uint32_t offset) {
  if (offset > bytes.size() || bytes.size() - offset < 12) {
    return 0;
  }
  const std::size_t length = 12 + 16 * std::size_t{bigEndian(bytes, offset + 4, 2)};
  return bytes.size() - offset < length ? 0 : length;
}

std::uint64_t hashOf(const unsigned char* bytes, std::size_t length) {
  std::uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (std::size_t i = 0; i < length; ++i) {
    hash = (hash ^ bytes[i]) * 1099511628211u;
  }
  return hash;
}

// Marks the faces of a TrueType or OpenType collection that are the font of
// an earlier face: at its offset, or at another with the same directory.
void findSameFaces(const FontBytes& bytes, FaceList* list) {
  const std::size_t faces = static_cast<std::size_t>(list->faces);
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "ttcf", 4) != 0 ||
      (bytes.size() - 12) / 4 < faces) {
    return;
  }
  const auto offsetOf = [&bytes](std::size_t face) { return bigEndian(bytes, 12 + 4 * face, 4); };
  std::unordered_map<std::uint32_t, int> byOffset;
  std::unordered_multimap<std::uint64_t, int> byDirectory;
  for (std::size_t i = 0; i < faces; ++i) {
    const std::uint32_t offset = offsetOf(i);
    const auto first = byOffset.emplace(offset, static_cast<int>(i));
    if (!first.second) {
      list->same[i] = first.first->second;
      continue;
    }
    const std::size_t length = directoryLength(bytes, offset);
    if (length == 0 || length > kMaxDirectoryCompared) {
      continue;
    }
    const std::uint64_t hash = hashOf(bytes.data() + offset, length);
    const auto candidates = byDirectory.equal_range(hash);
    for (auto it = candidates.first; it != candidates.second; ++it) {
      const std::uint32_t other = offsetOf(static_cast<std::size_t>(it->second));
      if (directoryLength(bytes, other) == length &&
          std::memcmp(bytes.data() + offset, bytes.data() + other, length) == 0) {
        list->same[i] = it->second;
        break;
      }
    }
    if (list->same[i] == static_cast<int>(i)) {
      byDirectory.emplace(hash, static_cast<int>(i));
    }
  }
}
int pixelsOf(const FT_Bitmap_Size& size) {
  return static_cast<int>((size.y_ppem + 32) >> 6);
}

// Copies a bitmap's pixels: 1 for ink, or, `grey`, the level 0 to 255.
// True when any pixel is ink (at `threshold` for grey and colour bitmaps).
bool copyPixels(const FT_Bitmap& source, int threshold, bool grey, Bitmap* bitmap) {
  const int width = static_cast<int>(source.width);
  bitmap->width = width;
  bitmap->height = static_cast<int>(source.rows);
  bitmap->pixels.resize(static_cast<std::size_t>(width) * bitmap->height);
  const int levels = source.num_grays > 1 ? source.num_grays - 1 : 1;
  unsigned any = 0;
  if (source.buffer == nullptr) {
    // A damaged font's glyph without its pixels: drawn blank.
    std::fill(bitmap->pixels.begin(), bitmap->pixels.end(), std::uint8_t{0});
    return false;
  }
  for (int y = 0; y < bitmap->height; ++y) {
    const unsigned char* row = source.buffer + static_cast<std::ptrdiff_t>(y) * source.pitch;
    std::uint8_t* out = bitmap->pixels.data() + static_cast<std::size_t>(y) * width;
    if (source.pixel_mode == FT_PIXEL_MODE_MONO) {
      const unsigned ink = grey ? 255 : 1;
      for (int x = 0; x < width; ++x) {
        const unsigned bit = (row[x >> 3] >> (7 - (x & 7))) & 1;
        out[x] = static_cast<std::uint8_t>(bit * ink);
        any |= bit;
      }
      continue;
    }
    for (int x = 0; x < width; ++x) {
      bool on = false;
      int level = 0;  // 0 to 255
      if (source.pixel_mode == FT_PIXEL_MODE_BGRA) {
        level = row[4 * x + 3];  // its alpha
        on = level >= threshold;
      } else {
        on = row[x] * 255 >= threshold * levels;
        level = row[x] * 255 / levels;
      }
      out[x] = grey ? static_cast<std::uint8_t>(level) : on ? 1 : 0;
      any |= on ? 1 : 0;
    }
  }
  return any != 0;
}

}  // namespace

bool readFontData(const std::string& path, FontData* data, std::string* error) {
  data->path = path;
  data->bytes.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    *error = "cannot read font file " + path + ": " + fileErrorText(path, errno);
    return false;
  }
  // Read straight into the bytes, as much as the file's size says at once (a
  // FIFO's, 0, is read in pieces): no copy, no growing.
  std::error_code failure;
  const std::uintmax_t expected = std::filesystem::file_size(path, failure);
  constexpr std::size_t kPiece = std::size_t{1} << 16;
  std::size_t want = !failure && expected > 0 && expected < kMaxFontBytes
                         ? static_cast<std::size_t>(expected) + 1  // + 1: sees the end
                         : kPiece;
  std::size_t got = 0;
  for (;;) {
    if (data->bytes.size() + want > kMaxFontBytes + 1) {
      want = kMaxFontBytes + 1 - data->bytes.size();
    }
    const std::size_t had = data->bytes.size();
    data->bytes.resize(had + want);
    got = std::fread(data->bytes.data() + had, 1, want, file);
    data->bytes.resize(had + got);
    if (data->bytes.size() > kMaxFontBytes) {
      std::fclose(file);
      data->bytes.clear();
      *error = "cannot read font file " + path + ": it is larger than 1 GiB";
      return false;
    }
    if (got < want) {
      break;
    }
    want = kPiece;
  }
  const bool failed = std::ferror(file) != 0;
  const int reason = errno;
  std::fclose(file);
  if (failed) {
    *error = "cannot read font file " + path + ": " + systemErrorText(reason);
    return false;
  }
  if (data->bytes.empty()) {
    *error = "cannot read font file " + path + ": it is empty";
    return false;
  }
  return true;
}

bool unpackFontData(FontData* data, std::string* error) {
  FontBytes& bytes = data->bytes;
  if (bytes.size() < 2 || bytes[0] != 0x1F || bytes[1] != 0x8B) {
    return true;
  }
#ifdef FONTGRAFT_ZLIB
  z_stream stream{};
  if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {  // a gzip header
    *error = "cannot read font file " + data->path + ": out of memory";
    return false;
  }
  FontBytes out(std::min(kMaxFontBytes, bytes.size() * 4 + 4096));
  stream.next_in = bytes.data();
  stream.avail_in = static_cast<uInt>(std::min<std::size_t>(bytes.size(), 1u << 30));
  int status = Z_OK;
  while (status == Z_OK) {
    if (stream.total_out == out.size()) {
      if (out.size() == kMaxFontBytes) {
        break;
      }
      out.resize(std::min(kMaxFontBytes, out.size() * 2));
    }
    stream.next_out = out.data() + stream.total_out;
    stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
    status = inflate(&stream, Z_NO_FLUSH);
  }
  out.resize(stream.total_out);
  inflateEnd(&stream);
  if (status != Z_STREAM_END) {
    *error = "cannot read font file " + data->path + ": " +
             (status == Z_OK ? "it unpacks to more than 1 GiB" : "its gzip data are damaged");
    return false;
  }
  bytes.swap(out);
#else
  static_cast<void>(error);  // FreeType unpacks it, slowly
#endif
  return true;
}

bool readFaceList(const FontData& data, FaceList* list, std::string* error) {
  Face face;
  FaceInfo info;
  if (!face.openNames(data, -1, &info, error)) {
    return false;
  }
  list->declared = face.declaredFaces();
  list->faces = static_cast<int>(std::min(list->declared, kMaxFaces));
  list->same.resize(static_cast<std::size_t>(list->faces));
  std::iota(list->same.begin(), list->same.end(), 0);
  findSameFaces(data.bytes, list);
  int fonts = 0;
  for (int i = 0; i < list->faces; ++i) {
    int& same = list->same[static_cast<std::size_t>(i)];
    if (same == i && ++fonts > kMaxFontsRead) {
      same = -1;
    }
  }
  return true;
}

Face::Face() : ft_(new Handles) {
  FT_Bitmap_Init(&ft_->converted);
}

Face::~Face() {
  if (ft_->library != nullptr) {
    FT_Bitmap_Done(ft_->library, &ft_->converted);
    if (ft_->face != nullptr) {
      FT_Done_Face(ft_->face);
    }
    FT_Done_FreeType(ft_->library);
  }
  delete ft_;
}

bool Face::load(const FontData& data, long index, std::string* error) {
  FT_Error status = ft_->library == nullptr ? FT_Init_FreeType(&ft_->library) : 0;
  if (status != 0) {
    *error = std::string("cannot start FreeType: ") + errorText(status);
    return false;
  }
  if (ft_->face != nullptr) {
    FT_Done_Face(ft_->face);
    ft_->face = nullptr;
  }
  // Face -1 only counts the faces.
  status = FT_New_Memory_Face(ft_->library, data.bytes.data(),
                              static_cast<FT_Long>(data.bytes.size()), index, &ft_->face);
  if (status != 0) {
    ft_->face = nullptr;
    *error = "cannot read font file " + data.path + ": " +
             (status == FT_Err_Unknown_File_Format || status == FT_Err_Invalid_Stream_Operation ||
                      status == FT_Err_Invalid_Stream_Read
                  ? "not a font that FreeType can read"
                  : errorText(status));
    return false;
  }
  return true;
}

long Face::declaredFaces() const {
  return ft_->face != nullptr ? static_cast<long>(ft_->face->num_faces) : 0;
}

bool Face::openNames(const FontData& data, int index, FaceInfo* info, std::string* error) {
  if (index >= kMaxFaces || !load(data, index < 0 ? -1 : index, error)) {
    if (index >= kMaxFaces) {
      *error = "there is no face " + std::to_string(index) + " in " + data.path;
    }
    return false;
  }
  FT_Face face = ft_->face;
  info->faces = static_cast<int>(std::min<long>(face->num_faces, kMaxFaces));
  if (index < 0) {
    return true;
  }
  info->index = index;
  info->family = oneLineName(familyOf(face, data.path));
  info->style = oneLineName(face->style_name != nullptr ? face->style_name : "");
  info->scalable = FT_IS_SCALABLE(face);
  info->strikes.clear();
  for (int i = 0; i < face->num_fixed_sizes; ++i) {
    info->strikes.push_back(pixelsOf(face->available_sizes[i]));
  }
  info->charset = isX11Bitmap(face) ? charsetOf(face) : "";
  info->nameLanguages = nameLanguagesOf(face);
  info->table.clear();
  info->codes.clear();
  info->astralCodes.clear();
  info->astral = info->undefined = info->doubled = info->alternatives = 0;
  return true;
}

bool Face::openGlyphs(const FontData& data, int index, std::string* error) {
  return load(data, index, error);
}

bool Face::open(const FontData& data, int index, FaceInfo* info, std::string* error) {
  return openNames(data, index, info, error) && (index < 0 || readCodes(data.path, info, error));
}

bool Face::readCodes(const std::string& path, FaceInfo* info, std::string* error) {
  FT_Face face = ft_->face;
  const bool x11 = isX11Bitmap(face);
  Charset charset;
  std::string reason;
  if (x11 && info->charset.empty()) {
    *error = "the font " + path +
             " names no charset (CHARSET_REGISTRY, CHARSET_ENCODING): its codes cannot be read "
             "as Unicode";
    return false;
  }
  if (x11 && !findCharset(info->charset, &charset, &reason)) {
    *error = "the font " + path + " is in the charset " + info->charset + ", " + reason +
             ": convert it to ISO 10646 first, or use a font in " + understoodCharsets();
    return false;
  }
  info->table = charset.table != nullptr ? charset.table->name : "";
  FT_CharMap map = charmapOf(face, charset, x11);
  if (map == nullptr || FT_Set_Charmap(face, map) != 0) {
    *error = "the font " + path + " has no Unicode character table";
    return false;
  }
  FT_UInt glyph = 0;
  for (FT_ULong code = FT_Get_First_Char(face, &glyph); glyph != 0;
       code = FT_Get_Next_Char(face, code, &glyph)) {
    const std::uint32_t unicode = x11 ? unicodeOf(charset, static_cast<std::uint32_t>(code))
                                      : static_cast<std::uint32_t>(code);
    if (code == 0) {
      continue;
    } else if (unicode == 0 || code > 0xFFFFFFFFu) {
      ++info->undefined;
    } else if (unicode > 0xFFFF) {
      ++info->astral;
      info->astralCodes.push_back(unicode);
    } else {
      info->codes.push_back({unicode, glyph});
    }
  }
  if (charset.table != nullptr) {
    orderCodes(info);
    addAlternatives(charset, info);
  }
  return true;
}
bool Face::setSize(int pixels, Rendering rendering, int threshold, bool outline, int tall) {
  FT_Face face = ft_->face;
  int strikeIndex = -1;
  for (int i = 0; i < face->num_fixed_sizes; ++i) {
    if (pixelsOf(face->available_sizes[i]) == pixels) {
      strikeIndex = i;
    }
  }
  const bool scalable = FT_IS_SCALABLE(face);
  strike_ = strikeIndex >= 0 && (!scalable || (rendering == Rendering::kAuto && !outline));
  if (ft_->small == nullptr) {
    ft_->small = face->size;
  }
  pixels_ = pixels;
  tall_ = pixels;
  drawTall_ = false;
  FT_Error status = FT_Activate_Size(ft_->small);
  if (status == 0 && scalable) {
    status = FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
  } else if (status == 0 && strikeIndex >= 0) {
    status = FT_Select_Size(face, strikeIndex);
  } else {
    status = FT_Err_Invalid_Pixel_Size;
  }
  // The taller size, for the glyphs drawn taller, and the outline drawn
  // large, to judge the candidates by, have sizes of their own.
  if (status != 0 || (scalable && !strike_ && tall > pixels && !setTall(tall)) ||
      (scalable && rendering == Rendering::kBest && !activateLarge())) {
    FT_Activate_Size(ft_->small);
    return false;
  }
  FT_Activate_Size(ft_->small);
  if (rendering == Rendering::kAuto) {
    rendering_ = scalable ? Rendering::kThin : Rendering::kUnhinted;
  } else {
    rendering_ = rendering == Rendering::kBest && !scalable ? Rendering::kUnhinted : rendering;
  }
  threshold_ = threshold;
  return true;
}

bool Face::setTall(int tall) {
  FT_Face face = ft_->face;
  if (ft_->tall == nullptr && FT_New_Size(face, &ft_->tall) != 0) {
    ft_->tall = nullptr;
    return false;
  }
  if (FT_Activate_Size(ft_->tall) != 0 ||
      FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(pixels_), static_cast<FT_UInt>(tall)) != 0) {
    return false;
  }
  tall_ = tall;
  return true;
}

void Face::drawTall(bool tall) {
  drawTall_ = tall && tall_ > pixels_;
  FT_Activate_Size(drawnSize());
}

FT_SizeRec_* Face::drawnSize() const {
  return drawTall_ ? ft_->tall : ft_->small;
}

bool Face::activateLarge() {
  FT_Face face = ft_->face;
  const int across = pixels_ * kJudgeScale;
  const int down = (drawTall_ ? tall_ : pixels_) * kJudgeScale;
  if (ft_->large == nullptr && FT_New_Size(face, &ft_->large) != 0) {
    ft_->large = nullptr;
    return false;
  }
  if (FT_Activate_Size(ft_->large) != 0) {
    FT_Activate_Size(drawnSize());
    return false;
  }
  if (across != largeAcross_ || down != largeDown_) {
    largeAcross_ = largeDown_ = 0;
    if (FT_Set_Pixel_Sizes(face, static_cast<FT_UInt>(across), static_cast<FT_UInt>(down)) != 0) {
      FT_Activate_Size(drawnSize());
      return false;
    }
    largeAcross_ = across;
    largeDown_ = down;
  }
  return true;
}

bool Face::addStrokeCrossings(const unsigned* glyphs, std::size_t count,
                              std::vector<Crossing>* crossings) {
  if (!FT_IS_SCALABLE(ft_->face) || !activateLarge()) {
    return false;
  }
  Bitmap reference;
  for (std::size_t i = 0; i < count; ++i) {
    if (drawWith(glyphs[i], FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING | FT_LOAD_TARGET_NORMAL,
                 FT_RENDER_MODE_NORMAL, &reference, kJudgeScale, true) == Drawn::kInk) {
      const std::vector<Crossing> more = crossingsOf(reference);
      crossings->insert(crossings->end(), more.begin(), more.end());
    }
  }
  FT_Activate_Size(drawnSize());
  return true;
}

int Face::gridSize(const std::vector<unsigned>& glyphs, int largest, int smallest) {
  FT_Face face = ft_->face;
  const long em = FT_IS_SCALABLE(face) ? face->units_per_EM : 0;
  std::vector<long> units;  // grid steps, in font units, of the sizes still possible
  for (long size = largest; size >= smallest && em > 0; --size) {
    if (em % size == 0) {
      units.push_back(em / size);
    }
  }
  bool any = false;
  for (unsigned glyph : glyphs) {
    if (units.empty() || FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
      continue;
    }
    const FT_Outline& outline = face->glyph->outline;
    for (int i = 0; i < outline.n_points; ++i) {
      const FT_Vector point = outline.points[i];
      units.erase(
          std::remove_if(units.begin(), units.end(),
                         [&](long unit) { return point.x % unit != 0 || point.y % unit != 0; }),
          units.end());
      any = true;
    }
  }
  return any && !units.empty() ? static_cast<int>(em / units.front()) : 0;
}

Drawn Face::draw(unsigned glyph, Bitmap* bitmap) {
  const FT_Int32 bitmaps = strike_ ? 0 : FT_LOAD_NO_BITMAP;
  const bool judged = rendering_ == Rendering::kThin || rendering_ == Rendering::kBest;
  switch (plain_ && judged ? Rendering::kUnhinted : rendering_) {
    case Rendering::kHinted:
      return drawWith(glyph, bitmaps | FT_LOAD_TARGET_MONO, FT_RENDER_MODE_MONO, bitmap);
    case Rendering::kGrey:
      return drawWith(glyph, bitmaps | FT_LOAD_TARGET_NORMAL, FT_RENDER_MODE_NORMAL, bitmap);
    case Rendering::kBest:
      return drawBest(glyph, bitmap);
    case Rendering::kThin:
      return drawWith(glyph, bitmaps | FT_LOAD_NO_HINTING | FT_LOAD_TARGET_MONO,
                      FT_RENDER_MODE_MONO, bitmap, 1, false, true);
    default:
      return drawWith(glyph, bitmaps | FT_LOAD_NO_HINTING | FT_LOAD_TARGET_MONO,
                      FT_RENDER_MODE_MONO, bitmap);
  }
}

Drawn Face::drawBest(unsigned glyph, Bitmap* bitmap) {
  chosen_ = Chosen::kUnhinted;
  const FT_Int32 outline = FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO;
  const Drawn drawn = drawWith(glyph, outline | FT_LOAD_NO_HINTING, FT_RENDER_MODE_MONO, bitmap);
  if (drawn != Drawn::kInk) {
    return drawn;
  }
  Bitmap reference;
  const Drawn large =
      activateLarge()
          ? drawWith(glyph, FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING | FT_LOAD_TARGET_NORMAL,
                     FT_RENDER_MODE_NORMAL, &reference, kJudgeScale, true)
          : Drawn::kUndrawable;
  FT_Activate_Size(drawnSize());
  if (large != Drawn::kInk) {
    return drawn;
  }
  const std::vector<Crossing> crossings = crossingsOf(reference);
  int best = crossingsKept(crossings, *bitmap);
  // The font's own hints, then FreeType's, each kept only where it keeps more.
  for (const Chosen way : {Chosen::kFontHints, Chosen::kAutohinted}) {
    const FT_Int32 hinting = way == Chosen::kAutohinted ? FT_LOAD_FORCE_AUTOHINT : 0;
    Bitmap candidate;
    if (best == static_cast<int>(crossings.size()) ||
        drawWith(glyph, outline | hinting, FT_RENDER_MODE_MONO, &candidate) != Drawn::kInk) {
      continue;
    }
    const int kept = inkFits(candidate, *bitmap, roomWidth_, roomHeight_)
                         ? crossingsKept(crossings, candidate)
                         : -1;
    if (kept > best) {
      best = kept;
      chosen_ = way;
      *bitmap = std::move(candidate);
    }
  }
  return Drawn::kInk;
}

Drawn Face::drawWith(unsigned glyph, int loadFlags, int renderMode, Bitmap* bitmap, int scale,
                     bool grey, bool thin) {
  FT_Face face = ft_->face;
  if (FT_Load_Glyph(face, glyph, loadFlags) != 0) {
    return Drawn::kUndrawable;
  }
  const FT_GlyphSlot slot = face->glyph;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE) {
    // The box it would take, before anything is drawn, so that an absurd
    // glyph costs nothing.
    FT_BBox box;
    FT_Outline_Get_CBox(&slot->outline, &box);
    const long limit = static_cast<long>(kMaxGlyphPixels) * scale * 64;
    if (box.xMax - box.xMin > limit || box.yMax - box.yMin > limit) {
      return Drawn::kUndrawable;
    }
    if (thin) {
      // Thinner strokes, each kept by the rasterizer's dropout control where
      // it would fall between pixel centres.
      if ((thinning_.stems != 0 || thinning_.bars != 0) &&
          FT_Outline_EmboldenXY(&slot->outline, -thinning_.stems, -thinning_.bars) != 0) {
        return Drawn::kUndrawable;
      }
      slot->outline.flags &= ~FT_OUTLINE_IGNORE_DROPOUTS;
      slot->outline.flags |= FT_OUTLINE_SMART_DROPOUTS | FT_OUTLINE_INCLUDE_STUBS;
    }
  }
  if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(slot, static_cast<FT_Render_Mode>(renderMode)) != 0) {
    return Drawn::kUndrawable;
  }
  const FT_Bitmap* source = &slot->bitmap;
  if (source->width > static_cast<unsigned>(kMaxGlyphPixels * scale) ||
      source->rows > static_cast<unsigned>(kMaxGlyphPixels * scale)) {
    return Drawn::kUndrawable;
  }
  // Two- and four-bit grey and LCD bitmaps become eight-bit grey.
  if (source->pixel_mode != FT_PIXEL_MODE_MONO && source->pixel_mode != FT_PIXEL_MODE_GRAY &&
      source->pixel_mode != FT_PIXEL_MODE_BGRA) {
    if (FT_Bitmap_Convert(ft_->library, source, &ft_->converted, 1) != 0) {
      return Drawn::kUndrawable;
    }
    source = &ft_->converted;
  }
  bitmap->left = slot->bitmap_left;
  bitmap->top = slot->bitmap_top;
  bitmap->advance = static_cast<int>((slot->advance.x + 32) >> 6);
  return copyPixels(*source, threshold_, grey, bitmap) ? Drawn::kInk : Drawn::kBlank;
}
