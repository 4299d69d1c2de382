// The import's resampler with closed-form signals: sines of known amplitude
// and phase, measured by projection on the output.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "exchange/Resampler.h"

namespace qs {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

// Amplitude of frequency f in y (128 Hz), over the middle of the signal so
// that the mirrored edges do not count.
double Amplitude(const std::vector<double>& y, double f) {
  const std::size_t from = y.size() / 4, to = y.size() * 3 / 4;
  std::complex<double> z;
  for (std::size_t k = from; k < to; ++k)
    z += y[k] * std::polar(1.0, kTwoPi * f * static_cast<double>(k) / 128.0);
  return 2 * std::abs(z) / static_cast<double>(to - from);
}

// A 7 Hz cosine and, where the input rate allows, a 60 Hz tone: no delay (each
// output sample is the 7 Hz input at its own time), 0.01 % pass-band ripple,
// and 80 dB off from 58 Hz (30 uV at 60 Hz leaves at most 3 nV).
TEST(Resampler, OutputSampleKIsInputTimeKOver128And60HzIsRemoved) {
  std::string error;
  for (auto [samples, duration] :
       {std::pair{256L, 1.0}, {512L, 1.0}, {1024L, 1.0}, {250L, 1.0}, {100L, 1.0}, {5L, 0.02}}) {
    const auto r = Resampler::To128(samples, duration, &error);
    ASSERT_TRUE(r) << error;
    const double rate = samples / duration, tone = rate > 120 ? 30 : 0;
    std::vector<double> x(static_cast<std::size_t>(rate * 20));
    for (std::size_t i = 0; i < x.size(); ++i)
      x[i] = 40 * std::cos(kTwoPi * 7 * i / rate + 1.0) + tone * std::sin(kTwoPi * 60 * i / rate + 0.3);
    const std::vector<double> y = r->Run(x);
    EXPECT_NEAR(static_cast<double>(y.size()), 20 * 128, samples % 128 == 0 ? 0.0 : 2.0) << rate;
    EXPECT_NEAR(Amplitude(y, 7), 40, 0.004) << rate << " Hz";
    EXPECT_LT(Amplitude(y, 60), 3e-3) << rate << " Hz";
    for (std::size_t k = y.size() / 4; k < y.size() * 3 / 4; k += 37)
      EXPECT_NEAR(y[k], 40 * std::cos(kTwoPi * 7 * k / 128.0 + 1.0), 0.02) << rate << " Hz, sample " << k;
    if (samples % 128 != 0) continue;
    EXPECT_EQ(std::pair(r->Up(), r->Down()), std::pair(1L, samples / 128));
    EXPECT_LT(std::max(r->GainAt(60), r->GainAt(90)), 1e-4) << "a 90 Hz tone would fold to 38 Hz";
    EXPECT_NEAR(r->GainAt(47), 1, 1e-3);
  }
}

TEST(Resampler, PassesThrough128HzAndRefusesRatiosItCannotForm) {
  std::string error;
  const auto same = Resampler::To128(128, 1.0, &error);
  ASSERT_TRUE(same);
  const std::vector<double> x = {1.5, -2, 3.25, 1e4};
  EXPECT_EQ(same->Run(x), x);
  EXPECT_EQ(Resampler::To128(256, 2.0, &error)->Down(), 1) << "256 samples in 2 s are 128 Hz";
  EXPECT_FALSE(Resampler::To128(7, 1e-7, &error));
  EXPECT_FALSE(Resampler::To128(1000003, 1.0, &error)) << "a prime rate needs a ratio beyond the limit";
  EXPECT_NE(error.find("1000003"), std::string::npos) << error;
}

}  // namespace
}  // namespace qs
