// What differs between the systems the programs run on, kept in one place.
#ifndef FONTGRAFT_COMMON_PLATFORM_H
#define FONTGRAFT_COMMON_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>

// Makes the process safe to open files in, before it opens any: standard
// input, output and error are made open (on the null device where they were
// closed), so that no file opened later can take their place and receive what
// is printed; a reader that goes away from standard output makes writes fail
// instead of ending the process; and standard output and error carry bytes as
// they are, with no line end translation.
//
// On Windows, standard output and error that are the console show the
// programs' UTF-8 text as it is meant, whatever the console's code page: what
// is written to them goes through one pipe, in the order it is written there
// (standard output when its buffer is flushed, as on a Linux terminal with
// standard output redirected; failRun flushes it before its line), to a
// thread that writes it with the console's UTF-16 call and has written all of
// it when the process exits (exit() or a return from main). Redirected to a
// file or a pipe, they carry the bytes as they are.
// Started alone in a console window of its own (from Explorer, by a
// double-click or with a file dropped on it), the program then says how to
// run it from a command prompt and waits for a key before the window closes;
// never when standard input is not that console. On a Windows that does not
// give the arguments in UTF-8 (before Windows 10 version 1903), a command line
// with a character beyond ASCII is refused (status 1, one line), since every
// name and text in it would be read wrong.
void prepareProcess();

// Decodes UTF-8 into UTF-16 for the Windows console, in pieces cut anywhere:
// a character cut by the end of one piece is finished by the next. Each
// ill-formed sequence (a stray continuation byte, a sequence cut short, an
// overlong form, a surrogate, a code past U+10FFFF, a byte that never begins
// one) becomes one U+FFFD, as many as the Unicode standard's "maximal
// subparts" give, and nothing is dropped.
class Utf8Decoder {
 public:
  // A piece of n bytes gives at most n + kExtraUnits UTF-16 units (the
  // character it finishes, begun in the piece before).
  static constexpr std::size_t kExtraUnits = 1;

  // Decodes bytes[0 .. size-1], after those given before, into `out`, which
  // has room for size + kExtraUnits units; returns the number written.
  std::size_t decode(const char* bytes, std::size_t size, char16_t* out);

  // Ends the text: a character left unfinished gives U+FFFD. Returns the
  // number of units written to `out` (0 or 1).
  std::size_t finish(char16_t* out);

 private:
  // Begins a character at `byte`: writes it at once where it stands alone
  // (ASCII, or U+FFFD for a byte that begins none); returns the units written.
  std::size_t begin(unsigned char byte, char16_t* out);

  std::uint32_t code_ = 0;     // the bits read of the character begun
  int needed_ = 0;             // its continuation bytes still to come
  unsigned char low_ = 0x80;   // the range the next continuation byte
  unsigned char high_ = 0xBF;  // must be in
};

// The reason a file operation failed, for a message: the system's text of
// `error`, an errno value ("input/output error" for 0, a failure that set
// none). On Windows a file held open by another program, which the C library
// reports as EACCES ("Permission denied"), reads "it is open in another
// program". The second form takes an error_code of std::filesystem, of the C
// library's errors or of the system's own.
std::string systemErrorText(int error);
std::string systemErrorText(const std::error_code& error);

// The reason an operation on the file `path` failed: "it is a device, not a
// file" where `path` names a device (isDeviceName), else systemErrorText.
std::string fileErrorText(const std::string& path, int error);

// True when `path` names a device rather than a file: on Windows, where
// isWindowsDeviceName says so; on other systems never (a device there is a
// file that is not a regular file).
bool isDeviceName(const std::string& path);

// Windows' rule for device names: the reserved names NUL, CON, PRN, AUX,
// COM0 to COM9, LPT0 to LPT9, CONIN$ and CONOUT$ as the last part of a path,
// in any case, with any extension and with trailing blanks (`nul`,
// `C:\out\con.txt`, `Com1 .bin`, `NUL:`), and paths in the device namespace
// (`\\.\...`); `\\?\` paths, which the system takes as written, name files.
bool isWindowsDeviceName(const std::string& path);

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
