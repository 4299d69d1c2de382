// Fuzz target: the settings file reader on any bytes. Whatever the file says,
// every setting must end up holding a value the program can use: the ranges
// and fixed choices of each key, finite thresholds. (The mBIC map type needs
// the optional features unlocked only when its line is read: a later
// "OptionButton:false" keeps it, as it always has.) The message about a
// malformed line must name a line that was read.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "config/SettingsFile.h"
#include "fuzz/FuzzCheck.h"

namespace {

bool OneOf(std::int32_t v, std::initializer_list<std::int32_t> allowed) {
  for (std::int32_t a : allowed)
    if (v == a) return true;
  return false;
}

void CheckUsable(const qs::AppSettings& s) {
  QS_FUZZ_CHECK(std::isfinite(s.Wave_Scale.load()) && s.Wave_Scale > 0.0f);
  QS_FUZZ_CHECK(OneOf(s.Moving_Average, {0, 1}));
  QS_FUZZ_CHECK(std::isfinite(s.Overshoot_Threshold.load()) && s.Overshoot_Threshold >= 50.0f);
  QS_FUZZ_CHECK(std::isfinite(s.Spike_Threshold.load()) && s.Spike_Threshold >= 5.0f);
  QS_FUZZ_CHECK(s.BS_Threshold > 0.0f && s.BS_Threshold < 6.0f);
  QS_FUZZ_CHECK(s.COM_Port >= 0 && s.COM_Port <= 63);
  QS_FUZZ_CHECK(OneOf(s.Power_Dur, {2, 3, 6}));
  QS_FUZZ_CHECK(OneOf(s.Bisp_Dur, {6, 12, 18, 24, 30}));
  QS_FUZZ_CHECK(OneOf(s.Amp_Dur, {1, 2, 3, 6}));
  QS_FUZZ_CHECK(OneOf(s.LogInterval, {1, 2, 3, 6}));
  QS_FUZZ_CHECK(s.MaxMem >= 8);
  QS_FUZZ_CHECK(OneOf(s.SamplingRate, {0, 1}));
  QS_FUZZ_CHECK(s.PowerScale >= 0 && s.PowerScale <= 4);
  QS_FUZZ_CHECK(s.FigType >= 0 && s.FigType <= 3);
  QS_FUZZ_CHECK(s.Defect_Str.find('\0') == std::string::npos);
  QS_FUZZ_CHECK(s.Defect_Str.find('\n') == std::string::npos);
  QS_FUZZ_CHECK(s.WorkDir.find('\0') == std::string::npos);
  QS_FUZZ_CHECK(s.WorkDir.find('\n') == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  qs::AppSettings settings;
  const qs::SettingsLoadResult r = qs::ReadSettings(settings, in);
  CheckUsable(settings);
  QS_FUZZ_CHECK(r.linesRead >= 0 && static_cast<std::size_t>(r.linesRead) <= size);
  QS_FUZZ_CHECK(r.malformedLine >= 0 && r.malformedLine <= r.linesRead);
  const std::string message = qs::DescribeSettingsProblem(r);
  QS_FUZZ_CHECK(message.empty() == (r.malformedLine == 0));
  return 0;
}
