// Line-by-line reading of the text inputs (the font and the code map).
#ifndef FONTGRAFT_COMMON_TEXTFILE_H
#define FONTGRAFT_COMMON_TEXTFILE_H

#include <cstddef>
#include <cstdio>

// One read takes at most kLineMax characters; a longer line comes in pieces
// of at most kLineMax characters, each handled as a line of its own.
constexpr int kLineMax = 253;
constexpr int kLineBuffer = kLineMax + 2;

// A text input read in large blocks, and the line buffer its lines are read
// into. Every position of `line` past the current line's end holds NUL, never
// a character of an earlier line.
struct LineSource {
  std::FILE* file;
  std::size_t pos;   // next unread byte of `block`
  std::size_t len;   // bytes held in `block`
  std::size_t used;  // characters of `line` written by the last read
  bool ended;        // the file has no more to give
  char line[kLineBuffer];
  char block[1 << 16];
};

// Starts reading `file` from its current position.
void startLines(LineSource* source, std::FILE* file);

// Reads the next line (or piece of a line) of the source into `source->line`,
// line end included. Returns false at the end of the file and on a read error.
bool readLine(LineSource* source);

// Opens a text input for reading. A path that cannot be read as a file (it
// does not exist, may not be read, or names a directory) gives nullptr.
std::FILE* openInput(const char* path, const char* mode);

#endif
