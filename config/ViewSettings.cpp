#include "config/ViewSettings.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <span>
#include <thread>

#include "config/SettingsEntries.h"
#include "platform/TextLine.h"

namespace qs {
namespace {

constexpr int kFullGraphItems = 4;
constexpr int kGraphItemsWithoutMbic = 3;

int SpeedItemOf(int periodMs) {
  for (std::size_t i = 0; i < std::size(kReplayPeriodsMs); ++i)
    if (kReplayPeriodsMs[i] == periodMs) return static_cast<int>(i);
  return 0;
}

}  // namespace

std::string ReplayTimeText(std::uint32_t seconds) {
  TextLine line;
  line.Clock(seconds);
  return std::string(line.View());
}

ViewSettings::ViewSettings(const ViewSettingsDeps& deps)
    : s_(deps.settings), run_(deps.run), drawQueue_(deps.drawQueue), host_(deps.host) {}

void ViewSettings::ShowViewWindow() {
  c_.cbFilterVisible = s_.OptionButton;
  if (s_.OptionButton) {
    c_.cbFilter = s_.mBIC_filter;
  } else if (c_.graphItems == kFullGraphItems) {
    c_.graphItems = kGraphItemsWithoutMbic;
  }

  c_.cbSpeed = SpeedItemOf(s_.ReplayIntervalMs);

  c_.cbScale = s_.WaveScaleIndex;
  for (std::size_t i = 0; i < std::size(kWaveGains); ++i)
    if (s_.Wave_Scale == kWaveGains[i]) c_.cbScale = static_cast<int>(i);
  c_.cbGraph = s_.FigType;

  c_.cbPScaleVisible = s_.Pow_real;
  if (s_.Pow_real) c_.cbPScale = s_.PowerScale;

  c_.cbRawWave = s_.Show_Raw;
  c_.cbProcWave = s_.Show_Proc;

  if (!host_.IsOnline() && !run_.ReplayFileName.empty()) {
    c_.cbSpeedEnabled = true;
    c_.timeControlsVisible = !host_.RunInProgress();
    // The times of the chosen file, also for a file shorter than a second:
    // labels left from an earlier file would show another recording's times.
    const std::uint32_t start = run_.FileStartSec;
    const int seconds = std::max(0, run_.FileSeconds.load());
    c_.timeMax = seconds;
    c_.timePosition = std::clamp(run_.StartOffsetSec.load(), 0, seconds);
    c_.lStartTime = ReplayTimeText(start);
    c_.lEndTime = ReplayTimeText(start + static_cast<std::uint32_t>(seconds));
    c_.lSetTime = ReplayTimeText(start + static_cast<std::uint32_t>(c_.timePosition));
  } else {
    c_.cbSpeedEnabled = false;
    c_.lStartTime.clear();
    c_.lSetTime.clear();
    c_.lEndTime.clear();
    c_.timeControlsVisible = false;
  }

  c_.cbTestVisible = s_.OptionButton;
  if (s_.OptionButton) c_.cbTest = s_.Test_Mode;
}

void ViewSettings::CloseViewWindow() {
  run_.WindowOpen = false;
}

void ViewSettings::cbRawWaveClick(bool checked) {
  c_.cbRawWave = checked;
  s_.Show_Raw = checked;
}

void ViewSettings::cbProcWaveClick(bool checked) {
  c_.cbProcWave = checked;
  s_.Show_Proc = checked;
}

void ViewSettings::cbFilterClick(bool checked) {
  c_.cbFilter = checked;
  s_.mBIC_filter = checked;
}

void ViewSettings::cbTestClick(bool checked) {
  c_.cbTest = checked;
  s_.Test_Mode = checked;
}

void ViewSettings::cbSpeedChange(std::string_view entry) {
  const std::optional<int> item = FindItem(kSpeedItems, entry);
  c_.cbSpeed = item.value_or(0);
  s_.ReplayIntervalMs = kReplayPeriodsMs[static_cast<std::size_t>(c_.cbSpeed)];
  host_.SetReplayInterval(s_.ReplayIntervalMs);
}

// For the scales and the map type, typed text that names no item keeps the
// current choice: an index of -1 must never reach the gain table, the power
// scale or the map type.

void ViewSettings::cbScaleChange(std::string_view entry) {
  const std::optional<int> item = FindItem(kScaleItems, entry);
  if (!item) return;
  c_.cbScale = *item;
  s_.WaveScaleIndex = *item;
  s_.Wave_Scale = kWaveGains[static_cast<std::size_t>(*item)];
  drawQueue_.Push({WaveReset, 0, 0});
}

void ViewSettings::cbPScaleChange(std::string_view entry) {
  const std::optional<int> item = FindItem(kPowerScaleItems, entry);
  if (!item) return;
  c_.cbPScale = *item;
  s_.PowerScale = *item;
  drawQueue_.Push({PowerFrame, 0, 0});
}

void ViewSettings::cbGraphChange(std::string_view entry) {
  const std::span<const std::string_view> offered(kGraphItems, static_cast<std::size_t>(c_.graphItems));
  const std::optional<int> item = FindItem(offered, entry);
  if (!item) return;
  c_.cbGraph = *item;
  s_.FigType = *item;
  host_.SetMapTitle(*item);
  // The title first, then, after a moment, the map of the new type.
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  drawQueue_.Push({BicReset, *item, 0});
}

void ViewSettings::tbTimeChange(int position) {
  SetStartOffset(position);
}

void ViewSettings::udTimeClick(int position) {
  SetStartOffset(position);
}

void ViewSettings::SetStartOffset(int position) {
  // The controls' range is the file's length; an offset past the end would
  // start a replay with nothing left to read.
  const int seconds = std::max(0, run_.FileSeconds.load());
  const int offset = std::clamp(position, 0, seconds);
  run_.StartOffsetSec = offset;
  c_.timePosition = offset;
  c_.lSetTime = ReplayTimeText(run_.FileStartSec + static_cast<std::uint32_t>(offset));
}

}  // namespace qs
