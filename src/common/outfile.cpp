#include "common/outfile.h"
#include "common/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <utility>

namespace {

FileOps& systemOps() {
  static FileOps ops;
  return ops;
}

std::string leafOf(const std::string& path) {
  std::string folder;
  std::string name;
  splitName(path, &folder, &name);
  return name;
}

// `name` with the case of its ASCII letters turned round.
std::string caseTurned(const std::string& name) {
  std::string turned = name;
  for (char& c : turned) {
    c = c >= 'a' && c <= 'z'   ? static_cast<char>(c - 'a' + 'A')
        : c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a')
                               : c;
  }
  return turned;
}

// `name` as a folder that ignores case (`caseless`) compares it; on Windows
// also without the trailing dots and blanks that its names drop.
std::string folded(const std::string& name, bool caseless) {
  std::string out = name;
  for (char& c : out) {
    c = caseless && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
#if defined(_WIN32)
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) {
    out.pop_back();
  }
#endif
  return out;
}

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& items) {
  std::string text;
  for (std::size_t i = 0; i < items.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  }
  return text;
}

}  // namespace

std::FILE* FileOps::create(const std::string& folder, std::string* path, std::string* error) {
  return createUnique(folder, path, error);
}

bool FileOps::createEmpty(const std::string& path, std::string* error) {
  return ::createEmpty(path, error);
}

bool FileOps::identify(const std::string& path, FileId* id) {
  return fileIdOf(path, id);
}

bool FileOps::finish(std::FILE* file, std::string* error) {
  return syncAndClose(file, error);
}

bool FileOps::link(const std::string& from, const std::string& to, std::string* error) {
  return linkFile(from, to, error);
}

bool FileOps::rename(const std::string& from, const std::string& to, std::string* error) {
  return renameFile(from, to, error);
}

bool FileOps::remove(const std::string& path, std::string* error) {
  return removeFile(path, error);
}

void FileOps::syncFolder(const std::string& folder) {
  ::syncFolder(folder);
}

std::string writeFailure(int error) {
  return systemErrorText(error != 0 ? error : EIO);
}

bool checkOutTarget(const std::string& path, std::string* error) {
  std::string target;
  bool exists = false;
  return resolveOutput(path, &target, &exists, error) && (!exists || mayWrite(target, error));
}

bool FolderLocks::take(const std::vector<std::string>& files, bool exclusive, int milliseconds,
                       std::size_t* busy) {
  std::vector<std::pair<std::string, FileId>> folders;
  std::vector<std::size_t> owners;
  for (std::size_t i = 0; i < files.size(); ++i) {
    std::string target;
    std::string folder;
    std::string name;
    bool exists = false;
    FileId id;
    if (resolveOutput(files[i], &target, &exists, &name) && exists) {
      splitName(target, &folder, &name);
      if (fileIdOf(folder, &id)) {
        folders.emplace_back(folder, id);
        owners.push_back(i);
      }
    }
  }
  const bool taken = takeFolders(folders, exclusive, milliseconds, busy);
  *busy = taken ? 0 : owners[*busy];
  return taken;
}

bool FolderLocks::takeFolders(const std::vector<std::pair<std::string, FileId>>& folders,
                              bool exclusive, int milliseconds, std::size_t* busy) {
  // One order for every run, so that two runs never wait for each other.
  std::vector<std::size_t> order(folders.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return folders[a].second < folders[b].second; });
  for (std::size_t k = 0; k < order.size(); ++k) {
    const auto& [folder, id] = folders[order[k]];
    if (k > 0 && folders[order[k - 1]].second == id) {
      continue;
    }
    auto lock = std::make_unique<FolderLock>();
    if (!lock->take(folder, id, exclusive, milliseconds)) {
      *busy = order[k];
      locks_.clear();
      return false;
    }
    locks_.push_back(std::move(lock));
  }
  return true;
}

OutputSet::OutputSet(FileOps* ops, int lockMilliseconds)
    : ops_(ops != nullptr ? ops : &systemOps()), lockMilliseconds_(lockMilliseconds) {}

OutputSet::~OutputSet() {
  for (Output& output : outputs_) {
    if (output.file != nullptr) {
      std::fclose(output.file);
    }
    if (!output.temp.empty() && !output.replaced) {
      discard(output.temp);
    }
  }
}

void OutputSet::discard(const std::string& path) {
  std::string ignored;
  ops_->remove(path, &ignored);
  TempNames::forget(path);
}

void OutputSet::addInput(const std::string& path, const std::string& role) {
  FileId id;
  if (ops_->identify(path, &id)) {
    inputs_.emplace_back(id, role);
  }
}

std::FILE* OutputSet::add(const std::string& path, std::string* error) {
  Output output;
  output.path = path;
  if (!resolveOutput(path, &output.target, &output.exists, error) ||
      (output.exists && !mayWrite(output.target, error))) {
    return nullptr;
  }
  splitName(output.target, &output.folder, &output.name);
  output.known = output.exists && ops_->identify(output.target, &output.id);
  if (output.known && conflicts(output, error)) {
    return nullptr;
  }
  output.mode = output.exists ? fileMode(output.target) : newFileMode();
  output.file = ops_->create(output.folder, &output.temp, error);
  if (output.file == nullptr) {
    return nullptr;
  }
  // A new name is told from the others only now, with a file in its folder.
  output.folderKnown = ops_->identify(output.folder, &output.folderId);
  if (!output.known && conflicts(output, error)) {
    std::fclose(output.file);
    discard(output.temp);
    return nullptr;
  }
  setFileMode(output.file, output.mode);
  outputs_.push_back(output);
  return outputs_.back().file;
}

bool OutputSet::conflicts(const Output& added, std::string* error) {
  for (const auto& [id, role] : inputs_) {
    if (added.known && added.id == id) {
      *error = "it is " + role + " being read";
      return true;
    }
  }
  for (const Output& output : outputs_) {
    const bool same = added.known ? output.known && output.id == added.id
                                  : !output.known && sameName(output, added);
    if (same) {
      *error = "it is the same file as " + output.path + ", written too";
      return true;
    }
  }
  return false;
}

bool OutputSet::sameName(const Output& first, const Output& second) {
  if (!first.folderKnown || !second.folderKnown) {
    return first.target == second.target;
  }
  if (!(first.folderId == second.folderId)) {
    return false;
  }
  if (first.name == second.name) {
    return true;
  }
  // The folder itself says whether it takes the two names for one: a probe
  // made under the first name, looked up under the second, each in the
  // spelling of its own path (a "\\?\" path keeps the trailing dots that
  // others drop).
  const std::string stem = leafOf(first.temp) + "-";
  const std::string probe = joinName(first.folder, stem + first.name);
  std::string ignored;
  if (ops_->createEmpty(probe, &ignored)) {
    FileId made;
    FileId found;
    const bool same = ops_->identify(probe, &made) &&
                      ops_->identify(joinName(second.folder, stem + second.name), &found) &&
                      made == found;
    discard(probe);
    return same;
  }
  // A name too long for a probe: the folder's rule for case, as it treats
  // the temporary file's name.
  FileId temp;
  FileId turned;
  const bool caseless =
      ops_->identify(first.temp, &temp) &&
      ops_->identify(joinName(first.folder, caseTurned(leafOf(first.temp))), &turned) &&
      temp == turned;
  return folded(first.name, caseless) == folded(second.name, caseless);
}

bool OutputSet::removeWith(const std::string& path) {
  Output output;
  output.path = path;
  output.target = path;
  splitName(path, &output.folder, &output.name);
  output.exists = output.known = ops_->identify(path, &output.id);
  std::string ignored;
  if (!output.known || conflicts(output, &ignored)) {
    return false;
  }
  output.folderKnown = ops_->identify(output.folder, &output.folderId);
  outputs_.push_back(output);
  return true;
}

bool OutputSet::lockFolders(FolderLocks* locks, std::string* failed, std::string* error) {
  std::vector<std::pair<std::string, FileId>> folders;
  std::vector<std::size_t> owners;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    if (outputs_[i].folderKnown) {
      folders.emplace_back(outputs_[i].folder, outputs_[i].folderId);
      owners.push_back(i);
    }
  }
  std::size_t busy = 0;
  if (locks->takeFolders(folders, true, lockMilliseconds_, &busy)) {
    return true;
  }
  *failed = outputs_[owners[busy]].path;
  *error = "another run is writing into its folder (" + folders[busy].first + "); try again";
  return false;
}

bool OutputSet::replace(Output* output, std::string* why) {
  // Whether the target is there now, under the lock: another program may
  // have made or removed it since the run began.
  FileId now;
  output->exists = ops_->identify(output->target, &now);
  if (output->exists) {
    // The old file keeps a second name until every target is replaced: a
    // hard link where one can be made, else its own name moved aside.
    output->backup =
        output->temp.empty() ? freeName(output->folder, "-old") : output->temp + "-old";
    std::string ignored;
    output->linked = !output->temp.empty() && ops_->link(output->target, output->backup, &ignored);
    if (!output->linked && !ops_->rename(output->target, output->backup, why)) {
      output->backup.clear();
      return false;
    }
    output->aside = !output->linked;
  }
  if (output->temp.empty()) {
    return true;  // a file only removed
  }
  if (!ops_->rename(output->temp, output->target, why)) {
    return false;
  }
  TempNames::forget(output->temp);
  output->replaced = true;
  return true;
}

std::string OutputSet::undo() {
  std::vector<std::string> intact;
  std::string lost;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    Output& output = outputs_[i];
    std::string why;
    bool back = true;
    if (output.replaced || output.aside) {
      back = output.backup.empty() ? ops_->remove(output.target, &why)
                                   : ops_->rename(output.backup, output.target, &why);
    } else if (output.linked) {
      ops_->remove(output.backup, &why);
    }
    if (!output.replaced && !output.temp.empty()) {
      discard(output.temp);
    }
    output.replaced = false;
    output.temp.clear();
    if (!back) {
      lost += "; " + output.path +
              (output.backup.empty()
                   ? " could not be removed (" + why + ")"
                   : " could not be put back (" + why + "): its old file is " + output.backup);
    } else {
      intact.push_back(output.path);
    }
  }
  const std::string kept =
      intact.empty()
          ? ""
          : "; " + listed(intact) + (intact.size() == 1 ? " is as it was" : " are as they were");
  return kept + lost;
}

bool OutputSet::commit(std::string* failed, std::string* error) {
  for (Output& output : outputs_) {
    std::FILE* file = output.file;
    output.file = nullptr;
    if (file != nullptr && !ops_->finish(file, error)) {
      *failed = output.path;
      return false;  // the temporary files go with the set
    }
  }
  FolderLocks locks;
  if (!lockFolders(&locks, failed, error)) {
    return false;
  }
  const SignalsDeferred deferred;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    std::string why;
    if (!replace(&outputs_[i], &why)) {
      *failed = outputs_[i].path;
      *error = why + undo();
      return false;
    }
  }
  std::vector<std::string> synced;
  for (const Output& output : outputs_) {
    if (std::find(synced.begin(), synced.end(), output.folder) == synced.end()) {
      ops_->syncFolder(output.folder);
      synced.push_back(output.folder);
    }
  }
  for (const Output& output : outputs_) {
    std::string ignored;
    if (!output.backup.empty()) {
      ops_->remove(output.backup, &ignored);
    }
  }
  return true;
}
