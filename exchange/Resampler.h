#pragma once
// Resampling an EEG signal to the program's 128 Hz, for the EDF import.
//
// One polyphase FIR resampler serves every rate: the input rate fs becomes
// 128 Hz through the exact ratio L/M = 128/fs (upsample by L, low-pass,
// keep every M-th sample). For 256, 512 and 1024 Hz, L is 1: an exact
// decimation by 2, 4 or 8 behind the anti-aliasing low-pass.
//
// The low-pass is a linear-phase FIR, a windowed sinc with a Kaiser window
// designed for 80 dB stop-band attenuation (beta = 7.857):
//   fs >= 128 Hz: pass band 0..47 Hz (ripple below 0.001 dB, the bispectrum
//                 reaches 47 Hz), stop band from 58 Hz (>= 80 dB), so that
//                 nothing above 70 Hz can fold below 58 Hz;
//   fs <  128 Hz: pass band 0..0.4 fs, stop band from 0.5 fs (against the
//                 images of upsampling).
// The filter's delay of (N - 1) / 2 taps is compensated, so output sample k
// belongs to the time k / 128 s of input sample k x fs / 128. Beyond the ends
// the input is mirrored, which keeps a steady signal steady to the edges.
// 128 Hz input is passed through unchanged.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qs {

inline constexpr double kResamplerStopbandDb = 80.0;

class Resampler {
 public:
  // The ratio from samples per data record and the record duration as the
  // header writes it (a decimal number of seconds). Nothing, with the reason,
  // when the ratio cannot be formed exactly or would need an unreasonable
  // filter.
  static std::optional<Resampler> To128(long samplesPerRecord, double recordDuration, std::string* error);
  // The same from a rate of rateNum / rateDen Hz given as a fraction.
  static std::optional<Resampler> FromRate(long long rateNum, long long rateDen, std::string* error);

  std::vector<double> Run(const std::vector<double>& x) const;

  long Up() const { return up_; }
  long Down() const { return down_; }
  double InputRate() const { return inRate_; }
  double PassEdgeHz() const { return passHz_; }
  double StopEdgeHz() const { return stopHz_; }
  const std::vector<double>& Taps() const { return taps_; }
  // The filter's gain at f Hz of the input (1 in the pass band).
  double GainAt(double hz) const;

 private:
  Resampler(long up, long down, double inRate);
  long up_ = 1, down_ = 1;
  double inRate_ = 128, passHz_ = 0, stopHz_ = 0;
  std::vector<double> taps_;  // empty: pass through
  std::size_t designedTaps_ = 0;
};

}  // namespace qs
