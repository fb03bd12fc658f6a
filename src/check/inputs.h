// The checker's inputs: each text input read as fontgraft reads it, even from
// a pipe, and, for --list, where in its file each line the readers take
// stands.
#ifndef FONTGRAFT_CHECK_INPUTS_H
#define FONTGRAFT_CHECK_INPUTS_H

#include <string>
#include <vector>

// A text input where the readers can open it, as often as the checker needs.
// A regular file is read where it is. Any other file (a pipe, process
// substitution, a FIFO, a device) can be read only once, so it is read once,
// to its end, into a temporary copy that the readers then open: the verdict
// on a stream is the verdict on the same bytes in a file.
class TextInput {
 public:
  TextInput() = default;
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;
  ~TextInput();  // removes the copy

  // Opens the input at `path`. False with the reason in `error`.
  bool open(const char* path, std::string* error);

  // The path the readers open: the input's own, or its copy's.
  const char* path() const { return readPath_.c_str(); }

 private:
  std::string readPath_;
  std::string copy_;  // empty for a regular file
};

// The readers hand over lines, never their numbers, so --list reads each file
// once more, cut into lines just as the readers cut it, with the few rules
// that say where a glyph, a row and a mapping line begin.

// The line number of each thing the glyph reader takes from the font, and a
// note for each line it passes over malformed, in file order.
struct FontLines {
  std::vector<long> rows;    // each bitmap row line, in the order the reader places them
  std::vector<long> glyphs;  // each glyph: its STARTCHAR line, else its BITMAP line
  std::vector<std::string> notes;
};

// The same for the code map: each mapping line taken, and a note for each line
// of the mapping section that looks like a mapping line but is not read as one.
struct CmapLines {
  std::vector<long> mappings;
  std::vector<std::string> notes;
};

// False when the file cannot be read to its end.
bool readFontLines(const char* path, FontLines* out);
bool readCmapLines(const char* path, CmapLines* out);

#endif
