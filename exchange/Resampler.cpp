#include "exchange/Resampler.h"

#include <cmath>
#include <numbers>
#include <numeric>

namespace qs {
namespace {

constexpr long kMaxUp = 4096;
constexpr std::size_t kMaxTaps = std::size_t{1} << 21;

double BesselI0(double x) {
  double sum = 1, term = 1;
  for (int k = 1; k < 64; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < 1e-17 * sum) break;
  }
  return sum;
}

double Sinc(double x) {
  return x == 0 ? 1.0 : std::sin(std::numbers::pi * x) / (std::numbers::pi * x);
}

}  // namespace

std::optional<Resampler> Resampler::To128(long samplesPerRecord, double recordDuration, std::string* error) {
  // The duration in microseconds must be whole: the header field is a short
  // decimal, so any real recorder's is.
  const double micro = recordDuration * 1e6;
  const double rounded = std::round(micro);
  if (samplesPerRecord < 1 || rounded < 1 || std::fabs(micro - rounded) > 1e-6 * std::max(1.0, micro)) {
    *error = "the sampling rate (" + std::to_string(samplesPerRecord) + " samples per " +
             std::to_string(recordDuration) + " s) cannot be converted to 128 Hz exactly";
    return std::nullopt;
  }
  // fs = samples / duration = (samples x 10^6) / micro
  return FromRate(static_cast<long long>(samplesPerRecord) * 1000000LL, static_cast<long long>(rounded),
                  error);
}

std::optional<Resampler> Resampler::FromRate(long long rateNum, long long rateDen, std::string* error) {
  if (rateNum < 1 || rateDen < 1 || rateDen > (1LL << 40) || rateNum > (1LL << 50)) {
    *error = "the sampling rate " + std::to_string(rateNum) + "/" + std::to_string(rateDen) +
             " Hz cannot be converted to 128 Hz";
    return std::nullopt;
  }
  // 128 / fs = 128 x rateDen / rateNum
  long long up = 128LL * rateDen, down = rateNum;
  const long long g = std::gcd(up, down);
  up /= g;
  down /= g;
  const double inRate = static_cast<double>(rateNum) / static_cast<double>(rateDen);
  if (up > kMaxUp || down > kMaxUp * 1024) {
    *error = "the sampling rate " + std::to_string(inRate) + " Hz needs a resampling ratio " +
             std::to_string(up) + "/" + std::to_string(down) + ", beyond what the import supports";
    return std::nullopt;
  }
  Resampler r(static_cast<long>(up), static_cast<long>(down), inRate);
  if (r.designedTaps_ > kMaxTaps) {
    *error = "the sampling rate " + std::to_string(inRate) + " Hz would need a filter of " +
             std::to_string(r.designedTaps_) + " taps";
    return std::nullopt;
  }
  return r;
}

Resampler::Resampler(long up, long down, double inRate) : up_(up), down_(down), inRate_(inRate) {
  if (up == 1 && down == 1) return;  // 128 Hz already
  if (inRate >= 128) {
    passHz_ = 47;
    stopHz_ = 58;
  } else {
    stopHz_ = inRate / 2;
    passHz_ = 0.4 * inRate;
  }
  const double upRate = inRate * static_cast<double>(up);
  const double beta = 0.1102 * (kResamplerStopbandDb - 8.7);
  const double transition = (stopHz_ - passHz_) / upRate;  // cycles per upsampled sample
  std::size_t n =
      static_cast<std::size_t>(std::ceil((kResamplerStopbandDb - 7.95) / (14.36 * transition)) + 1);
  if (n % 2 == 0) ++n;
  designedTaps_ = n;
  if (n > kMaxTaps) return;                                // refused by To128, never allocated
  const double cutoff = (passHz_ + stopHz_) / 2 / upRate;  // cycles per sample
  const double centre = static_cast<double>(n - 1) / 2;
  const double i0Beta = BesselI0(beta);
  taps_.resize(n);
  double sum = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const double t = (static_cast<double>(i) - centre) / centre;
    const double window = BesselI0(beta * std::sqrt(std::max(0.0, 1 - t * t))) / i0Beta;
    taps_[i] = 2 * cutoff * Sinc(2 * cutoff * (static_cast<double>(i) - centre)) * window;
    sum += taps_[i];
  }
  // Unit gain at 0 Hz after upsampling by L (whose zeros take 1/L of the power).
  for (double& h : taps_) h *= static_cast<double>(up) / sum;
}

double Resampler::GainAt(double hz) const {
  if (taps_.empty()) return 1;
  const double w = 2 * std::numbers::pi * hz / (inRate_ * static_cast<double>(up_));
  double re = 0, im = 0;
  const double centre = static_cast<double>(taps_.size() - 1) / 2;
  for (std::size_t i = 0; i < taps_.size(); ++i) {
    re += taps_[i] * std::cos(w * (static_cast<double>(i) - centre));
    im += taps_[i] * std::sin(w * (static_cast<double>(i) - centre));
  }
  return std::hypot(re, im) / static_cast<double>(up_);
}

std::vector<double> Resampler::Run(const std::vector<double>& x) const {
  if (taps_.empty() || x.empty()) return x;
  const long long nx = static_cast<long long>(x.size());
  const long long L = up_, M = down_;
  // Output samples up to the time of the last input sample.
  const long long ny = ((nx - 1) * L) / M + 1;
  const long long delay = static_cast<long long>(taps_.size() - 1) / 2;
  const long long taps = static_cast<long long>(taps_.size());
  // Input index, mirrored about the first and the last sample.
  const auto at = [&](long long i) {
    if (nx == 1) return x[0];
    const long long period = 2 * (nx - 1);
    i %= period;
    if (i < 0) i += period;
    if (i >= nx) i = period - i;
    return x[static_cast<std::size_t>(i)];
  };
  std::vector<double> y(static_cast<std::size_t>(ny));
  for (long long k = 0; k < ny; ++k) {
    const long long c = k * M + delay;  // upsampled index of tap 0
    double acc = 0;
    for (long long j = c % L; j < taps; j += L) acc += taps_[static_cast<std::size_t>(j)] * at((c - j) / L);
    y[static_cast<std::size_t>(k)] = acc;
  }
  return y;
}

}  // namespace qs
