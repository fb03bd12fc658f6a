#include "check/inputs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/platform.h"

namespace fs = std::filesystem;

namespace {

// The most a stream is copied: fontgraft would read more, but a font or code
// map as large as this is no font or code map.
constexpr long long kMaxStreamBytes = 1LL << 30;

char copyBlock[1 << 16];

std::string reasonOf(int error) {
  return systemErrorText(error);
}

// Copies `in` to its end into a new temporary file, whose name goes to `copy`.
bool copyStream(std::FILE* in, std::string* copy, std::string* error) {
  error->clear();
  std::error_code ec;
  const fs::path folder = fs::temp_directory_path(ec);
  if (ec) {
    *error = "no folder for a copy of it: " + systemErrorText(ec);
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
    *error = isDeviceName(path) ? fileErrorText(path, 0) : systemErrorText(ec);
    return false;
  }
  if (fs::is_directory(status)) {
    *error = systemErrorText(EISDIR);
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

Spool::~Spool() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
  if (!path_.empty()) {
    std::error_code ec;
    fs::remove(fs::u8path(path_), ec);
  }
}

void Spool::add(const std::string& line) {
  if (failed_) {
    return;
  }
  if (file_ == nullptr) {
    std::error_code ec;
    const fs::path folder = fs::temp_directory_path(ec);
    std::string why;
    file_ = ec ? nullptr : createUnique(folder.u8string(), &path_, &why);
    failed_ = file_ == nullptr;
    if (failed_) {
      return;
    }
  }
  failed_ = std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
            std::fputc('\n', file_) == EOF;
}

bool Spool::copyTo(std::FILE* out) {
  if (file_ == nullptr) {
    return !failed_;
  }
  const bool kept = std::fclose(file_) == 0 && !failed_;
  file_ = nullptr;
  std::FILE* in = kept ? std::fopen(path_.c_str(), "rb") : nullptr;
  if (in == nullptr) {
    return false;
  }
  bool copied = true;
  for (std::size_t n; copied && (n = std::fread(copyBlock, 1, sizeof copyBlock, in)) > 0;) {
    copied = std::fwrite(copyBlock, 1, n, out) == n;
  }
  copied = std::ferror(in) == 0 && copied;
  std::fclose(in);
  return copied;
}
