#include "support.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "fontgraft-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

std::FILE* streamOf(const std::string& bytes) {
  std::FILE* stream = std::tmpfile();
  std::fwrite(bytes.data(), 1, bytes.size(), stream);
  std::rewind(stream);
  return stream;
}

namespace {

// Runs `binary` with `args`; standard error goes where `stderrTo` says (a
// shell redirection).
RunResult runCommand(const std::string& binary, const std::vector<std::string>& args,
                     const std::string& stderrTo) {
  std::string command = binary;
  for (const std::string& arg : args) {
    command += " '" + arg + "'";  // the tests' arguments hold no quotes
  }
  command += " " + stderrTo;
  std::FILE* pipe = popen(command.c_str(), "r");
  RunResult result{-1, "", ""};
  char chunk[4096];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) {
    result.out.append(chunk, n);
  }
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace

RunResult runTool(const std::vector<std::string>& args) {
  // Standard error joins standard output, so any text there fails a comparison.
  return runCommand(FONTGRAFT_BIN, args, "2>&1");
}

RunResult runShow(const std::vector<std::string>& args) {
  TempDir dir;
  const std::string errors = dir.file("stderr");
  RunResult result = runCommand(FONTGRAFT_SHOW_BIN, args, "2>'" + errors + "'");
  result.err = readFile(errors);
  return result;
}
