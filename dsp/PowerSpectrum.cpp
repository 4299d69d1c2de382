#include "dsp/PowerSpectrum.h"

#include <cmath>

namespace qs {

void PowerStage::Reset() {
  epoch_ = {};
  slots_ = {};
  window_ = {};
  slot_ = 0;
  intervalCount_ = 0;
}

int PowerStage::EdgeBin(const Spectrum& spectrum, float total, float sefFraction) {
  float s = 0.0f;
  for (int k = 60; k >= 1; --k) {
    s += spectrum[static_cast<std::size_t>(k)];
    if (s / total > sefFraction) return k == 60 ? 60 : k + 1;
  }
  return 1;  // not reached for T > 0: at k = 1, S / T is 1
}

bool PowerStage::AddEpoch(const float* re, const float* im, float sefFraction) {
  PowerSlot& slot = slots_[static_cast<std::size_t>(slot_)];
  for (int k = 1; k <= 100; ++k) {
    const float p = re[k] * re[k] + im[k] * im[k];
    epoch_[static_cast<std::size_t>(k)] = p;
    slot.spectrum[static_cast<std::size_t>(k)] += p;
  }
  float total = 0.0f;
  for (int k = 1; k <= 60; ++k) total += epoch_[static_cast<std::size_t>(k)];
  // Too little power: the spectrum stays in the slot sum but is not counted.
  if (total < kMinEpochPower) return false;
  ++intervalCount_;
  slot.edgeSum += EdgeBin(epoch_, total, sefFraction);
  for (int k = 22; k <= 40; ++k) slot.lowBeta += epoch_[static_cast<std::size_t>(k)];
  for (int k = 60; k <= 94; ++k) slot.highBand += epoch_[static_cast<std::size_t>(k)];
  return true;
}

float PowerStage::CloseInterval(int powerDur, Spectrum& average) {
  PowerSlot& current = slots_[static_cast<std::size_t>(slot_)];
  current.count = intervalCount_;
  const PowerSlot& old = slots_[static_cast<std::size_t>(((slot_ - powerDur) % kPowerSlots + kPowerSlots) % kPowerSlots)];
  window_.count += current.count;
  for (int k = 1; k <= 100; ++k) window_.spectrum[static_cast<std::size_t>(k)] += current.spectrum[static_cast<std::size_t>(k)];
  window_.edgeSum += current.edgeSum;
  window_.lowBeta += current.lowBeta;
  window_.highBand += current.highBand;
  window_.count -= old.count;
  for (int k = 1; k <= 100; ++k) window_.spectrum[static_cast<std::size_t>(k)] -= old.spectrum[static_cast<std::size_t>(k)];
  window_.edgeSum -= old.edgeSum;
  window_.lowBeta -= old.lowBeta;
  window_.highBand -= old.highBand;

  const float sqiPower = static_cast<float>(window_.count * 0.05 / powerDur);
  average[0] = 0.0f;
  for (int k = 1; k <= 100; ++k)
    average[static_cast<std::size_t>(k)] =
        window_.count <= 9 ? 0.0f : window_.spectrum[static_cast<std::size_t>(k)] / static_cast<float>(window_.count);
  intervalCount_ = 0;
  return sqiPower;
}

float PowerStage::WindowSef(bool useMonitorSef, std::int16_t monSef) const {
  if (window_.count < kMinWindowSpectra) return kNotAvailable;
  if (useMonitorSef) return static_cast<float>(monSef * 0.01);
  return static_cast<float>(window_.edgeSum * 0.5 / window_.count);
}

float PowerStage::WindowRbr() const {
  if (window_.count < kMinWindowSpectra || !(window_.highBand > 0.0f) || !(window_.lowBeta > 0.0f)) return kNotAvailable;
  return static_cast<float>(std::log10(static_cast<double>(window_.highBand) / static_cast<double>(window_.lowBeta)));
}

void PowerStage::AdvanceSlot() {
  slot_ = (slot_ + 1) % kPowerSlots;
  PowerSlot& next = slots_[static_cast<std::size_t>(slot_)];
  next.spectrum = {};
  next.edgeSum = 0;
  next.lowBeta = 0.0f;
  next.highBand = 0.0f;
}

}  // namespace qs
