#pragma once
// The power stage of accepted epochs and the 10-s slot sums behind the
// averaged spectrum, the spectral edge frequency and the relative beta ratio.
//
// Conventions (reproducible bit for bit):
//  * Spectra, slot sums and window totals are floats, summed bin by bin in
//    ascending order. The epoch's total power T is the float sum of bins
//    1..60 (0.5-30 Hz); the edge search adds bins 60 down to 1 into a float S
//    and compares the float quotient S / T with the float SefFraction,
//    strictly greater.
//  * Window totals move as running sums: at each close the current slot is
//    added, then the slot leaving the window (Power_Dur slots back) subtracted.
//  * Scalar results with decimal constants (SqiPower = count x 0.05 / Power_Dur,
//    Sef = edge sum x 0.5 / count, MonSef x 0.01, Rbr = log10(high / low)) are
//    computed in double and rounded once to float.
#include <array>
#include <cstdint>

#include "core/EpochResult.h"

namespace qs {

inline constexpr int kSpectrumBins = 101;  // bins 1..100 used, 0.5 Hz each
inline constexpr int kPowerSlots = 8;
inline constexpr float kMinEpochPower = 5.0f;
inline constexpr int kMinWindowSpectra = 10;

using Spectrum = std::array<float, kSpectrumBins>;

struct PowerSlot {
  Spectrum spectrum{};
  int count = 0;
  int edgeSum = 0;
  float lowBeta = 0.0f;   // bins 22..40, 11-20 Hz
  float highBand = 0.0f;  // bins 60..94, 30-47 Hz
};

class PowerStage {
 public:
  // Start of a run: every slot, total and count back to zero.
  void Reset();

  // One epoch's transform (re, im of 256 points). Adds its spectrum to the
  // current slot; false when its power below 30 Hz is under 5 (then it is
  // not counted and gets no edge bin or band powers, and the bispectral stage
  // must not run).
  bool AddEpoch(const float* re, const float* im, float sefFraction);

  // The edge bin of one spectrum with total power T (bins 1..60).
  static int EdgeBin(const Spectrum& spectrum, float total, float sefFraction);

  // Closing an interval, first part: the window totals move on and the
  // averaged spectrum is formed. Returns SqiPower.
  float CloseInterval(int powerDur, Spectrum& average);
  // Sef and Rbr of the window (kNotAvailable when fewer than 10 spectra).
  // monSef < 0 is still used as sent: the monitor marks nothing in SEF.
  float WindowSef(bool useMonitorSef, std::int16_t monSef) const;
  float WindowRbr() const;
  // After the interval's record is complete: the next slot becomes current.
  void AdvanceSlot();

  const Spectrum& EpochSpectrum() const { return epoch_; }
  // The summed spectra of the window and their count (the veto of the
  // suppression ratio reads bins 10..15 and 20..25).
  const Spectrum& WindowSpectrum() const { return window_.spectrum; }
  int WindowCount() const { return window_.count; }
  int IntervalCount() const { return intervalCount_; }
  int CurrentSlot() const { return slot_; }

 private:
  Spectrum epoch_{};
  std::array<PowerSlot, kPowerSlots> slots_{};
  PowerSlot window_{};
  int slot_ = 0;
  int intervalCount_ = 0;
};

}  // namespace qs
