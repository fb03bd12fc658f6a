// The command lines of the tools around the utility (the checker, the viewer
// and the converter): options spelled "--name VALUE" or "--name=VALUE", "--"
// before operands that begin with '-', the help and the version, and errors
// as one line on standard error.
#ifndef FONTGRAFT_COMMON_CLI_H
#define FONTGRAFT_COMMON_CLI_H

#include <string>
#include <vector>

struct OptionRule {
  const char* name;   // "--size"
  const char* alias;  // "-v", or nullptr
  bool takesValue;
  int id;  // what the tool does with it: its own number, or one of those below
};

// The options every tool takes, with the ids they have in its table.
constexpr int kHelpOption = -1;
constexpr int kVersionOption = -2;
constexpr OptionRule kHelpRule = {"--help", "-h", false, kHelpOption};
constexpr OptionRule kVersionRule = {"--version", nullptr, false, kVersionOption};

// One word of the command line as the tool reads it: an option with its
// value (nullptr for one that takes none), or an operand (`option` nullptr).
struct Argument {
  const OptionRule* option;
  const char* value;
};

// Splits argv[1 .. argc-1] into the options of `options` and operands, in
// order. Every word after "--" is an operand; before it, on Windows, "/?" is
// taken for "--help", as Windows programs take it. False on an unknown option, an
// option without its value or a value given to an option that takes none,
// with `error` saying which.
bool splitArguments(int argc, const char* const* argv, const std::vector<OptionRule>& options,
                    std::vector<Argument>* out, std::string* error);

// "1 slot", "2 slots": a count and what it counts.
std::string countOf(long long n, const char* thing);

// Prints "<program>: <message>" on standard error, after what standard output
// holds (flushed first, so that a console or a terminal shows the two in the
// order written): a note beside the output, such as a count of what it left
// out.
void printNote(const char* program, const std::string& message);

// Prints the error line as printNote does and returns 1, the status of an
// error.
int failRun(const char* program, const std::string& message);

// Writes `text` to standard output and flushes it. Returns 0, or 1 with one
// error line when it could not be written (a full device, a closed pipe).
int printText(const char* program, const std::string& text);

// Prints the line "<program> <version>" as printText does.
int printVersion(const char* program);

// For --help and --version: prints `help` or the version and returns the exit
// status; -1 for any other option.
int takeCommonOption(const char* program, const Argument& argument, const std::string& help);

// Checks standard output at the end of a run: 0 when everything printed was
// written, else 1 with one error line.
int checkStandardOutput(const char* program);

#endif
