#pragma once
// The bodies of the kernels of VectorKernels.h, written once over a small set
// of element operations (Ops) and compiled once per instruction set: the
// plain form with Ops = PlainOps, the vector forms in their own translation
// units with Ops over SSE2 or AVX2 registers. A vector form runs its last
// elements (fewer than a register holds) through the plain form.
//
// Everything here has internal linkage: a translation unit compiled for AVX2
// must not hand the linker a shared copy of anything that the rest of the
// program might call on a processor without AVX2.
#include <cstddef>

#include "dsp/VectorKernels.h"

namespace qs {
namespace {

struct PlainOps {
  using V = float;
  using Mask = bool;
  static constexpr int kWidth = 1;
  static V Load(const float* p) { return *p; }
  static void Store(float* p, V v) { *p = v; }
  static V Set(float x) { return x; }
  static V Add(V a, V b) { return a + b; }
  static V Sub(V a, V b) { return a - b; }
  static V Mul(V a, V b) { return a * b; }
  static V Div(V a, V b) { return a / b; }
  static V Sqrt(V a) { return __builtin_sqrtf(a); }
  static Mask Positive(V a) { return a > 0.0f; }
  static Mask NonZero(V a) { return a != 0.0f; }
  static V Select(Mask m, V a, V b) { return m ? a : b; }
};

template <class Ops>
void AccumulateRowBody(const float* re, const float* im, int f1, const BispectralSums& sums, int from, int count) {
  using V = typename Ops::V;
  const V a1 = Ops::Set(re[f1]);
  const V b1 = Ops::Set(im[f1]);
  int i = from;
  for (; i + Ops::kWidth <= count; i += Ops::kWidth) {
    const int f2 = f1 + i;
    const V a2 = Ops::Load(re + f2), b2 = Ops::Load(im + f2);
    const V a3 = Ops::Load(re + f1 + f2), b3 = Ops::Load(im + f1 + f2);
    // B = X(f1) X(f2) conj(X(f1 + f2)), in exactly this order.
    const V pr = Ops::Sub(Ops::Mul(a1, a2), Ops::Mul(b1, b2));
    const V pi = Ops::Add(Ops::Mul(b1, a2), Ops::Mul(a1, b2));
    const V br = Ops::Add(Ops::Mul(pr, a3), Ops::Mul(pi, b3));
    const V bi = Ops::Sub(Ops::Mul(pi, a3), Ops::Mul(pr, b3));
    const V bm = Ops::Sqrt(Ops::Add(Ops::Mul(br, br), Ops::Mul(bi, bi)));
    Ops::Store(sums.real + i, Ops::Add(Ops::Load(sums.real + i), br));
    Ops::Store(sums.imag + i, Ops::Add(Ops::Load(sums.imag + i), bi));
    Ops::Store(sums.magnitude + i, Ops::Add(Ops::Load(sums.magnitude + i), bm));
    // A zero product has no phase: it adds nothing to the unit sums (the
    // quotient is formed in every lane and kept only where |B| > 0).
    const typename Ops::Mask phase = Ops::Positive(bm);
    const V ur = Ops::Load(sums.unitReal + i);
    const V ui = Ops::Load(sums.unitImag + i);
    Ops::Store(sums.unitReal + i, Ops::Select(phase, Ops::Add(ur, Ops::Div(br, bm)), ur));
    Ops::Store(sums.unitImag + i, Ops::Select(phase, Ops::Add(ui, Ops::Div(bi, bm)), ui));
  }
  if constexpr (Ops::kWidth > 1) AccumulateRowBody<PlainOps>(re, im, f1, sums, i, count);
}

template <class Ops>
void AccumulateRow(const float* re, const float* im, int f1, const BispectralSums& sums) {
  AccumulateRowBody<Ops>(re, im, f1, sums, 0, 96 - 2 * f1);
}

template <class Ops>
void MoveSumBody(float* sum, const float* current, const float* leaving, std::size_t from, std::size_t n) {
  std::size_t i = from;
  for (; i + Ops::kWidth <= n; i += Ops::kWidth)
    Ops::Store(sum + i, Ops::Add(Ops::Load(sum + i), Ops::Sub(Ops::Load(current + i), Ops::Load(leaving + i))));
  if constexpr (Ops::kWidth > 1) MoveSumBody<PlainOps>(sum, current, leaving, i, n);
}

template <class Ops>
void MoveSum(float* sum, const float* current, const float* leaving, std::size_t n) {
  MoveSumBody<Ops>(sum, current, leaving, 0, n);
}

template <class Ops>
void MagnitudePercentBody(const float* x, const float* y, const float* sumB, const float* denominators,
                          float denominator, float* m, float* percent, std::size_t from, std::size_t n) {
  using V = typename Ops::V;
  const V hundred = Ops::Set(100.0f), zero = Ops::Set(0.0f), single = Ops::Set(denominator);
  std::size_t i = from;
  for (; i + Ops::kWidth <= n; i += Ops::kWidth) {
    const V xi = Ops::Load(x + i), yi = Ops::Load(y + i);
    const V mi = Ops::Sqrt(Ops::Add(Ops::Mul(xi, xi), Ops::Mul(yi, yi)));
    const V d = denominators != nullptr ? Ops::Load(denominators + i) : single;
    const V pi = Ops::Div(Ops::Mul(hundred, mi), d);
    // Nothing accumulated at this pair: no quotient (formed, then discarded).
    const typename Ops::Mask some = Ops::NonZero(Ops::Load(sumB + i));
    Ops::Store(m + i, Ops::Select(some, mi, zero));
    Ops::Store(percent + i, Ops::Select(some, pi, zero));
  }
  if constexpr (Ops::kWidth > 1) MagnitudePercentBody<PlainOps>(x, y, sumB, denominators, denominator, m, percent, i, n);
}

template <class Ops>
void MagnitudePercent(const float* x, const float* y, const float* sumB, const float* denominators,
                      float denominator, float* m, float* percent, std::size_t n) {
  MagnitudePercentBody<Ops>(x, y, sumB, denominators, denominator, m, percent, 0, n);
}

template <class Ops>
void ButterflyStage(float* re, float* im, int h, const float* cosines, const float* sines) {
  using V = typename Ops::V;
  for (int block = 0; block < 256; block += 2 * h) {
    for (int j = 0; j < h; j += Ops::kWidth) {
      const int k = block + j;
      const int m = k + h;
      const V c = Ops::Load(cosines + j), s = Ops::Load(sines + j);
      const V rm = Ops::Load(re + m), im_ = Ops::Load(im + m);
      const V rk = Ops::Load(re + k), ik = Ops::Load(im + k);
      const V tr = Ops::Add(Ops::Mul(c, rm), Ops::Mul(s, im_));
      const V ti = Ops::Sub(Ops::Mul(c, im_), Ops::Mul(s, rm));
      Ops::Store(re + m, Ops::Sub(rk, tr));
      Ops::Store(im + m, Ops::Sub(ik, ti));
      Ops::Store(re + k, Ops::Add(rk, tr));
      Ops::Store(im + k, Ops::Add(ik, ti));
    }
  }
}

// Ops for the wide loops; NarrowOps (at most four floats) for the stage of
// half-size 4, which a wider register would straddle.
template <class Ops, class NarrowOps>
Kernels MakeKernels(KernelPath path) {
  static_assert(8 % Ops::kWidth == 0 && 4 % NarrowOps::kWidth == 0, "stages fill whole registers");
  return Kernels{path,
                 &AccumulateRow<Ops>,
                 &MoveSum<Ops>,
                 &ButterflyStage<Ops>,
                 &ButterflyStage<NarrowOps>,
                 &MagnitudePercent<Ops>};
}

}  // namespace
}  // namespace qs
