// Line-by-line reading of the text inputs (the font and the code map).
#ifndef FONTGRAFT_COMMON_TEXTFILE_H
#define FONTGRAFT_COMMON_TEXTFILE_H

#include <cstdio>

// One read takes at most kLineMax characters; a longer line comes in pieces
// of at most kLineMax characters, each handled as a line of its own.
constexpr int kLineMax = 253;
constexpr int kLineBuffer = kLineMax + 2;

// Reads the next line (or piece of a line) of `file` into `line`, line end
// included. The whole buffer is cleared first, so every position past the
// line's end holds NUL, never a character of an earlier line. Returns false at
// the end of the file or on a read error.
bool readLine(std::FILE* file, char (&line)[kLineBuffer]);

// Opens a text input for reading. A path that cannot be read as a file (it
// does not exist, may not be read, or names a directory) gives nullptr.
std::FILE* openInput(const char* path, const char* mode);

#endif
