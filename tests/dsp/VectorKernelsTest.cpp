// Every vector form of the per-epoch kernels against the plain form, bit for
// bit, on inputs that reach the awkward cases: exact zeros (a product without
// phase), subnormal and huge values, both signs, and row lengths that leave a
// tail shorter than a register. The whole replay is pinned by the reference
// case on the processor's own path; here each path is checked on any processor
// that can run it.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "dsp/Bispectrum.h"
#include "dsp/Transform.h"
#include "dsp/VectorKernels.h"

namespace qs {
namespace {

std::vector<float> Awkward(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
  std::vector<float> v(n);
  for (std::size_t i = 0; i < n; ++i) {
    switch (random() % 8) {
      case 0: v[i] = 0.0f; break;
      case 1: v[i] = -0.0f; break;
      case 2: v[i] = uniform(random) * std::numeric_limits<float>::denorm_min() * 1000.0f; break;
      case 3: v[i] = uniform(random) * 1e18f; break;
      default: v[i] = uniform(random) * 100.0f; break;
    }
  }
  return v;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

class VectorKernels : public ::testing::TestWithParam<KernelPath> {
 protected:
  void SetUp() override {
    if (KernelsFor(GetParam()).path != GetParam()) GTEST_SKIP() << "this processor lacks " << KernelPathName(GetParam());
  }
  const Kernels& plain = KernelsFor(KernelPath::Plain);
  const Kernels& vector = KernelsFor(GetParam());
};

TEST_P(VectorKernels, BispectralRowsEqualThePlainForm) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE(seed);
    const std::vector<float> re = Awkward(256, seed), im = Awkward(256, seed + 100);
    std::array<std::vector<float>, 2> sums{Awkward(5 * kTrianglePairs, seed + 200), {}};
    sums[1] = sums[0];
    for (int form = 0; form < 2; ++form) {
      float* base = sums[static_cast<std::size_t>(form)].data();
      BispectralSums s{base, base + kTrianglePairs, base + 2 * kTrianglePairs, base + 3 * kTrianglePairs,
                       base + 4 * kTrianglePairs};
      for (int f1 = 1; f1 <= 47; ++f1) {
        (form == 0 ? plain : vector).accumulateRow(re.data(), im.data(), f1, s);
        const int row = 96 - 2 * f1;
        for (float** p : {&s.real, &s.imag, &s.magnitude, &s.unitReal, &s.unitImag}) *p += row;
      }
    }
    EXPECT_TRUE(SameBits(sums[0], sums[1]));
  }
}

TEST_P(VectorKernels, WindowSumsEqualThePlainForm) {
  for (std::size_t n : {std::size_t{1}, std::size_t{7}, std::size_t{13}, std::size_t{kTrianglePairs}}) {
    SCOPED_TRACE(n);
    const std::vector<float> current = Awkward(n, 3), leaving = Awkward(n, 4);
    std::vector<float> a = Awkward(n, 5), b = a;
    plain.moveSum(a.data(), current.data(), leaving.data(), n);
    vector.moveSum(b.data(), current.data(), leaving.data(), n);
    EXPECT_TRUE(SameBits(a, b));
  }
}

TEST_P(VectorKernels, MapQuotientsEqualThePlainForm) {
  const std::size_t n = kTrianglePairs;
  const std::vector<float> x = Awkward(n, 6), y = Awkward(n, 7), sumB = Awkward(n, 8);
  for (const float* denominators : {sumB.data(), static_cast<const float*>(nullptr)}) {
    std::vector<float> m[2] = {std::vector<float>(n), std::vector<float>(n)};
    std::vector<float> p[2] = {std::vector<float>(n), std::vector<float>(n)};
    plain.magnitudePercent(x.data(), y.data(), sumB.data(), denominators, 73.0f, m[0].data(), p[0].data(), n);
    vector.magnitudePercent(x.data(), y.data(), sumB.data(), denominators, 73.0f, m[1].data(), p[1].data(), n);
    EXPECT_TRUE(SameBits(m[0], m[1]) && SameBits(p[0], p[1])) << (denominators ? "sums" : "N");
  }
}

TEST_P(VectorKernels, TransformEqualsThePlainForm) {
  TransformTables tables;
  tables.Build();
  for (unsigned seed = 1; seed <= 10; ++seed) {
    const std::vector<float> ring = Awkward(kWaveRingSamples, seed);
    std::vector<float> re[2] = {std::vector<float>(256), std::vector<float>(256)};
    std::vector<float> im[2] = {std::vector<float>(256), std::vector<float>(256)};
    const int block = static_cast<int>(seed % 16);  // blocks 13..15 wrap around the ring
    TransformEpoch(ring.data(), block, tables, re[0].data(), im[0].data(), plain);
    TransformEpoch(ring.data(), block, tables, re[1].data(), im[1].data(), vector);
    EXPECT_TRUE(SameBits(re[0], re[1]) && SameBits(im[0], im[1])) << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, VectorKernels, ::testing::Values(KernelPath::Sse2, KernelPath::Avx2),
                         [](const auto& info) { return std::string(KernelPathName(info.param)); });

}  // namespace
}  // namespace qs
