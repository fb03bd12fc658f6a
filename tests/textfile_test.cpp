// The line reader against a plain model: lines end after '\n', a line longer
// than kLineMax comes in pieces of kLineMax characters, and each piece has the
// number of its line.
#include "common/textfile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support.h"

namespace {

std::vector<std::string> modelLines(const std::string& text) {
  std::vector<std::string> lines;
  long number = 1;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t take = std::min<std::size_t>(kLineMax, text.size() - pos);
    const std::size_t lineEnd = text.find('\n', pos);
    if (lineEnd != std::string::npos && lineEnd < pos + take) {
      take = lineEnd - pos + 1;
    }
    lines.push_back(std::to_string(number) + ":" + text.substr(pos, take));
    number += text[pos + take - 1] == '\n' ? 1 : 0;
    pos += take;
  }
  return lines;
}

// Reads `text` through forEachLine, stopping after every `stopEvery`-th line
// and going on with a new call.
std::vector<std::string> readLines(const std::string& text, int stopEvery) {
  static LineSource source;
  std::FILE* file = streamOf(text);
  startLines(&source, file);
  std::vector<std::string> lines;
  int count = 0;
  while (forEachLine(&source, [&](Line line, long number) {
    lines.push_back(std::to_string(number) + ":" + std::string(line.text, line.length));
    return ++count % stopEvery != 0;
  })) {
  }
  std::fclose(file);
  return lines;
}

// Texts that cross several read blocks, with line lengths around the piece
// size, NULs and CRs, and with or without a final line end; and no text.
TEST(ForEachLine, CutsLinesAsTheModelDoes) {
  std::mt19937 random(99);
  const std::size_t lengths[] = {1, 2, 5, 7, 8, 31, 63, 64, 65, 252, 253, 254, 255, 506, 507, 1000};
  for (int round = 0; round < 13; ++round) {
    std::string text;
    while (round < 12 && text.size() < 200000) {
      const std::size_t length =
          round % 3 == 0 ? lengths[random() % std::size(lengths)] : random() % 40 + 1;
      std::string line(length - 1, 'x');
      for (char& c : line) {
        c = "ABC0\r\0 "[random() % 7];
      }
      text += line + "\n";
    }
    if (round % 2 == 1) {
      text.pop_back();  // no line end at the end of the file
    }
    for (int stopEvery : {1, 3, 1000000}) {
      ASSERT_EQ(readLines(text, stopEvery), modelLines(text))
          << "round " << round << ", stop every " << stopEvery;
    }
  }
}

}  // namespace
