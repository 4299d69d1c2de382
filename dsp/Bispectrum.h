#pragma once
// The bispectral stage: per accepted epoch the bispectrum over the triangle of
// frequency pairs, accumulated in 32 ten-second slots; at each interval close
// the window sums over the last Bisp_Dur slots, the maps (bispectrum,
// bicoherence, triple product or mBIC), BispR, the diagonal bicoherence
// profile and its two peaks.
//
// The triangle: bins 1 <= f1 <= 47, f1 <= f2 <= 95 - f1 (0.5 Hz per bin), 2256
// pairs stored row by row; TriangleIndex(f1, f2) = (f1 - 1)(96 - f1) + (f2 - f1).
//
// Conventions: slot arrays, window sums and derived maps are floats, updated
// pair by pair in TriangleIndex order; the window sums move as running sums
// (sum += current slot value - leaving slot value). The all-pairs, slow-region
// and fast-region totals behind BispR are accumulated in double (the fast
// total is a small difference of large sums); logarithms and N x 0.05 /
// Bisp_Dur are computed in double and rounded once to float.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/EpochResult.h"
#include "core/ProcessingBuffers.h"
#include "dsp/VectorKernels.h"

namespace qs {

inline constexpr int kTrianglePairs = 2256;
inline constexpr int kBispSlots = 32;
inline constexpr int kMinBispEpochs = 60;

constexpr int TriangleIndex(int f1, int f2) {
  return (f1 - 1) * (96 - f1) + (f2 - f1);
}

// The mBIC filter's significance threshold (percent) for N epochs, N >= 1.
float MbicThreshold(int n);

class BispectralStage {
 public:
  // Allocates the slots and maps once (zero-filled); false when memory is short.
  bool Allocate(ZeroAllocFn alloc = &std::calloc);
  // Start of a run: all slots, sums and N back to zero.
  void Reset();
  // The kernel forms the stage runs (the processor's best unless set).
  void UseKernels(const Kernels& kernels) { kernels_ = &kernels; }

  // One accepted epoch's scaled transform (re, im of 256 points).
  void AddEpoch(const float* re, const float* im);

  // Interval close, window update: stores the interval's epoch count in the
  // current slot, moves the window sums; returns SqiBisp.
  float CloseWindow(int bispDur);
  // Interval close, derived quantities: the three maps and the region totals.
  void Derive(int figType, bool mbicFilter, bool synchFastSlow);
  // BispR from the last Derive (kNotAvailable when N < 60 or a total <= 0).
  float BispR(bool bicRatio) const;
  // DiagBic (35 values) and the two peaks with their frequencies into the record.
  void Profile(bool mbicFilter, EpochResult& record) const;
  // The unfiltered diagonal profile D[0..34] of the last Derive into d (the
  // values behind DiagBic before the mBIC filter; the bispectrum export's
  // profile form).
  void DiagonalProfile(float* d) const;
  // After the record is complete: the next slot becomes current and is zeroed.
  void AdvanceSlot();

  int IntervalCount() const { return intervalCount_; }
  int N() const { return n_; }
  const float* BicMagnitude() const { return magnitude_.get(); }
  const float* BicNormalised() const { return normalised_.get(); }
  const float* BicDisplay() const { return display_.get(); }
  // The magnitude window sums over the last Bisp_Dur slots, in TriangleIndex order.
  const float* MagnitudeSums() const { return SumArray(kMagnitudeSum); }

 private:
  // Five arrays of kTrianglePairs floats per slot, then the five window sums,
  // in this order within each block.
  enum Array : int { kRealSum = 0, kImagSum, kMagnitudeSum, kUnitRealSum, kUnitImagSum, kArrays };
  float* SlotArray(int slot, int array) const {
    return slots_.get() +
           (static_cast<std::size_t>(slot) * kArrays + static_cast<std::size_t>(array)) * kTrianglePairs;
  }
  float* SumArray(int array) const { return sums_.get() + static_cast<std::size_t>(array) * kTrianglePairs; }

  const Kernels* kernels_ = &ActiveKernels();
  std::unique_ptr<float, FreeDeleter> slots_;  // kBispSlots x 5 x kTrianglePairs
  std::unique_ptr<float, FreeDeleter> sums_;   // 5 x kTrianglePairs
  std::unique_ptr<float, FreeDeleter> magnitude_, normalised_, display_;
  std::array<int, kBispSlots> slotCounts_{};
  int slot_ = 0;
  int n_ = 0;
  int intervalCount_ = 0;
  double allMagnitude_ = 0, allNormalised_ = 0, fastMagnitude_ = 0, fastNormalised_ = 0;
};

}  // namespace qs
