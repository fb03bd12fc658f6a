// Output files of the tools (sheets, fonts, code maps): written beside their
// target under a unique name and moved into place only when whole, so that a
// failed or killed run never leaves half a file where the user looks, and
// never blocks a later run.
#ifndef FONTGRAFT_COMMON_OUTFILE_H
#define FONTGRAFT_COMMON_OUTFILE_H

#include <cstdio>
#include <string>

struct OutFile {
  std::string target;  // where the file goes: the path given, or the file a link there names
  std::string temp;    // where it is written until it is whole
  std::FILE* file = nullptr;
  int mode = 0;  // permissions the file gets: the target's own, or the default for a new one
};

// Checks `path` as a target and opens the file to write. The target must be a
// regular file the user may write, a symbolic link to one (written through,
// the link stays) or a new name in an existing folder; anything else (device,
// FIFO, socket, folder, link to one of these or to nothing) is refused.
// Returns false with the reason in `error`.
bool openOutFile(const std::string& path, OutFile* out, std::string* error);

// Checks `path` as openOutFile does, without making a file: true when a file
// may be written there, else false with the reason in `error`.
bool checkOutTarget(const std::string& path, std::string* error);

// Closes the file and moves it onto its target. Returns false with the reason
// in `error`, having removed the file.
bool commitOutFile(OutFile* out, std::string* error);

// Closes the file and removes it; the target stays as it was.
void dropOutFile(OutFile* out);

#endif
