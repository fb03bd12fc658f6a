// What differs between the systems the programs run on, kept in one place.
#ifndef FONTGRAFT_COMMON_PLATFORM_H
#define FONTGRAFT_COMMON_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Makes the process safe to open files in, before it opens any: standard
// input, output and error are made open (on the null device where they were
// closed), so that no file opened later can take their place and receive what
// is printed; a reader that goes away from standard output makes writes fail
// instead of ending the process; and standard output and error carry bytes as
// they are, with no line end translation.
void prepareProcess();

// Asks the system to back `bytes` of memory from `start` (a 2 MiB boundary)
// with huge pages, which cost less to touch first; nothing where there are
// none, or in the plain build.
void adviseHugePages(void* start, std::size_t bytes);

// The tools' file handling (not used by the utility itself).

// What tells one file (or folder) from another whatever its name: the same
// for every name of one file, through links, in any spelling of its path.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t index = 0;
  bool operator==(const FileId& other) const {
    return device == other.device && index == other.index;
  }
  bool operator<(const FileId& other) const {
    return device != other.device ? device < other.device : index < other.index;
  }
};

// The identity of the file or folder `path` names (links followed). False
// when there is none (no such file, no permission).
bool fileIdOf(const std::string& path, FileId* id);

// The file that writing to `path` must replace: every symbolic link of the
// path followed, and refused where another user planted it in a folder
// everybody may write to and only owners may delete from (such as /tmp):
// writing through it would write wherever that user chose. `exists` tells
// whether the file is there; a new one must be a new name in an existing
// folder. False with the reason in `error` for anything else: a folder, a
// device, a FIFO, a socket, a link to one of these or to nothing.
bool resolveOutput(const std::string& path, std::string* target, bool* exists, std::string* error);

// The folder part and the name part of `path`, so that joinName(folder,
// name) names the same file: "." for a name alone, "C:" for "C:name".
void splitName(const std::string& path, std::string* folder, std::string* name);

// `name` in `folder`, joined as the folder's own spelling needs: with "\"
// where the folder is a "\\?\" path, which takes no "/".
std::string joinName(const std::string& folder, const std::string& name);

// True when this user may write the existing file at `path`; otherwise false
// with the system's reason in `error`.
bool mayWrite(const std::string& path, std::string* error);

// Permissions a new file gets by default.
int newFileMode();

// Permissions of the existing file at `path`.
int fileMode(const std::string& path);

// Creates a new file in `folder` under a name no other file has and opens it
// for writing; `path` receives its name, which is removed on a signal that
// ends the process (see TempNames). nullptr with the reason in `error`.
std::FILE* createUnique(const std::string& folder, std::string* path, std::string* error);

// Creates the empty file `path`, which must not exist, and closes it; it is
// removed on a signal as createUnique's are. False with the reason.
bool createEmpty(const std::string& path, std::string* error);

// A name in `folder` that no file has now, in the pattern of createUnique's.
std::string freeName(const std::string& folder, const std::string& suffix);

// Gives the open file `file` the permissions `mode`.
void setFileMode(std::FILE* file, int mode);

// Flushes the open file `file` through to the disk (fsync) and closes it.
// False with the reason in `error` (the file is closed all the same).
bool syncAndClose(std::FILE* file, std::string* error);

// Asks the system to put the names of `folder` on the disk (fsync of the
// folder); nothing where folders cannot be synced.
void syncFolder(const std::string& folder);

// Makes `link` a second name of the existing file `path` (a hard link), so
// that the file survives its name being replaced. False where the file
// system has no such links, or where this one cannot be made.
bool linkFile(const std::string& path, const std::string& link, std::string* error);

// Moves the file at `from` onto `to`, replacing it. False with the reason.
bool renameFile(const std::string& from, const std::string& to, std::string* error);

// Removes the file `path`. False with the reason.
bool removeFile(const std::string& path, std::string* error);

// Whether `path` names a regular file itself (not through a link) whose
// first bytes are `magic`.
bool regularFileStartsWith(const std::string& path, const std::string& magic);

// An advisory lock on a folder, held while it lives: exclusive for a run
// that replaces files in it, shared for one that reads several files of it
// and wants them from one run. Another run of these programs that asks for
// it waits until it is free. Where the system has no such lock (some network
// file systems) it holds nothing.
class FolderLock {
 public:
  FolderLock() = default;
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

  // Takes the lock on `folder`, waiting up to `milliseconds`. False when
  // another run held it all that time.
  bool take(const std::string& folder, const FileId& id, bool exclusive, int milliseconds);

 private:
#if defined(_WIN32)
  void* handle_ = nullptr;  // the named mutex that stands for the lock
#else
  int fd_ = -1;  // the open folder
#endif
};

// The names of the temporary files of the process, removed by the process
// when a signal (interrupt, terminate, hang-up, quit; on Windows Ctrl-C,
// Ctrl-Break and the console window closed) ends it, whatever it is doing.
// The handler is installed when the first name is kept, and uses only calls
// that are safe in a signal handler. The list is the one process-wide state
// of the tools: a signal handler cannot be given an object.
namespace TempNames {
// Adds `path` to the names removed on a signal.
void keep(const std::string& path);
// Takes `path` off the list (it was moved into place, or removed).
void forget(const std::string& path);
}  // namespace TempNames

// While it lives, a signal that ends the process waits: it takes effect,
// removing the temporary names then kept, when the guard goes. Files replaced
// together are so replaced together, or the commit undone.
class SignalsDeferred {
 public:
  SignalsDeferred();
  ~SignalsDeferred();
  SignalsDeferred(const SignalsDeferred&) = delete;
  SignalsDeferred& operator=(const SignalsDeferred&) = delete;
};

#endif
