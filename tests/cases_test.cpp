// End-to-end cases as data: every tests/cases/*.case file is a group of runs
// of the built programs, each run checked for its exit status, standard
// output and error, the bytes of the images it may change and any further
// check the case names. The format is described in tests/cases/README.md.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#if FONTGRAFT_SHOW_PNG
#include <png.h>
#endif

#include "support.h"

namespace fs = std::filesystem;

namespace {

struct Section {
  std::string head;  // the words after "=="
  std::vector<std::string> lines;
};

struct Case {
  std::string file;
  std::string name;
  int ordinal;                    // within its file
  std::vector<Section> fixture;   // files, images and needs before the first run
  std::vector<Section> sections;  // the run's own
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.file << ".case: " << c.name;
}

// Bytes of a block of lines: \r, \t, \0, \xHH and \\ stand for their bytes, a
// line ending in a lone backslash has no line end.
std::string bytesOf(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    bool joined = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (line[i] != '\\') {
        bytes += line[i];
      } else if (i + 1 == line.size()) {
        joined = true;
      } else if (line[++i] == 'x') {
        bytes += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else {
        const std::string from = "nrt0\\";
        bytes += "\n\r\t\0\\"[from.find(line[i])];
      }
    }
    if (!joined) {
      bytes += '\n';
    }
  }
  return bytes;
}

// A block of shell lines, as they stand.
std::string scriptOf(const std::vector<std::string>& lines) {
  std::string script;
  for (const std::string& line : lines) {
    script += line + "\n";
  }
  return script;
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> out;
  for (std::string w; in >> w;) {
    out.push_back(w);
  }
  return out;
}

std::vector<Case> loadRuns() {
  std::vector<Case> runs;
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(FONTGRAFT_CASES)) {
    if (entry.path().extension() == ".case") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  // Blank lines that end a section only set it apart from the next.
  const auto trim = [](std::vector<Section>* sections) {
    for (Section& s : *sections) {
      while (!s.lines.empty() && s.lines.back().empty()) {
        s.lines.pop_back();
      }
    }
  };
  for (const fs::path& path : files) {
    std::ifstream in(path);
    std::vector<Section> fixture;
    std::vector<Section>* into = &fixture;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("== ", 0) != 0) {
        if (!into->empty()) {
          into->back().lines.push_back(line);
        }
        continue;  // lines before the first section are comments
      }
      const std::string head = line.substr(3);
      if (head.rfind("run", 0) == 0) {
        trim(&fixture);
        const int ordinal =
            runs.empty() || runs.back().file != path.stem().string() ? 1 : runs.back().ordinal + 1;
        runs.push_back(
            {path.stem().string(), head.size() > 4 ? head.substr(4) : "", ordinal, fixture, {}});
        into = &runs.back().sections;
        into->push_back({"run", {}});
      } else {
        into->push_back({head, {}});
      }
    }
  }
  for (Case& c : runs) {
    trim(&c.sections);
  }
  return runs;
}

// Runs a shell script in `dir`/work; its status, and its output in `dir`/out
// and `dir`/err.
int shell(const TempDir& dir, const std::string& script) {
  // For `needs`: `native` tells a run of the programs built for this system
  // from one of programs built for another (Windows programs under wine);
  // `png`, whether the viewer was built with its PNG output.
  writeFile(dir.file("script"),
            "set -o pipefail\n"
            "native() { test \"${FONTGRAFT_PLATFORM:-native}\" = native; }\n"
            "png() { ! $SHOW --help | grep -q 'no PNG output'; }\n" +
                script);
  const int status =
      std::system(("cd '" + dir.file("work") + "' && bash ../script >../out 2>../err").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The slot of code `code` as the readable form of the case files: a "U+XXXX"
// line and one line per non-blank row, its number and 16 pixels.
std::string drawSlot(const std::string& image, unsigned code) {
  std::ostringstream out;
  out << "U+" << std::hex << std::uppercase << code << std::dec << "\n";
  const std::size_t at = 0x34C928 + 32 * static_cast<std::size_t>(code);
  for (int r = 0; r < 16; ++r) {
    std::string row;
    for (int c = 0; c < 16; ++c) {
      const std::size_t byte = at + static_cast<std::size_t>((r / 8) * 16 + c);
      row += byte < image.size() && (image[byte] >> (r % 8) & 1) != 0 ? '#' : '.';
    }
    if (row != std::string(16, '.')) {
      out << (r < 10 ? "0" : "") << r << " " << row << "\n";
    }
  }
  return out.str();
}

// The image `before` with the slots the lines list written into it.
std::string expectSlots(std::string image, const std::vector<std::string>& lines) {
  std::size_t slot = 0;
  for (const std::string& line : lines) {
    if (line.rfind("U+", 0) == 0) {
      slot = 0x34C928 + 32 * std::stoul(line.substr(2), nullptr, 16);
      image.resize(std::max(image.size(), slot + 32), '\0');
      image.replace(slot, 32, 32, '\0');
    } else if (!line.empty()) {
      const int r = std::stoi(line.substr(0, 2));
      for (int c = 0; c < 16; ++c) {
        if (line.at(3 + static_cast<std::size_t>(c)) == '#') {
          image[slot + static_cast<std::size_t>((r / 8) * 16 + c)] |= static_cast<char>(1 << r % 8);
        }
      }
    }
  }
  return image;
}

#if FONTGRAFT_SHOW_PNG
// Pixels of a PNG file as the case files draw them: '#' black, '.' white,
// '+' the grid's grey, 'r' the light red of a missing slot, '?' any other.
std::vector<std::string> drawPng(const std::string& path, std::string* size) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<std::string> rows;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    return rows;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr);
  *size = std::to_string(image.width) + "x" + std::to_string(image.height);
  const std::map<std::uint32_t, char> names = {
      {0x000000, '#'}, {0xFFFFFF, '.'}, {0xB4B4B4, '+'}, {0xF4C2C2, 'r'}};
  for (png_uint_32 y = 0; y < image.height; ++y) {
    std::string row;
    for (png_uint_32 x = 0; x < image.width; ++x) {
      const png_byte* p = &rgb[(y * image.width + x) * 3];
      const auto found = names.find(static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]));
      row += found == names.end() ? '?' : found->second;
    }
    rows.push_back(row);
  }
  return rows;
}
#endif

class Cases : public ::testing::TestWithParam<Case> {};

TEST_P(Cases, Runs) {
  const Case& run = GetParam();
  TempDir dir;
  const std::string work = dir.file("work");
  fs::create_directory(work);
  // The programs under test, unless the environment names others.
  setenv("FONTGRAFT", FONTGRAFT_BIN, 0);
  setenv("SHOW", FONTGRAFT_SHOW_BIN, 0);
  setenv("CHECK", FONTGRAFT_CHECK_BIN, 0);
  setenv("EXAMPLES", FONTGRAFT_EXAMPLES, 0);
  setenv("CASES", FONTGRAFT_CASES, 0);
  setenv("MAKE_WORST_CASE", MAKE_WORST_CASE_BIN, 0);
  setenv("CONVERT", FONTGRAFT_CONVERT_BIN, 0);
  std::vector<Section> sections = run.fixture;
  sections.insert(sections.end(), run.sections.begin(), run.sections.end());

  // The fixture: files, and what the run needs, first wherever they stand.
  std::map<std::string, std::string> files;  // name: bytes before the run
  for (const Section& s : sections) {
    const std::vector<std::string> head = words(s.head);
    if (head[0] == "file" || head[0] == "zeros") {
      const std::string bytes = head[0] == "file"
                                    ? bytesOf(s.lines)
                                    : std::string(std::stoul(head.at(2), nullptr, 0), '\0');
      writeFile(work + "/" + head.at(1), bytes);
      files[head[1]] = bytes;
    } else if (head[0] == "needs" && shell(dir, s.head.substr(6)) != 0) {
      GTEST_SKIP() << "needs " << s.head.substr(6);
    } else if (head[0] == "setup") {
      ASSERT_EQ(shell(dir, scriptOf(s.lines)), 0) << readFile(dir.file("err"));
    }
  }
  const Section& script = run.sections.front();
  const int status = shell(dir, scriptOf(script.lines));
  const std::string out = readFile(dir.file("out"));
  const std::string err = readFile(dir.file("err"));

  // What a run is held to unless its case says otherwise: status 0, nothing
  // printed, every file it was given unchanged.
  std::map<std::string, bool> said;
  for (const Section& s : sections) {
    const std::vector<std::string> head = words(s.head);
    const std::string& kind = head[0];
    const std::string name = head.size() > 1 ? head[1] : "";
    const std::string path = work + "/" + name;
    said[kind] = true;
    if (kind == "status") {
      EXPECT_EQ(status, std::stoi(name));
    } else if (kind == "stdout" || kind == "stderr") {
      EXPECT_EQ(kind == "stdout" ? out : err, bytesOf(s.lines)) << kind;
    } else if (kind == "slots") {
      const std::string after = readFile(path);
      const std::string want = expectSlots(files[name], s.lines);
      files.erase(name);
      EXPECT_EQ(after.size(), want.size()) << name;
      const auto diff = std::mismatch(after.begin(), after.end(), want.begin(), want.end());
      if (diff.first != after.end() && diff.second != want.end()) {
        const auto at = static_cast<std::size_t>(diff.first - after.begin());
        const std::size_t code = at >= 0x34C928 ? (at - 0x34C928) / 32 : 0;
        ADD_FAILURE() << name << " differs at byte " << at << "; the slot holds\n"
                      << drawSlot(after, static_cast<unsigned>(code));
      }
    } else if (kind == "changes") {
      files.erase(name);
    } else if (kind == "check") {
      for (const std::string& line : s.lines) {
        EXPECT_EQ(shell(dir, line), 0) << "check: " << line << "\n" << readFile(dir.file("err"));
      }
    } else if (kind == "png") {
#if FONTGRAFT_SHOW_PNG
      files.erase(name);
      std::string size;
      const std::vector<std::string> rows = drawPng(path, &size);
      EXPECT_EQ(size, head.at(2)) << name;
      const std::size_t x = head.size() > 3 ? std::stoul(head[3]) : 0;
      const std::size_t y = head.size() > 4 ? std::stoul(head[4]) : 0;
      for (std::size_t i = 0; i < s.lines.size(); ++i) {
        const std::string& row = y + i < rows.size() ? rows[y + i] : "";
        EXPECT_EQ(row.substr(std::min(x, row.size()), s.lines[i].size()), s.lines[i])
            << name << " row " << y + i;
      }
#else
      GTEST_SKIP() << "this build has no PNG output";
#endif
    } else if (kind != "file" && kind != "zeros" && kind != "needs" && kind != "setup" &&
               kind != "run") {
      ADD_FAILURE() << "unknown section == " << s.head;
    }
  }
  if (!said["status"]) {
    EXPECT_EQ(status, 0);
  }
  if (!said["stdout"]) {
    EXPECT_EQ(out, "");
  }
  if (!said["stderr"]) {
    EXPECT_EQ(err, "");
  }
  for (const auto& [name, bytes] : files) {
    EXPECT_TRUE(readFile(work + "/" + name) == bytes) << name << " changed";
  }
}

std::string runName(const ::testing::TestParamInfo<Case>& info) {
  std::string name =
      info.param.file + "_" + std::to_string(info.param.ordinal) + "_" + info.param.name;
  for (char& c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
      c = '_';
    }
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(, Cases, ::testing::ValuesIn(loadRuns()), runName);

}  // namespace
