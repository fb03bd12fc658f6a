#include "common/platform.h"

#include <cerrno>
#include <cstring>

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Writes `code` (at most U+10FFFF, no surrogate) as UTF-16; returns the units.
std::size_t putUtf16(std::uint32_t code, char16_t* out) {
  if (code < 0x10000) {
    out[0] = static_cast<char16_t>(code);
    return 1;
  }
  code -= 0x10000;
  out[0] = static_cast<char16_t>(0xD800 + (code >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  return 2;
}

}  // namespace

std::size_t Utf8Decoder::begin(unsigned char byte, char16_t* out) {
  // The ranges of well-formed UTF-8: the second byte's range narrows after
  // E0 (no overlong form), ED (no surrogate), F0 (no overlong) and F4 (no
  // code past U+10FFFF).
  low_ = 0x80;
  high_ = 0xBF;
  if (byte < 0x80) {
    out[0] = byte;
    return 1;
  }
  if (byte >= 0xC2 && byte <= 0xDF) {
    needed_ = 1;
    code_ = byte & 0x1Fu;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    needed_ = 2;
    code_ = byte & 0x0Fu;
    low_ = byte == 0xE0 ? 0xA0 : 0x80;
    high_ = byte == 0xED ? 0x9F : 0xBF;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    needed_ = 3;
    code_ = byte & 0x07u;
    low_ = byte == 0xF0 ? 0x90 : 0x80;
    high_ = byte == 0xF4 ? 0x8F : 0xBF;
  } else {
    out[0] = kReplacement;  // a continuation byte, C0, C1 or F5 to FF
    return 1;
  }
  return 0;
}

std::size_t Utf8Decoder::decode(const char* bytes, std::size_t size, char16_t* out) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (needed_ > 0) {
      if (byte >= low_ && byte <= high_) {
        code_ = (code_ << 6) | (byte & 0x3Fu);
        low_ = 0x80;
        high_ = 0xBF;
        if (--needed_ == 0) {
          units += putUtf16(code_, out + units);
        }
        continue;
      }
      // The character begun is cut short; this byte begins what follows.
      out[units++] = kReplacement;
      needed_ = 0;
    }
    units += begin(byte, out + units);
  }
  return units;
}

std::size_t Utf8Decoder::finish(char16_t* out) {
  if (needed_ == 0) {
    return 0;
  }
  needed_ = 0;
  out[0] = kReplacement;
  return 1;
}

#if defined(_WIN32)

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>

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

HANDLE handleOf(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode) != 0;
}

// The pipe's room: the programs rarely wait for the console.
constexpr DWORD kPipeBytes = 1 << 16;
// What the relay reads from the pipe and hands to the console at a time
// (older consoles take at most about 26,000 characters a call).
constexpr std::size_t kRelayBytes = 8192;

// Standard output and error that are the console, through one pipe read by a
// thread of the process. There is one per process, and the exit hook that
// waits for it takes no argument, hence a static object.
struct ConsoleRelay {
  HANDLE console = nullptr;  // the console screen written to
  HANDLE pipe = nullptr;     // the pipe's read end
  HANDLE thread = nullptr;
  bool output = false;  // standard output goes through the pipe
  bool error = false;   // standard error does
  bool pause = false;   // wait for a key at exit: the console window is the program's own
  Utf8Decoder decoder;
  char bytes[kRelayBytes];
  char16_t text[kRelayBytes + Utf8Decoder::kExtraUnits];
  wchar_t wide[kRelayBytes + Utf8Decoder::kExtraUnits];
};
ConsoleRelay relay;

void writeConsole(ConsoleRelay* r, std::size_t units) {
  for (std::size_t i = 0; i < units; ++i) {
    r->wide[i] = static_cast<wchar_t>(r->text[i]);
  }
  const wchar_t* next = r->wide;
  DWORD written = 0;
  while (units > 0 &&
         WriteConsoleW(r->console, next, static_cast<DWORD>(units), &written, nullptr) &&
         written > 0) {
    next += written;
    units -= written;
  }
}

// The relay's thread: the text to its end, which comes when the last handle
// of the pipe's write end is closed. A write of nothing reads as nothing.
DWORD WINAPI relayText(void* state) {
  auto* r = static_cast<ConsoleRelay*>(state);
  DWORD got = 0;
  while (ReadFile(r->pipe, r->bytes, sizeof r->bytes, &got, nullptr)) {
    writeConsole(r, r->decoder.decode(r->bytes, got, r->text));
  }
  writeConsole(r, r->decoder.finish(r->text));
  return 0;
}

// The program's file name without its folder and ".exe".
std::wstring programName() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name = path;
  name = name.substr(name.find_last_of(L"\\/") + 1);
  const std::size_t dot = name.rfind(L'.');
  return dot == std::wstring::npos ? name : name.substr(0, dot);
}

// After the run, in a console window that is the program's alone (it closes
// with the program): how to run it, then a key.
void pauseForKey(ConsoleRelay* r) {
  const HANDLE input = handleOf(0);
  if (!isConsole(input)) {
    return;
  }
  const std::wstring text =
      L"\n" + programName() +
      L" is a command-line program: open a command prompt in its folder (type cmd in the "
      L"address bar of the folder's window and press Enter) and run it there with your files; "
      L"README-Windows.txt says how.\nPress a key to close this window.\n";
  DWORD written = 0;
  WriteConsoleW(r->console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  FlushConsoleInputBuffer(input);
  INPUT_RECORD record;
  DWORD got = 0;
  while (ReadConsoleInputW(input, &record, 1, &got) != 0) {
    if (got == 1 && record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) {
      break;
    }
  }
}

// At exit: everything written reaches the console before the process ends.
void drainRelay() {
  std::fflush(stdout);
  std::fflush(stderr);
  // Closing the last handles of the write end ends the relay's text.
  if (relay.output) {
    _close(1);
  }
  if (relay.error) {
    _close(2);
  }
  WaitForSingleObject(relay.thread, INFINITE);
  if (relay.pause) {
    pauseForKey(&relay);
  }
}

// Puts standard output and error, where they are the console, behind the
// relay. Where any step fails, they stay as they are.
void startRelay(bool output, bool error) {
  const HANDLE process = GetCurrentProcess();
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!DuplicateHandle(process, handleOf(output ? 1 : 2), process, &relay.console, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return;
  }
  if (!CreatePipe(&readEnd, &writeEnd, nullptr, kPipeBytes)) {
    CloseHandle(relay.console);
    return;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(writeEnd), _O_WRONLY | _O_BINARY);
  relay.pipe = readEnd;
  relay.thread = fd >= 0 ? CreateThread(nullptr, 0, relayText, &relay, 0, nullptr) : nullptr;
  if (relay.thread == nullptr) {
    if (fd >= 0) {
      _close(fd);
    } else {
      CloseHandle(writeEnd);
    }
    CloseHandle(readEnd);
    CloseHandle(relay.console);
    return;
  }
  relay.output = output && _dup2(fd, 1) == 0;
  relay.error = error && _dup2(fd, 2) == 0;
  _close(fd);
  // A console window made for this program alone: Explorer started it.
  DWORD processes[2];
  relay.pause = GetConsoleWindow() != nullptr && GetConsoleProcessList(processes, 2) == 1;
  std::atexit(drainRelay);
}

// Before Windows 10 version 1903 the manifest's UTF-8 code page is not
// honoured: arguments beyond ASCII then come in the system's code page,
// garbled, and name other files or texts.
void refuseNonUtf8Arguments() {
  if (GetACP() == CP_UTF8) {
    return;
  }
  for (const wchar_t* c = GetCommandLineW(); *c != L'\0'; ++c) {
    if (*c >= 0x80) {
      const std::wstring name = programName();
      char utf8[MAX_PATH * 3] = {};
      WideCharToMultiByte(CP_UTF8, 0, name.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
      std::fprintf(stderr,
                   "%s: names and texts beyond ASCII need Windows 10 version 1903 or later "
                   "(this Windows does not give them in UTF-8)\n",
                   utf8);
      std::exit(1);
    }
  }
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
  const bool output = isConsole(handleOf(1));
  const bool error = isConsole(handleOf(2));
  if (output || error) {
    startRelay(output, error);
  }
  refuseNonUtf8Arguments();
}

void adviseHugePages(void* /*start*/, std::size_t /*bytes*/) {}

#else

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

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
