// Times a program run as a process, for the benchmarks that compare whole
// runs.
#ifndef FONTGRAFT_BENCH_TIMED_RUN_H
#define FONTGRAFT_BENCH_TIMED_RUN_H

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

// Runs `args` as a process, its standard output and error on /dev/null;
// returns its wall time in milliseconds, or a negative value when it cannot
// run or, unless `anyStatus`, does not exit 0 (otf2bdf exits 8 when it has
// written the font).
inline double timeRun(const std::vector<std::string>& args, bool anyStatus = false) {
  std::vector<char*> argv;
  for (const std::string& a : args) {
    argv.push_back(const_cast<char*>(a.c_str()));
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  const bool ran = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                   waitpid(pid, &status, 0) == pid;
  const auto end = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&actions);
  if (!ran || !WIFEXITED(status) || (!anyStatus && WEXITSTATUS(status) != 0)) {
    return -1;
  }
  return std::chrono::duration<double, std::milli>(end - start).count();
}

#endif
