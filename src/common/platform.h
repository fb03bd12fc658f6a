// What differs between the systems the programs run on, kept in one place.
#ifndef FONTGRAFT_COMMON_PLATFORM_H
#define FONTGRAFT_COMMON_PLATFORM_H

#include <cstddef>
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
