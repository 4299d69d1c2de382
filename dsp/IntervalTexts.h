#pragma once
// The texts of one closed interval: the values shown in the main window's
// boxes and written in the log line.
//
// Fixed-point texts have a number of significant digits and of decimals:
// the value is rounded half away from zero at whichever position comes first
// (the last significant digit or the last decimal), then written with exactly
// that many decimals, "." as the separator, and no minus sign on a value that
// rounds to zero. A value with more integer digits than significant digits is
// written in exponent form. Record values are formatted from the stored float;
// the monitor's values are scaled in double from the integers received.
// An invalid value is the text "***".
#include <array>
#include <cstdint>
#include <string_view>

#include "core/EpochResult.h"
#include "core/MonitorValues.h"

namespace qs {

class FieldText {
 public:
  void Set(std::string_view text);
  std::string_view View() const { return {text_.data(), size_}; }
  bool Invalid() const { return View() == "***"; }

 private:
  std::array<char, 40> text_{};
  std::size_t size_ = 0;
};

// Writes value with `significant` significant digits and `decimals` decimals.
void FormatFixed(FieldText& out, double value, int significant, int decimals);

struct IntervalTexts {
  FieldText time, sef, bsr, rbr, bispr, amp, bis, sqi, pbicLow, pbicHigh, emg, pbicPart;
};

struct TextSettings {
  bool srPct = false;
  bool useBisBsr = false;
  bool logBic = false;
};

// Fills every text from the record, the monitor's values and the interval's
// time of day (hours wrapped at 24).
void FormatIntervalTexts(IntervalTexts& texts, const EpochResult& record, const MonitorValues& monitor,
                         std::uint32_t timeOfDay, const TextSettings& settings);

}  // namespace qs
