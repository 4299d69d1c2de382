#include "config/ProcessingSettings.h"

#include <span>

#include "config/SettingsEntries.h"

namespace qs {
namespace {

// A duration list: the setting of each item, the setting for typed text that
// names no item, and the item shown for a setting that no item has.
struct DurationList {
  std::span<const std::string_view> items;
  std::span<const int> values;
  int otherValue;
  int otherItem;

  int ValueOf(std::string_view entry) const {
    const std::optional<int> item = FindItem(items, entry);
    return item ? values[static_cast<std::size_t>(*item)] : otherValue;
  }
  int ItemOf(int value) const {
    for (std::size_t i = 0; i < values.size(); ++i)
      if (values[i] == value) return static_cast<int>(i);
    return otherItem;
  }
};

// In 10-s intervals.
constexpr int kBispValues[] = {6, 12, 18, 24, 30};
constexpr int kPowValues[] = {2, 3, 6};
constexpr int kTimeValues[] = {1, 2, 3, 6};

constexpr DurationList kBispList{kBispCountItems, kBispValues, 18, 4};
constexpr DurationList kPowList{kPowCountItems, kPowValues, 6, 2};
constexpr DurationList kTimeList{kTimeCountItems, kTimeValues, 6, 3};

constexpr float kSef95Fraction = 0.05f;
constexpr float kSef90Fraction = 0.10f;

}  // namespace

ProcessingSettings::ProcessingSettings(const ProcessingSettingsDeps& deps)
    : s_(deps.settings),
      run_(deps.run),
      drawQueue_(deps.drawQueue),
      history_(deps.history),
      prompter_(deps.prompter),
      host_(deps.host) {}

void ProcessingSettings::ShowProcessingWindow() {
  host_.SetMainWindowEnabled(false);
  pendingGrayScale_ = s_.GrayScale;

  c_.cbBispCount = kBispList.ItemOf(s_.Bisp_Dur);
  c_.cbPowCount = kPowList.ItemOf(s_.Power_Dur);
  c_.cbTimeCount = kTimeList.ItemOf(s_.Amp_Dur);
  c_.cbLogInterval = kTimeList.ItemOf(s_.LogInterval);
  shownLogInterval_ = s_.LogInterval;

  c_.cbProcWave = s_.UseProcessedWave;
  c_.eBS_Thres = ThresholdText(s_.BS_Threshold);
  c_.eOverThres = ThresholdText(s_.Overshoot_Threshold);
  c_.eSpike = ThresholdText(s_.Spike_Threshold);
  c_.cbMoving = s_.Moving_Average == 1 ? 1 : 0;
  c_.cbBW = s_.GrayScale;
  c_.cbTrend = s_.Proc_Trend;
  c_.cbBIS_SR = s_.Use_BIS_BSR;
  c_.cbBIS_SEF = s_.Use_BIS_SEF;

  c_.cbSEFEnabled = !s_.Use_BIS_SEF;
  c_.cbSEF = host_.ShowsSef90();

  c_.cbCalcOnlyEnabled = !host_.IsOnline();
  c_.cbCalcOnly = s_.CalcOnly;
}

void ProcessingSettings::CloseProcessingWindow() {
  run_.WindowOpen = false;
  host_.SetMainWindowEnabled(true);
  if (pendingGrayScale_ != s_.GrayScale) {
    s_.GrayScale = pendingGrayScale_;
    drawQueue_.Push({PowerFrame, 0, 0});
  }
}

void ProcessingSettings::cbProcWaveClick(bool checked) {
  c_.cbProcWave = checked;
  s_.UseProcessedWave = checked;
}

void ProcessingSettings::cbBWClick(bool checked) {
  c_.cbBW = checked;
  pendingGrayScale_ = checked;
}

void ProcessingSettings::cbCalcOnlyClick(bool checked) {
  // Calculation Only belongs to a replay; online the box cannot change it.
  if (!c_.cbCalcOnlyEnabled) return;
  c_.cbCalcOnly = checked;
  s_.CalcOnly = checked;
}

void ProcessingSettings::cbTrendClick(bool checked) {
  c_.cbTrend = checked;
  s_.Proc_Trend = checked;
}

// The SEF group. "Use BIS BSR" and "Use BIS SEF95" both force the display to
// SEF95 and uncheck "Show SEF90" from code; that unchecking runs the SEF90
// click handling just as a user's click does.

void ProcessingSettings::cbBIS_SRClick(bool checked) {
  c_.cbBIS_SR = checked;
  s_.Use_BIS_BSR = checked;
  if (checked) {
    host_.ShowSef(false);
    SetSefChecked(false);
  } else {
    host_.ShowSef(c_.cbSEF);
  }
}

void ProcessingSettings::cbBIS_SEFClick(bool checked) {
  c_.cbBIS_SEF = checked;
  s_.Use_BIS_SEF = checked;
  if (checked) {
    host_.ShowSef(false);
    SetSefChecked(false);
    c_.cbSEFEnabled = false;
  } else {
    c_.cbSEFEnabled = true;
    host_.ShowSef(c_.cbSEF);
  }
}

void ProcessingSettings::cbSEFClick(bool checked) {
  if (!c_.cbSEFEnabled) return;  // disabled while the monitor's SEF95 is used
  c_.cbSEF = checked;
  SefClicked();
}

void ProcessingSettings::SetSefChecked(bool checked) {
  if (c_.cbSEF == checked) return;
  c_.cbSEF = checked;
  SefClicked();
}

void ProcessingSettings::SefClicked() {
  if (!s_.Use_BIS_BSR) {
    s_.SefFraction = c_.cbSEF ? kSef90Fraction : kSef95Fraction;
    host_.ShowSef(c_.cbSEF);
    return;
  }
  // With the monitor's BSR the edge frequency is shown as SEF95 only. The
  // fraction follows the label: left at 0.10 (SEF90 chosen before "Use BIS
  // BSR" was checked) the box would read SEF95 over a 90 % edge frequency.
  s_.SefFraction = kSef95Fraction;
  host_.ShowSef(false);
  SetSefChecked(false);
}

void ProcessingSettings::cbMovingChange(std::string_view entry) {
  // Typed text that names neither item keeps the current choice: the
  // conditioning knows only the 1 s and 2 s averages.
  if (const std::optional<int> item = FindItem(kMovingItems, entry)) {
    c_.cbMoving = *item;
    s_.Moving_Average = *item;
  }
}

void ProcessingSettings::cbBispCountChange(std::string_view entry) {
  s_.Bisp_Dur = kBispList.ValueOf(entry);
  c_.cbBispCount = kBispList.ItemOf(s_.Bisp_Dur);
}

void ProcessingSettings::cbPowCountChange(std::string_view entry) {
  s_.Power_Dur = kPowList.ValueOf(entry);
  c_.cbPowCount = kPowList.ItemOf(s_.Power_Dur);
}

void ProcessingSettings::cbTimeCountChange(std::string_view entry) {
  s_.Amp_Dur = kTimeList.ValueOf(entry);
  c_.cbTimeCount = kTimeList.ItemOf(s_.Amp_Dur);
}

void ProcessingSettings::cbLogIntervalChange(std::string_view entry) {
  s_.LogInterval = kTimeList.ValueOf(entry);
  c_.cbLogInterval = kTimeList.ItemOf(s_.LogInterval);
  if (s_.LogInterval == shownLogInterval_) return;
  // Without history there is nothing to rebuild; the next change is still
  // compared with the interval shown when the window opened.
  if (history_.index == 0) return;
  if (prompter_.ask("Update Log Window", "Update")) host_.RebuildLog(s_.LogInterval);
  shownLogInterval_ = s_.LogInterval;
}

void ProcessingSettings::ApplyThresholds(std::string_view bs, std::string_view overshoot,
                                         std::string_view spike) {
  // The fields keep what was typed, accepted or not; nothing is reported.
  c_.eBS_Thres = bs;
  c_.eOverThres = overshoot;
  c_.eSpike = spike;
  if (const auto v = ThresholdEntry(bs, kMinBsThreshold)) s_.BS_Threshold = *v;
  if (const auto v = ThresholdEntry(overshoot, kMinOvershootThreshold)) s_.Overshoot_Threshold = *v;
  if (const auto v = ThresholdEntry(spike, kMinSpikeThreshold)) s_.Spike_Threshold = *v;
}

}  // namespace qs
