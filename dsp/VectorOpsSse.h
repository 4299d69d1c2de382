#pragma once
// The element operations over four floats (SSE registers), for the kernels'
// bodies (dsp/VectorKernelBodies.h). Internal linkage: the SSE2 file uses
// them as its wide operations, the AVX2 file for the transform's stage of
// half-size 4, compiled there with the AVX encoding and never shared.
#include <immintrin.h>

namespace qs {
namespace {

struct Sse2Ops {
  using V = __m128;
  using Mask = __m128;
  static constexpr int kWidth = 4;
  static V Load(const float* p) { return _mm_loadu_ps(p); }
  static void Store(float* p, V v) { _mm_storeu_ps(p, v); }
  static V Set(float x) { return _mm_set1_ps(x); }
  static V Add(V a, V b) { return _mm_add_ps(a, b); }
  static V Sub(V a, V b) { return _mm_sub_ps(a, b); }
  static V Mul(V a, V b) { return _mm_mul_ps(a, b); }
  static V Div(V a, V b) { return _mm_div_ps(a, b); }
  static V Sqrt(V a) { return _mm_sqrt_ps(a); }
  static Mask Positive(V a) { return _mm_cmpgt_ps(a, _mm_setzero_ps()); }
  static Mask NonZero(V a) { return _mm_cmpneq_ps(a, _mm_setzero_ps()); }  // true for NaN, as a != 0
  static V Select(Mask m, V a, V b) { return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b)); }
};

}  // namespace
}  // namespace qs
