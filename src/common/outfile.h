// Output files of the tools (sheets, fonts, code maps): written beside their
// target under a unique name and moved into place only when whole, all of a
// run together, so that a failed or killed run never leaves half a file, or
// half a set of files, where the user looks, and never blocks a later run.
#ifndef FONTGRAFT_COMMON_OUTFILE_H
#define FONTGRAFT_COMMON_OUTFILE_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/platform.h"

// How long a commit waits for the lock of a folder that another run holds.
constexpr int kFolderLockMilliseconds = 10000;

// Checks `path` as a target without making a file: true when a file may be
// written there, else false with the reason in `error`. A target must be a
// regular file the user may write, a symbolic link to one (written through,
// the link stays) or a new name in an existing folder; anything else
// (device, FIFO, socket, folder, link to one of these or to nothing, a link
// another user planted in a shared folder such as /tmp) is refused.
bool checkOutTarget(const std::string& path, std::string* error);

// The reason for a write to an output that failed with the system's error
// `error` (errno right after it), such as "No space left on device".
std::string writeFailure(int error);

// The file operations of an OutputSet, one virtual function each, so that a
// test can make any of them fail, or end the process at it. The defaults are
// the system's (platform.h).
class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual std::FILE* create(const std::string& folder, std::string* path, std::string* error);
  virtual bool createEmpty(const std::string& path, std::string* error);
  virtual bool identify(const std::string& path, FileId* id);
  virtual bool finish(std::FILE* file, std::string* error);  // flush, sync, close
  virtual bool link(const std::string& from, const std::string& to, std::string* error);
  virtual bool rename(const std::string& from, const std::string& to, std::string* error);
  virtual bool remove(const std::string& path, std::string* error);
  virtual void syncFolder(const std::string& folder);
};

// Advisory locks on the folders of a set of files, each folder once and all
// in one order, held while the object lives. A commit holds them exclusive;
// a reader that opens several files while it holds them shared (`exclusive`
// false) gets files that no commit of these programs is replacing, so a pair
// from one run.
class FolderLocks {
 public:
  // Locks the folders of the existing files `files` (links followed).
  // False when one stayed locked by another run for `milliseconds`, with its
  // index in `busy`.
  bool take(const std::vector<std::string>& files, bool exclusive, int milliseconds,
            std::size_t* busy);

  // The same for folders known by name and identity.
  bool takeFolders(const std::vector<std::pair<std::string, FileId>>& folders, bool exclusive,
                   int milliseconds, std::size_t* busy);

 private:
  std::vector<std::unique_ptr<FolderLock>> locks_;
};

// Files written together: none replaces its target unless all are whole and
// all can be replaced; none may be one of the inputs of the run or the file
// of another output, whatever the spelling of their paths.
class OutputSet {
 public:
  explicit OutputSet(FileOps* ops = nullptr, int lockMilliseconds = kFolderLockMilliseconds);
  ~OutputSet();
  OutputSet(const OutputSet&) = delete;
  OutputSet& operator=(const OutputSet&) = delete;

  // A file the run reads, which no output may replace (through a link
  // either); `role` names it in the error ("the font").
  void addInput(const std::string& path, const std::string& role);

  // Opens the output for `path` (checked as checkOutTarget does) under a
  // temporary name beside its target. Refused when its target is an input,
  // or is the target of an output added before: the same file where both
  // exist, else a name that the folder takes for the same (case-insensitive
  // folders, Windows' trailing dots). Returns the file to write, or nullptr
  // with the reason in `error`.
  std::FILE* add(const std::string& path, std::string* error);

  // An existing file that the commit removes, undone with it when the commit
  // fails: a file of an earlier run that the new outputs make stale. False
  // (and nothing done) when it is an input or an output of this set.
  bool removeWith(const std::string& path);

  // Closes every output (synced to the disk) and moves them all onto their
  // targets while holding their folders' locks, or, when one step fails,
  // puts every target back. Signals that end the process wait until it is
  // done. False with the output that failed in `failed` and the reason in
  // `error`, which names every other file concerned; no temporary file is
  // then left anywhere.
  bool commit(std::string* failed, std::string* error);

 private:
  struct Output {
    std::string path;    // as given
    std::string target;  // the file replaced: `path`, or where its links lead
    std::string folder;  // the target's folder and name in it
    std::string name;
    std::string temp;    // where it is written until the commit; empty for a file only removed
    std::string backup;  // the old target's second name during the commit
    FileId id;           // the target's, where it exists
    FileId folderId;
    bool exists = false;
    bool known = false;  // `id` is known
    bool folderKnown = false;
    std::FILE* file = nullptr;
    int mode = 0;         // permissions it gets: the target's own, or the default
    bool linked = false;  // the backup is a second name of the target
    bool aside = false;   // the target was moved to the backup
    bool replaced = false;
  };

  bool conflicts(const Output& added, std::string* error);
  bool sameName(const Output& first, const Output& second);
  bool replace(Output* output, std::string* why);
  std::string undo();
  bool lockFolders(FolderLocks* locks, std::string* failed, std::string* error);
  void discard(const std::string& path);

  FileOps* ops_;
  int lockMilliseconds_;
  std::vector<std::pair<FileId, std::string>> inputs_;  // identity, role
  std::vector<Output> outputs_;
};

#endif
