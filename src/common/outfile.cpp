#include "common/outfile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "common/platform.h"

namespace fs = std::filesystem;

namespace {

// Names are UTF-8 on every system (on Windows by the programs' manifest),
// while std::filesystem on Windows would read and give a narrow name in the
// C library's locale, which garbles every name beyond ASCII.
fs::path pathOf(const std::string& name) {
  return fs::u8path(name);
}

std::string nameOf(const fs::path& path) {
  return path.u8string();
}

// The file that writing to `path` must replace, or a reason to refuse.
bool resolveTarget(const std::string& path, std::string* target, std::string* error) {
  std::error_code ec;
  const fs::file_status link = fs::symlink_status(pathOf(path), ec);
  if (link.type() == fs::file_type::not_found) {
    *target = path;
    return true;  // a new file: whether its folder takes it shows when it is made
  }
  if (ec) {
    *error = ec.message();
    return false;
  }
  const fs::file_status file = fs::status(pathOf(path), ec);
  if (file.type() == fs::file_type::not_found) {
    *error = "it is a link to a file that does not exist";
    return false;
  }
  if (ec || file.type() != fs::file_type::regular) {
    *error = ec ? ec.message() : "it is not a regular file";
    return false;
  }
  *target = link.type() == fs::file_type::symlink ? nameOf(fs::canonical(pathOf(path), ec)) : path;
  if (ec) {
    *error = ec.message();
    return false;
  }
  return mayWrite(*target, error);
}

}  // namespace

bool openOutFile(const std::string& path, OutFile* out, std::string* error) {
  if (!resolveTarget(path, &out->target, error)) {
    return false;
  }
  std::error_code ec;
  const bool exists = fs::exists(pathOf(out->target), ec);
  out->mode = exists ? fileMode(out->target) : newFileMode();
  fs::path folder = pathOf(out->target).parent_path();
  if (folder.empty()) {
    folder = ".";
  }
  out->file = createUnique(nameOf(folder), &out->temp, error);
  return out->file != nullptr;
}

bool commitOutFile(OutFile* out, std::string* error) {
  setFileMode(out->file, out->mode);
  const bool written = std::ferror(out->file) == 0;
  const bool closed = std::fclose(out->file) == 0;
  const int closeError = errno;
  out->file = nullptr;
  std::error_code ec;
  if (written && closed) {
    fs::rename(pathOf(out->temp), pathOf(out->target), ec);
    if (!ec) {
      return true;
    }
  }
  *error = ec ? ec.message() : std::strerror(written ? closeError : EIO);
  fs::remove(pathOf(out->temp), ec);
  return false;
}

void dropOutFile(OutFile* out) {
  if (out->file != nullptr) {
    std::fclose(out->file);
    out->file = nullptr;
  }
  std::error_code ec;
  fs::remove(pathOf(out->temp), ec);
}
