#include <cerrno>
#include <cstring>

#include "common/platform.h"

#if defined(_WIN32)

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <windows.h>

#include <chrono>
#include <random>

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

}  // namespace

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
  static std::mt19937 random(
      static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = folder + "/.fontgraft-";
    for (int i = 0; i < 6; ++i) {
      name += kLetters[random() % (sizeof kLetters - 1)];
    }
    const int fd = _wopen(wideName(name).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY,
                          _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      *path = name;
      return _fdopen(fd, "wb");
    }
    if (errno != EEXIST) {
      break;
    }
  }
  *error = std::strerror(errno);
  return nullptr;
}

void setFileMode(std::FILE* /*file*/, int /*mode*/) {}

bool mayFollowLink(const std::string& /*link*/, std::string* /*error*/) {
  return true;
}

bool linkFile(const std::string& /*path*/, const std::string& /*link*/) {
  return false;
}

SignalsHeld::SignalsHeld() : saved_{} {}

SignalsHeld::~SignalsHeld() = default;

#else

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

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
  std::string name = folder + "/.fontgraft-XXXXXX";
  const int fd = mkstemp(name.data());
  std::FILE* file = fd >= 0 ? fdopen(fd, "wb") : nullptr;
  if (file == nullptr) {
    *error = std::strerror(errno);
    if (fd >= 0) {
      close(fd);
      unlink(name.c_str());
    }
    return nullptr;
  }
  *path = name;
  return file;
}

void setFileMode(std::FILE* file, int mode) {
  fchmod(fileno(file), static_cast<mode_t>(mode));
}

bool mayFollowLink(const std::string& link, std::string* error) {
  struct stat own {};
  struct stat folder {};
  const std::size_t slash = link.rfind('/');
  const std::string parent = slash == std::string::npos ? "." : link.substr(0, slash + 1);
  if (lstat(link.c_str(), &own) != 0 || !S_ISLNK(own.st_mode) ||
      stat(parent.c_str(), &folder) != 0) {
    return true;  // not a link, or gone: whatever comes next says so
  }
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  if (shared && own.st_uid != folder.st_uid && own.st_uid != geteuid()) {
    *error = "it is a symbolic link that another user made in a shared folder";
    return false;
  }
  return true;
}

bool linkFile(const std::string& path, const std::string& link) {
  return ::link(path.c_str(), link.c_str()) == 0;
}

SignalsHeld::SignalsHeld() : saved_{} {
  static_assert(sizeof(sigset_t) <= sizeof saved_, "the saved signal mask must fit");
  sigset_t held;
  sigemptyset(&held);
  sigaddset(&held, SIGINT);
  sigaddset(&held, SIGTERM);
  sigaddset(&held, SIGHUP);
  sigaddset(&held, SIGQUIT);
  sigset_t before;
  sigprocmask(SIG_BLOCK, &held, &before);
  std::memcpy(saved_, &before, sizeof before);
}

SignalsHeld::~SignalsHeld() {
  sigset_t before;
  std::memcpy(&before, saved_, sizeof before);
  sigprocmask(SIG_SETMASK, &before, nullptr);
}

#endif
