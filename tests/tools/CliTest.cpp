// quellscope-cli as a user runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/recgen/RecordingGenerator.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int code;
  std::string out;
};

CliRun RunCli(const std::string& args) {
  const std::string command = std::string(QS_CLI_PATH) + " " + args + " 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  CliRun r{-1, {}};
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) r.out += buffer;
  const int status = ::pclose(pipe);
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

TEST(Cli, InfoPrintsWhatThePrescanFinds) {
  qs::recgen::GeneratorOptions options;
  options.seconds = 7;
  options.layout = qs::RawLayout::TwoChannels256;
  options.startHour = 23;
  options.startMinute = 5;
  options.startSecond = 9;
  const fs::path path = fs::temp_directory_path() / ("qs_cli_" + std::to_string(::getpid()) + ".eeg");
  ASSERT_TRUE(qs::recgen::WriteRecording(path.string(), qs::recgen::GenerateRecording(options)));
  const CliRun r = RunCli("info " + path.string());
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "start=23:05:09\nseconds=7\nrate=256\nmodel=1\nengine=1\nbytes_per_second=1374\n");

  std::ofstream(path, std::ios::binary) << "A2K and nothing more";
  const CliRun refused = RunCli("info " + path.string());
  EXPECT_EQ(refused.code, 2);
  EXPECT_NE(refused.out.find("File type error"), std::string::npos) << refused.out;
  EXPECT_EQ(RunCli("info " + path.string() + ".missing").code, 2);
  EXPECT_EQ(RunCli("frobnicate").code, 2);
  fs::remove(path);
}

}  // namespace
