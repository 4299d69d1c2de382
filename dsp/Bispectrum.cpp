#include "dsp/Bispectrum.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace qs {

namespace {

// One percentage per ten epochs, indexed by (N - 1) / 10. The first five
// entries (N below 51) are never used in practice: below 60 epochs every
// bispectral value is 0 anyway.
constexpr std::array<float, 60> kMbicThresholds = {
    100.0f, 100.0f, 100.0f, 100.0f, 100.0f, 22.4f, 20.8f, 19.4f, 18.4f, 17.4f, 16.6f, 15.8f,
    15.3f,  14.7f,  14.3f,  13.8f,  13.4f,  13.0f, 12.7f, 12.4f, 12.1f, 11.8f, 11.6f, 11.3f,
    11.1f,  10.9f,  10.7f,  10.5f,  10.3f,  10.1f, 10.0f, 9.8f,  9.7f,  9.5f,  9.4f,  9.3f,
    9.2f,   9.0f,   8.9f,   8.8f,   8.7f,   8.6f,  8.5f,  8.4f,  8.3f,  8.2f,  8.1f,  8.0f,
    8.0f,   7.9f,   7.8f,   7.8f,   7.7f,   7.6f,  7.6f,  7.5f,  7.5f,  7.4f,  7.3f,  7.2f};

constexpr int kMaxF1 = 47;
constexpr int kMaxSum = 95;  // f1 + f2 <= 95 bins, 47.5 Hz

// The map scales of the bispectrum (offset 4) and triple product (offset 3):
// the integer part of (log10(quotient) + offset) x 20 + 0.5, 20 steps per
// decade. The quotient is the float division of the sums; log10 and the
// rest run in double; truncation toward zero, before the 0..100 clamp. The
// value is kept in double until the clamp, so very small quotients cannot
// overflow an integer conversion.
float LogScale(float quotient, double offset) {
  return static_cast<float>(std::trunc((std::log10(static_cast<double>(quotient)) + offset) * 20.0 + 0.5));
}

float Clamp100(float v) {
  if (v > 100.0f) return 100.0f;
  if (v < 0.0f) return 0.0f;
  return v;
}

// Normalised B(f1, f2) of the diagonal profile.
float At(const float* normalised, int f1, int f2) {
  return normalised[TriangleIndex(f1, f2)];
}

}  // namespace

float MbicThreshold(int n) {
  int index = (n - 1) / 10;
  if (index < 0) index = 0;
  if (index > 59) index = 59;
  return kMbicThresholds[static_cast<std::size_t>(index)];
}

bool BispectralStage::Allocate(ZeroAllocFn alloc) {
  slots_.reset();
  sums_.reset();
  magnitude_.reset();
  normalised_.reset();
  display_.reset();
  const auto get = [alloc](std::size_t count) { return static_cast<float*>(alloc(count, sizeof(float))); };
  std::unique_ptr<float, FreeDeleter> slots(get(std::size_t{kBispSlots} * kArrays * kTrianglePairs));
  std::unique_ptr<float, FreeDeleter> sums(get(std::size_t{kArrays} * kTrianglePairs));
  std::unique_ptr<float, FreeDeleter> magnitude(get(kTrianglePairs));
  std::unique_ptr<float, FreeDeleter> normalised(get(kTrianglePairs));
  std::unique_ptr<float, FreeDeleter> display(get(kTrianglePairs));
  // Nothing is kept unless everything was obtained: a half-allocated stage
  // must not look usable.
  if (!slots || !sums || !magnitude || !normalised || !display) return false;
  slots_ = std::move(slots);
  sums_ = std::move(sums);
  magnitude_ = std::move(magnitude);
  normalised_ = std::move(normalised);
  display_ = std::move(display);
  Reset();
  return true;
}

void BispectralStage::Reset() {
  if (slots_) std::memset(slots_.get(), 0, sizeof(float) * kBispSlots * kArrays * kTrianglePairs);
  if (sums_) std::memset(sums_.get(), 0, sizeof(float) * kArrays * kTrianglePairs);
  if (magnitude_) std::memset(magnitude_.get(), 0, sizeof(float) * kTrianglePairs);
  if (normalised_) std::memset(normalised_.get(), 0, sizeof(float) * kTrianglePairs);
  if (display_) std::memset(display_.get(), 0, sizeof(float) * kTrianglePairs);
  slotCounts_ = {};
  slot_ = 0;
  n_ = 0;
  intervalCount_ = 0;
  allMagnitude_ = allNormalised_ = fastMagnitude_ = fastNormalised_ = 0.0;
}

void BispectralStage::AddEpoch(const float* re, const float* im) {
  BispectralSums sums{SlotArray(slot_, kRealSum), SlotArray(slot_, kImagSum), SlotArray(slot_, kMagnitudeSum),
                      SlotArray(slot_, kUnitRealSum), SlotArray(slot_, kUnitImagSum)};
  // Row by row in TriangleIndex order; each pair's sums are its own, so the
  // pairs of a row run side by side (dsp/VectorKernels.h).
  for (int f1 = 1; f1 <= kMaxF1; ++f1) {
    kernels_->accumulateRow(re, im, f1, sums);
    const int row = kMaxSum - 2 * f1 + 1;
    sums.real += row;
    sums.imag += row;
    sums.magnitude += row;
    sums.unitReal += row;
    sums.unitImag += row;
  }
  ++intervalCount_;
}

float BispectralStage::CloseWindow(int bispDur) {
  slotCounts_[static_cast<std::size_t>(slot_)] = intervalCount_;
  const int old = ((slot_ - bispDur) % kBispSlots + kBispSlots) % kBispSlots;
  n_ += slotCounts_[static_cast<std::size_t>(slot_)] - slotCounts_[static_cast<std::size_t>(old)];
  const float sqiBisp = static_cast<float>(n_ * 0.05 / bispDur);
  // Running sums: the difference of the entering and the leaving slot is
  // formed first and then added, one rounding for the difference and one for
  // the sum (not "add the current, then subtract the old").
  for (int a = 0; a < kArrays; ++a) {
    float* const sum = SumArray(a);
    const float* const current = SlotArray(slot_, a);
    const float* const leaving = SlotArray(old, a);
    kernels_->moveSum(sum, current, leaving, kTrianglePairs);
  }
  // The interval's count is stored; the next interval counts from zero. The
  // stage owns this count, so it is reset here rather than by the caller.
  intervalCount_ = 0;
  return sqiBisp;
}

void BispectralStage::Derive(int figType, bool mbicFilter, bool synchFastSlow) {
  const float* const realSum = SumArray(kRealSum);
  const float* const imagSum = SumArray(kImagSum);
  const float* const magnitudeSum = SumArray(kMagnitudeSum);
  const float* const unitRealSum = SumArray(kUnitRealSum);
  const float* const unitImagSum = SumArray(kUnitImagSum);
  float* const magnitude = magnitude_.get();
  float* const normalised = normalised_.get();
  float* const display = display_.get();
  const bool enough = n_ >= kMinBispEpochs;
  const float n = static_cast<float>(n_);
  const float threshold = MbicThreshold(n_);

  // First the maps pair by pair, side by side (each pair's values are its
  // own): |sum| and its percentage of the magnitude sum (bicoherence,
  // bispectrum) or of N (mBIC); 0 below 60 epochs and where nothing was
  // accumulated.
  if (!enough) {
    std::memset(magnitude, 0, sizeof(float) * kTrianglePairs);
    std::memset(normalised, 0, sizeof(float) * kTrianglePairs);
  } else if (figType == 3) {
    kernels_->magnitudePercent(unitRealSum, unitImagSum, magnitudeSum, nullptr, n, magnitude, normalised,
                               kTrianglePairs);
  } else {
    kernels_->magnitudePercent(realSum, imagSum, magnitudeSum, magnitudeSum, 0.0f, magnitude, normalised,
                               kTrianglePairs);
  }

  // Then the totals, in double and in TriangleIndex order, and the map shown.
  allMagnitude_ = allNormalised_ = fastMagnitude_ = fastNormalised_ = 0.0;
  double slowMagnitude = 0.0, slowNormalised = 0.0;
  int i = 0;
  for (int f1 = 1; f1 <= kMaxF1; ++f1) {
    for (int f2 = f1; f2 <= kMaxSum - f1; ++f2, ++i) {
      const float sumB = magnitudeSum[i];
      const float m = magnitude[i], percent = normalised[i];
      float shown = 0.0f;
      if (sumB == 0.0f || !enough) {
        // Too few epochs, or nothing accumulated at this pair.
      } else if (figType == 3) {
        shown = (mbicFilter && percent < threshold) ? 0.0f : percent;
      } else if (figType == 1) {
        shown = percent;
      } else if (figType == 0) {
        shown = m > 0.0f ? LogScale(m / n, 4.0) : 0.0f;
      }
      allMagnitude_ += m;
      allNormalised_ += percent;
      if (synchFastSlow) {
        if (f1 <= 15 && f2 >= 80) {
          fastMagnitude_ += m;
          fastNormalised_ += percent;
        }
      } else if (f1 <= 40 && f2 <= 80 - f1) {
        slowMagnitude += m;
        slowNormalised += percent;
      }
      // The triple-product map needs no bicoherence, so it is drawn from the
      // first epoch on, also where the maps above stay 0.
      if (figType == 2) shown = (sumB > 0.0f && n_ > 0) ? LogScale(sumB / n, 3.0) : 0.0f;
      display[i] = Clamp100(shown);
    }
  }
  if (!synchFastSlow) {
    fastMagnitude_ = allMagnitude_ - slowMagnitude;
    fastNormalised_ = allNormalised_ - slowNormalised;
  }
}

float BispectralStage::BispR(bool bicRatio) const {
  if (n_ < kMinBispEpochs) return kNotAvailable;
  const double fast = bicRatio ? fastNormalised_ : fastMagnitude_;
  const double all = bicRatio ? allNormalised_ : allMagnitude_;
  if (!(fast > 0.0) || !(all > 0.0)) return kNotAvailable;
  return static_cast<float>(std::log10(fast / all));
}

void BispectralStage::DiagonalProfile(float* d) const {
  const float* const b = normalised_.get();
  const bool enough = n_ >= kMinBispEpochs;
  for (int j = 0; j < static_cast<int>(EpochResult::kDiagBicCount); ++j) {
    const int m = j + 4;
    // Left to right as written; x (1/11) is a multiplication by the float
    // constant 1/11, not a division by 11. Below 60 epochs the map is all 0
    // after Derive; the profile does not rely on that.
    const float neighbours = At(b, m, m + 1) + At(b, m - 1, m + 1) + At(b, m - 1, m + 2) +
                             At(b, m - 2, m + 2) + At(b, m - 2, m + 3);
    d[j] = enough ? (At(b, m, m) + 2.0f * neighbours) * (1.0f / 11.0f) : 0.0f;
  }
}

void BispectralStage::Profile(bool mbicFilter, EpochResult& record) const {
  const float threshold = MbicThreshold(n_);
  std::array<float, EpochResult::kDiagBicCount> d{};
  DiagonalProfile(d.data());
  for (std::size_t j = 0; j < EpochResult::kDiagBicCount; ++j)
    record[EpochResult::DiagBic + j] = (mbicFilter && d[j] < threshold) ? 0.0f : d[j];
  // The peaks look at the unfiltered profile; the first (lowest-frequency)
  // of equal maxima wins.
  const auto peak = [&d, &record](int from, int to, std::size_t valueField, std::size_t freqField) {
    float best = 0.0f;
    int at = -1;
    for (int j = from; j <= to; ++j) {
      if (d[static_cast<std::size_t>(j)] > best) {
        best = d[static_cast<std::size_t>(j)];
        at = j;
      }
    }
    record[valueField] = best;
    record[freqField] = at < 0 ? 0.0f : static_cast<float>(2.0 + 0.5 * at);
  };
  peak(1, 8, EpochResult::PbicLow, EpochResult::PbicLowFreq);
  peak(10, 34, EpochResult::PbicHigh, EpochResult::PbicHighFreq);
}

void BispectralStage::AdvanceSlot() {
  slot_ = (slot_ + 1) % kBispSlots;
  // Only the arrays: the slot's epoch count is overwritten at its close.
  std::memset(SlotArray(slot_, 0), 0, sizeof(float) * kArrays * kTrianglePairs);
}

}  // namespace qs
