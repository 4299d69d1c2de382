// Fuzz target: what the user may type into the settings windows' fields and
// choice lists, read by the windows' headless logic. The input is a list of
// entries separated by newlines; each goes to every choice list of the
// processing and view windows, and three at a time to "Apply". Afterwards
// every setting the windows write must hold one of the values its control
// offers, and a threshold must be finite and at least its minimum.
//
// The number reading itself is checked on the first entry: a leading number
// is finite, and a threshold's shown text reads back as the same float.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/AppCore.h"
#include "config/ProcessingSettings.h"
#include "config/SettingsEntries.h"
#include "config/ViewSettings.h"
#include "fuzz/FuzzCheck.h"

namespace {

class QuietPrompter final : public qs::Prompter {
 public:
  void error(std::string_view, std::string_view) override {}
  void inform(std::string_view, std::string_view) override {}
  bool ask(std::string_view, std::string_view) override { return true; }
  std::optional<std::string> saveFile(const qs::FileDialogState&) override { return std::nullopt; }
  std::optional<std::string> openFile(const qs::FileDialogState&) override { return std::nullopt; }
};

class Host final : public qs::SettingsHost {
 public:
  bool IsOnline() const override { return false; }
  bool RunInProgress() const override { return false; }
  void SetMainWindowEnabled(bool) override {}
  void ShowSef(bool sef90) override { sef90_ = sef90; }
  bool ShowsSef90() const override { return sef90_; }
  void RebuildLog(int n) override { QS_FUZZ_CHECK(n == 1 || n == 2 || n == 3 || n == 6); }
  void SetReplayInterval(int ms) override { QS_FUZZ_CHECK(ms >= 126 && ms <= 1000); }
  void SetMapTitle(int figType) override { QS_FUZZ_CHECK(figType >= 0 && figType <= 3); }

 private:
  bool sef90_ = false;
};

bool OneOf(std::int32_t v, std::initializer_list<std::int32_t> allowed) {
  for (std::int32_t a : allowed)
    if (v == a) return true;
  return false;
}

void CheckNumbers(std::string_view entry) {
  if (const auto n = qs::LeadingNumber(entry)) QS_FUZZ_CHECK(std::isfinite(*n));
  for (double minimum : {qs::kMinBsThreshold, qs::kMinOvershootThreshold, qs::kMinSpikeThreshold}) {
    if (const auto t = qs::ThresholdEntry(entry, minimum)) QS_FUZZ_CHECK(std::isfinite(*t) && *t >= minimum);
  }
  // Any float, shown as the field shows it, reads back as itself.
  if (entry.size() >= sizeof(float)) {
    float v = 0.0f;
    std::memcpy(&v, entry.data(), sizeof v);
    if (std::isfinite(v)) {
      const auto back = qs::LeadingNumber(qs::ThresholdText(v));
      QS_FUZZ_CHECK(back.has_value() && static_cast<float>(*back) == v);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> entries;
  for (std::size_t at = 0; at <= input.size();) {
    const std::size_t end = std::min(input.find('\n', at), input.size());
    entries.push_back(input.substr(at, end - at));
    at = end + 1;
  }
  CheckNumbers(entries.front());

  auto core = std::make_unique<qs::AppCore>();
  qs::AppSettings& s = core->settings;
  s.OptionButton = size % 2 == 1;  // with and without "Show mBIC"
  QuietPrompter prompter;
  Host host;
  qs::ProcessingSettings processing({s, core->run, core->drawQueue, core->buffers.trend, prompter, host});
  qs::ViewSettings view({s, core->run, core->drawQueue, host});
  processing.ShowProcessingWindow();
  view.ShowViewWindow();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string_view e = entries[i];
    processing.cbMovingChange(e);
    processing.cbBispCountChange(e);
    processing.cbPowCountChange(e);
    processing.cbTimeCountChange(e);
    processing.cbLogIntervalChange(e);
    view.cbSpeedChange(e);
    view.cbScaleChange(e);
    view.cbPScaleChange(e);
    if (i + 3 <= entries.size()) processing.ApplyThresholds(e, entries[i + 1], entries[i + 2]);
  }
  // A recognised map type pauses 10 ms for the title: once per input.
  view.cbGraphChange(entries.back());
  processing.CloseProcessingWindow();
  view.ShowViewWindow();

  QS_FUZZ_CHECK(OneOf(s.Moving_Average, {0, 1}));
  QS_FUZZ_CHECK(OneOf(s.Bisp_Dur, {6, 12, 18, 24, 30}));
  QS_FUZZ_CHECK(OneOf(s.Power_Dur, {2, 3, 6}));
  QS_FUZZ_CHECK(OneOf(s.Amp_Dur, {1, 2, 3, 6}));
  QS_FUZZ_CHECK(OneOf(s.LogInterval, {1, 2, 3, 6}));
  QS_FUZZ_CHECK(OneOf(s.ReplayIntervalMs, {1000, 500, 267, 250, 200, 167, 142, 126}));
  QS_FUZZ_CHECK(s.WaveScaleIndex >= 0 && s.WaveScaleIndex <= 3);
  QS_FUZZ_CHECK(s.Wave_Scale == 4.0f || s.Wave_Scale == 2.0f || s.Wave_Scale == 1.0f || s.Wave_Scale == 0.5f);
  QS_FUZZ_CHECK(s.PowerScale >= 0 && s.PowerScale <= 4);
  QS_FUZZ_CHECK(s.FigType >= 0 && s.FigType <= (s.OptionButton ? 3 : 2));
  QS_FUZZ_CHECK(std::isfinite(s.BS_Threshold.load()) && s.BS_Threshold >= qs::kMinBsThreshold);
  QS_FUZZ_CHECK(std::isfinite(s.Overshoot_Threshold.load()) &&
                s.Overshoot_Threshold >= qs::kMinOvershootThreshold);
  QS_FUZZ_CHECK(std::isfinite(s.Spike_Threshold.load()) && s.Spike_Threshold >= qs::kMinSpikeThreshold);
  const qs::ViewControls& v = view.Controls();
  QS_FUZZ_CHECK(v.cbScale >= 0 && v.cbScale <= 3 && v.cbPScale >= 0 && v.cbPScale <= 4);
  QS_FUZZ_CHECK(v.cbSpeed >= 0 && v.cbSpeed <= 7 && v.cbGraph >= 0 && v.cbGraph < v.graphItems);
  const qs::ProcessingControls& p = processing.Controls();
  QS_FUZZ_CHECK(p.cbMoving >= 0 && p.cbMoving <= 1);
  QS_FUZZ_CHECK(p.cbBispCount >= 0 && p.cbBispCount <= 4 && p.cbPowCount >= 0 && p.cbPowCount <= 2);
  QS_FUZZ_CHECK(p.cbTimeCount >= 0 && p.cbTimeCount <= 3 && p.cbLogInterval >= 0 && p.cbLogInterval <= 3);
  return 0;
}
