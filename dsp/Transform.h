#pragma once
// The 256-point Fourier transform of one 2-s epoch, table-driven, and its
// tables. Conventions, fixed so that results are reproducible bit for bit:
//
//  * Sine table: 320 floats, entry k = sin(2*pi*k/256) computed in double and
//    rounded once to float; entries 64 and 192 are exactly 1 and -1. The cosine
//    of 2*pi*k/256 is entry k + 64.
//  * Window: w[n] = 0.42 - 0.5 cos(2*pi*n/255) + 0.8 cos(4*pi*n/255), in double,
//    rounded to float. The third coefficient is 0.8, not Blackman's 0.08: the
//    window does not fall to zero (w[0] = w[255] = 0.72), and every power
//    threshold of the analysis is stated for this window.
//  * Transform: forward, X[k] = sum x[n] e^(-2*pi*i*k*n/256), radix-2
//    decimation in time after bit-reversal reordering, all in float, then every
//    value multiplied by 1/256. Bin k is k x 0.5 Hz at 128 Hz sampling.
#include <array>
#include <cstdint>

#include "dsp/VectorKernels.h"

namespace qs {

inline constexpr int kEpochPoints = 256;
inline constexpr int kWaveRingSamples = 1024;  // 16 blocks of 64

struct TransformTables {
  std::array<float, 320> sine{};
  std::array<std::uint8_t, kEpochPoints> bitReverse{};
  std::array<float, kEpochPoints> window{};
  // The twiddle factors of each stage side by side: the stage of half-size h
  // uses cos/sin(2 pi j / 2h), j < h, at [h + j] (the sine table's entries
  // j (256 / 2h) + 64 and j (256 / 2h), copied, not recomputed).
  std::array<float, kEpochPoints> stageCos{};
  std::array<float, kEpochPoints> stageSin{};

  void Build();
};

// Windows the 256 samples starting at block epochBlock of a 1024-sample ring
// (wrapping) and transforms them into re and im.
void TransformEpoch(const float* ring, int epochBlock, const TransformTables& tables, float* re, float* im,
                    const Kernels& kernels = ActiveKernels());

// The butterflies alone, on arrays already windowed and bit-reverse ordered
// (without the 1/256 scale).
// Stages of half-size 4 and more run through the vector kernels: every
// butterfly of a stage is independent, so running several side by side
// changes no result.
void Butterflies(const TransformTables& tables, float* re, float* im, const Kernels& kernels = ActiveKernels());

}  // namespace qs
