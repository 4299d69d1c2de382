// The arithmetic that makes a generated case the same bits on every machine:
// sine, cosine, exponential and logarithm from exactly rounded operations
// only, and the seeded random number streams.
#include <cmath>

#include "tools/recgen/SyntheticEeg.h"

namespace qs::recgen {

using detmath::kTwoPi;

// ---------------------------------------------------------------------------
// Deterministic transcendental functions. Only exactly rounded IEEE operations
// (+, -, *, /, sqrt, frexp, ldexp, nearbyint) are used, so the results are the
// same bits on every conforming platform.
namespace detmath {
namespace {

// pi/2 split in three parts (the first two with trailing zero bits) so that
// k * part is exact for |k| < 2^20 (Cody and Waite's reduction).
constexpr double kPio2Hi = 1.57079632673412561417e+00;
constexpr double kPio2Mid = 6.07710050630396597660e-11;
constexpr double kPio2Lo = 2.02226624879595063154e-21;
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;

// Taylor coefficients (-1)^k / (2k + first)!, built by repeated division.
template <int N>
struct TaylorTable {
  double c[N] = {};
  constexpr explicit TaylorTable(int first) {
    double term = 1.0;
    for (int n = 2; n <= first; ++n) term /= n;
    for (int k = 0; k < N; ++k) {
      c[k] = term;
      const int n = 2 * k + first;
      term = -term / ((n + 1) * (n + 2));
    }
  }
};
constexpr TaylorTable<10> kSinTable(1);  // r, r^3/3!, ..., r^19/19!
constexpr TaylorTable<11> kCosTable(0);  // 1, r^2/2!, ..., r^20/20!

// Series on |r| <= pi/4: the first omitted term is below 1e-22.
double SinPoly(double r) {
  const double r2 = r * r;
  double p = kSinTable.c[9];
  for (int k = 8; k >= 0; --k) p = p * r2 + kSinTable.c[k];
  return p * r;
}

double CosPoly(double r) {
  const double r2 = r * r;
  double p = kCosTable.c[10];
  for (int k = 9; k >= 0; --k) p = p * r2 + kCosTable.c[k];
  return p;
}

}  // namespace

double Sin(double x) {
  const double k = std::nearbyint(x * kTwoOverPi);
  const double r = ((x - k * kPio2Hi) - k * kPio2Mid) - k * kPio2Lo;
  const long q = static_cast<long>(k) & 3;
  switch (q) {
    case 0:
      return SinPoly(r);
    case 1:
      return CosPoly(r);
    case 2:
      return -SinPoly(r);
    default:
      return -CosPoly(r);
  }
}

double Cos(double x) {
  const double k = std::nearbyint(x * kTwoOverPi);
  const double r = ((x - k * kPio2Hi) - k * kPio2Mid) - k * kPio2Lo;
  const long q = static_cast<long>(k) & 3;
  switch (q) {
    case 0:
      return CosPoly(r);
    case 1:
      return -SinPoly(r);
    case 2:
      return -CosPoly(r);
    default:
      return SinPoly(r);
  }
}

double Exp(double x) {
  const double k = std::nearbyint(x * kInvLn2);
  const double r = (x - k * kLn2Hi) - k * kLn2Lo;  // |r| <= 0.35
  // Taylor series to the 20th power: the omitted term is below 1e-28.
  double p = 1.0;
  for (int n = 20; n >= 1; --n) p = 1.0 + p * r / n;
  return std::ldexp(p, static_cast<int>(k));
}

double Log(double x) {
  int e = 0;
  double m = std::frexp(x, &e);  // x = m * 2^e, m in [0.5, 1)
  if (m < 0.70710678118654752440) {
    m *= 2.0;
    --e;
  }
  // log(m) = 2 atanh(s) with s = (m - 1) / (m + 1), |s| <= 0.172.
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  double p = 0.0;
  for (int n = 31; n >= 1; n -= 2) p = p * s2 + 1.0 / n;
  const double logM = 2.0 * s * p;
  return e * kLn2Hi + (e * kLn2Lo + logM);
}

}  // namespace detmath

// ---------------------------------------------------------------------------
namespace {

std::uint64_t SplitMix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint64_t Rotl(std::uint64_t x, int k) {
  return (x << k) | (x >> (64 - k));
}

}  // namespace

Rng::Rng(std::uint64_t seed) {
  std::uint64_t state = seed;
  for (auto& word : s_) word = SplitMix64(state);
}

std::uint64_t Rng::Next() {
  const std::uint64_t result = Rotl(s_[1] * 5, 7) * 9;
  const std::uint64_t t = s_[1] << 17;
  s_[2] ^= s_[0];
  s_[3] ^= s_[1];
  s_[1] ^= s_[2];
  s_[0] ^= s_[3];
  s_[2] ^= t;
  s_[3] = Rotl(s_[3], 45);
  return result;
}

double Rng::Uniform() {
  return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

double Rng::Uniform(double lo, double hi) {
  return lo + (hi - lo) * Uniform();
}

double Rng::Gaussian() {
  if (hasSpare_) {
    hasSpare_ = false;
    return spare_;
  }
  // u1 in (0, 1] so that the logarithm is finite.
  const double u1 = static_cast<double>((Next() >> 11) + 1) * 0x1.0p-53;
  const double angle = kTwoPi * Uniform();
  const double radius = std::sqrt(-2.0 * detmath::Log(u1));
  spare_ = radius * detmath::Sin(angle);
  hasSpare_ = true;
  return radius * detmath::Cos(angle);
}

std::uint64_t DeriveSeed(std::uint64_t seed, std::uint64_t stream) {
  std::uint64_t state = seed ^ (stream * 0xD1B54A32D192ED03ull);
  SplitMix64(state);
  return SplitMix64(state);
}

}  // namespace qs::recgen
