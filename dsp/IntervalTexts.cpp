#include "dsp/IntervalTexts.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <cstdlib>

namespace qs {

void FieldText::Set(std::string_view text) {
  size_ = std::min(text.size(), text_.size());
  std::memcpy(text_.data(), text.data(), size_);
}

void FormatFixed(FieldText& out, double value, int significant, int decimals) {
  if (!std::isfinite(value)) {
    out.Set("***");
    return;
  }
  // The exact decimal expansion of the value (a float widened to double has a
  // finite one), so that rounding decides on the true digits, not on an
  // already rounded string. Fixed buffers: this runs at every interval close.
  char exact[400];
  const auto r = std::to_chars(exact, exact + sizeof exact, std::fabs(value), std::chars_format::fixed, 120);
  const std::string_view digits(exact, static_cast<std::size_t>(r.ptr - exact));
  const std::size_t point = digits.find('.');
  std::string_view whole = digits.substr(0, point);
  const std::string_view fraction = digits.substr(point + 1);
  if (whole == "0") whole = {};
  const int integerDigits = static_cast<int>(whole.size());
  if (integerDigits > significant) {
    // More integer digits than significant ones: exponent form, d.ddE+XXX.
    char mantissa[64];
    std::snprintf(mantissa, sizeof mantissa, "%.*E", significant - 1, value);
    for (char* c = mantissa; *c != '\0'; ++c)
      if (*c == ',') *c = '.';  // whatever decimal point the process locale uses
    char* e = std::strchr(mantissa, 'E');
    const int exponent = std::atoi(e + 1);
    std::snprintf(e, static_cast<std::size_t>(mantissa + sizeof mantissa - e), "E%c%03d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    out.Set(mantissa);
    return;
  }
  // The rounding position in decimals: the last significant digit or the
  // last decimal, whichever comes first.
  int keep = decimals;
  if (integerDigits > 0) {
    keep = std::min(decimals, significant - integerDigits);
  } else if (const std::size_t first = fraction.find_first_not_of('0'); first != std::string_view::npos) {
    keep = std::min(decimals, static_cast<int>(first) + significant);
  }
  // The kept digits, with one spare place in front for a carry.
  char kept[200];
  std::size_t n = 0;
  kept[n++] = '0';
  for (char c : whole) kept[n++] = c;
  if (whole.empty()) kept[n++] = '0';
  for (int i = 0; i < keep; ++i) kept[n++] = fraction[static_cast<std::size_t>(i)];
  // Half away from zero: the magnitude rounds up when the next digit is 5 or more.
  if (static_cast<std::size_t>(keep) < fraction.size() && fraction[static_cast<std::size_t>(keep)] >= '5') {
    for (std::size_t i = n; i-- > 0;) {
      if (kept[i] == '9') {
        kept[i] = '0';
      } else {
        ++kept[i];
        break;
      }
    }
  }
  // Integer digits are kept[0 .. n - keep); drop leading zeros but one.
  const std::size_t intEnd = n - static_cast<std::size_t>(keep);
  std::size_t intStart = 0;
  while (intStart + 1 < intEnd && kept[intStart] == '0') ++intStart;
  bool zero = true;
  for (std::size_t i = 0; i < n; ++i) zero = zero && kept[i] == '0';
  char text[240];
  std::size_t t = 0;
  if (value < 0 && !zero) text[t++] = '-';
  for (std::size_t i = intStart; i < intEnd; ++i) text[t++] = kept[i];
  if (decimals > 0) {
    text[t++] = '.';
    for (std::size_t i = intEnd; i < n; ++i) text[t++] = kept[i];
    for (int i = keep; i < decimals; ++i) text[t++] = '0';
  }
  out.Set(std::string_view(text, t));
}

namespace {

void RecordText(FieldText& out, float value, int significant, int decimals) {
  if (value < -1000.0f) {
    out.Set("***");
  } else {
    FormatFixed(out, value, significant, decimals);
  }
}

}  // namespace

void FormatIntervalTexts(IntervalTexts& t, const EpochResult& r, const MonitorValues& m, std::uint32_t timeOfDay,
                         const TextSettings& s) {
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02u:%02u:%02u", timeOfDay / 3600 % 24, timeOfDay % 3600 / 60, timeOfDay % 60);
  t.time.Set(clock);
  RecordText(t.sef, r[EpochResult::Sef], 4, 2);
  if (s.useBisBsr) {
    const std::int16_t bsr = m.MonBsr;
    if (bsr < 0) {
      t.bsr.Set("***");
    } else if (s.srPct) {
      FormatFixed(t.bsr, bsr * 0.1, 4, 1);
    } else {
      FormatFixed(t.bsr, bsr * 0.001, 4, 3);
    }
  } else {
    RecordText(t.bsr, r[EpochResult::Bsr], 4, s.srPct ? 2 : 3);
  }
  RecordText(t.rbr, r[EpochResult::Rbr], 4, 3);
  RecordText(t.bispr, r[EpochResult::BispR], 4, 3);
  RecordText(t.amp, r[EpochResult::Amp], 3, 1);
  const std::int16_t bis = m.MonBis;
  if (bis < 0) {
    t.bis.Set("***");
  } else {
    FormatFixed(t.bis, bis * 0.1, 3, 1);
  }
  // SQI: the own time index, or the monitor's with Use_BIS_BSR; then the
  // power and bispectrum indices.
  FieldText a, b, c;
  FormatFixed(a, s.useBisBsr ? m.MonSqi * 0.001 : static_cast<double>(r[EpochResult::SqiTime]), 3, 2);
  FormatFixed(b, r[EpochResult::SqiPower], 3, 2);
  FormatFixed(c, r[EpochResult::SqiBisp], 3, 2);
  char joined[128];
  const int len = std::snprintf(joined, sizeof joined, "%.*s,%.*s,%.*s", static_cast<int>(a.View().size()),
                                a.View().data(), static_cast<int>(b.View().size()), b.View().data(),
                                static_cast<int>(c.View().size()), c.View().data());
  t.sqi.Set(std::string_view(joined, static_cast<std::size_t>(len)));
  for (auto [text, field] : {std::pair{&t.pbicLow, EpochResult::PbicLow}, std::pair{&t.pbicHigh, EpochResult::PbicHigh}}) {
    if (r[field] == 0.0f) {
      text->Set("***");
    } else {
      FormatFixed(*text, r[field], 4, 1);
    }
  }
  const std::int16_t emg = m.MonEmg;
  if (emg < 0) {
    t.emg.Set("***");
  } else {
    FormatFixed(t.emg, emg / 100, 3, 1);  // integer division: whole units
  }
  if (s.logBic) {
    char part[96];
    const int len = std::snprintf(part, sizeof part, ",%.*s,%.*s", static_cast<int>(t.pbicLow.View().size()),
                                  t.pbicLow.View().data(), static_cast<int>(t.pbicHigh.View().size()),
                                  t.pbicHigh.View().data());
    t.pbicPart.Set(std::string_view(part, static_cast<std::size_t>(len)));
  } else {
    t.pbicPart.Set("");
  }
}

}  // namespace qs
