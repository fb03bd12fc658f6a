#include "common/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/platform.h"

#ifndef FONTGRAFT_VERSION
#error "FONTGRAFT_VERSION is set by the build"
#endif

namespace {

// Windows programs take "/?" for their help.
#if defined(_WIN32)
constexpr bool kSlashHelp = true;
#else
constexpr bool kSlashHelp = false;
#endif

}  // namespace

bool splitArguments(int argc, const char* const* argv, const std::vector<OptionRule>& options,
                    std::vector<Argument>* out, std::string* error) {
  bool operandsOnly = false;
  for (int i = 1; i < argc; ++i) {
    const char* word = argv[i];
    if (!operandsOnly && kSlashHelp && std::strcmp(word, "/?") == 0) {
      word = "--help";  // no file name on Windows holds a '?'
    }
    if (operandsOnly || word[0] != '-' || word[1] == '\0') {
      out->push_back({nullptr, word});  // "-" alone is an operand too
      continue;
    }
    if (std::strcmp(word, "--") == 0) {
      operandsOnly = true;
      continue;
    }
    const char* equals = word[1] == '-' ? std::strchr(word, '=') : nullptr;
    const std::string name = equals != nullptr ? std::string(word, equals) : std::string(word);
    const OptionRule* found = nullptr;
    for (const OptionRule& option : options) {
      if (name == option.name || (option.alias != nullptr && name == option.alias)) {
        found = &option;
      }
    }
    if (found == nullptr) {
      *error = "unknown option " + name + " (see --help)";
      return false;
    }
    const char* value = nullptr;
    if (equals != nullptr) {
      if (!found->takesValue) {
        *error = name + " takes no value (see --help)";
        return false;
      }
      value = equals + 1;
    } else if (found->takesValue) {
      if (i + 1 >= argc) {
        *error = name + " needs a value (see --help)";
        return false;
      }
      value = argv[++i];
    }
    out->push_back({found, value});
  }
  return true;
}

std::string countOf(long long n, const char* thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

void printNote(const char* program, const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
}

int failRun(const char* program, const std::string& message) {
  printNote(program, message);
  return 1;
}

namespace {

// Flushes standard output: 0, or 1 with one error line, whose reason is the
// flush's own or else `earlier`, that of a write before it.
int flushStandardOutput(const char* program, int earlier) {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    return failRun(program, "cannot write to standard output: " +
                                systemErrorText(errno != 0 ? errno : earlier));
  }
  return 0;
}

}  // namespace

int checkStandardOutput(const char* program) {
  return flushStandardOutput(program, 0);
}

int printText(const char* program, const std::string& text) {
  errno = 0;
  std::fwrite(text.data(), 1, text.size(), stdout);  // a long text may be written in part here
  return flushStandardOutput(program, errno);
}

int printVersion(const char* program) {
  return printText(program, std::string(program) + " " + FONTGRAFT_VERSION + "\n");
}

int takeCommonOption(const char* program, const Argument& argument, const std::string& help) {
  if (argument.option == nullptr) {
    return -1;
  }
  switch (argument.option->id) {
    case kHelpOption:
      return printText(program, help);
    case kVersionOption:
      return printVersion(program);
    default:
      return -1;
  }
}
