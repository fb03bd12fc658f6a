#include "common/scan.h"

#include <cstdint>

namespace {

// Reads a line: past its end it reads NUL, like a cleared line buffer, so the
// scan stops there as it does at a NUL inside the line.
struct Cursor {
  const unsigned char* at;
  const unsigned char* end;

  unsigned char operator*() const { return at < end ? *at : 0; }
  Cursor& operator++() {
    ++at;
    return *this;
  }
};

// White space as the C scanner knows it: blank, \t, \n, \v, \f and \r.
bool isSpace(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Value of `c` as a digit of `Base` (10 or 16), or -1.
template <int Base>
int digitValue(unsigned char c) {
  if (Base == 16) {
    return hexDigitValue(c);
  }
  return c >= '0' && c <= '9' ? c - '0' : -1;
}

// Low 32 bits of a 64-bit two's complement value, as an int.
int low32(std::uint64_t bits) {
  const auto low = static_cast<std::uint32_t>(bits);
  return low <= 0x7FFFFFFFu ? static_cast<int>(low)
                            : -static_cast<int>(~low) - 1;  // two's complement without overflow
}

// Reads one number at `*in` as a %d (base 10, signed) or %x (base 16,
// unsigned) conversion of at most `width` characters (-1: no limit). On
// success advances `*in` past it, stores the value and returns true.
template <int Base>
bool scanNumber(Cursor* in, int width, int* value) {
  constexpr auto kBase = static_cast<std::uint64_t>(Base);
  Cursor p = *in;
  while (isSpace(*p)) {
    ++p;
  }
  bool negative = false;
  if (*p == '-' || *p == '+') {
    negative = *p == '-';
    ++p;
    if (width > 0) {
      --width;
    }
  }
  bool anyDigit = false;
  if (Base == 16 && width != 0 && *p == '0') {
    anyDigit = true;
    ++p;
    if (width > 0) {
      --width;
    }
    if (width != 0 && (*p == 'x' || *p == 'X')) {
      ++p;
      if (width > 0) {
        --width;
      }
    }
  }
  std::uint64_t magnitude = 0;
  bool overflow = false;
  int digit = 0;
  while (width != 0 && (digit = digitValue<Base>(*p)) >= 0) {
    anyDigit = true;
    const auto d = static_cast<std::uint64_t>(digit);
    if (magnitude > UINT64_MAX / kBase || magnitude * kBase > UINT64_MAX - d) {
      overflow = true;
    } else {
      magnitude = magnitude * kBase + d;
    }
    ++p;
    if (width > 0) {
      --width;
    }
  }
  if (!anyDigit) {
    return false;
  }
  std::uint64_t bits = 0;
  if (Base == 16) {
    // Unsigned conversion: a negative number wraps, an overflow saturates.
    bits = overflow ? UINT64_MAX : (negative ? 0 - magnitude : magnitude);
  } else {
    // Signed conversion into a 64-bit long, saturating at its bounds.
    constexpr std::uint64_t kLongMax = INT64_MAX;
    if (!negative) {
      bits = overflow || magnitude > kLongMax ? kLongMax : magnitude;
    } else {
      bits = overflow || magnitude > kLongMax + 1 ? kLongMax + 1 : 0 - magnitude;
    }
  }
  *value = low32(bits);
  *in = p;
  return true;
}

}  // namespace

int scanPattern(Line line, const char* pattern, int* out, int maxOut) {
  const auto* text = reinterpret_cast<const unsigned char*>(line.text);
  Cursor in{text, text + line.length};
  int count = 0;
  for (const char* p = pattern; *p != '\0';) {
    const auto pc = static_cast<unsigned char>(*p);
    if (isSpace(pc)) {
      while (isSpace(*in)) {
        ++in;
      }
      ++p;
      continue;
    }
    if (pc != '%') {
      if (*in != pc) {
        return count;
      }
      ++in;
      ++p;
      continue;
    }
    ++p;
    int width = -1;
    if (*p >= '1' && *p <= '9') {
      width = 0;
      while (*p >= '0' && *p <= '9') {
        width = width * 10 + (*p - '0');
        ++p;
      }
    }
    const bool decimal = *p == 'd';
    ++p;
    int value = 0;
    if (!(decimal ? scanNumber<10>(&in, width, &value) : scanNumber<16>(&in, width, &value))) {
      return count;
    }
    if (count < maxOut) {
      out[count] = value;
    }
    ++count;
  }
  return count;
}

bool parseHexCode(const char* text, std::uint16_t* code) {
  const char* p = text;
  if (((p[0] == 'U' || p[0] == 'u') && p[1] == '+') ||
      (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))) {
    p += 2;
  }
  if (*p == '\0') {
    return false;
  }
  unsigned value = 0;
  for (; *p != '\0'; ++p) {
    const int digit = hexDigitValue(static_cast<unsigned char>(*p));
    value = value * 16 + static_cast<unsigned>(digit);
    if (digit < 0 || value > 0xFFFF) {
      return false;
    }
  }
  *code = static_cast<std::uint16_t>(value);
  return true;
}
