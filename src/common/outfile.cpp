#include "common/outfile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <utility>

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
  if (link.type() == fs::file_type::symlink && !mayFollowLink(path, error)) {
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

bool checkOutTarget(const std::string& path, std::string* error) {
  std::string target;
  return resolveTarget(path, &target, error);
}

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

bool finishOutFile(OutFile* out, std::string* error) {
  setFileMode(out->file, out->mode);
  const bool flushed = std::fflush(out->file) == 0;
  const int flushError = errno;
  const bool written = std::ferror(out->file) == 0;
  const bool closed = std::fclose(out->file) == 0;
  const int closeError = errno;
  out->file = nullptr;
  if (flushed && written && closed) {
    return true;
  }
  *error = std::strerror(!flushed ? flushError : !written ? EIO : closeError);
  std::error_code ec;
  fs::remove(pathOf(out->temp), ec);
  return false;
}

bool moveFile(const std::string& from, const std::string& to, std::string* error) {
  std::error_code ec;
  fs::rename(pathOf(from), pathOf(to), ec);
  if (ec) {
    *error = ec.message();
    return false;
  }
  return true;
}

bool commitOutFile(OutFile* out, std::string* error) {
  if (!finishOutFile(out, error)) {
    return false;
  }
  if (moveFile(out->temp, out->target, error)) {
    return true;
  }
  std::error_code ec;
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

namespace {

// Whether writing `a` would write the file `b` names: the same file where
// both exist, else the same place.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(pathOf(a), ec) && fs::exists(pathOf(b), ec)) {
    return fs::equivalent(pathOf(a), pathOf(b), ec);
  }
  const fs::path first = fs::weakly_canonical(fs::absolute(pathOf(a), ec), ec);
  const fs::path second = fs::weakly_canonical(fs::absolute(pathOf(b), ec), ec);
  return !ec && first == second;
}

}  // namespace

OutputSet::~OutputSet() {
  if (!committed_) {
    for (Output& output : outputs_) {
      dropOutFile(&output.file);
    }
  }
}

void OutputSet::addInput(const std::string& path, const std::string& role) {
  inputs_.emplace_back(path, role);
}

std::FILE* OutputSet::add(const std::string& path, std::string* error) {
  for (const auto& [input, role] : inputs_) {
    if (sameFile(path, input)) {
      *error = "it is " + role + " being read";
      return nullptr;
    }
  }
  for (const Output& output : outputs_) {
    if (sameFile(path, output.path)) {
      *error = "it is the same file as " + output.path + ", written too";
      return nullptr;
    }
  }
  Output output{path, OutFile{}};
  if (!openOutFile(path, &output.file, error)) {
    return nullptr;
  }
  outputs_.push_back(output);
  return outputs_.back().file.file;
}

bool OutputSet::commit(std::string* failed, std::string* error) {
  for (Output& output : outputs_) {
    if (!finishOutFile(&output.file, error)) {
      *failed = output.path;
      return false;  // the others go when the set does
    }
  }
  const SignalsHeld held;
  // Each target that exists keeps a second name until all are replaced, so
  // that a failure can put it back.
  std::vector<std::string> backups(outputs_.size());
  std::vector<bool> existed(outputs_.size());
  std::error_code ec;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    const OutFile& file = outputs_[i].file;
    existed[i] = fs::exists(pathOf(file.target), ec);
    if (existed[i] && linkFile(file.target, file.temp + "-old")) {
      backups[i] = file.temp + "-old";
    }
  }
  std::size_t moved = 0;
  for (; moved < outputs_.size(); ++moved) {
    const OutFile& file = outputs_[moved].file;
    if (!moveFile(file.temp, file.target, error)) {
      *failed = outputs_[moved].path;
      break;
    }
  }
  const bool whole = moved == outputs_.size();
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    const OutFile& file = outputs_[i].file;
    std::string ignored;
    if (whole || i > moved) {
      fs::remove(pathOf(backups[i]), ec);
      fs::remove(pathOf(file.temp), ec);
    } else if (i < moved && !backups[i].empty()) {
      moveFile(backups[i], file.target, &ignored);
    } else if (i < moved && !existed[i]) {
      fs::remove(pathOf(file.target), ec);
    } else {
      fs::remove(pathOf(file.temp), ec);
      fs::remove(pathOf(backups[i]), ec);
    }
  }
  committed_ = true;
  return whole;
}
