#include "check/inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/platform.h"
#include "common/scan.h"
#include "common/textfile.h"

namespace fs = std::filesystem;

namespace {

// The most a stream is copied: fontgraft would read more, but a font or code
// map as large as this is no font or code map.
constexpr long long kMaxStreamBytes = 1LL << 30;

// Where the readers' lines start on the page, as the code map reader scans them.
constexpr std::size_t kEncodingOffset = 15;
constexpr std::size_t kMappingOffset = 8;

// The most of a line a note quotes.
constexpr std::size_t kMaxQuoted = 48;

char copyBlock[1 << 16];
LineSource lines;

std::string reasonOf(int error) {
  return error != 0 ? std::strerror(error) : "input/output error";
}

// Copies `in` to its end into a new temporary file, whose name goes to `copy`.
bool copyStream(std::FILE* in, std::string* copy, std::string* error) {
  error->clear();
  std::error_code ec;
  const fs::path folder = fs::temp_directory_path(ec);
  if (ec) {
    *error = "no folder for a copy of it: " + ec.message();
    return false;
  }
  std::string why;
  std::FILE* out = createUnique(folder.string(), copy, &why);
  if (out == nullptr) {
    *error = "cannot copy it into " + folder.string() + ": " + why;
    return false;
  }
  long long total = 0;
  bool written = true;
  errno = 0;
  for (std::size_t n; written && (n = std::fread(copyBlock, 1, sizeof copyBlock, in)) > 0;) {
    total += static_cast<long long>(n);
    written = total <= kMaxStreamBytes && std::fwrite(copyBlock, 1, n, out) == n;
  }
  const int readError = std::ferror(in) != 0 ? errno : 0;
  const int writeError = errno;
  written = std::fclose(out) == 0 && written;
  if (readError != 0 || std::ferror(in) != 0) {
    *error = reasonOf(readError);
  } else if (total > kMaxStreamBytes) {
    *error = "it holds more than 1 GiB; give it as a file";
  } else if (!written) {
    *error = "cannot copy it into " + folder.string() + ": " + reasonOf(writeError);
  }
  return error->empty();
}

// Hands each line of the file, cut as the readers cut it, to `visit` with its
// line number (a piece of a long line has the number of its line).
template <typename Visit>
bool forEachNumberedLine(const char* path, Visit visit) {
  std::FILE* file = openInput(path, "rb");
  if (file == nullptr) {
    return false;
  }
  startLines(&lines, file);
  long number = 1;
  while (readLine(&lines)) {
    visit(lines.line, number);
    number += lines.line.text[lines.line.length - 1] == '\n' ? 1 : 0;
  }
  std::fclose(file);
  return !lines.failed;
}

// The line without its line end and leading blanks, cut to kMaxQuoted.
std::string quoted(Line line) {
  std::size_t start = 0;
  std::size_t end = line.length;
  while (start < end && (line.text[start] == ' ' || line.text[start] == '\t')) {
    ++start;
  }
  while (end > start && (line.text[end - 1] == '\n' || line.text[end - 1] == '\r')) {
    --end;
  }
  std::string text(line.text + start, end - start);
  return "\"" + (text.size() > kMaxQuoted ? text.substr(0, kMaxQuoted) + "..." : text) + "\"";
}

// A note for a box line that gives fewer than its four numbers, or "".
std::string boxNote(Line line, const char* pattern, long number) {
  int values[4];
  const int read = scanPattern(line, pattern, values, 4);
  if (read == 4) {
    return "";
  }
  return "font line " + std::to_string(number) + ": " + quoted(line) + " gives " +
         std::to_string(read) + " of its 4 numbers; the others keep their earlier values";
}

}  // namespace

TextInput::~TextInput() {
  if (!copy_.empty()) {
    std::error_code ec;
    fs::remove(copy_, ec);
  }
}

bool TextInput::open(const char* path, std::string* error) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec) {
    *error = ec.message();
    return false;
  }
  if (fs::is_directory(status)) {
    *error = std::strerror(EISDIR);
    return false;
  }
  errno = 0;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    *error = reasonOf(errno);
    return false;
  }
  const bool copied = fs::is_regular_file(status) || copyStream(file, &copy_, error);
  std::fclose(file);
  readPath_ = copy_.empty() ? path : copy_;
  return copied;
}

bool readFontLines(const char* path, FontLines* out) {
  bool inBitmap = false;
  long start = 0;  // the STARTCHAR line of the glyph being read, 0 before it
  return forEachNumberedLine(path, [&](Line line, long number) {
    if (inBitmap) {
      if (line.startsWith("ENDCHAR")) {
        inBitmap = false;
        start = 0;
      } else {
        out->rows.push_back(number);
      }
    } else if (line.startsWith("FONTBOUNDINGBOX")) {
      const std::string note = boxNote(line, "FONTBOUNDINGBOX %d %d %d %d", number);
      if (!note.empty()) {
        out->notes.push_back(note);
      }
    } else if (line.startsWith("STARTCHAR")) {
      start = number;
    } else if (line.startsWith("BITMAP")) {
      out->glyphs.push_back(start != 0 ? start : number);
      inBitmap = true;
    } else if (line.startsWith("BBX")) {
      const std::string note = boxNote(line, "BBX %d %d %d %d", number);
      if (!note.empty()) {
        out->notes.push_back(note);
      }
    }
  });
}

bool readCmapLines(const char* path, CmapLines* out) {
  bool inSection = false;
  return forEachNumberedLine(path, [&](Line line, long number) {
    int values[2] = {0, 0};
    if (!inSection) {
      inSection = scanPattern(line.from(kEncodingOffset), "Specific ID:%4d", values, 1) == 1 &&
                  values[0] == 1;
    } else if (scanPattern(line.from(kMappingOffset), "Char %4X -> Index %d", values, 2) == 2) {
      out->mappings.push_back(number);
    } else {
      const std::string text(line.text, line.length);
      if (text.find("Char") != std::string::npos || text.find("->") != std::string::npos) {
        out->notes.push_back("code map line " + std::to_string(number) + ": " + quoted(line) +
                             " is not read as a mapping line (\"Char XXXX -> Index N\" after 8 "
                             "blanks, at most 4 hex digits), passed over");
      }
    }
  });
}
