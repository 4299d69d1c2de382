#pragma once
// Runs quellscope-cli as a user does, with its output and exit code.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace qs::test {

struct CliRun {
  int code;
  std::string out;  // standard output and error, interleaved
};

inline CliRun RunCli(const std::string& args) {
  const std::string command = std::string(QS_CLI_PATH) + " " + args + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  CliRun r{-1, {}};
  if (pipe == nullptr) return r;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) r.out += buffer;
  const int status = ::pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace qs::test
