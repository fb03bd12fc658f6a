// Line-by-line reading of the text inputs (the font and the code map).
#ifndef FONTGRAFT_COMMON_TEXTFILE_H
#define FONTGRAFT_COMMON_TEXTFILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__SSE2__) && !defined(FONTGRAFT_PLAIN)
#include <emmintrin.h>
#endif

// One read takes at most kLineMax characters; a longer line comes in pieces
// of at most kLineMax characters, each handled as a line of its own.
constexpr int kLineMax = 253;

// A line as read: its characters, line end included, which may hold NULs.
// Past its end a line reads as NUL, never as a character of another line.
struct Line {
  const char* text;
  std::size_t length;

  char at(std::size_t i) const { return i < length ? text[i] : '\0'; }

  // The rest of the line from its `offset`-th character on; empty when the
  // line ends before it.
  Line from(std::size_t offset) const {
    return offset < length ? Line{text + offset, length - offset} : Line{text, 0};
  }

  template <std::size_t N>
  bool startsWith(const char (&keyword)[N]) const {
    return length >= N - 1 && std::memcmp(text, keyword, N - 1) == 0;
  }
};

// A text input read in large blocks. A line that lies whole in the block is
// handed out where it stands; only one cut by the end of a block is put
// together in `joined`.
struct LineSource {
  std::FILE* file;
  std::size_t pos;  // next unread byte of `block`
  std::size_t len;  // bytes held in `block`
  bool ended;       // the file has no more to give
  bool failed;      // reading the file failed: what was read is not all of it
  long linesEnded;  // line ends taken so far: the next line is number linesEnded + 1
  Line line;        // the line last read
  char joined[kLineMax];
  char block[1 << 16];
};

// Starts reading `file` from its current position.
void startLines(LineSource* source, std::FILE* file);

// Reads the next line (or piece of a line) of the source into `source->line`,
// line end included, and counts its line end. Returns false at the end of the
// file and on a read error, which also sets `source->failed`.
bool readLine(LineSource* source);

// The block is searched for line ends kChunk characters at a time.
constexpr std::size_t kChunk = 64;

// Bit i is set when text[i] is '\n', for i below kChunk. All kChunk
// characters must be readable.
inline std::uint64_t lineEndsIn(const char* text) {
#if defined(__SSE2__) && !defined(FONTGRAFT_PLAIN)
  const __m128i lineEnd = _mm_set1_epi8('\n');
  std::uint64_t mask = 0;
  for (int i = 0; i < 4; ++i) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + 16 * i));
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lineEnd)));
    mask |= static_cast<std::uint64_t>(bits) << (16 * i);
  }
  return mask;
#else
  std::uint64_t mask = 0;
  for (std::size_t i = 0; i < kChunk; ++i) {
    mask |= static_cast<std::uint64_t>(text[i] == '\n') << i;
  }
  return mask;
#endif
}

// Hands the source's lines, in order, to `visit` (a callable taking a Line and
// its line number, counted from 1, and returning false to stop) until it stops
// or the input ends; the pieces of a long line have the number of their line. Returns true when
// `visit` stopped, false at the end of the input. The next call goes on with
// the line after the one `visit` stopped at.
//
// The block is searched a chunk at a time for all its line ends at once, and
// the lines between them are handed out where they stand. A line longer than
// kLineMax, and the few lines at the end of each block, go through readLine.
template <typename Visit>
bool forEachLine(LineSource* source, Visit visit) {
  for (;;) {
    const char* line = source->block + source->pos;  // start of the next line
    const char* chunk = line;
    const char* const end = source->block + source->len;
    bool slow = false;                // the next line must go through readLine
    long ended = source->linesEnded;  // every line taken here has its line end
    // A line already longer than kLineMax is cut at once, not searched on.
    while (!slow && end - chunk >= static_cast<std::ptrdiff_t>(kChunk) && chunk - line < kLineMax) {
      for (std::uint64_t ends = lineEndsIn(chunk); ends != 0; ends &= ends - 1) {
        const char* next = chunk + __builtin_ctzll(ends) + 1;
        const auto length = static_cast<std::size_t>(next - line);
        if (length > static_cast<std::size_t>(kLineMax)) {
          slow = true;  // cut into pieces by readLine
          break;
        }
        const Line taken{line, length};
        line = next;
        if (!visit(taken, ++ended)) {
          source->pos = static_cast<std::size_t>(line - source->block);
          source->linesEnded = ended;
          return true;
        }
      }
      chunk += kChunk;
    }
    source->pos = static_cast<std::size_t>(line - source->block);
    source->linesEnded = ended;
    const long number = ended + 1;
    if (!readLine(source)) {
      return false;
    }
    if (!visit(source->line, number)) {
      return true;
    }
  }
}

// Opens a text input for reading. A path that cannot be read as a file (it
// does not exist, may not be read, or names a directory) gives nullptr.
std::FILE* openInput(const char* path, const char* mode);

#endif
