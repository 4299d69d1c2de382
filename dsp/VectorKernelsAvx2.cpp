// The AVX2 forms of the vector kernels: eight floats per register. This file
// alone is compiled for AVX2 (and without FMA, so no product is fused into a
// sum); nothing in it runs unless the processor reports AVX2.
#include <immintrin.h>

#include "dsp/VectorKernelBodies.h"
#include "dsp/VectorOpsSse.h"

namespace qs {
namespace {

struct Avx2Ops {
  using V = __m256;
  using Mask = __m256;
  static constexpr int kWidth = 8;
  static V Load(const float* p) { return _mm256_loadu_ps(p); }
  static void Store(float* p, V v) { _mm256_storeu_ps(p, v); }
  static V Set(float x) { return _mm256_set1_ps(x); }
  static V Add(V a, V b) { return _mm256_add_ps(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_ps(a, b); }
  static V Mul(V a, V b) { return _mm256_mul_ps(a, b); }
  static V Div(V a, V b) { return _mm256_div_ps(a, b); }
  static V Sqrt(V a) { return _mm256_sqrt_ps(a); }
  static Mask Positive(V a) { return _mm256_cmp_ps(a, _mm256_setzero_ps(), _CMP_GT_OQ); }
  static Mask NonZero(V a) { return _mm256_cmp_ps(a, _mm256_setzero_ps(), _CMP_NEQ_UQ); }  // true for NaN, as a != 0
  static V Select(Mask m, V a, V b) { return _mm256_blendv_ps(b, a, m); }
};

}  // namespace

Kernels Avx2Kernels() { return MakeKernels<Avx2Ops, Sse2Ops>(KernelPath::Avx2); }

}  // namespace qs
