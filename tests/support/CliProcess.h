#pragma once
// Runs quellscope-cli as a user does, with its output and exit code.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
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

// A fixture that gives each test a folder of its own, named after the test
// and removed after it.
class TestFolder : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string At(const std::string& name) const { return (dir / name).string(); }

  const std::filesystem::path dir = [] {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::filesystem::temp_directory_path() / ("qs_" + std::string(test->test_suite_name()) + "_" +
                                                     std::to_string(::getpid()) + "_" + test->name());
  }();
};

}  // namespace qs::test
