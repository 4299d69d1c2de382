// The run controller as the settings windows' main window: what their
// behaviour changes in its controls, and the log rebuilt from the history.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/RunController.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFiles.h"
#include "support/ScriptedPrompter.h"

namespace qs {
namespace {

class QuietView final : public MainView {
 public:
  void ControlsChanged(const MainControls&) override {}
  void ShowWindow(SecondaryWindow w) override { shown.push_back(w); }
  void CloseWindow(SecondaryWindow) override {}
  void ExitProcess(int) override {}
  void LogChanged() override { ++logChanges; }
  std::vector<SecondaryWindow> shown;
  int logChanges = 0;
};

class SettingsHostTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(controller.FormCreate()); }

  AppCore core;
  QueuedUiBridge ui;
  test::ScriptedPrompter prompter;
  QuietView view;
  NoMonitorLink link;
  NoRecordFiles records;
  RunController controller{
      RunControllerDeps{core, ui, prompter, view, link, records, WorkerFactory{},
                        (std::filesystem::temp_directory_path() / "qs_none.ini").string()}};
};

TEST_F(SettingsHostTest, TheProcessingWindowDisablesTheMainWindowAndDrivesItsSefLabel) {
  controller.oProcessClick();
  EXPECT_EQ(view.shown, std::vector<SecondaryWindow>{SecondaryWindow::Process});
  EXPECT_FALSE(controller.Controls().formEnabled);
  controller.oViewClick();
  EXPECT_EQ(view.shown.size(), 1u) << "one settings window at a time";

  ProcessingSettings& processing = controller.Processing();
  processing.cbBIS_SRClick(false);
  processing.cbSEFClick(true);
  EXPECT_EQ(controller.Controls().lSEF90, "SEF90");
  EXPECT_EQ(controller.Controls().eSEF90Hint, "Spectral Edge Frequency 90%");
  controller.SecondaryWindowClosed(SecondaryWindow::Process);
  EXPECT_TRUE(controller.Controls().formEnabled);
  EXPECT_FALSE(core.run.WindowOpen);

  controller.oProcessClick();
  EXPECT_TRUE(processing.Controls().cbSEF) << "the box follows the label on reopening";
  controller.SecondaryWindowClosed(SecondaryWindow::Process);
}

TEST_F(SettingsHostTest, ALoggingIntervalOfThirtySecondsRebuildsTheLogAtEveryThirdRecord) {
  TrendStore& history = core.buffers.trend;
  for (int i = 0; i < 10; ++i) {
    history.Current().value.fill(1.0f);
    history.Current()[EpochResult::Sef] = static_cast<float>(i);
    history.Advance();
  }
  core.logLines.Append("Time,SEF95,BSR,RBR,BispR,BIS,Amp,SQI_time,SQI_power,SQI_bisp");
  core.logLines.Append("00:01:03,5.00");
  controller.oProcessClick();
  prompter.answers = {true};
  controller.Processing().cbLogIntervalChange("30 sec");
  EXPECT_TRUE(prompter.Saw("Update Log Window", "Update"));
  ASSERT_EQ(core.logLines.Count(), 3) << "records 2, 5 and 8";
  EXPECT_EQ(core.logLines[0].substr(0, 14), "00:00:23,2.00,");
  EXPECT_EQ(core.logLines[2].substr(0, 14), "00:01:23,8.00,");
  EXPECT_EQ(view.logChanges, 1);
}

TEST_F(SettingsHostTest, TheViewWindowSetsTheMapTitleAndLeavesTheMainWindowEnabled) {
  controller.oViewClick();
  EXPECT_TRUE(controller.Controls().formEnabled);
  controller.Viewing().cbGraphChange("Show Triple Product");
  EXPECT_EQ(controller.Controls().lBsp, "Triple Product");
  controller.Viewing().cbGraphChange("Show Bispectrum");
  EXPECT_EQ(controller.Controls().lBsp, "Bispectrum");
  controller.SecondaryWindowClosed(SecondaryWindow::View);
  EXPECT_FALSE(core.run.WindowOpen);
  controller.oProcessClick();
  EXPECT_EQ(view.shown.back(), SecondaryWindow::Process);
}

}  // namespace
}  // namespace qs
