// The settings windows without widgets. "Set Processing": what showing loads,
// what each control writes, the SEF group, "Apply", the log rebuild and the gray
// scale. "Set View": the map types offered, the replay speeds, the start-time
// controls and their texts, the scales and their redraws.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "config/ProcessingSettings.h"
#include "config/SettingsHostFake.h"
#include "config/ViewSettings.h"
#include "core/AppCore.h"
#include "support/ScriptedPrompter.h"

namespace qs {
namespace {

struct WindowTest : ::testing::Test {
  std::vector<DrawRequest> Queued() {
    std::vector<DrawRequest> out;
    for (DrawRequest r; core.drawQueue.Front(r); core.drawQueue.PopFront()) out.push_back(r);
    return out;
  }
  AppCore core;
  AppSettings& s = core.settings;
  test::FakeSettingsHost host;
};

class ProcessingSettingsTest : public WindowTest {
 protected:
  void Open() {
    core.run.WindowOpen = true;  // as the main window sets it
    window.ShowProcessingWindow();
  }
  // The SEF group as the user sees it, and the edge fraction the calculation uses.
  std::string Sef() const {
    const float f = s.SefFraction;
    return host.sefLabel +
           (f == 0.10f   ? " 10%"
            : f == 0.05f ? " 5%"
                         : " ?%") +
           (C().cbSEF ? " on" : " off") + (C().cbSEFEnabled ? "" : " disabled") +
           (s.Use_BIS_BSR ? " bsr" : "") + (s.Use_BIS_SEF ? " sef" : "");
  }
  const ProcessingControls& C() const { return window.Controls(); }

  test::ScriptedPrompter prompter;
  ProcessingSettings window{{core.settings, core.run, core.drawQueue, core.buffers.trend, prompter, host}};
};

class ViewSettingsTest : public WindowTest {
 protected:
  void Open() {
    core.run.WindowOpen = true;
    window.ShowViewWindow();
  }
  // Offline with a chosen file that begins at start and lasts seconds.
  void ChooseFile(std::uint32_t start, int seconds) {
    host.online = false;
    core.run.ReplayFileName = "case.eeg";
    core.run.FileStartSec = start;
    core.run.FileSeconds = seconds;
    core.run.StartOffsetSec = 0;
  }
  // Start, set and end time as the labels show them.
  std::string Times() const { return C().lStartTime + " " + C().lSetTime + " " + C().lEndTime; }
  const ViewControls& C() const { return window.Controls(); }

  ViewSettings window{{core.settings, core.run, core.drawQueue, host}};
};

TEST_F(ProcessingSettingsTest, ShowingDisablesTheMainWindowAndLoadsEveryControl) {
  s.UseProcessedWave = s.Proc_Trend = s.Use_BIS_BSR = false;
  s.GrayScale = s.Use_BIS_SEF = s.CalcOnly = true;
  s.Moving_Average = 1;
  s.BS_Threshold = 5.3f;
  Open();
  EXPECT_FALSE(host.mainEnabled);
  EXPECT_FALSE(C().cbProcWave || C().cbTrend || C().cbBIS_SR);
  EXPECT_TRUE(C().cbBW && window.PendingGrayScale() && C().cbBIS_SEF);
  EXPECT_EQ(C().cbMoving, 1);
  EXPECT_EQ(C().eBS_Thres + " " + C().eOverThres + " " + C().eSpike, "5.30000019073486 80 30");
  EXPECT_FALSE(C().cbSEFEnabled) << "the monitor's SEF95 is in use";
  EXPECT_FALSE(C().cbCalcOnlyEnabled) << "online";
  window.cbCalcOnlyClick(false);
  EXPECT_TRUE(s.CalcOnly) << "Calculation Only is for replays only";
  EXPECT_TRUE(Queued().empty() && host.rebuilds.empty()) << "showing changes nothing";

  host.online = false;
  host.sefLabel = "SEF90";
  s.Use_BIS_SEF = false;
  Open();
  EXPECT_TRUE(C().cbCalcOnlyEnabled && C().cbCalcOnly && C().cbSEFEnabled);
  EXPECT_TRUE(C().cbSEF) << "checked exactly when the main window shows SEF90";
  window.cbCalcOnlyClick(false);
  EXPECT_FALSE(s.CalcOnly);
}

TEST_F(ProcessingSettingsTest, DurationListsShowTheItemOfTheirSetting) {
  // Any other value shows "5 min", "1 min" and "1 min".
  const int cases[][4] = {{6, 0, 2, 3}, {12, 1, 2, 3}, {18, 2, 2, 3}, {24, 3, 2, 3}, {30, 4, 2, 3},
                          {1, 4, 2, 0}, {2, 4, 0, 1},  {3, 4, 1, 2},  {7, 4, 2, 3}};
  for (const auto& [value, bisp, pow, time] : cases) {
    s.Bisp_Dur = s.Power_Dur = s.Amp_Dur = s.LogInterval = value;
    Open();
    EXPECT_EQ(std::vector<int>({C().cbBispCount, C().cbPowCount, C().cbTimeCount, C().cbLogInterval,
                                window.ShownLogInterval()}),
              std::vector<int>({bisp, pow, time, time, value}))
        << value;
  }
}

// Typed text that names no duration item stores the list's default; the
// moving average keeps its choice (the conditioning knows only 1 s and 2 s).
TEST_F(ProcessingSettingsTest, ChoiceListsWriteTheirValueAndTypedTextNeverAnUnmappedOne) {
  Open();
  using Change = void (ProcessingSettings::*)(std::string_view);
  const std::tuple<Change, const char*, Relaxed<std::int32_t>*, int> cases[] = {
      {&ProcessingSettings::cbBispCountChange, "1 min", &s.Bisp_Dur, 6},
      {&ProcessingSettings::cbBispCountChange, "7 min", &s.Bisp_Dur, 18},
      {&ProcessingSettings::cbPowCountChange, "20 sec", &s.Power_Dur, 2},
      {&ProcessingSettings::cbPowCountChange, "", &s.Power_Dur, 6},
      {&ProcessingSettings::cbTimeCountChange, "30 sec", &s.Amp_Dur, 3},
      {&ProcessingSettings::cbTimeCountChange, "30sec", &s.Amp_Dur, 6},
      {&ProcessingSettings::cbMovingChange, "Moving Average 2sec", &s.Moving_Average, 1},
      {&ProcessingSettings::cbMovingChange, "Moving Average 3sec", &s.Moving_Average, 1},
      {&ProcessingSettings::cbMovingChange, "", &s.Moving_Average, 1},
      {&ProcessingSettings::cbMovingChange, "moving average 1sec", &s.Moving_Average, 1},
      {&ProcessingSettings::cbMovingChange, "Moving Average 1sec", &s.Moving_Average, 0}};
  for (const auto& [change, typed, field, value] : cases) {
    (window.*change)(typed);
    EXPECT_EQ(*field, value) << typed;
  }
  EXPECT_EQ(C().cbMoving, 0);
  window.cbBispCountChange("7 min");
  EXPECT_EQ(C().cbBispCount, 2) << "the list shows the item in force";
  window.cbProcWaveClick(false);
  window.cbTrendClick(false);
  EXPECT_FALSE(s.UseProcessedWave || s.Proc_Trend);
}

TEST_F(ProcessingSettingsTest, ApplyStoresEachThresholdFromItsMinimumAndKeepsTheTypedText) {
  Open();
  // Rejected below each minimum; above the settings file's BS limit (below 6) is fine here.
  const std::array<const char*, 3> typed[] = {
      {"1.5", "49", "4.9"}, {"2", "50", "5"}, {"7", "120 mcV", "12.5abc"}};
  const std::array<float, 3> stored[] = {{5, 80, 30}, {2, 50, 5}, {7, 120, 12.5f}};
  for (int i = 0; i < 3; ++i) {
    window.ApplyThresholds(typed[i][0], typed[i][1], typed[i][2]);
    EXPECT_EQ((std::array<float, 3>{s.BS_Threshold, s.Overshoot_Threshold, s.Spike_Threshold}), stored[i]);
    EXPECT_EQ((std::array<std::string, 3>{C().eBS_Thres, C().eOverThres, C().eSpike}),
              (std::array<std::string, 3>{typed[i][0], typed[i][1], typed[i][2]}));
  }
  EXPECT_TRUE(prompter.shown.empty()) << "nothing is reported";
}

// "Use BIS SEF95" and "Use BIS BSR" force SEF95 and uncheck "Show SEF90",
// which runs its click: the edge fraction and the label move together.
TEST_F(ProcessingSettingsTest, TheSefGroupKeepsTheEdgeFractionAndTheLabelTogether) {
  Open();
  const std::tuple<void (ProcessingSettings::*)(bool), bool, const char*> steps[] = {
      {&ProcessingSettings::cbSEFClick, true, "SEF95 5% off bsr"},  // not with the monitor's BSR
      {&ProcessingSettings::cbBIS_SRClick, false, "SEF95 5% off"},
      {&ProcessingSettings::cbSEFClick, true, "SEF90 10% on"},
      {&ProcessingSettings::cbSEFClick, false, "SEF95 5% off"},
      {&ProcessingSettings::cbSEFClick, true, "SEF90 10% on"},
      {&ProcessingSettings::cbBIS_SEFClick, true, "SEF95 5% off disabled sef"},
      {&ProcessingSettings::cbSEFClick, true, "SEF95 5% off disabled sef"},
      {&ProcessingSettings::cbBIS_SEFClick, false, "SEF95 5% off"},
      {&ProcessingSettings::cbSEFClick, true, "SEF90 10% on"},
      {&ProcessingSettings::cbBIS_SRClick, false, "SEF90 10% on"},
      // Regression: "Use BIS BSR" over SEF90 left a 90 % edge under the SEF95
      // label, also after it was unchecked again.
      {&ProcessingSettings::cbBIS_SRClick, true, "SEF95 5% off bsr"},
      {&ProcessingSettings::cbBIS_SRClick, false, "SEF95 5% off"}};
  for (const auto& [click, checked, expected] : steps) {
    (window.*click)(checked);
    EXPECT_EQ(Sef(), expected);
  }
  EXPECT_EQ(host.sefHint, "Spectral Edge Frequency 95%");
}

// With history, a new logging interval offers to rebuild the log ("No" keeps
// the lines); without it nothing is asked and the interval shown stays.
TEST_F(ProcessingSettingsTest, ALoggingIntervalChangeOffersToRebuildTheLogOnlyWithHistory) {
  Open();
  prompter.answers = {true, false, false};
  // Entry, history records; then the interval, the interval shown, the item, questions and rebuilds.
  const std::tuple<const char*, int, std::vector<int>> steps[] = {
      {"20 sec", 0, {2, 6, 1, 0, 0}},  {"1 min", 12, {6, 6, 3, 0, 0}},  {"30 sec", 12, {3, 3, 2, 1, 1}},
      {"30 sec", 12, {3, 3, 2, 1, 1}}, {"10 sec", 12, {1, 1, 0, 2, 1}}, {"whenever", 12, {6, 6, 3, 3, 1}}};
  for (const auto& [entry, history, expected] : steps) {
    core.buffers.trend.index = history;
    window.cbLogIntervalChange(entry);
    EXPECT_EQ(
        std::vector<int>({s.LogInterval, window.ShownLogInterval(), C().cbLogInterval,
                          static_cast<int>(prompter.shown.size()), static_cast<int>(host.rebuilds.size())}),
        expected)
        << entry;
  }
  EXPECT_TRUE(prompter.Saw("Update Log Window", "Update"));
  EXPECT_EQ(host.rebuilds, std::vector<int>{3});
}

TEST_F(ProcessingSettingsTest, TheGrayScaleIsCommittedOnClosingWithOnePowerFrameRequest) {
  Open();
  window.cbBWClick(true);
  window.cbBWClick(false);
  window.CloseProcessingWindow();
  EXPECT_FALSE(s.GrayScale || core.run.WindowOpen);
  EXPECT_TRUE(Queued().empty()) << "toggled twice: nothing to redraw";
  EXPECT_TRUE(host.mainEnabled);
  Open();
  window.cbBWClick(true);
  EXPECT_FALSE(s.GrayScale) << "only when the window closes";
  window.CloseProcessingWindow();
  window.CloseProcessingWindow();  // a second close commits nothing more
  EXPECT_TRUE(s.GrayScale);
  EXPECT_EQ(Queued(), (std::vector<DrawRequest>{{PowerFrame, 0, 0}}));
}

TEST_F(ViewSettingsTest, MapTypesAndOptionBoxesFollowOptionButton) {
  Open();
  EXPECT_EQ(C().graphItems, 3);
  EXPECT_FALSE(C().cbFilterVisible || C().cbTestVisible);
  window.CloseViewWindow();
  EXPECT_FALSE(core.run.WindowOpen);
  Open();
  EXPECT_EQ(C().graphItems, 3) << "reopening removes no further item";
  EXPECT_EQ(C().cbGraph, 1);
  window.cbGraphChange("Show Triple Product");
  EXPECT_EQ(s.FigType, 2);
  EXPECT_EQ(C().cbGraph, 2);
  window.cbGraphChange("Show Bispectrum");
  EXPECT_EQ(host.mapTitles, (std::vector<int>{2, 0}));
  EXPECT_EQ(Queued(), (std::vector<DrawRequest>{{BicReset, 2, 0}, {BicReset, 0, 0}}));
  window.cbGraphChange("Show mBIC");  // no longer an item
  window.cbGraphChange("Show Bicoherence ");
  EXPECT_EQ(s.FigType, 0) << "typed text that names no item keeps the map type";
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(host.mapTitles.size(), 2u);

  s.OptionButton = s.mBIC_filter = s.Test_Mode = true;
  s.FigType = 3;
  ViewSettings fresh{{core.settings, core.run, core.drawQueue, host}};
  fresh.ShowViewWindow();
  const ViewControls& f = fresh.Controls();
  EXPECT_EQ(std::pair(f.graphItems, f.cbGraph), std::pair(4, 3));
  EXPECT_TRUE(f.cbFilterVisible && f.cbFilter && f.cbTestVisible && f.cbTest);
  fresh.cbFilterClick(false);
  fresh.cbTestClick(false);
  EXPECT_FALSE(s.mBIC_filter || s.Test_Mode);
}

TEST_F(ViewSettingsTest, EachSpeedSetsItsExactPeriodAndTheTimerAtOnce) {
  ChooseFile(36000, 60);
  Open();
  const int expected[] = {1000, 500, 267, 250, 200, 167, 142, 126, 1000};
  for (int i = 0; i < 9; ++i) {
    window.cbSpeedChange(i < 8 ? kSpeedItems[i] : "x9");  // typed text that names no item: x1
    EXPECT_EQ(s.ReplayIntervalMs, expected[i]) << i;
    EXPECT_EQ(host.timerIntervals.back(), expected[i]);
    EXPECT_EQ(C().cbSpeed, i % 8);
  }
  for (auto [period, item] : {std::pair{267, 2}, std::pair{126, 7}, std::pair{333, 0}}) {
    s.ReplayIntervalMs = period;
    Open();
    EXPECT_EQ(C().cbSpeed, item) << period;
  }
}

// Only offline with a chosen file: the speed, the times and the start point.
TEST_F(ViewSettingsTest, TheStartTimeControlsSetTheOffsetAndShowItsTimeOfDay) {
  ChooseFile(10 * 3600, 3600);
  Open();
  EXPECT_TRUE(C().timeControlsVisible && C().cbSpeedEnabled);
  EXPECT_EQ(C().timeMax, 3600);
  EXPECT_EQ(Times(), "10:00:00 10:00:00 11:00:00");
  // The offset stays within the file: past its end nothing would be left to replay.
  const std::tuple<void (ViewSettings::*)(int), int, int, const char*> steps[] = {
      {&ViewSettings::tbTimeChange, 600, 600, "10:10:00"},
      {&ViewSettings::udTimeClick, 601, 601, "10:10:01"},
      {&ViewSettings::tbTimeChange, 5000, 3600, "11:00:00"},
      {&ViewSettings::udTimeClick, -1, 0, "10:00:00"},
      {&ViewSettings::tbTimeChange, 90, 90, "10:01:30"}};
  for (const auto& [control, position, offset, shown] : steps) {
    (window.*control)(position);
    EXPECT_EQ(core.run.StartOffsetSec, offset) << position;
    EXPECT_EQ(C().timePosition, offset);
    EXPECT_EQ(C().lSetTime, shown);
  }
  host.running = true;
  Open();
  EXPECT_EQ(C().timePosition, 90) << "reopening shows the chosen offset";
  EXPECT_EQ(C().lSetTime, "10:01:30");
  EXPECT_FALSE(C().timeControlsVisible) << "no new start point during a run";

  // Regression: a file shorter than a second showed the times left from the
  // file chosen before it.
  ChooseFile(11 * 3600, 0);
  Open();
  EXPECT_EQ(Times(), "11:00:00 11:00:00 11:00:00");
  EXPECT_EQ(C().timeMax + C().timePosition, 0);

  ChooseFile(23 * 3600 + 50 * 60, 7200);  // past midnight the hours go on above 23
  Open();
  window.tbTimeChange(1200);
  EXPECT_EQ(Times(), "23:50:00 24:10:00 25:50:00");
  EXPECT_EQ(ReplayTimeText(0), "00:00:00");
  EXPECT_EQ(ReplayTimeText(100 * 3600 + 61), "100:01:01");

  host.online = true;
  Open();
  EXPECT_FALSE(C().cbSpeedEnabled || C().timeControlsVisible);
  EXPECT_EQ(Times(), "  ");
  host.online = false;
  core.run.ReplayFileName.clear();
  Open();
  EXPECT_FALSE(C().cbSpeedEnabled);
  EXPECT_EQ(Times(), "  ");
}

TEST_F(ViewSettingsTest, ScalesAndWaveBoxesFollowTheirSettingsAndQueueTheirRedraw) {
  s.Wave_Scale = 3.0f;  // no item has this gain: the index decides
  Open();
  EXPECT_EQ(C().cbScale, 1);
  EXPECT_TRUE(C().cbRawWave && !C().cbProcWave && !C().cbPScaleVisible);
  s.Wave_Scale = 0.5f;
  s.Pow_real = true;
  s.PowerScale = 4;
  Open();
  EXPECT_TRUE(C().cbPScaleVisible);
  EXPECT_EQ(std::pair(C().cbScale, C().cbPScale), std::pair(3, 4));

  window.cbRawWaveClick(false);
  window.cbProcWaveClick(true);
  EXPECT_TRUE(!s.Show_Raw && s.Show_Proc && Queued().empty()) << "the wave boxes redraw nothing";
  auto scales = [&] {
    return std::vector<float>{static_cast<float>(s.WaveScaleIndex), s.Wave_Scale,
                              static_cast<float>(s.PowerScale), static_cast<float>(C().cbScale),
                              static_cast<float>(C().cbPScale)};
  };
  window.cbScaleChange("100mcV");
  window.cbPScaleChange("20mcV");
  EXPECT_EQ(scales(), (std::vector<float>{2, 1.0f, 2, 2, 2}));
  EXPECT_EQ(Queued(), (std::vector<DrawRequest>{{WaveReset, 0, 0}, {PowerFrame, 0, 0}}));
  // Typed text that names no item keeps both scales and redraws nothing.
  for (const char* typed : {"300mcV", "", "100"}) {
    window.cbScaleChange(typed);
    window.cbPScaleChange(typed);
  }
  EXPECT_EQ(scales(), (std::vector<float>{2, 1.0f, 2, 2, 2}));
  EXPECT_TRUE(Queued().empty());
}

}  // namespace
}  // namespace qs
