#include "core/RawEegStore.h"

#include "protocol/PacketFormat.h"

namespace qs {

namespace {
constexpr int kSamplesPerMessage128 = 16;
constexpr int kSamplesPerMessage256 = 32;
}  // namespace

bool RawStoreWouldOverflow(RawLayout layout, const RawWaveBuffer& wave) {
  // At 256 Hz both rings fill in step (16 of 1024, 32 of 2048 per message)
  // and are drained in step; testing both keeps either from being
  // overwritten should they ever drift apart.
  if (wave.Wave128Pending + kSamplesPerMessage128 > RawWaveBuffer::kSize128) return true;
  return layout == RawLayout::TwoChannels256 && wave.Wave256Pending + kSamplesPerMessage256 > RawWaveBuffer::kSize256;
}

StoreResult StoreRawEeg(const std::uint8_t* packet, RawLayout layout, int channel, bool checkOverflow,
                        bool firstOfSecond, RawWaveBuffer& wave, PacketSecondRing& seconds) {
  const int channels = RawChannels(layout);
  // Non-negative remainder, so even a negative channel stays inside the frame.
  const int c = ((channel % channels) + channels) % channels;
  const bool rate256 = layout == RawLayout::TwoChannels256;

  if (checkOverflow && RawStoreWouldOverflow(layout, wave)) return StoreResult::Overflow;

  const std::uint8_t* samples = packet + kOffRawSamples;
  auto sample = [&](int frame) {
    return GetI16(samples + static_cast<std::ptrdiff_t>(2 * (frame * channels + c)));
  };

  if (rate256) {
    const int start256 = wave.Wave256Write;
    for (int i = 0; i < kSamplesPerMessage256; ++i) {
      wave.Wave256[static_cast<std::size_t>((start256 + i) % RawWaveBuffer::kSize256)] = sample(i);
    }
    // Each 128 Hz sample is the mean of the pair just written, with C++'s
    // division truncating toward zero: 3 and -4 give 0, -3 and -4 give -3.
    for (int i = 0; i < kSamplesPerMessage128; ++i) {
      const int a = wave.Wave256[static_cast<std::size_t>((start256 + 2 * i) % RawWaveBuffer::kSize256)];
      const int b = wave.Wave256[static_cast<std::size_t>((start256 + 2 * i + 1) % RawWaveBuffer::kSize256)];
      wave.Wave128[static_cast<std::size_t>((wave.Wave128Write + i) % RawWaveBuffer::kSize128)] =
          static_cast<std::int16_t>((a + b) / 2);
    }
    wave.Wave256Write = (start256 + kSamplesPerMessage256) % RawWaveBuffer::kSize256;
    wave.Wave256Pending += kSamplesPerMessage256;
  } else {
    for (int i = 0; i < kSamplesPerMessage128; ++i) {
      wave.Wave128[static_cast<std::size_t>((wave.Wave128Write + i) % RawWaveBuffer::kSize128)] = sample(i);
    }
  }
  wave.Wave128Write = (wave.Wave128Write + kSamplesPerMessage128) % RawWaveBuffer::kSize128;
  wave.Wave128Pending += kSamplesPerMessage128;

  if (firstOfSecond) seconds.Append(static_cast<std::uint16_t>(GetU16(packet + kOffMsgSeq) >> 3));
  return StoreResult::Stored;
}

}  // namespace qs
