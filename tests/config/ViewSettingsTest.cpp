// The "Set View" window's behaviour without widgets: the map types offered,
// the replay speeds and their exact periods, the start-time controls and
// their time texts, and the scales with their drawing requests.
#include <gtest/gtest.h>

#include <vector>

#include "core/AppCore.h"
#include "config/SettingsHostFake.h"
#include "config/ViewSettings.h"

namespace qs {
namespace {

class ViewSettingsTest : public ::testing::Test {
 protected:
  ViewSettings& Open() {
    core.run.WindowOpen = true;
    window.ShowViewWindow();
    return window;
  }
  // Offline with a chosen file that begins at start and lasts seconds.
  void ChooseFile(std::uint32_t start, int seconds) {
    host.online = false;
    core.run.ReplayFileName = "case.eeg";
    core.run.FileStartSec = start;
    core.run.FileSeconds = seconds;
    core.run.StartOffsetSec = 0;
  }
  std::vector<DrawRequest> Queued() {
    std::vector<DrawRequest> out;
    DrawRequest r;
    while (core.drawQueue.Front(r)) {
      out.push_back(r);
      core.drawQueue.PopFront();
    }
    return out;
  }
  const ViewControls& C() const { return window.Controls(); }
  AppSettings& s = core.settings;

  AppCore core;
  test::FakeSettingsHost host;
  ViewSettings window{{core.settings, core.run, core.drawQueue, host}};
};

TEST_F(ViewSettingsTest, WithoutOptionButtonMbicIsRemovedOnceAndTheOptionBoxesAreHidden) {
  Open();
  EXPECT_EQ(C().graphItems, 3);
  EXPECT_FALSE(C().cbFilterVisible);
  EXPECT_FALSE(C().cbTestVisible);
  EXPECT_EQ(C().cbGraph, 1);
  window.CloseViewWindow();
  EXPECT_FALSE(core.run.WindowOpen);
  Open();
  EXPECT_EQ(C().graphItems, 3) << "reopening removes no further item";

  window.cbGraphChange("Show mBIC");  // typed: no longer an item
  EXPECT_EQ(s.FigType, 1);
  EXPECT_TRUE(Queued().empty());
  EXPECT_TRUE(host.mapTitles.empty());
}

TEST_F(ViewSettingsTest, WithOptionButtonAllFourMapTypesAndTheOptionBoxesAreOffered) {
  s.OptionButton = true;
  s.mBIC_filter = true;
  s.Test_Mode = true;
  s.FigType = 3;
  Open();
  EXPECT_EQ(C().graphItems, 4);
  EXPECT_EQ(C().cbGraph, 3);
  EXPECT_TRUE(C().cbFilterVisible);
  EXPECT_TRUE(C().cbFilter);
  EXPECT_TRUE(C().cbTestVisible);
  EXPECT_TRUE(C().cbTest);
  window.cbFilterClick(false);
  window.cbTestClick(false);
  EXPECT_FALSE(s.mBIC_filter);
  EXPECT_FALSE(s.Test_Mode);
}

TEST_F(ViewSettingsTest, ChoosingAMapTypeSetsTheTitleAndResetsTheMap) {
  Open();
  window.cbGraphChange("Show Triple Product");
  EXPECT_EQ(s.FigType, 2);
  EXPECT_EQ(C().cbGraph, 2);
  EXPECT_EQ(host.mapTitles, std::vector<int>{2});
  window.cbGraphChange("Show Bispectrum");
  EXPECT_EQ(Queued(), (std::vector<DrawRequest>{{BicReset, 2, 0}, {BicReset, 0, 0}}));
  window.cbGraphChange("Show Bicoherence ");
  EXPECT_EQ(s.FigType, 0) << "typed text that names no item keeps the map type";
}

TEST_F(ViewSettingsTest, EachSpeedSetsItsExactPeriodAndTheTimerAtOnce) {
  ChooseFile(36000, 60);
  Open();
  const int expected[] = {1000, 500, 267, 250, 200, 167, 142, 126};
  for (int i = 0; i < 8; ++i) {
    window.cbSpeedChange(kSpeedItems[i]);
    EXPECT_EQ(s.ReplayIntervalMs, expected[i]) << kSpeedItems[i];
    EXPECT_EQ(host.timerIntervals.back(), expected[i]);
    EXPECT_EQ(C().cbSpeed, i);
  }
  window.cbSpeedChange("x9");
  EXPECT_EQ(s.ReplayIntervalMs, 1000);
  EXPECT_EQ(C().cbSpeed, 0);

  for (auto [period, item] : {std::pair{267, 2}, std::pair{126, 7}, std::pair{333, 0}}) {
    s.ReplayIntervalMs = period;
    Open();
    EXPECT_EQ(C().cbSpeed, item) << period;
  }
}

TEST_F(ViewSettingsTest, OnlineTheSpeedIsDisabledAndNoTimesAreShown) {
  ChooseFile(36000, 60);
  Open();
  EXPECT_TRUE(C().cbSpeedEnabled);
  EXPECT_EQ(C().lStartTime, "10:00:00");
  host.online = true;
  Open();
  EXPECT_FALSE(C().cbSpeedEnabled);
  EXPECT_EQ(C().lStartTime, "");
  EXPECT_EQ(C().lSetTime, "");
  EXPECT_EQ(C().lEndTime, "");
  EXPECT_FALSE(C().timeControlsVisible);

  host.online = false;
  core.run.ReplayFileName.clear();  // offline, no file chosen
  Open();
  EXPECT_FALSE(C().cbSpeedEnabled);
  EXPECT_EQ(C().lEndTime, "");
}

TEST_F(ViewSettingsTest, TheStartTimeControlsSetTheOffsetAndShowItsTimeOfDay) {
  ChooseFile(10 * 3600, 3600);
  Open();
  EXPECT_TRUE(C().timeControlsVisible);
  EXPECT_EQ(C().timeMax, 3600);
  EXPECT_EQ(C().lStartTime, "10:00:00");
  EXPECT_EQ(C().lSetTime, "10:00:00");
  EXPECT_EQ(C().lEndTime, "11:00:00");

  window.tbTimeChange(600);
  EXPECT_EQ(core.run.StartOffsetSec, 600);
  EXPECT_EQ(C().timePosition, 600);
  EXPECT_EQ(C().lSetTime, "10:10:00");
  window.udTimeClick(601);
  EXPECT_EQ(core.run.StartOffsetSec, 601);
  EXPECT_EQ(C().lSetTime, "10:10:01");
  window.tbTimeChange(5000);
  EXPECT_EQ(core.run.StartOffsetSec, 3600) << "not past the end of the file";
  window.udTimeClick(-1);
  EXPECT_EQ(core.run.StartOffsetSec, 0);

  window.tbTimeChange(90);
  Open();
  EXPECT_EQ(C().timePosition, 90) << "reopening shows the chosen offset";
  EXPECT_EQ(C().lSetTime, "10:01:30");

  host.running = true;
  Open();
  EXPECT_FALSE(C().timeControlsVisible) << "no new start point during a run";
  EXPECT_EQ(C().lSetTime, "10:01:30");
}

// A file shorter than a second still shows its own times, not those left
// from the file chosen before it.
TEST_F(ViewSettingsTest, AnotherFileNeverShowsTheTimesOfTheFileBefore) {
  ChooseFile(10 * 3600, 600);
  Open();
  window.tbTimeChange(300);
  ChooseFile(11 * 3600, 0);
  Open();
  EXPECT_EQ(C().lStartTime, "11:00:00");
  EXPECT_EQ(C().lSetTime, "11:00:00");
  EXPECT_EQ(C().lEndTime, "11:00:00");
  EXPECT_EQ(C().timeMax, 0);
  EXPECT_EQ(C().timePosition, 0);
}

TEST_F(ViewSettingsTest, TimesPastMidnightGoOnAbove23Hours) {
  ChooseFile(23 * 3600 + 50 * 60, 7200);
  Open();
  EXPECT_EQ(C().lEndTime, "25:50:00");
  window.tbTimeChange(1200);
  EXPECT_EQ(C().lSetTime, "24:10:00");
  EXPECT_EQ(ReplayTimeText(0), "00:00:00");
  EXPECT_EQ(ReplayTimeText(100 * 3600 + 61), "100:01:01");
}

TEST_F(ViewSettingsTest, ScalesFollowTheirSettingsAndQueueTheirRedraw) {
  s.Wave_Scale = 3.0f;  // no item has this gain: the index decides
  Open();
  EXPECT_EQ(C().cbScale, 1);
  EXPECT_FALSE(C().cbPScaleVisible);
  s.Wave_Scale = 0.5f;
  s.Pow_real = true;
  s.PowerScale = 4;
  Open();
  EXPECT_EQ(C().cbScale, 3);
  EXPECT_TRUE(C().cbPScaleVisible);
  EXPECT_EQ(C().cbPScale, 4);

  window.cbScaleChange("100mcV");
  EXPECT_EQ(s.WaveScaleIndex, 2);
  EXPECT_EQ(s.Wave_Scale, 1.0f);
  window.cbPScaleChange("20mcV");
  EXPECT_EQ(s.PowerScale, 2);
  EXPECT_EQ(Queued(), (std::vector<DrawRequest>{{WaveReset, 0, 0}, {PowerFrame, 0, 0}}));

  // Typed text that names no item keeps both scales and redraws nothing.
  for (const char* typed : {"300mcV", "", "100"}) {
    window.cbScaleChange(typed);
    window.cbPScaleChange(typed);
  }
  EXPECT_EQ(s.WaveScaleIndex, 2);
  EXPECT_EQ(s.Wave_Scale, 1.0f);
  EXPECT_EQ(s.PowerScale, 2);
  EXPECT_EQ(C().cbScale, 2);
  EXPECT_EQ(C().cbPScale, 2);
  EXPECT_TRUE(Queued().empty());
}

TEST_F(ViewSettingsTest, WaveBoxesWriteTheirSettingsWithoutARedraw) {
  Open();
  EXPECT_TRUE(C().cbRawWave);
  EXPECT_FALSE(C().cbProcWave);
  window.cbRawWaveClick(false);
  window.cbProcWaveClick(true);
  EXPECT_FALSE(s.Show_Raw);
  EXPECT_TRUE(s.Show_Proc);
  EXPECT_TRUE(Queued().empty());
}

}  // namespace
}  // namespace qs
