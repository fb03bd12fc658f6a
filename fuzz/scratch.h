// Scratch files for the fuzz targets, in memory-backed storage where the
// machine has it, removed when the process exits.
#ifndef FONTGRAFT_FUZZ_SCRATCH_H
#define FONTGRAFT_FUZZ_SCRATCH_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// `name` inside a private folder made once per process.
inline std::string scratchFile(const char* name) {
  static const std::string dir = [] {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/fontgraft-fuzz-XXXXXX"
                                                        : "/tmp/fontgraft-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    return pattern;
  }();
  static const int removal = std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  });
  static_cast<void>(removal);
  return dir + "/" + name;
}

inline void writeScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
    std::abort();
  }
}

#endif
