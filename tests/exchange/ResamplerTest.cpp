// The import's resampler with closed-form signals: sines of known amplitude
// and phase, measured by projection on the output.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "exchange/Resampler.h"

namespace qs {
namespace {

// Amplitude of frequency f in y (128 Hz), over the middle of the signal so
// that the mirrored edges do not count.
double Amplitude(const std::vector<double>& y, double f) {
  const std::size_t from = y.size() / 4, to = y.size() * 3 / 4;
  double c = 0, s = 0;
  for (std::size_t k = from; k < to; ++k) {
    const double t = static_cast<double>(k) / 128.0;
    c += y[k] * std::cos(2 * std::numbers::pi * f * t);
    s += y[k] * std::sin(2 * std::numbers::pi * f * t);
  }
  return 2 * std::hypot(c, s) / static_cast<double>(to - from);
}

std::vector<double> Tones(double rate, int seconds, double a10, double a60) {
  std::vector<double> x(static_cast<std::size_t>(rate * seconds));
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    x[i] =
        a10 * std::sin(2 * std::numbers::pi * 10 * t) + a60 * std::sin(2 * std::numbers::pi * 60 * t + 0.3);
  }
  return x;
}

TEST(Resampler, DecimationKeeps10HzAndRemoves60Hz) {
  for (int rate : {256, 512, 1024}) {
    std::string error;
    const auto r = Resampler::To128(rate, 1.0, &error);
    ASSERT_TRUE(r) << error;
    EXPECT_EQ(r->Up(), 1);
    EXPECT_EQ(r->Down(), rate / 128);
    const std::vector<double> y = r->Run(Tones(rate, 20, 50, 30));
    ASSERT_EQ(y.size(), static_cast<std::size_t>(20 * 128)) << rate;
    EXPECT_NEAR(Amplitude(y, 10), 50, 0.5) << rate << " Hz: the 10 Hz amplitude within 1 %";
    EXPECT_NEAR(Amplitude(y, 10), 50, 0.005) << rate << " Hz: in fact within 0.01 % (pass-band ripple)";
    // 80 dB promised from 58 Hz: 30 uV at 60 Hz leaves at most 3 nV.
    EXPECT_LT(Amplitude(y, 60), 30 * 1e-4) << rate << " Hz";
    EXPECT_LT(r->GainAt(60), 1e-4);
    EXPECT_LT(r->GainAt(90), 1e-4) << "a 90 Hz tone would fold to 38 Hz";
    EXPECT_NEAR(r->GainAt(47), 1, 1e-3);
  }
}

TEST(Resampler, OutputSampleKIsInputTimeKOver128) {
  // No delay: each output sample equals the band-limited input at its own time.
  std::string error;
  for (auto [samples, duration] :
       {std::pair{256L, 1.0}, std::pair{250L, 1.0}, std::pair{100L, 1.0}, std::pair{5L, 0.02}}) {
    const auto r = Resampler::To128(samples, duration, &error);
    ASSERT_TRUE(r) << error;
    const double rate = samples / duration;
    std::vector<double> x(static_cast<std::size_t>(rate * 20));
    for (std::size_t i = 0; i < x.size(); ++i)
      x[i] = 40 * std::cos(2 * std::numbers::pi * 7 * i / rate + 1.0);
    const std::vector<double> y = r->Run(x);
    EXPECT_NEAR(static_cast<double>(y.size()), 20 * 128, 2.0) << rate;
    for (std::size_t k = y.size() / 4; k < y.size() * 3 / 4; k += 37)
      EXPECT_NEAR(y[k], 40 * std::cos(2 * std::numbers::pi * 7 * k / 128.0 + 1.0), 0.02)
          << rate << " Hz, sample " << k;
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
