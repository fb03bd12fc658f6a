// Files and processes for the tests: temporary folders, whole-file reads and
// writes, and runs of the built utility.
#ifndef FONTGRAFT_TESTS_SUPPORT_H
#define FONTGRAFT_TESTS_SUPPORT_H

#include <cstdio>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with its files.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

// A temporary stream holding `bytes`, positioned at its start.
std::FILE* streamOf(const std::string& bytes);

struct RunResult {
  int status;
  std::string out;
  std::string err;  // empty when it joins `out`
};

// Runs the built utility with `args` (program name excluded), capturing what
// it prints.
RunResult runTool(const std::vector<std::string>& args);

// Runs the built viewer with `args`, capturing standard output and standard
// error apart.
RunResult runShow(const std::vector<std::string>& args);

#endif
