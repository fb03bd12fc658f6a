// Scratch files for the fuzz targets, in memory-backed storage where the
// machine has it, removed when the process exits.
#ifndef FONTGRAFT_FUZZ_SCRATCH_H
#define FONTGRAFT_FUZZ_SCRATCH_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace scratch {

// Paths to remove at exit, the folder last.
inline std::vector<std::string>& made() {
  static std::vector<std::string> paths;
  return paths;
}

inline void removeAll() {
  for (auto it = made().rbegin(); it != made().rend(); ++it) {
    std::remove(it->c_str());
  }
}

}  // namespace scratch

// `name` inside a private folder made once per process.
inline std::string scratchFile(const char* name) {
  static const std::string dir = [] {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/fontgraft-fuzz-XXXXXX"
                                                        : "/tmp/fontgraft-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    scratch::made().push_back(pattern);
    std::atexit(scratch::removeAll);
    return pattern;
  }();
  const std::string path = dir + "/" + name;
  scratch::made().insert(scratch::made().begin() + 1, path);
  return path;
}

inline void writeScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
    std::abort();
  }
}

#endif
