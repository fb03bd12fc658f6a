#include "common/platform.h"

#if defined(_WIN32)

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace {

// Whether descriptor `fd` stands for a handle at all: for output, one that a
// write of nothing does not call invalid.
bool isOpen(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
    return false;
  }
  DWORD written = 0;
  SetLastError(NO_ERROR);
  return fd == 0 ? GetFileType(handle) != FILE_TYPE_UNKNOWN || GetLastError() == NO_ERROR
                 : WriteFile(handle, "", 0, &written, nullptr) != 0 ||
                       GetLastError() != ERROR_INVALID_HANDLE;
}

}  // namespace

void prepareProcess() {
  std::FILE* const streams[3] = {stdin, stdout, stderr};
  const char* const modes[3] = {"rb", "wb", "wb"};
  for (int fd = 0; fd <= 2; ++fd) {
    // A stream the process was started without is opened on the null
    // device, so that no file opened later can become it.
    if (!isOpen(fd)) {
      std::freopen("NUL", modes[fd], streams[fd]);
    }
    _setmode(fd, _O_BINARY);  // bytes as they are: no "\r\n" for "\n", no end at 0x1A
  }
}

void adviseHugePages(void* /*start*/, std::size_t /*bytes*/) {}

#else

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

void prepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
      // The lowest free descriptor is `fd` itself, since those below are open.
      if (open("/dev/null", O_RDWR) != fd) {
        _exit(1);  // cannot be made safe: open nothing at all
      }
    }
  }
  std::signal(SIGPIPE, SIG_IGN);
}

void adviseHugePages(void* start, std::size_t bytes) {
#if defined(MADV_HUGEPAGE) && !defined(FONTGRAFT_PLAIN)
  madvise(start, bytes, MADV_HUGEPAGE);
#else
  static_cast<void>(start);
  static_cast<void>(bytes);
#endif
}

#endif
