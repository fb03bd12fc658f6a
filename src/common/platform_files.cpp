#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/platform.h"

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
