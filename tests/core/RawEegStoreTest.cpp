#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

#include "core/RawEegStore.h"
#include "protocol/ProtocolTestSupport.h"

namespace qs {
namespace {

using test::Bytes;
constexpr RawLayout k128 = RawLayout::TwoChannels128, k256 = RawLayout::TwoChannels256,
                    kFour = RawLayout::FourChannels128;

// A message 50 of the layout with sample(frame, channel) in every slot.
Bytes RawMessage(RawLayout layout, std::uint16_t msgSeq, const std::function<int(int, int)>& sample) {
  const int frames = RawFrames(layout), channels = RawChannels(layout);
  std::vector<std::int16_t> s(static_cast<std::size_t>(frames * channels));
  for (int f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c)
      s[static_cast<std::size_t>(f * channels + c)] = static_cast<std::int16_t>(sample(f, c));
  }
  Bytes p;
  AppendRawEeg(p, 0, msgSeq, layout, s);
  return p;
}

int Tagged(int frame, int channel) {
  return 100 * frame + channel;
}

class RawEegStoreTest : public ::testing::Test {
 protected:
  StoreResult Store(const Bytes& p, RawLayout layout, int channel = 0, bool check = true,
                    bool first = false) {
    return StoreRawEeg(p.data(), layout, channel, check, first, wave_, seconds_);
  }
  std::unique_ptr<RawWaveBuffer> holder_ = std::make_unique<RawWaveBuffer>();
  RawWaveBuffer& wave_ = *holder_;
  PacketSecondRing seconds_;
};

TEST_F(RawEegStoreTest, EachLayoutStoresTheChannelModuloItsChannelCount) {
  const struct {
    RawLayout layout;
    int channel, reads;
  } cases[] = {{k128, 0, 0},  {k128, 1, 1},   {k128, 3, 1}, {kFour, 0, 0}, {kFour, 2, 2},
               {kFour, 3, 3}, {kFour, -1, 3}, {k256, 0, 0}, {k256, 1, 1},  {k256, 2, 0}};
  for (const auto& c : cases) {
    const Bytes p = RawMessage(c.layout, 0, Tagged);
    wave_.ResetPositions();
    ASSERT_EQ(Store(p, c.layout, c.channel), StoreResult::Stored);
    const bool wide = c.layout == k256;
    for (int i = 0; i < 16; ++i) {
      const int expected =
          wide ? (Tagged(2 * i, c.reads) + Tagged(2 * i + 1, c.reads)) / 2 : Tagged(i, c.reads);
      EXPECT_EQ(wave_.Wave128[i], expected) << "channel " << c.channel << " sample " << i;
    }
    for (int i = 0; wide && i < 32; ++i) EXPECT_EQ(wave_.Wave256[i], Tagged(i, c.reads)) << "sample " << i;
    EXPECT_EQ((std::array<int, 4>{wave_.Wave128Write, wave_.Wave128Pending, wave_.Wave256Write,
                                  wave_.Wave256Pending}),
              (std::array<int, 4>{16, 16, wide ? 32 : 0, wide ? 32 : 0}));
  }
}

TEST_F(RawEegStoreTest, PairMeanAt256HzTruncatesTowardZero) {
  // (3, -4) -> 0, (-3, -4) -> -3, and extremes whose sum does not fit 16 bits.
  const int pairs[][3] = {{3, -4, 0},        {-3, -4, -3},          {-1, 0, 0},
                          {5, 6, 5},         {32767, 32767, 32767}, {-32768, -32768, -32768},
                          {-32768, 32767, 0}};
  const Bytes p = RawMessage(k256, 0, [&](int f, int c) { return c == 0 ? pairs[(f / 2) % 7][f % 2] : 99; });
  Store(p, k256);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave128[i], pairs[i % 7][2]) << "pair " << i;
}

TEST_F(RawEegStoreTest, PositionsWrapAtTheEndOfEachRing) {
  wave_.Wave128Write = 1016;
  wave_.Wave256Write = 2032;
  Store(RawMessage(k256, 0, [](int f, int) { return f + 1; }), k256);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(wave_.Wave256[(2032 + i) % 2048], i + 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave128[(1016 + i) % 1024], (4 * i + 3) / 2);
  EXPECT_EQ(wave_.Wave256Write, 16);
  EXPECT_EQ(wave_.Wave128Write, 8);
}

// The 65th message overflows and overwrites nothing, at 256 Hz also when only
// that ring is full; the replay stores without the overflow test.
TEST_F(RawEegStoreTest, AFullRingOverflowsAndOverwritesNothing) {
  for (int k = 0; k < 64; ++k) {
    const Bytes p =
        RawMessage(k128, static_cast<std::uint16_t>(65000 + k), [k](int f, int) { return k * 16 + f; });
    ASSERT_EQ(Store(p, k128, 0, true, k % 8 == 0), StoreResult::Stored) << "message " << k + 1;
  }
  const Bytes p65 = RawMessage(k128, 64, [](int, int) { return -1; });
  EXPECT_EQ(Store(p65, k128, 0, true, true), StoreResult::Overflow);
  EXPECT_EQ(wave_.Wave128Write, 0);
  EXPECT_EQ(wave_.Wave128Pending, 1024);
  EXPECT_EQ(seconds_.position, 0);
  EXPECT_EQ(seconds_.seconds, (std::array<std::uint16_t, 8>{8125, 8126, 8127, 8128, 8129, 8130, 8131, 8132}))
      << "unsigned sequence / 8 per second";
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(wave_.Wave128[i], i);
  wave_.Wave128Pending -= 64;  // the calculation took a block
  EXPECT_EQ(Store(p65, k128), StoreResult::Stored);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Store(p65, k128, 0, false), StoreResult::Stored);
  EXPECT_EQ(wave_.Wave128Pending, 1040);

  const Bytes p = RawMessage(k256, 0, Tagged);
  wave_.Wave128Pending = 0;
  for (int k = 0; k < 64; ++k) ASSERT_EQ(Store(p, k256), StoreResult::Stored);
  EXPECT_EQ(Store(p, k256), StoreResult::Overflow);
  EXPECT_EQ(wave_.Wave256Pending, 2048);
  EXPECT_EQ(wave_.Wave128Pending, 1024);
  wave_.Wave128Pending = 0;  // the rings drifted apart: the 256 Hz one alone is full
  EXPECT_EQ(Store(p, k256), StoreResult::Overflow);
  EXPECT_EQ(wave_.Wave256Pending, 2048);
}

}  // namespace
}  // namespace qs
