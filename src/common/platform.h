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

// True when this user may write the existing file at `path`; otherwise false
// with the system's reason in `error`.
bool mayWrite(const std::string& path, std::string* error);

// Permissions a new file gets by default.
int newFileMode();

// Permissions of the existing file at `path`.
int fileMode(const std::string& path);

// Creates a new file in `folder` under a name no other file has and opens it
// for writing; `path` receives its name. nullptr with the reason in `error`.
std::FILE* createUnique(const std::string& folder, std::string* path, std::string* error);

// Gives the open file `file` the permissions `mode`.
void setFileMode(std::FILE* file, int mode);

// False, with the reason in `error`, for a symbolic link that another user
// planted in a folder everybody may write to and only owners may delete from
// (such as /tmp): writing through it would write wherever that user chose.
bool mayFollowLink(const std::string& link, std::string* error);

// Makes `link` a second name of the existing file `path` (a hard link), so
// that the file survives its name being replaced. False where the file
// system has no such links.
bool linkFile(const std::string& path, const std::string& link);

// Holds back the signals that end a process (interrupt, terminate, hang-up)
// while it lives, so that files replaced together are replaced together.
class SignalsHeld {
 public:
  SignalsHeld();
  ~SignalsHeld();
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  unsigned char saved_[256];
};

#endif
