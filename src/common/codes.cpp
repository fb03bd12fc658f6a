#include "common/codes.h"

#include <cstdio>

namespace {

struct CodeRange {
  std::uint32_t first;
  std::uint32_t last;
};

// The characters drawn blank on purpose, in order.
constexpr CodeRange kMeantBlank[] = {
    {0x0020, 0x0020},  // space
    {0x00A0, 0x00A0},  // no-break space
    {0x00AD, 0x00AD},  // soft hyphen
    {0x034F, 0x034F},  // combining grapheme joiner
    {0x115F, 0x1160},  // Hangul choseong and jungseong fillers
    {0x180E, 0x180E},  // Mongolian vowel separator
    {0x2000, 0x200F},  // the typographic spaces, zero-width joiners, direction marks
    {0x2028, 0x202F},  // line and paragraph separators, embeddings, narrow no-break space
    {0x205F, 0x206F},  // medium mathematical space, invisible operators, deprecated formats
    {0x3000, 0x3000},  // ideographic space
    {0x3164, 0x3164},  // Hangul filler
    {0xFE00, 0xFE0F},  // variation selectors
    {0xFEFF, 0xFEFF},  // zero-width no-break space (the byte order mark)
    {0xFFA0, 0xFFA0},  // halfwidth Hangul filler
    {0xFFF9, 0xFFFB},  // interlinear annotation marks
};

bool prints(std::uint32_t code) {
  return code > 0x20 && !(code >= 0x7F && code <= 0xA0) && !(code >= 0xD800 && code <= 0xDFFF) &&
         code <= 0x10FFFF && !isMeantBlank(code);
}

}  // namespace

bool isMeantBlank(std::uint32_t code) {
  for (const CodeRange& range : kMeantBlank) {
    if (code < range.first) {
      return false;
    }
    if (code <= range.last) {
      return true;
    }
  }
  return false;
}

std::string utf8Of(std::uint32_t code) {
  if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
    code = 0xFFFD;
  }
  std::string out;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
  return out;
}

int decodeUtf8(const char* text, std::size_t available, std::uint32_t* code) {
  const auto* u = reinterpret_cast<const unsigned char*>(text);
  if (available == 0) {
    return 0;
  }
  const int length = u[0] < 0x80             ? 1
                     : (u[0] & 0xE0) == 0xC0 ? 2
                     : (u[0] & 0xF0) == 0xE0 ? 3
                     : (u[0] & 0xF8) == 0xF0 ? 4
                                             : 0;
  if (length == 0 || static_cast<std::size_t>(length) > available) {
    return 0;
  }
  std::uint32_t value = length == 1 ? u[0] : u[0] & (0x7Fu >> length);
  for (int i = 1; i < length; ++i) {
    if ((u[i] & 0xC0) != 0x80) {
      return 0;
    }
    value = value << 6 | (u[i] & 0x3Fu);
  }
  constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    return 0;
  }
  *code = value;
  return length;
}

std::string oneLineName(const std::string& name) {
  std::string line = name;
  for (char& c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      c = '?';
    }
  }
  return line;
}

std::string codeNumber(std::uint32_t code) {
  char name[16];
  std::snprintf(name, sizeof name, code > 0xFFFF ? "U+%06X" : "U+%04X",
                static_cast<unsigned>(code));
  return name;
}

std::string codeName(std::uint32_t code) {
  return prints(code) ? codeNumber(code) + " " + utf8Of(code) : codeNumber(code);
}
