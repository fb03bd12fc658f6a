// The checker's inputs: each text input read as fontgraft reads it, even from
// a pipe, and the lines of its report that wait until the summary is out.
#ifndef FONTGRAFT_CHECK_INPUTS_H
#define FONTGRAFT_CHECK_INPUTS_H

#include <cstdio>
#include <string>

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

// Lines of text kept in a temporary file until they are printed, so that a
// list of any length costs no memory.
class Spool {
 public:
  Spool() = default;
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;
  ~Spool();  // removes the file

  // Adds a line (without its line end). Lines that cannot be kept make
  // copyTo fail.
  void add(const std::string& line);

  // Writes every line added, in order, to `out`. False when they could not be
  // kept or read back.
  bool copyTo(std::FILE* out);

 private:
  std::FILE* file_ = nullptr;
  std::string path_;
  bool failed_ = false;
};

#endif
