#pragma once
// The "Set View" window without its widgets: which waves are drawn, the map
// type, the waveform and power scales, the replay speed and the replay start
// time. Every change takes effect at once, by writing the settings or the
// replay state and, for the scales and the map type, by queueing a drawing
// request. The window shows Controls() after every call and passes each user
// action to the handler of the same name. User-interface thread only.
#include <cstdint>
#include <string>
#include <string_view>

#include "core/RunState.h"
#include "core/AppSettings.h"
#include "config/SettingsHost.h"
#include "core/DrawRequestQueue.h"

namespace qs {

// The fourth map type is offered only with OptionButton; without it the item
// is removed at the first showing, for the rest of the program's run.
inline constexpr std::string_view kGraphItems[] = {"Show Bispectrum", "Show Bicoherence",
                                                   "Show Triple Product", "Show mBIC"};
inline constexpr std::string_view kSpeedItems[] = {"x1", "x2", "x3", "x4", "x5", "x6", "x7", "x8"};
// Replay timer periods of x1 to x8 in ms: whole milliseconds as the replay has
// always used them (x3 is 267, not 333).
inline constexpr int kReplayPeriodsMs[] = {1000, 500, 267, 250, 200, 167, 142, 126};
inline constexpr std::string_view kScaleItems[] = {"25mcV", "50mcV", "100mcV", "200mcV"};
// The waveform gain of each scale item.
inline constexpr float kWaveGains[] = {4.0f, 2.0f, 1.0f, 0.5f};
inline constexpr std::string_view kPowerScaleItems[] = {"5mcV", "10mcV", "20mcV", "50mcV", "100mcV"};

// "HH:MM:SS" of a count of seconds; the hours go on above 23 (a recording that
// passes midnight ends at 24:xx:xx and later).
std::string ReplayTimeText(std::uint32_t seconds);

struct ViewControls {
  bool cbRawWave = true;
  bool cbProcWave = false;
  int graphItems = 4;  // items of cbGraph: 4, or 3 once "Show mBIC" is removed
  int cbGraph = 1;
  bool cbFilterVisible = false;
  bool cbFilter = false;
  bool cbSpeedEnabled = false;
  int cbSpeed = 0;
  std::string lStartTime, lSetTime, lEndTime;
  // tbTime and udTime move together over 0 ... timeMax seconds.
  bool timeControlsVisible = false;
  int timeMax = 0;
  int timePosition = 0;
  int cbScale = 1;
  bool cbPScaleVisible = false;  // with its label
  int cbPScale = 0;
  bool cbTestVisible = false;
  bool cbTest = false;
};

struct ViewSettingsDeps {
  AppSettings& settings;
  RunState& run;
  DrawRequestQueue& drawQueue;
  SettingsHost& host;
};

class ViewSettings {
 public:
  explicit ViewSettings(const ViewSettingsDeps& deps);

  // The main window has set WindowOpen; also run again when the user clicks
  // the window's background: every control shows the current values.
  void ShowViewWindow();
  // "Close", the close box or any hiding.
  void CloseViewWindow();

  void cbRawWaveClick(bool checked);
  void cbProcWaveClick(bool checked);
  void cbFilterClick(bool checked);
  void cbTestClick(bool checked);
  // Choice lists: an item's text or typed text.
  void cbSpeedChange(std::string_view entry);
  void cbScaleChange(std::string_view entry);
  void cbPScaleChange(std::string_view entry);
  void cbGraphChange(std::string_view entry);
  // The start-time controls, in seconds after the file's start.
  void tbTimeChange(int position);
  void udTimeClick(int position);

  const ViewControls& Controls() const { return c_; }

 private:
  void SetStartOffset(int position);

  AppSettings& s_;
  RunState& run_;
  DrawRequestQueue& drawQueue_;
  SettingsHost& host_;
  ViewControls c_;
};

}  // namespace qs
