// Files for the tests: temporary folders and whole-file reads and writes.
#ifndef FONTGRAFT_TESTS_SUPPORT_H
#define FONTGRAFT_TESTS_SUPPORT_H

#include <cstdio>
#include <string>

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

#endif
