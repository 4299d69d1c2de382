#pragma once
// The "Set Processing" window without its widgets: the state of every control
// and what each change does to the settings, the main window's SEF display,
// the log and the drawing queue. The window shows Controls() after every call
// and passes each user action to the handler of the same name.
//
// Most controls write their setting at once; the three artifact thresholds
// wait for "Apply", and the gray scale for the window's closing. Everything
// runs on the user-interface thread; the settings written are single 32-bit
// values that the calculation thread picks up at its next use.
#include <string>
#include <string_view>

#include "core/RunState.h"
#include "core/AppSettings.h"
#include "config/SettingsHost.h"
#include "core/DrawRequestQueue.h"
#include "core/TrendStore.h"
#include "platform/Prompter.h"

namespace qs {

inline constexpr std::string_view kMovingItems[] = {"Moving Average 1sec", "Moving Average 2sec"};
inline constexpr std::string_view kBispCountItems[] = {"1 min", "2 min", "3 min", "4 min", "5 min"};
inline constexpr std::string_view kPowCountItems[] = {"20 sec", "30 sec", "1 min"};
// The amplitude duration and the logging interval offer the same items.
inline constexpr std::string_view kTimeCountItems[] = {"10 sec", "20 sec", "30 sec", "1 min"};

// Minimums of the thresholds accepted on "Apply", in microvolts. The BS
// threshold may go higher here than the settings file allows (below 6).
inline constexpr double kMinBsThreshold = 2.0;
inline constexpr double kMinOvershootThreshold = 50.0;
inline constexpr double kMinSpikeThreshold = 5.0;

struct ProcessingControls {
  bool cbProcWave = true;
  bool cbBW = false;
  int cbMoving = 0;  // item index, always a valid item
  std::string eBS_Thres, eOverThres, eSpike;
  bool cbCalcOnly = false;
  bool cbCalcOnlyEnabled = false;  // offline only
  bool cbTrend = true;
  bool cbBIS_SR = true;
  bool cbBIS_SEF = false;
  bool cbSEF = false;
  bool cbSEFEnabled = true;
  // Selected items of the duration lists.
  int cbBispCount = 2;
  int cbPowCount = 2;
  int cbTimeCount = 3;
  int cbLogInterval = 3;
};

struct ProcessingSettingsDeps {
  AppSettings& settings;
  RunState& run;
  DrawRequestQueue& drawQueue;
  const TrendStore& history;
  Prompter& prompter;
  SettingsHost& host;
};

class ProcessingSettings {
 public:
  explicit ProcessingSettings(const ProcessingSettingsDeps& deps);

  // The main window has set WindowOpen: disable it and load every control
  // from the settings (without running any change handler).
  void ShowProcessingWindow();
  // "Close", the close box or any hiding: WindowOpen cleared, the main window
  // enabled again, a changed gray-scale choice committed and redrawn.
  void CloseProcessingWindow();

  void cbProcWaveClick(bool checked);
  void cbBWClick(bool checked);
  void cbCalcOnlyClick(bool checked);
  void cbTrendClick(bool checked);
  // The SEF group: see ProcessingSettings.cpp for how the three work together.
  void cbBIS_SRClick(bool checked);
  void cbBIS_SEFClick(bool checked);
  void cbSEFClick(bool checked);

  // Choice lists: an item's text or typed text.
  void cbMovingChange(std::string_view entry);
  void cbBispCountChange(std::string_view entry);
  void cbPowCountChange(std::string_view entry);
  void cbTimeCountChange(std::string_view entry);
  void cbLogIntervalChange(std::string_view entry);

  // "Apply": the three fields' texts in the order BS, overshoot, spike.
  void ApplyThresholds(std::string_view bs, std::string_view overshoot, std::string_view spike);

  const ProcessingControls& Controls() const { return c_; }
  bool PendingGrayScale() const { return pendingGrayScale_; }
  int ShownLogInterval() const { return shownLogInterval_; }

 private:
  // "Show SEF90" set from code: a change runs the click handling, as a click would.
  void SetSefChecked(bool checked);
  void SefClicked();

  AppSettings& s_;
  RunState& run_;
  DrawRequestQueue& drawQueue_;
  const TrendStore& history_;
  Prompter& prompter_;
  SettingsHost& host_;

  ProcessingControls c_;
  bool pendingGrayScale_ = false;
  int shownLogInterval_ = 6;
};

}  // namespace qs
