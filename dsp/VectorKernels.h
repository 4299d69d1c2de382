#pragma once
// The per-epoch inner loops that dominate a Calculation Only replay, each in
// a plain form and in vector forms chosen once at start-up from what the
// processor offers (x86-64: SSE2 always, AVX2 where present).
//
// Every form computes each element with the same float operations in the same
// order as the plain form; vectors only run independent elements (triangle
// pairs, bins, butterflies of one stage) side by side, never split one running
// sum. Together with -ffp-contract=off (no fused multiply-add) this makes every
// form bit-identical to the plain one, which the tests check element for
// element.
#include <cstddef>

namespace qs {

enum class KernelPath { Plain, Sse2, Avx2 };

// The five running sums of one bispectral slot, each kTrianglePairs long.
struct BispectralSums {
  float* real;
  float* imag;
  float* magnitude;
  float* unitReal;
  float* unitImag;
};

// The row of triangle pairs f2 = f1 .. 95 - f1 of one epoch's transform:
//   B = X(f1) X(f2) conj(X(f1 + f2)), |B|, and B / |B| where |B| > 0,
// added to sums (each starting at the row's first pair). re/im hold bins
// 0..95 or more.
using AccumulateRowFn = void (*)(const float* re, const float* im, int f1, const BispectralSums& sums);
// sum[i] += current[i] - leaving[i], i < n.
using MoveSumFn = void (*)(float* sum, const float* current, const float* leaving, std::size_t n);
// One radix-2 stage of half-size h on 256 points: for every block of
// 2h points and j < h, with c = cosines[j] and s = sines[j]:
//   t = (c re[m] + s im[m], c im[m] - s re[m]), m = k + h; x[m] = x[k] - t; x[k] += t.
using ButterflyStageFn = void (*)(float* re, float* im, int h, const float* cosines, const float* sines);

// The bicoherence-type quotient of window sums, where sumB[i] != 0:
//   m[i] = sqrt(x[i]^2 + y[i]^2), percent[i] = 100 m[i] / d[i],
// with d = denominators, or the single value denominator where denominators
// is null; m[i] = percent[i] = 0 where sumB[i] == 0.
using MagnitudePercentFn = void (*)(const float* x, const float* y, const float* sumB, const float* denominators,
                                    float denominator, float* m, float* percent, std::size_t n);

struct Kernels {
  KernelPath path;
  AccumulateRowFn accumulateRow;
  MoveSumFn moveSum;
  ButterflyStageFn butterflyStage;      // h >= 8
  ButterflyStageFn butterflyStageFour;  // h == 4
  MagnitudePercentFn magnitudePercent;
};

// The forms of one path (Avx2 and Sse2 fall back to the best one the build
// and the processor support; never a form the processor cannot run).
const Kernels& KernelsFor(KernelPath path);
// The path of the processor, once: the best available unless the environment
// variable QUELLSCOPE_KERNELS names another ("plain", "sse2", "avx2"), so that
// the same build can run each path on the same input.
const Kernels& ActiveKernels();
const char* KernelPathName(KernelPath path);

}  // namespace qs
