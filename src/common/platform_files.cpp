#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "common/platform.h"

namespace {

// How long a run waits for another that holds a folder's lock: a commit
// takes milliseconds, so a lock held longer belongs to a run that stopped.
constexpr int kLockPollMilliseconds = 2;

// Letters of the random part of a temporary name.
constexpr char kNameLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kRandomLetters = 6;
constexpr int kNameAttempts = 100;

// The random part of a new temporary name.
std::string randomLetters() {
  static std::mt19937_64 random(
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      std::random_device{}());
  std::string letters;
  for (int i = 0; i < kRandomLetters; ++i) {
    letters += kNameLetters[random() % (sizeof kNameLetters - 1)];
  }
  return letters;
}

// The list of temporary names, and who may touch it: 0 nobody, 1 the
// process's own code (a signal that comes then waits in `deferredSignal`), 2
// a signal handler that is ending the process.
std::atomic<int> namesState{0};
std::atomic<int> deferredSignal{0};
std::vector<std::string>* names = nullptr;
thread_local int namesDepth = 0;

void installHandlers();

void holdNames() {
  if (namesDepth++ > 0) {
    return;
  }
  int expected = 0;
  while (!namesState.compare_exchange_weak(expected, 1)) {
    expected = 0;
    std::this_thread::yield();  // a handler is ending the process
  }
}

void releaseNames() {
  if (--namesDepth > 0) {
    return;
  }
  namesState.store(0);
  const int signal = deferredSignal.exchange(0);
  if (signal != 0) {
    std::raise(signal);  // now handled: the names are removed, the process ends
  }
}

}  // namespace

namespace TempNames {

void keep(const std::string& path) {
  holdNames();
  if (names == nullptr) {
    names = new std::vector<std::string>;  // lives as long as the process
    installHandlers();
  }
  names->push_back(path);
  releaseNames();
}

void forget(const std::string& path) {
  holdNames();
  if (names != nullptr) {
    for (std::size_t i = 0; i < names->size(); ++i) {
      if ((*names)[i] == path) {
        names->erase(names->begin() + static_cast<std::ptrdiff_t>(i));
        break;
      }
    }
  }
  releaseNames();
}

}  // namespace TempNames

SignalsDeferred::SignalsDeferred() {
  holdNames();
}

SignalsDeferred::~SignalsDeferred() {
  releaseNames();
}

void splitName(const std::string& path, std::string* folder, std::string* name) {
#if defined(_WIN32)
  const bool verbatim = path.rfind("\\\\?\\", 0) == 0;  // takes no "/"
  const std::size_t cut = path.find_last_of(verbatim ? "\\" : "/\\");
  if (cut == std::string::npos && path.size() >= 2 && path[1] == ':') {
    *folder = path.substr(0, 2);  // "C:name": in the current folder of drive C
    *name = path.substr(2);
    return;
  }
#else
  const std::size_t cut = path.rfind('/');
#endif
  if (cut == std::string::npos) {
    *folder = ".";
    *name = path;
    return;
  }
  *folder = path.substr(0, cut);
  // The root keeps its separator ("/", "C:\\"), as a drive keeps its colon
  // ("C:" is the current folder of drive C).
  if (folder->empty() || folder->back() == ':') {
    *folder = path.substr(0, cut + 1);
  }
  *name = path.substr(cut + 1);
}

std::string joinName(const std::string& folder, const std::string& name) {
  const char last = folder.empty() ? '/' : folder.back();
#if defined(_WIN32)
  if (last == '\\' || last == ':') {
    return folder + name;
  }
  return folder + (folder.rfind("\\\\?\\", 0) == 0 ? "\\" : "/") + name;
#else
  return folder + (last == '/' ? "" : "/") + name;
#endif
}

#if defined(_WIN32)

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <windows.h>

#include <filesystem>
#include <system_error>

namespace {

// `name` (UTF-8) in the UTF-16 of the system's own calls, which take every
// name whatever the code page.
std::wstring wideName(const std::string& name) {
  const int size = static_cast<int>(name.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, name.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, name.data(), size, wide.data(), length);
  return wide;
}

// The reason for the system's error `code`, in the words the other systems'
// programs use where there are such words.
std::string reasonOf(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED:
      return std::strerror(EACCES);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return "it is open in another program";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return std::strerror(ENOSPC);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return std::strerror(EEXIST);
    case ERROR_WRITE_PROTECT:
      return std::strerror(EROFS);
    case ERROR_FILENAME_EXCED_RANGE:
      return std::strerror(ENAMETOOLONG);
    default:
      return std::system_category().message(static_cast<int>(code));
  }
}

BOOL WINAPI onConsoleEvent(DWORD /*event*/) {
  // Runs in a thread of its own: it may wait for a commit to end.
  int expected = 0;
  while (!namesState.compare_exchange_weak(expected, 2)) {
    expected = 0;
    Sleep(1);
  }
  for (const std::string& name : *names) {
    DeleteFileW(wideName(name).c_str());  // opened to be deleted while open
  }
  return FALSE;  // the system's own handler ends the process
}

void installHandlers() {
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

// Opens `path` as a new file, which must not exist, for writing; a signal's
// handler may remove it while it is open. INVALID_HANDLE_VALUE on failure.
HANDLE createNew(const std::string& path) {
  return CreateFileW(wideName(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                     nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool fileIdOf(const std::string& path, FileId* id) {
  const HANDLE handle =
      CreateFileW(wideName(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  id->device = info.dwVolumeSerialNumber;
  id->index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  return known;
}

bool resolveOutput(const std::string& path, std::string* target, bool* exists, std::string* error) {
  namespace fs = std::filesystem;
  if (isDeviceName(path)) {
    *error = fileErrorText(path, 0);  // NUL, CON: writing there would write no file
    return false;
  }
  std::error_code ec;
  const fs::path name = fs::u8path(path);
  const fs::file_status link = fs::symlink_status(name, ec);
  *exists = link.type() != fs::file_type::not_found;
  if (!*exists) {
    *target = path;
    return true;  // a new file: whether its folder takes it shows when it is made
  }
  const fs::file_status file = fs::status(name, ec);
  if (file.type() == fs::file_type::not_found) {
    *error = "it is a link to a file that does not exist";
    return false;
  }
  if (ec || file.type() != fs::file_type::regular) {
    *error = ec ? ec.message() : "it is not a regular file";
    return false;
  }
  *target = link.type() == fs::file_type::symlink ? fs::canonical(name, ec).u8string() : path;
  if (ec) {
    *error = ec.message();
    return false;
  }
  return true;
}

bool mayWrite(const std::string& path, std::string* error) {
  if (_waccess(wideName(path).c_str(), 2) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  return true;
}

int newFileMode() {
  return 0;  // Windows files take their folder's permissions
}

int fileMode(const std::string& /*path*/) {
  return 0;
}

std::FILE* createUnique(const std::string& folder, std::string* path, std::string* error) {
  DWORD failure = ERROR_FILE_EXISTS;
  for (int attempt = 0; attempt < kNameAttempts && failure == ERROR_FILE_EXISTS; ++attempt) {
    const std::string name = joinName(folder, ".fontgraft-" + randomLetters());
    holdNames();
    const HANDLE handle = createNew(name);
    failure = handle == INVALID_HANDLE_VALUE ? GetLastError() : NO_ERROR;
    const int fd = handle != INVALID_HANDLE_VALUE
                       ? _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY)
                       : -1;
    std::FILE* file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (file != nullptr) {
      TempNames::keep(name);
      *path = name;
    } else if (handle != INVALID_HANDLE_VALUE) {
      failure = ERROR_NOT_ENOUGH_MEMORY;
      if (fd >= 0) {
        _close(fd);
      } else {
        CloseHandle(handle);
      }
      DeleteFileW(wideName(name).c_str());
    }
    releaseNames();
    if (file != nullptr) {
      return file;
    }
  }
  *error = reasonOf(failure);
  return nullptr;
}

bool createEmpty(const std::string& path, std::string* error) {
  holdNames();
  const HANDLE handle = createNew(path);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    TempNames::keep(path);
  } else {
    *error = reasonOf(GetLastError());
  }
  releaseNames();
  return handle != INVALID_HANDLE_VALUE;
}

std::string freeName(const std::string& folder, const std::string& suffix) {
  std::string name;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = joinName(folder, ".fontgraft-" + randomLetters() + suffix);
    if (GetFileAttributesW(wideName(name).c_str()) == INVALID_FILE_ATTRIBUTES) {
      break;
    }
  }
  return name;
}

void setFileMode(std::FILE* /*file*/, int /*mode*/) {}

bool syncAndClose(std::FILE* file, std::string* error) {
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  const bool synced = !flushed || FlushFileBuffers(handle) != 0;
  const DWORD syncError = GetLastError();
  const bool written = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  if (flushed && synced && written && closed) {
    return true;
  }
  *error = !flushed   ? std::strerror(flushError)
           : !synced  ? reasonOf(syncError)
           : !written ? std::strerror(EIO)
                      : std::strerror(closeError);
  return false;
}

void syncFolder(const std::string& /*folder*/) {}  // renames are written through

bool linkFile(const std::string& path, const std::string& link, std::string* error) {
  if (CreateHardLinkW(wideName(link).c_str(), wideName(path).c_str(), nullptr) == 0) {
    *error = reasonOf(GetLastError());
    return false;
  }
  return true;
}

bool renameFile(const std::string& from, const std::string& to, std::string* error) {
  if (MoveFileExW(wideName(from).c_str(), wideName(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    *error = reasonOf(GetLastError());
    return false;
  }
  return true;
}

bool removeFile(const std::string& path, std::string* error) {
  if (DeleteFileW(wideName(path).c_str()) == 0) {
    *error = reasonOf(GetLastError());
    return false;
  }
  return true;
}

bool regularFileStartsWith(const std::string& path, const std::string& magic) {
  const DWORD attributes = GetFileAttributesW(wideName(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }
  std::FILE* file = _wfopen(wideName(path).c_str(), L"rb");
  if (file == nullptr) {
    return false;
  }
  std::string head(magic.size(), '\0');
  const bool same = std::fread(head.data(), 1, head.size(), file) == head.size() && head == magic;
  std::fclose(file);
  return same;
}

FolderLock::~FolderLock() {
  if (handle_ != nullptr) {
    ReleaseMutex(handle_);
    CloseHandle(handle_);
  }
}

bool FolderLock::take(const std::string& /*folder*/, const FileId& id, bool /*exclusive*/,
                      int milliseconds) {
  // Folders cannot be locked here: a mutex named after the folder's identity
  // stands for its lock, released by the system when the process ends.
  const std::wstring name =
      L"Local\\fontgraft-folder-" + std::to_wstring(id.device) + L"-" + std::to_wstring(id.index);
  const HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  if (mutex == nullptr) {
    return true;  // no lock to be had: nothing held
  }
  const DWORD waited = WaitForSingleObject(mutex, static_cast<DWORD>(milliseconds));
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return false;
  }
  handle_ = mutex;
  return true;
}

#else

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <deque>

namespace {

// How many symbolic links a path may go through, as the system allows.
constexpr int kMaxLinks = 40;

// The signals that end a process and whose handler removes the temporary
// names first.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void onSignal(int signal) {
  int expected = 0;
  if (!namesState.compare_exchange_strong(expected, 2)) {
    if (expected == 1) {
      deferredSignal.store(signal);  // raised again when the list is let go
    }
    return;
  }
  for (const std::string& name : *names) {
    unlink(name.c_str());
  }
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);  // taken when the handler returns: the process ends as it would have
}

void installHandlers() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (const int signal : kEndingSignals) {
    sigaddset(&action.sa_mask, signal);
  }
  for (const int signal : kEndingSignals) {
    struct sigaction before {};
    sigaction(signal, nullptr, &before);
    if (before.sa_handler != SIG_IGN) {  // one ignored (nohup) stays ignored
      sigaction(signal, &action, nullptr);
    }
  }
}

std::string reasonOf(int error) {
  return std::strerror(error != 0 ? error : EIO);
}

// The components of `path`, without empty ones and ".".
std::deque<std::string> componentsOf(const std::string& path) {
  std::deque<std::string> parts;
  std::size_t from = 0;
  while (from <= path.size()) {
    std::size_t to = path.find('/', from);
    to = to == std::string::npos ? path.size() : to;
    const std::string part = path.substr(from, to - from);
    if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    from = to + 1;
  }
  return parts;
}

// A path walked so far: only real folders, no links.
struct Walked {
  bool absolute = false;
  std::vector<std::string> parts;

  std::string path() const {
    std::string joined = absolute ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
      joined += (i > 0 ? "/" : "") + parts[i];
    }
    return joined.empty() ? "." : joined;
  }
  void up() {
    if (!parts.empty() && parts.back() != "..") {
      parts.pop_back();
    } else if (!absolute) {
      parts.push_back("..");
    }
  }
};

// Whether the symbolic link `link` (with the details `own`) in the folder
// `folder` may be followed: not when another user planted it in a folder
// everybody may write to and only owners may delete from (/tmp).
bool plantedLink(const std::string& folder, const struct stat& own) {
  struct stat shared {};
  if (stat(folder.c_str(), &shared) != 0) {
    return false;
  }
  const bool everybodys = (shared.st_mode & S_ISVTX) != 0 && (shared.st_mode & S_IWOTH) != 0;
  return everybodys && own.st_uid != shared.st_uid && own.st_uid != geteuid();
}

// Reads the symbolic link `path` into `text`.
bool readLink(const std::string& path, std::size_t size, std::string* text) {
  text->assign(size + 1, '\0');
  const ssize_t length = readlink(path.c_str(), text->data(), text->size());
  if (length < 0 || static_cast<std::size_t>(length) > size) {
    return false;  // changed while read
  }
  text->resize(static_cast<std::size_t>(length));
  return true;
}

}  // namespace

bool fileIdOf(const std::string& path, FileId* id) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    return false;
  }
  id->device = static_cast<std::uint64_t>(info.st_dev);
  id->index = static_cast<std::uint64_t>(info.st_ino);
  return true;
}

namespace {

// Follows the symbolic link `here` (with the details `info`), the file
// itself when `last`, during a walk: its text goes before the components
// still to walk. False with the reason for a link that may not be followed.
bool followLink(const std::string& here, const struct stat& info, bool last, int* links,
                Walked* walked, std::deque<std::string>* todo, std::string* error) {
  std::string text;
  if (++*links > kMaxLinks || !readLink(here, static_cast<std::size_t>(info.st_size), &text)) {
    *error = reasonOf(*links > kMaxLinks ? ELOOP : errno);
    return false;
  }
  walked->parts.pop_back();
  if (plantedLink(walked->path(), info)) {
    *error = *links == 1 && last
                 ? "it is a symbolic link that another user made in a shared folder"
                 : "its path goes through " + here +
                       ", a symbolic link that another user made in a shared folder";
    return false;
  }
  if (!text.empty() && text[0] == '/') {
    *walked = Walked{true, {}};
  }
  const std::deque<std::string> inner = componentsOf(text);
  todo->insert(todo->begin(), inner.begin(), inner.end());
  return true;
}

}  // namespace

bool resolveOutput(const std::string& path, std::string* target, bool* exists, std::string* error) {
  Walked walked;
  walked.absolute = !path.empty() && path[0] == '/';
  std::deque<std::string> todo = componentsOf(path);
  const bool folderOnly = !path.empty() && path.back() == '/';
  int links = 0;
  bool lastIsLink = false;  // the file itself was named by a link
  while (!todo.empty()) {
    const std::string part = todo.front();
    todo.pop_front();
    if (part == "..") {
      walked.up();
      continue;
    }
    walked.parts.push_back(part);
    const std::string here = walked.path();
    struct stat info {};
    if (lstat(here.c_str(), &info) != 0) {
      if (errno != ENOENT || !todo.empty() || folderOnly || lastIsLink) {
        *error = errno == ENOENT && todo.empty() && !folderOnly
                     ? "it is a link to a file that does not exist"
                     : reasonOf(errno);
        return false;
      }
      *target = here;
      *exists = false;
      return true;  // a new file: whether its folder takes it shows when it is made
    }
    if (S_ISLNK(info.st_mode)) {
      lastIsLink = lastIsLink || todo.empty();
      if (!followLink(here, info, todo.empty(), &links, &walked, &todo, error)) {
        return false;
      }
      continue;
    }
    if (!todo.empty() && !S_ISDIR(info.st_mode)) {
      *error = reasonOf(ENOTDIR);
      return false;
    }
    if (todo.empty() && (!S_ISREG(info.st_mode) || folderOnly)) {
      *error = S_ISREG(info.st_mode) ? reasonOf(ENOTDIR) : "it is not a regular file";
      return false;
    }
  }
  if (walked.parts.empty() || walked.parts.back() == "..") {
    *error = "it is not a regular file";  // a path of "." and ".." only: a folder
    return false;
  }
  *target = walked.path();
  *exists = true;
  return true;
}

bool mayWrite(const std::string& path, std::string* error) {
  if (access(path.c_str(), W_OK) != 0) {
    *error = std::strerror(errno);
    return false;
  }
  return true;
}

int newFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<int>(0666 & ~mask);
}

int fileMode(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : newFileMode();
}

std::FILE* createUnique(const std::string& folder, std::string* path, std::string* error) {
  std::string name = joinName(folder, ".fontgraft-XXXXXX");
  holdNames();  // no signal between the file made and its name kept
  const int fd = mkstemp(name.data());
  const int made = errno;
  std::FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (file != nullptr) {
    TempNames::keep(name);
    *path = name;
  } else {
    *error = reasonOf(fd >= 0 ? errno : made);
    if (fd >= 0) {
      close(fd);
      unlink(name.c_str());
    }
  }
  releaseNames();
  return file;
}

bool createEmpty(const std::string& path, std::string* error) {
  holdNames();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) {
    close(fd);
    TempNames::keep(path);
  } else {
    *error = reasonOf(errno);
  }
  releaseNames();
  return fd >= 0;
}

std::string freeName(const std::string& folder, const std::string& suffix) {
  std::string name;
  struct stat info {};
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = joinName(folder, ".fontgraft-" + randomLetters() + suffix);
    if (lstat(name.c_str(), &info) != 0 && errno == ENOENT) {
      break;
    }
  }
  return name;
}

void setFileMode(std::FILE* file, int mode) {
  fchmod(fileno(file), static_cast<mode_t>(mode));
}

bool syncAndClose(std::FILE* file, std::string* error) {
  const bool flushed = std::fflush(file) == 0;
  const int flushError = errno;
  const bool synced = !flushed || fsync(fileno(file)) == 0 || errno == EINVAL;
  const int syncError = errno;
  const bool written = std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  const int closeError = errno;
  if (flushed && synced && written && closed) {
    return true;
  }
  *error = reasonOf(!flushed ? flushError : !synced ? syncError : !written ? EIO : closeError);
  return false;
}

void syncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
}

bool linkFile(const std::string& path, const std::string& link, std::string* error) {
  if (::link(path.c_str(), link.c_str()) != 0) {
    *error = reasonOf(errno);
    return false;
  }
  return true;
}

bool renameFile(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    *error = reasonOf(errno);
    return false;
  }
  return true;
}

bool removeFile(const std::string& path, std::string* error) {
  if (unlink(path.c_str()) != 0) {
    *error = reasonOf(errno);
    return false;
  }
  return true;
}

bool regularFileStartsWith(const std::string& path, const std::string& magic) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  struct stat info {};
  std::string head(magic.size(), '\0');
  const bool same = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                    read(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size()) &&
                    head == magic;
  close(fd);
  return same;
}

FolderLock::~FolderLock() {
  if (fd_ >= 0) {
    close(fd_);  // and the lock goes with it
  }
}

bool FolderLock::take(const std::string& folder, const FileId& /*id*/, bool exclusive,
                      int milliseconds) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return true;  // a folder that cannot be read cannot be locked: nothing held
  }
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      close(fd);
      return true;  // no such locks here (some network file systems): nothing held
    }
    if (std::chrono::steady_clock::now() >= until) {
      close(fd);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kLockPollMilliseconds));
  }
  fd_ = fd;
  return true;
}

#endif
