// Output files of the tools (sheets, fonts, code maps): written beside their
// target under a unique name and moved into place only when whole, so that a
// failed or killed run never leaves half a file where the user looks, and
// never blocks a later run.
#ifndef FONTGRAFT_COMMON_OUTFILE_H
#define FONTGRAFT_COMMON_OUTFILE_H

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

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

// Flushes and closes the file, keeping it beside its target. Returns false
// with the reason in `error`, having removed the file.
bool finishOutFile(OutFile* out, std::string* error);

// Moves the file at `from` onto `to`, replacing it. False with the reason.
bool moveFile(const std::string& from, const std::string& to, std::string* error);

// Checks `path` as openOutFile does, without making a file: true when a file
// may be written there, else false with the reason in `error`.
bool checkOutTarget(const std::string& path, std::string* error);

// Closes the file and moves it onto its target. Returns false with the reason
// in `error`, having removed the file.
bool commitOutFile(OutFile* out, std::string* error);

// Closes the file and removes it; the target stays as it was.
void dropOutFile(OutFile* out);

// Files written together: none replaces its target unless all are whole, and
// none may be one of the inputs of the run or the target of another.
class OutputSet {
 public:
  OutputSet() = default;
  ~OutputSet();
  OutputSet(const OutputSet&) = delete;
  OutputSet& operator=(const OutputSet&) = delete;

  // A file the run reads, which no output may replace (through a link
  // either); `role` names it in the error ("the font").
  void addInput(const std::string& path, const std::string& role);

  // Opens the output for `path` as openOutFile does, after checking it is
  // neither an input nor the target of an output added before. Returns the
  // file to write, or nullptr with the reason in `error`.
  std::FILE* add(const std::string& path, std::string* error);

  // Closes every output and moves them all onto their targets, or, when one
  // fails, puts back every target already replaced. Signals that end the
  // process wait until it is done. False with the path that failed in
  // `failed` and the reason in `error`; no output is then left anywhere.
  bool commit(std::string* failed, std::string* error);

 private:
  struct Output {
    std::string path;  // as given
    OutFile file;
  };
  std::vector<std::pair<std::string, std::string>> inputs_;  // path, role
  std::vector<Output> outputs_;
  bool committed_ = false;
};

#endif
