// The "Set Processing" window's behaviour without widgets: what showing loads,
// what each control writes, the SEF group's interplay, "Apply", the logging
// interval's log rebuild and the gray scale committed on closing.
#include <gtest/gtest.h>

#include <vector>

#include "core/AppCore.h"
#include "config/ProcessingSettings.h"
#include "config/SettingsHostFake.h"
#include "support/ScriptedPrompter.h"

namespace qs {
namespace {

class ProcessingSettingsTest : public ::testing::Test {
 protected:
  ProcessingSettings& Open() {
    core.run.WindowOpen = true;  // as the main window sets it
    window.ShowProcessingWindow();
    return window;
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
  const ProcessingControls& C() const { return window.Controls(); }
  AppSettings& s = core.settings;

  AppCore core;
  test::FakeSettingsHost host;
  test::ScriptedPrompter prompter;
  ProcessingSettings window{{core.settings, core.run, core.drawQueue, core.buffers.trend, prompter, host}};
};

TEST_F(ProcessingSettingsTest, ShowingDisablesTheMainWindowAndLoadsEveryControl) {
  s.UseProcessedWave = false;
  s.GrayScale = true;
  s.Moving_Average = 1;
  s.BS_Threshold = 5.3f;
  s.Proc_Trend = false;
  s.Use_BIS_BSR = false;
  s.Use_BIS_SEF = true;
  s.CalcOnly = true;
  Open();
  EXPECT_FALSE(host.mainEnabled);
  EXPECT_FALSE(C().cbProcWave);
  EXPECT_TRUE(C().cbBW);
  EXPECT_TRUE(window.PendingGrayScale());
  EXPECT_EQ(C().cbMoving, 1);
  EXPECT_EQ(C().eBS_Thres, "5.30000019073486");
  EXPECT_EQ(C().eOverThres, "80");
  EXPECT_EQ(C().eSpike, "30");
  EXPECT_FALSE(C().cbTrend);
  EXPECT_FALSE(C().cbBIS_SR);
  EXPECT_TRUE(C().cbBIS_SEF);
  EXPECT_FALSE(C().cbSEFEnabled) << "the monitor's SEF95 is in use";
  EXPECT_FALSE(C().cbCalcOnlyEnabled) << "online";
  EXPECT_TRUE(host.rebuilds.empty());
  EXPECT_TRUE(Queued().empty()) << "showing changes nothing";

  host.online = false;
  host.sefLabel = "SEF90";
  s.Use_BIS_SEF = false;
  Open();
  EXPECT_TRUE(C().cbCalcOnlyEnabled);
  EXPECT_TRUE(C().cbCalcOnly);
  EXPECT_TRUE(C().cbSEF) << "checked exactly when the main window shows SEF90";
  EXPECT_TRUE(C().cbSEFEnabled);
}

TEST_F(ProcessingSettingsTest, DurationListsShowTheItemOfTheirSetting) {
  struct Case {
    int value, bisp, pow, time;
  } const cases[] = {
      {6, 0, 2, 3}, {12, 1, 2, 3}, {18, 2, 2, 3}, {24, 3, 2, 3}, {30, 4, 2, 3},
      {1, 4, 2, 0}, {2, 4, 0, 1},  {3, 4, 1, 2},  {7, 4, 2, 3},  // anything else: "5 min", "1 min"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    s.Bisp_Dur = s.Power_Dur = s.Amp_Dur = s.LogInterval = c.value;
    Open();
    EXPECT_EQ(C().cbBispCount, c.bisp);
    EXPECT_EQ(C().cbPowCount, c.pow);
    EXPECT_EQ(C().cbTimeCount, c.time);
    EXPECT_EQ(C().cbLogInterval, c.time);
    EXPECT_EQ(window.ShownLogInterval(), c.value);
  }
}

TEST_F(ProcessingSettingsTest, ChoiceListsWriteTheirValueAndTypedTextNeverAnUnmappedOne) {
  Open();
  window.cbBispCountChange("1 min");
  EXPECT_EQ(s.Bisp_Dur, 6);
  window.cbBispCountChange("7 min");  // typed, names no item: the list's default
  EXPECT_EQ(s.Bisp_Dur, 18);
  EXPECT_EQ(C().cbBispCount, 2) << "the list shows the item in force";
  window.cbPowCountChange("20 sec");
  EXPECT_EQ(s.Power_Dur, 2);
  window.cbPowCountChange("");
  EXPECT_EQ(s.Power_Dur, 6);
  window.cbTimeCountChange("30 sec");
  EXPECT_EQ(s.Amp_Dur, 3);
  window.cbTimeCountChange("30sec");
  EXPECT_EQ(s.Amp_Dur, 6);

  window.cbMovingChange("Moving Average 2sec");
  EXPECT_EQ(s.Moving_Average, 1);
  for (const char* typed : {"Moving Average 3sec", "", "moving average 1sec"}) {
    window.cbMovingChange(typed);
    EXPECT_EQ(s.Moving_Average, 1) << "typed '" << typed << "' keeps the 2 s average";
    EXPECT_EQ(C().cbMoving, 1);
  }
  window.cbMovingChange("Moving Average 1sec");
  EXPECT_EQ(s.Moving_Average, 0);

  window.cbProcWaveClick(false);
  EXPECT_FALSE(s.UseProcessedWave);
  window.cbTrendClick(false);
  EXPECT_FALSE(s.Proc_Trend);
  window.cbCalcOnlyClick(true);
  EXPECT_FALSE(s.CalcOnly) << "Calculation Only is for replays only";
}

TEST_F(ProcessingSettingsTest, CalculationOnlyIsChosenOffline) {
  host.online = false;
  Open();
  window.cbCalcOnlyClick(true);
  EXPECT_TRUE(s.CalcOnly);
  window.cbCalcOnlyClick(false);
  EXPECT_FALSE(s.CalcOnly);
}

TEST_F(ProcessingSettingsTest, ApplyStoresEachThresholdFromItsMinimumAndKeepsTheTypedText) {
  Open();
  window.ApplyThresholds("1.5", "49", "abc");
  EXPECT_EQ(s.BS_Threshold, 5.0f);
  EXPECT_EQ(s.Overshoot_Threshold, 80.0f);
  EXPECT_EQ(s.Spike_Threshold, 30.0f);
  EXPECT_EQ(C().eBS_Thres, "1.5") << "the field keeps the rejected text";
  EXPECT_EQ(C().eSpike, "abc");
  EXPECT_TRUE(prompter.shown.empty()) << "nothing is reported";

  window.ApplyThresholds("2", "50", "5");
  EXPECT_EQ(s.BS_Threshold, 2.0f);
  EXPECT_EQ(s.Overshoot_Threshold, 50.0f);
  EXPECT_EQ(s.Spike_Threshold, 5.0f);
  // Higher than the settings file accepts for BS (below 6), and a number
  // followed by other text.
  window.ApplyThresholds("7", "120 mcV", "12.5abc");
  EXPECT_EQ(s.BS_Threshold, 7.0f);
  EXPECT_EQ(s.Overshoot_Threshold, 120.0f);
  EXPECT_EQ(s.Spike_Threshold, 12.5f);
  window.ApplyThresholds("1e39", "", " 60");
  EXPECT_EQ(s.BS_Threshold, 7.0f) << "no infinite threshold";
  EXPECT_EQ(s.Overshoot_Threshold, 120.0f);
  EXPECT_EQ(s.Spike_Threshold, 12.5f) << "a blank before the number: not a number";

  // Applying what the window shows changes nothing.
  s.BS_Threshold = 5.3f;
  Open();
  window.ApplyThresholds(C().eBS_Thres, C().eOverThres, C().eSpike);
  EXPECT_EQ(s.BS_Threshold, 5.3f);
}

// ------------------------------------------------------------ the SEF group

TEST_F(ProcessingSettingsTest, WithTheMonitorsBsrShowSef90IsUncheckedAtOnce) {
  Open();  // Use_BIS_BSR is on by default
  window.cbSEFClick(true);
  EXPECT_FALSE(C().cbSEF);
  EXPECT_EQ(host.sefLabel, "SEF95");
  EXPECT_EQ(s.SefFraction, 0.05f);
}

TEST_F(ProcessingSettingsTest, ShowSef90SetsTheEdgeFractionAndTheLabelTogether) {
  s.Use_BIS_BSR = false;
  Open();
  window.cbSEFClick(true);
  EXPECT_EQ(s.SefFraction, 0.10f);
  EXPECT_EQ(host.sefLabel, "SEF90");
  EXPECT_EQ(host.sefHint, "Spectral Edge Frequency 90%");
  window.cbSEFClick(false);
  EXPECT_EQ(s.SefFraction, 0.05f);
  EXPECT_EQ(host.sefLabel, "SEF95");
  EXPECT_EQ(host.sefHint, "Spectral Edge Frequency 95%");
}

TEST_F(ProcessingSettingsTest, UseBisSef95UnchecksAndDisablesShowSef90) {
  s.Use_BIS_BSR = false;
  Open();
  window.cbSEFClick(true);
  window.cbBIS_SEFClick(true);
  EXPECT_TRUE(s.Use_BIS_SEF);
  EXPECT_FALSE(C().cbSEF);
  EXPECT_FALSE(C().cbSEFEnabled);
  EXPECT_EQ(s.SefFraction, 0.05f) << "the unchecking ran the SEF90 click";
  EXPECT_EQ(host.sefLabel, "SEF95");
  window.cbSEFClick(true);
  EXPECT_FALSE(C().cbSEF) << "disabled";

  window.cbBIS_SEFClick(false);
  EXPECT_FALSE(s.Use_BIS_SEF);
  EXPECT_TRUE(C().cbSEFEnabled);
  EXPECT_EQ(host.sefLabel, "SEF95");
  window.cbSEFClick(true);
  EXPECT_EQ(host.sefLabel, "SEF90");
}

TEST_F(ProcessingSettingsTest, UncheckingUseBisBsrShowsTheSef90Choice) {
  s.Use_BIS_BSR = false;
  Open();
  window.cbSEFClick(true);
  window.cbBIS_SRClick(false);
  EXPECT_EQ(host.sefLabel, "SEF90");
  EXPECT_TRUE(C().cbSEF);
  EXPECT_EQ(s.SefFraction, 0.10f);
}

// SEF90 chosen, then "Use BIS BSR" checked: the label returns to SEF95, and so
// must the edge frequency computed under it. It used to stay at 90 %, shown as
// SEF95, also after "Use BIS BSR" was unchecked again.
TEST_F(ProcessingSettingsTest, UseBisBsrReturnsTheEdgeFrequencyToSef95WithItsLabel) {
  s.Use_BIS_BSR = false;
  Open();
  window.cbSEFClick(true);
  ASSERT_EQ(s.SefFraction, 0.10f);
  window.cbBIS_SRClick(true);
  EXPECT_TRUE(s.Use_BIS_BSR);
  EXPECT_FALSE(C().cbSEF);
  EXPECT_EQ(host.sefLabel, "SEF95");
  EXPECT_EQ(s.SefFraction, 0.05f);
  window.cbBIS_SRClick(false);
  EXPECT_EQ(host.sefLabel, "SEF95");
  EXPECT_EQ(s.SefFraction, 0.05f);
}

// ------------------------------------------------------------ logging interval

TEST_F(ProcessingSettingsTest, ALoggingIntervalChangeWithHistoryOffersToRebuildTheLog) {
  core.buffers.trend.index = 12;
  Open();
  prompter.answers = {true};
  window.cbLogIntervalChange("30 sec");
  EXPECT_EQ(s.LogInterval, 3);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_TRUE(prompter.Saw("Update Log Window", "Update"));
  EXPECT_EQ(host.rebuilds, std::vector<int>{3});
  EXPECT_EQ(window.ShownLogInterval(), 3);
  window.cbLogIntervalChange("30 sec");
  EXPECT_EQ(prompter.shown.size(), 1u) << "the interval shown did not change";

  prompter.answers = {false};
  window.cbLogIntervalChange("10 sec");
  EXPECT_EQ(s.LogInterval, 1);
  EXPECT_EQ(host.rebuilds, std::vector<int>{3}) << "No keeps the lines";
  EXPECT_EQ(window.ShownLogInterval(), 1);
  prompter.answers = {false};
  window.cbLogIntervalChange("whenever");  // typed: "1 min"
  EXPECT_EQ(s.LogInterval, 6);
  EXPECT_EQ(C().cbLogInterval, 3);
  EXPECT_EQ(prompter.shown.size(), 3u);
}

TEST_F(ProcessingSettingsTest, ALoggingIntervalChangeWithoutHistoryAsksNothing) {
  Open();
  window.cbLogIntervalChange("20 sec");
  EXPECT_EQ(s.LogInterval, 2);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(window.ShownLogInterval(), 6) << "still the interval shown at opening";

  core.buffers.trend.index = 1;
  window.cbLogIntervalChange("1 min");  // back to the interval shown
  EXPECT_TRUE(prompter.shown.empty());
  prompter.answers = {true};
  window.cbLogIntervalChange("10 sec");
  EXPECT_EQ(host.rebuilds, std::vector<int>{1});
}

// ------------------------------------------------------------ gray scale and closing

TEST_F(ProcessingSettingsTest, TheGrayScaleIsCommittedOnClosingWithOnePowerFrameRequest) {
  Open();
  window.cbBWClick(true);
  window.cbBWClick(false);
  window.CloseProcessingWindow();
  EXPECT_FALSE(s.GrayScale);
  EXPECT_TRUE(Queued().empty()) << "toggled twice: nothing to redraw";
  EXPECT_FALSE(core.run.WindowOpen);
  EXPECT_TRUE(host.mainEnabled);

  Open();
  window.cbBWClick(true);
  EXPECT_FALSE(s.GrayScale) << "only when the window closes";
  window.CloseProcessingWindow();
  EXPECT_TRUE(s.GrayScale);
  EXPECT_EQ(Queued(), (std::vector<DrawRequest>{{PowerFrame, 0, 0}}));
  EXPECT_TRUE(host.mainEnabled);

  window.CloseProcessingWindow();  // a second close commits nothing more
  EXPECT_TRUE(Queued().empty());
}

}  // namespace
}  // namespace qs
