#include "dsp/HalfWave.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace qs {

namespace {

constexpr int kDecimated = kBlockSamples / 2;  // 32 samples of 64 Hz per block
constexpr int kSlots = 8;
constexpr int kSuppressionWindowSlots = 6;  // 60 s, whatever Amp_Dur says
constexpr int kMinSuppressed = 32;          // 0.5 s of decimated samples
constexpr int kMinSmallForNoise = 40;       // more than this many small half-waves
constexpr int kMinBigForAmp = 51;

int SlotBack(int slot, int back) {
  return ((slot - back) % kSlots + kSlots) % kSlots;
}

}  // namespace

void SuppressionStage::Reset(float bsThreshold) {
  state_ = BurstState{};
  slots_ = {};
  slot_ = 0;
  totals_ = SuppressionSlot{};
  noiseLevel_ = 5.0f * bsThreshold;
  suppressedTotal_ = 0;
  stretch_ = 0;
  longestStretch_ = 0;
}

void SuppressionStage::BookSuppressed(int samples) {
  suppressedTotal_ += samples;
  stretch_ += samples;
  longestStretch_ = std::max(longestStretch_, stretch_);
}

void SuppressionStage::ResetBurst(int lastExtremumPosition) {
  state_ = BurstState{};
  state_.lastExtremumPosition = lastExtremumPosition;
}

void SuppressionStage::CloseRun() {
  SuppressionSlot& slot = slots_[static_cast<std::size_t>(slot_)];
  // A stretch counts as suppressed only when it reached 0.5 s, here or already
  // at the end of the previous block; shorter quiet stretches are signal.
  if (state_.run > kMinSuppressed - 1 || state_.carry == 1) {
    slot.suppressed += state_.run;
    BookSuppressed(state_.run);
    state_.carry = 0;
  }
  // Whatever closes here, the suppressed stretch (if one was open) ends.
  stretch_ = 0;
  slot.valid += state_.run;
  state_.run = 0;
}

void SuppressionStage::AnalyseBlock(const BlockRing& ring, int block, float bsThreshold, HalfWaveSink* sink) {
  const std::size_t first = static_cast<std::size_t>(block * kBlockSamples);
  const bool artifact = ring.BlockFlags[static_cast<std::size_t>(block)] != 0;
  const float smallLimit = 2.0f * bsThreshold;
  SuppressionSlot& slot = slots_[static_cast<std::size_t>(slot_)];
  BurstState& s = state_;

  for (int i = 0; i < kDecimated; ++i) {
    if (artifact) {
      // A flagged block is a gap: what was open is closed and nothing of the
      // block itself is counted; the next clean sample starts afresh.
      CloseRun();
      ResetBurst(i);
      continue;
    }
    const std::size_t p = first + static_cast<std::size_t>(2 * i);
    const float y = (ring.DetrendedWave[p] + ring.DetrendedWave[p + 1]) * 0.5f;

    if (s.previousSample < -500.0f) {
      s.previousSample = y;
      continue;
    }
    s.slope = y - s.previousSample;
    if (s.previousSlope == 0.0f) {
      s.previousSample = y;
      s.previousSlope = s.slope;
      continue;
    }
    if (s.previousSlope * s.slope < 0.0f) {
      const float e = s.previousSample;  // an extremum at i - 1
      const int position = i - 1;
      if (s.previousExtremum < -500.0f) {
        s.previousExtremum = e;
        s.lastExtremumPosition = position;
        if (s.slope >= 0.0f)
          s.lastMinimum = e;
        else
          s.lastMaximum = e;
        s.previousSample = y;
        s.previousSlope = s.slope;
        continue;
      }
      float a;
      if (s.slope >= 0.0f) {
        a = s.lastMaximum - e;
        s.lastMinimum = e;
      } else {
        a = e - s.lastMinimum;
        s.lastMaximum = e;
      }
      if (a <= smallLimit) {
        ++slot.smallCount;
        slot.smallSum += a;
      } else {
        ++slot.bigCount;
        slot.bigSum += a;
      }
      const float d = std::fabs(e - s.previousExtremum);
      if (sink != nullptr) sink->HalfWave(d);
      if (d <= smallLimit) {
        s.run += position - s.lastExtremumPosition;
      } else {
        slot.valid += position - s.lastExtremumPosition;
        CloseRun();
      }
      s.lastExtremumPosition = position;
      s.previousSlope = s.slope;
      s.previousExtremum = e;
      s.previousSample = y;
      continue;
    }
    s.previousSample = y;
  }

  // A stretch that has already lasted 0.5 s is booked in this slot now; carry
  // keeps its continuation suppressed however short the rest turns out.
  if (s.run > kMinSuppressed - 1) {
    slot.suppressed += s.run;
    slot.valid += s.run;
    BookSuppressed(s.run);
    s.carry = 1;
    s.run = 0;
  }
  s.lastExtremumPosition -= kDecimated;
}

SuppressionResult SuppressionStage::CloseInterval(int ampDur, float bsThreshold, bool srPct,
                                                  const PowerStage& power) {
  const SuppressionSlot& current = slots_[static_cast<std::size_t>(slot_)];
  const SuppressionSlot& ampLeaving = slots_[static_cast<std::size_t>(SlotBack(slot_, ampDur))];
  const SuppressionSlot& supLeaving =
      slots_[static_cast<std::size_t>(SlotBack(slot_, kSuppressionWindowSlots))];
  SuppressionSlot& t = totals_;
  t.bigCount += current.bigCount;
  t.bigCount -= ampLeaving.bigCount;
  t.bigSum += current.bigSum;
  t.bigSum -= ampLeaving.bigSum;
  t.smallCount += current.smallCount;
  t.smallCount -= ampLeaving.smallCount;
  t.smallSum += current.smallSum;
  t.smallSum -= ampLeaving.smallSum;
  t.suppressed += current.suppressed;
  t.suppressed -= supLeaving.suppressed;
  t.valid += current.valid;
  t.valid -= supLeaving.valid;

  noiseLevel_ =
      (t.smallCount > kMinSmallForNoise ? t.smallSum / static_cast<float>(t.smallCount) : bsThreshold) * 5.0f;

  // The veto: waves no bigger than the noise, a ratio that is not near total
  // suppression, and a spectrum with more theta than alpha or a strong alpha
  // band mean the quiet stretches are not burst suppression.
  bool veto = false;
  // A window without valid samples gives no ratio; it is taken as not below 0.95.
  const bool ratioBelow = t.valid > 0 && static_cast<double>(t.suppressed) / t.valid < 0.95;
  if (t.bigCount > 0 && t.bigSum / static_cast<float>(t.bigCount) <= noiseLevel_ && ratioBelow &&
      power.WindowCount() >= 1) {
    const Spectrum& w = power.WindowSpectrum();
    float theta = 0.0f;
    for (std::size_t k = 10; k <= 15; ++k) theta += w[k];
    float alpha = 0.0f;
    for (std::size_t k = 20; k <= 25; ++k) alpha += w[k];
    // log10 of a non-positive sum is -inf or NaN, neither of which exceeds -0.8.
    veto = theta > alpha || std::log10(static_cast<double>(alpha) / power.WindowCount() / 6) > -0.8;
  }

  SuppressionResult r;
  r.sqiTime = static_cast<float>(t.valid * 0.1 / 6 / 64);
  if (r.sqiTime < 0.2) {
    r.bsr = kNotAvailable;
  } else {
    double ratio = static_cast<double>(veto ? 0 : t.suppressed) / t.valid;
    if (srPct) ratio *= 100.0;
    r.bsr = static_cast<float>(ratio);
  }
  r.amp = t.bigCount < kMinBigForAmp ? kNotAvailable
                                     : static_cast<float>(static_cast<double>(t.bigSum) / t.bigCount * 0.5);

  slot_ = (slot_ + 1) % kSlots;
  slots_[static_cast<std::size_t>(slot_)] = SuppressionSlot{};
  return r;
}

}  // namespace qs
