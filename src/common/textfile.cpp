#include "common/textfile.h"

#include <cstring>

bool readLine(std::FILE* file, char (&line)[kLineBuffer]) {
  std::memset(line, 0, sizeof line);
  return std::fgets(line, kLineMax + 1, file) != nullptr;
}

std::FILE* openInput(const char* path, const char* mode) {
  std::FILE* file = std::fopen(path, mode);
  if (file == nullptr) {
    return nullptr;
  }
  // A directory opens for reading but fails its first read; an empty file
  // merely ends. Probe one character so that the former counts as unopenable.
  const int first = std::getc(file);
  if (first == EOF && std::ferror(file) != 0) {
    std::fclose(file);
    return nullptr;
  }
  if (first != EOF) {
    std::ungetc(first, file);
  }
  return file;
}
