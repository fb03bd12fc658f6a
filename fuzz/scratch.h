// Scratch files for the fuzz targets, in a private folder made once per
// process (in memory-backed storage where the machine has it) and removed
// with its files when the process exits.
#ifndef FONTGRAFT_FUZZ_SCRATCH_H
#define FONTGRAFT_FUZZ_SCRATCH_H

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

inline std::string scratchFile(const char* name) {
  static const std::string dir = [] {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/fontgraft-fuzz-XXXXXX"
                                                        : "/tmp/fontgraft-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    return pattern;
  }();
  static const int removal = std::atexit([] { std::filesystem::remove_all(scratchFile("")); });
  static_cast<void>(removal);
  return dir + "/" + name;
}

inline void writeScratch(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

#endif
