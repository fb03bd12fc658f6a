// Outputs written together: a failed step of the commit at any point, with
// or without hard links, puts every target back and leaves no stray file; a
// signal at any point leaves the old pair or the new one, never a mix and no
// stray file; a folder that ignores case takes two spellings for one file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "common/outfile.h"
#include "support.h"

namespace fs = std::filesystem;

namespace {

// The system's operations, with a failure or a signal injected at a call.
class InjectedOps : public FileOps {
 public:
  bool links = true;        // false: no hard link can be made (Windows, FAT, EMLINK)
  int failRename = 0;       // the rename that fails (from 1), 0 none
  int failRestore = 0;      // likewise, a second one: a put-back that fails
  long signalAt = 0;        // the operation at which SIGTERM is raised (from 1), 0 none
  bool caseless = false;    // lookups ignore the case of the name, as on vfat or NTFS
  bool failFinish = false;  // the second output cannot be flushed (a full disk)
  int syncs = 0;            // folders synced
  long calls = 0;

  std::FILE* create(const std::string& folder, std::string* path, std::string* error) override {
    step();
    return FileOps::create(folder, path, error);
  }
  bool createEmpty(const std::string& path, std::string* error) override {
    step();
    return FileOps::createEmpty(path, error);
  }
  bool identify(const std::string& path, FileId* id) override {
    step();
    return FileOps::identify(caseless ? spelled(path) : path, id);
  }
  bool finish(std::FILE* file, std::string* error) override {
    step();
    const bool finished = FileOps::finish(file, error);
    if (failFinish && ++finishes_ == 2) {
      *error = std::strerror(ENOSPC);
      return false;
    }
    return finished;
  }
  bool link(const std::string& from, const std::string& to, std::string* error) override {
    step();
    if (!links) {
      *error = std::strerror(EPERM);
      return false;
    }
    return FileOps::link(from, to, error);
  }
  bool rename(const std::string& from, const std::string& to, std::string* error) override {
    step();
    ++renames_;
    if (renames_ == failRename || renames_ == failRestore) {
      *error = std::strerror(EIO);
      return false;
    }
    return FileOps::rename(from, to, error);
  }
  bool remove(const std::string& path, std::string* error) override {
    step();
    return FileOps::remove(path, error);
  }
  void syncFolder(const std::string& folder) override {
    step();
    ++syncs;
    FileOps::syncFolder(folder);
  }

 private:
  void step() {
    if (++calls == signalAt) {
      std::raise(SIGTERM);
    }
  }
  // The entry of the folder whose name matches `path`'s but for case.
  static std::string spelled(const std::string& path) {
    const fs::path name = fs::path(path).filename();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path(), ec)) {
      if (lower(entry.path().filename().string()) == lower(name.string())) {
        return entry.path().string();
      }
    }
    return path;
  }

 public:
  static std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
  }

 private:
  int renames_ = 0;
  int finishes_ = 0;
};

// The files of a folder, by name.
std::vector<std::string> filesOf(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Writes "new a" and "new b" over the targets; the commit's result.
bool writePair(OutputSet* set, const TempDir& dir, std::string* failed, std::string* error) {
  std::FILE* a = set->add(dir.file("a.bdf"), error);
  std::FILE* b = a != nullptr ? set->add(dir.file("b.txt"), error) : nullptr;
  if (b == nullptr) {
    return false;
  }
  std::fputs("new a", a);
  std::fputs("new b", b);
  return set->commit(failed, error);
}

struct RenameFailure {
  bool existed;  // the targets were there before
  bool links;
  int rename;  // which rename fails
};

void PrintTo(const RenameFailure& run, std::ostream* os) {
  *os << (run.existed ? "old targets" : "new targets") << (run.links ? ", links" : ", no links")
      << ", rename " << run.rename << " fails";
}

class CommitFailure : public ::testing::TestWithParam<RenameFailure> {};

// Renames of the commit: with old targets and no hard links, each target is
// moved aside, then its new file moved in (4); else each new file moved in (2).
const RenameFailure kRenameFailures[] = {
    {true, true, 1},  {true, true, 2},  {true, false, 1}, {true, false, 2},
    {true, false, 3}, {true, false, 4}, {false, true, 1}, {false, true, 2},
};

TEST_P(CommitFailure, PutsEveryTargetBackAndLeavesNoStrayFile) {
  const RenameFailure& run = GetParam();
  TempDir dir;
  if (run.existed) {
    writeFile(dir.file("a.bdf"), "old a");
    writeFile(dir.file("b.txt"), "old b");
  }
  InjectedOps ops;
  ops.links = run.links;
  ops.failRename = run.rename;
  std::string failed;
  std::string error;
  {
    OutputSet set(&ops);
    EXPECT_FALSE(writePair(&set, dir, &failed, &error));
  }
  const std::string failing = run.existed && !run.links ? (run.rename <= 2 ? "a.bdf" : "b.txt")
                                                        : (run.rename == 1 ? "a.bdf" : "b.txt");
  EXPECT_EQ(failed, dir.file(failing));
  EXPECT_EQ(error, "Input/output error; " + dir.file("a.bdf") + " and " + dir.file("b.txt") +
                       " are as they were");
  const std::vector<std::string> left =
      run.existed ? std::vector<std::string>{"a.bdf", "b.txt"} : std::vector<std::string>{};
  EXPECT_EQ(filesOf(dir), left);
  if (run.existed) {
    EXPECT_EQ(readFile(dir.file("a.bdf")), "old a");
    EXPECT_EQ(readFile(dir.file("b.txt")), "old b");
  }
}

INSTANTIATE_TEST_SUITE_P(, CommitFailure, ::testing::ValuesIn(kRenameFailures));

TEST(Commit, AFileThatCannotBePutBackIsNamedWithWhereItsOldContentIs) {
  TempDir dir;
  writeFile(dir.file("a.bdf"), "old a");
  writeFile(dir.file("b.txt"), "old b");
  InjectedOps ops;
  ops.links = false;
  ops.failRename = 4;   // b.txt's new file
  ops.failRestore = 5;  // the first put-back: a.bdf's old file
  std::string failed;
  std::string error;
  {
    OutputSet set(&ops);
    EXPECT_FALSE(writePair(&set, dir, &failed, &error));
  }
  const std::string kept = " could not be put back (Input/output error): its old file is ";
  const std::size_t at = error.find(kept);
  ASSERT_NE(at, std::string::npos) << error;
  EXPECT_EQ(error.substr(0, at),
            "Input/output error; " + dir.file("b.txt") + " is as it was; " + dir.file("a.bdf"));
  EXPECT_EQ(readFile(error.substr(at + kept.size())), "old a");
  EXPECT_EQ(readFile(dir.file("a.bdf")), "new a");
  EXPECT_EQ(readFile(dir.file("b.txt")), "old b");
  EXPECT_EQ(filesOf(dir).size(), 3u);  // and nothing else: no temporary file
}

TEST(Commit, AFileThatCannotBeFlushedReplacesNothing) {
  TempDir dir;
  writeFile(dir.file("a.bdf"), "old a");
  InjectedOps ops;
  ops.failFinish = true;
  std::string failed;
  std::string error;
  {
    OutputSet set(&ops);
    EXPECT_FALSE(writePair(&set, dir, &failed, &error));
  }
  EXPECT_EQ(failed, dir.file("b.txt"));
  EXPECT_EQ(error, "No space left on device");
  EXPECT_EQ(filesOf(dir), std::vector<std::string>{"a.bdf"});
  EXPECT_EQ(readFile(dir.file("a.bdf")), "old a");
}

TEST(Commit, EachFolderIsSyncedOnceAfterTheRenames) {
  TempDir dir;
  fs::create_directory(dir.file("sub"));
  InjectedOps ops;
  std::string error;
  OutputSet set(&ops);
  for (const char* name : {"a.bdf", "b.txt", "sub/c.png"}) {
    ASSERT_NE(set.add(dir.file(name), &error), nullptr) << error;
  }
  std::string failed;
  ASSERT_TRUE(set.commit(&failed, &error)) << error;
  EXPECT_EQ(ops.syncs, 2);
  EXPECT_EQ(filesOf(dir), (std::vector<std::string>{"a.bdf", "b.txt", "sub"}));
}

#if !defined(_WIN32)
// (A Windows folder's lock is a mutex, which its own thread takes again.)
TEST(Commit, AFolderLockedByAnotherRunReplacesNothing) {
  // The outputs' folders, one of them held locked: the first, then the other.
  for (const bool second : {false, true}) {
    TempDir dir;
    fs::create_directory(dir.file("sub"));
    writeFile(dir.file("a.bdf"), "old a");
    const std::string locked = second ? dir.file("sub") : dir.path();
    FolderLock held;
    FileId id;
    ASSERT_TRUE(fileIdOf(locked, &id));
    ASSERT_TRUE(held.take(locked, id, true, 0));
    std::string failed;
    std::string error;
    {
      OutputSet set(nullptr, 50);
      ASSERT_NE(set.add(dir.file("a.bdf"), &error), nullptr);
      ASSERT_NE(set.add(dir.file("sub/b.txt"), &error), nullptr);
      EXPECT_FALSE(set.commit(&failed, &error));
    }
    EXPECT_EQ(failed, dir.file(second ? "sub/b.txt" : "a.bdf"));
    EXPECT_EQ(error, "another run is writing into its folder (" + locked + "); try again");
    EXPECT_EQ(filesOf(dir), (std::vector<std::string>{"a.bdf", "sub"}));
    EXPECT_TRUE(fs::is_empty(dir.file("sub")));
    EXPECT_EQ(readFile(dir.file("a.bdf")), "old a");
  }
}
#endif

// Outputs whose names differ only in case, new in one folder.
struct Spelling {
  bool caseless;
  std::string first, second;
  bool refused;
};

void PrintTo(const Spelling& run, std::ostream* os) {
  *os << (run.caseless ? "caseless " : "") << run.first << " " << run.second;
}

class NewNames : public ::testing::TestWithParam<Spelling> {};

const Spelling kSpellings[] = {
    {true, "Out.bdf", "out.bdf", true},
    {false, "Out.bdf", "out.bdf", false},
    {true, "out.bdf", "out.txt", false},
    // Too long for the probe's name: the folder's case rule, on the
    // temporary file's name.
    {true, std::string(250, 'a') + "X", std::string(250, 'a') + "x", true},
    {false, std::string(250, 'a') + "X", std::string(250, 'a') + "x", false},
};

TEST_P(NewNames, TwoNamesOfOneNewFileAreRefusedBeforeAnythingIsReplaced) {
  const Spelling& run = GetParam();
  TempDir dir;
  InjectedOps ops;
  ops.caseless = run.caseless;
  std::string error;
  OutputSet set(&ops);
  ASSERT_NE(set.add(dir.file(run.first), &error), nullptr) << error;
  const bool refused = set.add(dir.file(run.second), &error) == nullptr;
#if defined(_WIN32)
  // The system's own folders ignore case.
  EXPECT_EQ(refused,
            run.refused || InjectedOps::lower(run.first) == InjectedOps::lower(run.second));
#else
  EXPECT_EQ(refused, run.refused);
#endif
  if (refused) {
    EXPECT_EQ(error, "it is the same file as " + dir.file(run.first) + ", written too");
  }
  EXPECT_EQ(filesOf(dir).size(), refused ? 1u : 2u);  // the temporary files only: no probe
}

INSTANTIATE_TEST_SUITE_P(, NewNames, ::testing::ValuesIn(kSpellings));

TEST(Identity, AnInputIsKnownThroughAHardLink) {
  TempDir dir;
  writeFile(dir.file("font.ttf"), "font");
  fs::create_hard_link(dir.file("font.ttf"), dir.file("other.ttf"));
  OutputSet set;
  set.addInput(dir.file("font.ttf"), "the font");
  std::string error;
  EXPECT_EQ(set.add(dir.file("other.ttf"), &error), nullptr);
  EXPECT_EQ(error, "it is the font being read");
}

#if !defined(_WIN32)
// A SIGTERM at each operation of a run that replaces a pair: afterwards the
// pair is the old one or the new one, and no other file is left.
TEST(Signal, AtEveryPointLeavesOneWholePairAndNoStrayFile) {
  for (const bool links : {true, false}) {  // both ways of keeping the old files
    bool reachedEnd = false;
    int newPairs = 0;
    for (long at = 1; !reachedEnd && at < 1000; ++at) {
      TempDir dir;
      writeFile(dir.file("a.bdf"), "old a");
      writeFile(dir.file("b.txt"), "old b");
      const pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        InjectedOps ops;
        ops.links = links;
        ops.signalAt = at;
        OutputSet set(&ops);
        std::string failed;
        std::string error;
        _exit(writePair(&set, dir, &failed, &error) ? 0 : 3);
      }
      int status = 0;
      ASSERT_EQ(waitpid(child, &status, 0), child);
      reachedEnd = WIFEXITED(status);
      EXPECT_TRUE(reachedEnd ? WEXITSTATUS(status) == 0 : WTERMSIG(status) == SIGTERM) << at;
      const std::string a = readFile(dir.file("a.bdf"));
      const std::string b = readFile(dir.file("b.txt"));
      EXPECT_EQ(a.substr(0, 3), b.substr(0, 3)) << "signal at operation " << at;
      EXPECT_EQ(filesOf(dir), (std::vector<std::string>{"a.bdf", "b.txt"})) << at;
      newPairs += a == "new a" && !reachedEnd ? 1 : 0;
    }
    EXPECT_TRUE(reachedEnd);
    EXPECT_GT(newPairs, 2) << "a signal during the commit lets it end";
  }
}
#endif

}  // namespace
