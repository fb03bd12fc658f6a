#include "common/textfile.h"

namespace {

// Refills the block once everything in it has been taken. Returns false when
// nothing more can be read.
bool refill(LineSource* source) {
  if (source->pos < source->len) {
    return true;
  }
  if (source->ended) {
    return false;
  }
  source->pos = 0;
  source->len = std::fread(source->block, 1, sizeof source->block, source->file);
  if (source->len < sizeof source->block) {
    source->ended = true;
    source->failed = std::ferror(source->file) != 0;
  }
  return source->len > 0;
}

}  // namespace

void startLines(LineSource* source, std::FILE* file) {
  source->file = file;
  source->pos = 0;
  source->len = 0;
  source->ended = false;
  source->failed = false;
  source->linesEnded = 0;
  source->line = Line{source->joined, 0};
}

bool readLine(LineSource* source) {
  if (!refill(source)) {
    source->line = Line{source->joined, 0};
    return false;
  }
  const char* start = source->block + source->pos;
  const std::size_t held = source->len - source->pos;
  const std::size_t limit = held < static_cast<std::size_t>(kLineMax) ? held : kLineMax;
  const void* end = std::memchr(start, '\n', limit);
  if (end != nullptr || held >= static_cast<std::size_t>(kLineMax)) {
    // The line, or a whole piece of it, lies in the block.
    const std::size_t length =
        end != nullptr ? static_cast<std::size_t>(static_cast<const char*>(end) - start) + 1
                       : limit;
    source->line = Line{start, length};
    source->pos += length;
    source->linesEnded += start[length - 1] == '\n' ? 1 : 0;
    return true;
  }
  // The block ends inside the line: put it together from the blocks.
  std::size_t n = 0;
  bool complete = false;
  while (!complete && n < static_cast<std::size_t>(kLineMax) && refill(source)) {
    const char* from = source->block + source->pos;
    std::size_t take = source->len - source->pos;
    if (take > kLineMax - n) {
      take = kLineMax - n;
    }
    const void* lineEnd = std::memchr(from, '\n', take);
    if (lineEnd != nullptr) {
      take = static_cast<std::size_t>(static_cast<const char*>(lineEnd) - from) + 1;
      complete = true;
    }
    std::memcpy(source->joined + n, from, take);
    n += take;
    source->pos += take;
  }
  source->line = Line{source->joined, n};
  source->linesEnded += complete ? 1 : 0;
  return n > 0;
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
