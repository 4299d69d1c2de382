#pragma once
// The half-wave detector of the suppression stage: per block, the detrended
// wave decimated to 64 Hz is cut into half-waves between local extrema;
// half-waves feed the amplitude counters, flat stretches of at least 32
// decimated samples (0.5 s) the suppressed-sample counter. Every 20 blocks the
// 10-s slot closes and SqiTime, Bsr and Amp are formed over their windows.
//
// Conventions: wave values, extrema, slopes and half-wave values are floats;
// the slot counters of half-wave sums are float sums, the counts ints.
// SqiTime = valid total x 0.1 / 6 / 64 and the ratios are computed in double
// and rounded once to float.
#include <array>
#include <cstdint>

#include "core/BlockRing.h"
#include "dsp/PowerSpectrum.h"

namespace qs {

struct BurstState {
  float previousSample = -1000.0f;   // below -500: none
  float previousExtremum = -1000.0f; // below -500: none
  float slope = 0.0f;
  float previousSlope = 0.0f;
  float lastMaximum = -1000.0f;
  float lastMinimum = 1000.0f;
  int lastExtremumPosition = 0;      // decimated samples from the start of the current block
  int run = 0;
  int carry = 0;
};

struct SuppressionSlot {
  int bigCount = 0;
  float bigSum = 0.0f;
  int smallCount = 0;
  float smallSum = 0.0f;
  int suppressed = 0;
  int valid = 0;
};

// Called once per completed half-wave with its |e - previous extremum| (uV),
// for the amplitude export; may be empty.
class HalfWaveSink {
 public:
  virtual ~HalfWaveSink() = default;
  virtual void HalfWave(float d) = 0;
};

struct SuppressionResult {
  float sqiTime = 0.0f;
  float bsr = kNotAvailable;
  float amp = kNotAvailable;
};

class SuppressionStage {
 public:
  // Start of a run: slots, totals, state; noise level = 5 x BS_Threshold.
  void Reset(float bsThreshold);

  // The half-wave detector over one block (the suppression block).
  void AnalyseBlock(const BlockRing& ring, int block, float bsThreshold, HalfWaveSink* sink);

  // After the 20th block of an interval: window totals, noise level, veto
  // (from the power window), SqiTime, Bsr (x 100 with srPct), Amp; then the
  // next slot becomes current.
  SuppressionResult CloseInterval(int ampDur, float bsThreshold, bool srPct, const PowerStage& power);

  const BurstState& State() const { return state_; }
  // Since the last Reset, for the case summary: decimated samples booked as
  // suppressed, and the longest stretch of them (a stretch still open counts
  // with what it has booked so far). 64 per second.
  std::int64_t SuppressedSamples() const { return suppressedTotal_; }
  int LongestSuppressed() const { return longestStretch_; }
  const SuppressionSlot& CurrentSlot() const { return slots_[static_cast<std::size_t>(slot_)]; }
  float NoiseLevel() const { return noiseLevel_; }

 private:
  void CloseRun();
  void BookSuppressed(int samples);
  void ResetBurst(int lastExtremumPosition);

  BurstState state_;
  std::array<SuppressionSlot, 8> slots_{};
  int slot_ = 0;
  // Running window totals: amplitude counters over Amp_Dur slots, suppressed
  // and valid over the fixed 6.
  SuppressionSlot totals_{};
  float noiseLevel_ = 25.0f;
  std::int64_t suppressedTotal_ = 0;
  int stretch_ = 0;  // suppressed samples of the stretch still open
  int longestStretch_ = 0;
};

}  // namespace qs
