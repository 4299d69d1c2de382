#include "dsp/Transform.h"

#include <cmath>
#include <numbers>

namespace qs {

void TransformTables::Build() {
  for (int k = 0; k < 320; ++k) sine[static_cast<std::size_t>(k)] = static_cast<float>(std::sin(2.0 * std::numbers::pi * k / 256.0));
  sine[64] = 1.0f;
  sine[192] = -1.0f;
  for (int n = 0; n < kEpochPoints; ++n) {
    int r = 0;
    for (int bit = 0; bit < 8; ++bit) r |= ((n >> bit) & 1) << (7 - bit);
    bitReverse[static_cast<std::size_t>(n)] = static_cast<std::uint8_t>(r);
    window[static_cast<std::size_t>(n)] = static_cast<float>(0.42 - 0.5 * std::cos(2.0 * std::numbers::pi * n / 255.0) +
                                                             0.8 * std::cos(4.0 * std::numbers::pi * n / 255.0));
  }
  for (int h = 1; h < kEpochPoints; h *= 2) {
    const int step = kEpochPoints / (2 * h);
    for (int j = 0; j < h; ++j) {
      stageCos[static_cast<std::size_t>(h + j)] = sine[static_cast<std::size_t>(j * step + 64)];
      stageSin[static_cast<std::size_t>(h + j)] = sine[static_cast<std::size_t>(j * step)];
    }
  }
}

void Butterflies(const TransformTables& tables, float* re, float* im, const Kernels& kernels) {
  for (int h = 1; h < kEpochPoints; h *= 2) {
    if (h >= 4) {
      (h == 4 ? kernels.butterflyStageFour : kernels.butterflyStage)(re, im, h, tables.stageCos.data() + h,
                                                                      tables.stageSin.data() + h);
      continue;
    }
    const int step = kEpochPoints / (2 * h);
    for (int j = 0; j < h; ++j) {
      const float c = tables.sine[static_cast<std::size_t>(j * step + 64)];
      const float s = tables.sine[static_cast<std::size_t>(j * step)];
      for (int k = j; k < kEpochPoints; k += 2 * h) {
        const int m = k + h;
        const float tr = c * re[m] + s * im[m];
        const float ti = c * im[m] - s * re[m];
        re[m] = re[k] - tr;
        im[m] = im[k] - ti;
        re[k] += tr;
        im[k] += ti;
      }
    }
  }
}

void TransformEpoch(const float* ring, int epochBlock, const TransformTables& tables, float* re, float* im,
                    const Kernels& kernels) {
  // Each windowed sample goes straight to its bit-reversed place: the same
  // products as windowing first and swapping afterwards, without the swaps.
  const int start = 64 * epochBlock;
  for (int n = 0; n < kEpochPoints; ++n) {
    const std::size_t r = tables.bitReverse[static_cast<std::size_t>(n)];
    re[r] = ring[(start + n) & (kWaveRingSamples - 1)] * tables.window[static_cast<std::size_t>(n)];
    im[r] = 0.0f;
  }
  Butterflies(tables, re, im, kernels);
  constexpr float kScale = 0.00390625f;  // 1/256, exact
  // Two loops over one array each: no question of re and im overlapping, so
  // each runs several elements at a time.
  for (int n = 0; n < kEpochPoints; ++n) re[n] *= kScale;
  for (int n = 0; n < kEpochPoints; ++n) im[n] *= kScale;
}

}  // namespace qs
