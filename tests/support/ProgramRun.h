#pragma once
// A test with the program's run controller, calculation engine, record files
// and workers, without windows: a fresh folder per test, the settings file
// absent (defaults), messages and dialogs scripted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/RunController.h"
#include "app/Workers.h"
#include "dsp/CalcEngine.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFileService.h"
#include "support/ScriptedPrompter.h"

namespace qs::test {

class NoWindowView final : public MainView {
 public:
  void ControlsChanged(const MainControls&) override {}
  void ShowWindow(SecondaryWindow) override {}
  void CloseWindow(SecondaryWindow) override {}
  void ExitProcess(int) override {}
};

class ProgramRunTest : public ::testing::Test {
 protected:
  // prefix names the test's folder under the temporary directory.
  explicit ProgramRunTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          (prefix_ + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    controller = std::make_unique<RunController>(RunControllerDeps{
        core, ui, prompter, view, link, records, ProgramWorkers(&engine), (dir / "none.ini").string()});
    ASSERT_TRUE(controller->FormCreate());
  }
  void TearDown() override {
    controller.reset();
    std::filesystem::remove_all(dir);
  }

  std::filesystem::path dir;
  AppCore core;
  QueuedUiBridge ui;
  ScriptedPrompter prompter;
  NoWindowView view;
  NoMonitorLink link;
  RecordFileService records{core};
  CalcEngine engine{core, &records.ReplayInput()};
  std::unique_ptr<RunController> controller;

 private:
  std::string prefix_;
};

}  // namespace qs::test
