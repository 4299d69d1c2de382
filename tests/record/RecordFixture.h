#pragma once
// A fresh folder per test, and the program's record files without windows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/AppCore.h"
#include "record/RecordFileService.h"
#include "record/RecordTestFiles.h"

namespace qs::test {

class RecordFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  std::string Save(const RecordBuilder& b, const std::string& name) const { return b.Save(dir / name); }

  // Each test runs in a process of its own.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qs_rec_" + std::to_string(::getpid()));
  AppCore core;
  RecordFileService service{core};
};

}  // namespace qs::test
