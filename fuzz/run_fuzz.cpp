// The whole run on a font and a code map split from one input, into a small
// image that grows as slots are written. The first byte picks the option word
// and the argument count. stdout and the exit status must be the plain
// model's, every written slot must hold the model's record, and no other byte
// of the image may change.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "reference.h"
#include "run/run.h"
#include "scratch.h"

namespace {

constexpr std::size_t kImageSize = 64;
const char kSeparator[] = "@@CMAP@@";
const char kUsage[] =
    "kuvra firmware font put utility\n"
    "Syntax: fontgraft <firmware-file> <font-file(.bdf)> -c <cmap-file>\n\n";

// Standard output goes to a scratch file for the whole process; each run
// starts it empty and reads back what the run printed.
void startCapture(const std::string& path) {
  static const bool redirected = std::freopen(path.c_str(), "w+", stdout) != nullptr;
  if (!redirected || std::fflush(stdout) != 0 || ftruncate(fileno(stdout), 0) != 0) {
    std::abort();
  }
  std::rewind(stdout);
}

std::string captured() {
  std::fflush(stdout);
  std::string text(static_cast<std::size_t>(lseek(fileno(stdout), 0, SEEK_END)), '\0');
  if (pread(fileno(stdout), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
    std::abort();
  }
  return text;
}

// Expected bytes of the image at [offset, offset + length).
std::string expectedBytes(const std::string& original, const reference::Install& install,
                          std::size_t offset, std::size_t length) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length && offset + i < original.size(); ++i) {
    bytes[i] = original[offset + i];
  }
  for (const auto& [address, record] : install.records) {
    for (std::size_t i = 0; i < record.size(); ++i) {
      if (address + i >= offset && address + i < offset + length) {
        bytes[address + i - offset] = record[i];
      }
    }
  }
  return bytes;
}

// Compares every data extent of the image, and every written slot, with the
// model. Holes read as zero and need no read.
void checkImage(const std::string& path, const std::string& original,
                const reference::Install& install) {
  std::size_t size = original.size();
  for (const auto& entry : install.records) {
    size = std::max<std::size_t>(size, entry.first + 32);
  }
  const int fd = open(path.c_str(), O_RDONLY);
  if (fd < 0 || lseek(fd, 0, SEEK_END) != static_cast<off_t>(size)) {
    std::abort();
  }
  auto compare = [&](off_t at, std::size_t length) {
    std::string got(length, '\0');
    if (pread(fd, got.data(), length, at) != static_cast<ssize_t>(length) ||
        got != expectedBytes(original, install, static_cast<std::size_t>(at), length)) {
      std::abort();
    }
  };
  for (off_t data = lseek(fd, 0, SEEK_DATA); data >= 0; data = lseek(fd, data, SEEK_DATA)) {
    const off_t hole = lseek(fd, data, SEEK_HOLE);
    compare(data, static_cast<std::size_t>(hole - data));
    data = hole;
  }
  for (const auto& entry : install.records) {
    compare(entry.first, 32);
  }
  close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  static const std::string fontPath = scratchFile("font.bdf");
  static const std::string cmapPath = scratchFile("cmap.txt");
  static const std::string imagePath = scratchFile("image.bin");
  static const std::string outPath = scratchFile("out.txt");
  static const std::string missingPath = scratchFile("missing.txt");

  const std::uint8_t selector = data[0];
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = rest.find(kSeparator);
  const std::string font = rest.substr(0, cut);
  const std::string cmap = cut == std::string::npos ? "" : rest.substr(cut + sizeof kSeparator - 1);
  writeScratch(fontPath, reinterpret_cast<const std::uint8_t*>(font.data()), font.size());
  writeScratch(cmapPath, reinterpret_cast<const std::uint8_t*>(cmap.data()), cmap.size());
  std::string original(kImageSize, '\0');
  for (std::size_t i = 0; i < kImageSize; ++i) {
    original[i] = static_cast<char>(i * 37 + selector);
  }
  writeScratch(imagePath, reinterpret_cast<const std::uint8_t*>(original.data()), original.size());

  const char* const options[] = {"-c", "-cmap", "-c", "-x", "-C", "-", "c", ""};
  const char* option = options[selector % 8];
  const bool mapMissing = (selector & 0x38) == 0x38;
  const char* map = mapMissing ? missingPath.c_str() : cmapPath.c_str();
  std::vector<const char*> argv = {"fontgraft", imagePath.c_str(), fontPath.c_str(), option, map};
  if ((selector & 0x40) != 0) {
    argv.push_back("extra");
  }
  const int args = static_cast<int>(argv.size()) - 1;

  startCapture(outPath);
  const int status = runFontgraft(static_cast<int>(argv.size()), argv.data());
  const std::string out = captured();

  std::string wantOut;
  int wantStatus = 0;
  reference::Install install;
  if (option[0] == '-' && option[1] == 'c' && mapMissing) {
    wantOut = std::string("CMAP file ") + map + " open failed.\nCMAP file read failed.\n";
    wantStatus = 1;
  } else if (option[0] != '-' && args < 5) {
    wantOut = kUsage;
    wantStatus = 1;
  } else {
    const bool withMap = option[0] == '-' && option[1] == 'c';
    install =
        reference::install(reference::readFont(font),
                           withMap ? reference::readCmap(cmap) : std::vector<reference::Mapping>{});
    wantOut = install.out;
  }
  if (status != wantStatus || out != wantOut) {
    std::abort();
  }
  checkImage(imagePath, original, install);
  return 0;
}
