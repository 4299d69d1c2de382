// Offline runs end to end without windows: the run controller, the record
// files, the calculation thread replaying on its own thread, and the posted
// stop coming back to the user-interface loop.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/RunController.h"
#include "app/Workers.h"
#include "config/ViewSettings.h"
#include "dsp/CalcEngine.h"
#include "support/GuiTestApp.h"
#include "link/MonitorLink.h"
#include "platform/QueuedUiBridge.h"
#include "record/RecordFileService.h"
#include "record/RecordTestFiles.h"
#include "support/ProgramRun.h"
#include "support/ScriptedPrompter.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class OfflineRunTest : public test::ProgramRunTest {
 protected:
  OfflineRunTest() : ProgramRunTest("qs_offline_") {}

  std::string Record(int seconds, const char* name = "case.eeg") {
    test::RecordBuilder b(RawLayout::TwoChannels128, 10, 0, 0);
    for (int i = 0; i < seconds; ++i) b.AddSecond();
    b.Save(dir / name);
    return (dir / name).string();
  }
  void ChooseOffline(const std::string& path) {
    prompter.files = {path};
    controller->oOfflineClick();
  }
  // Ticks the replay timer until the run is back in Idle; the number of ticks.
  int TickUntilIdle() {
    for (int tick = 1; tick <= 200; ++tick) {
      const std::uint32_t before = core.run.ClockSec;
      controller->TimerTimer();
      // Each tick grants one second; wait until the calculation thread took it.
      ui.RunUntil([&] { return core.run.ClockSec != before || controller->Controls().bStart; }, 5000);
      if (controller->Controls().bStart) return tick;
    }
    return -1;
  }

};

TEST_F(OfflineRunTest, PacedReplayStepsOneSecondPerTickAndEndsAtTheEndOfTheFile) {
  ChooseOffline(Record(5));
  EXPECT_EQ(core.run.FileSeconds, 5);
  controller->bStartClick();
  ASSERT_FALSE(controller->Controls().bStart);
  EXPECT_TRUE(controller->Controls().timerEnabled);
  EXPECT_EQ(core.run.ClockSec, 36001u);
  EXPECT_EQ(TickUntilIdle(), 6) << "five seconds, then the tick that finds the end";
  EXPECT_EQ(core.run.ClockSec, 36006u);
  EXPECT_FALSE(core.run.ReplayFile.IsOpen());
  EXPECT_FALSE(controller->Controls().timerEnabled);
  EXPECT_TRUE(prompter.shown.size() == 1u) << "the end of the file is not an error";
}

TEST_F(OfflineRunTest, CalculationOnlyReplaysTheWholeFileWithoutTicks) {
  ChooseOffline(Record(40));
  core.settings.CalcOnly = true;
  controller->bStartClick();
  ASSERT_TRUE(ui.RunUntil([&] { return controller->Controls().bStart; }, 10000));
  EXPECT_EQ(core.run.ClockSec, 36001u + 40u);
  EXPECT_EQ(records.ReplayInput().RawStored(), 40u * 8u);
}

TEST_F(OfflineRunTest, AStartOffsetBeginsTheReplayAtThatSecond) {
  ChooseOffline(Record(8));
  core.run.StartOffsetSec = 5;
  controller->bStartClick();
  EXPECT_EQ(core.run.ClockSec, 36005u);
  EXPECT_EQ(TickUntilIdle(), 4);
}

// The start point chosen on the view window's track bar: the clock starts
// there, and the first second replayed is that second of the file (the test
// recording numbers its seconds in the monitor BSR of each variables message).
TEST_F(OfflineRunTest, AStartOffsetChosenInTheViewWindowBeginsTheReplayAtThatSecond) {
  ChooseOffline(Record(20));
  controller->oViewClick();
  ViewSettings& view = controller->Viewing();
  ASSERT_TRUE(view.Controls().timeControlsVisible);
  EXPECT_EQ(view.Controls().timeMax, 20);
  view.tbTimeChange(5);
  EXPECT_EQ(view.Controls().lSetTime, "10:00:05");
  controller->SecondaryWindowClosed(SecondaryWindow::View);

  controller->bStartClick();
  ASSERT_FALSE(controller->Controls().bStart);
  EXPECT_EQ(core.run.ClockSec, 36005u);
  // A second's variables message follows its raw EEG and is read with the
  // next second: two ticks.
  for (std::uint32_t clock : {36006u, 36007u}) {
    controller->TimerTimer();
    ASSERT_TRUE(ui.RunUntil([&] { return core.run.ClockSec == clock; }, 5000));
  }
  EXPECT_EQ(core.buffers.monitor.MonBsr, 6) << "the variables closing the file's sixth second, not its first";
  EXPECT_EQ(TickUntilIdle(), 14) << "the other 13 seconds, then the tick that finds the end";
}

TEST_F(OfflineRunTest, ASpeedChosenDuringAReplayPacesItAtOnce) {
  ChooseOffline(Record(5));
  controller->bStartClick();
  EXPECT_EQ(controller->Controls().timerIntervalMs, 1000);
  controller->oViewClick();
  controller->Viewing().cbSpeedChange("x3");
  EXPECT_EQ(controller->Controls().timerIntervalMs, 267);
  EXPECT_TRUE(controller->Controls().timerEnabled);
  controller->Viewing().cbSpeedChange("x8");
  EXPECT_EQ(controller->Controls().timerIntervalMs, 126);
  EXPECT_EQ(TickUntilIdle(), 6);
  EXPECT_EQ(core.settings.ReplayIntervalMs, 126) << "and the next replay starts at that speed";
}

TEST_F(OfflineRunTest, EachFileThatCannotBeReplayedShowsItsMessage) {
  // Chosen, then gone before Start.
  const std::string gone = Record(2, "gone.eeg");
  ChooseOffline(gone);
  fs::remove(gone);
  controller->bStartClick();
  EXPECT_TRUE(prompter.Saw("File open error", "File Error"));
  EXPECT_TRUE(controller->Controls().bStart);

  // Shorter than a header: the pre-scan already refuses it.
  const fs::path tiny = dir / "tiny.eeg";
  std::ofstream(tiny, std::ios::binary) << "A2K";
  ChooseOffline(tiny.string());
  EXPECT_TRUE(prompter.Saw("File type error", "File Error"));
  EXPECT_TRUE(core.run.ReplayFileName.empty());
  controller->bStartClick();
  EXPECT_TRUE(prompter.Saw("File not selected", "File Error"));

  // Without the magic: accepted by the pre-scan, refused at Start.
  test::RecordBuilder foreign(RawLayout::TwoChannels128, 1, 0, 0);
  foreign.bytes[0] = 'Z';
  foreign.Save(dir / "foreign.eeg");
  prompter.shown.clear();
  ChooseOffline((dir / "foreign.eeg").string());
  EXPECT_TRUE(prompter.shown.size() == 1u) << "only the dialog";
  controller->bStartClick();
  EXPECT_TRUE(prompter.Saw("File type error", "File Error"));
  EXPECT_TRUE(controller->Controls().bStart);
}

// The log a user gets from a paced replay in the program equals the one
// quellscope-cli replay --log writes for the same recording and settings.
TEST_F(OfflineRunTest, APacedReplayLogsWhatTheCommandLineReplayLogs) {
  const std::string eeg = Record(75);
  ChooseOffline(eeg);
  controller->bStartClick();
  ASSERT_GT(TickUntilIdle(), 0);
  const fs::path cliLog = dir / "cli.log";
  const std::string command = std::string(QS_CLI_PATH) + " replay " + eeg + " --settings " +
                              (dir / "none.ini").string() + " --records " + (dir / "r.csv").string() + " --log " +
                              cliLog.string();
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(cliLog, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string program;
  for (const std::string& line : core.logLines.Lines()) program += line + "\r\n";
  EXPECT_GE(core.logLines.Count(), 2) << "the header and at least one line";
  EXPECT_EQ(program, text);
}

}  // namespace
}  // namespace qs
