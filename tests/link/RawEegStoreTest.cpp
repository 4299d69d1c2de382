#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "link/LinkTestSupport.h"
#include "link/RawEegStore.h"

namespace qs {
namespace {

using test::Bytes;

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
  std::unique_ptr<RawWaveBuffer> holder_ = std::make_unique<RawWaveBuffer>();
  RawWaveBuffer& wave_ = *holder_;
  PacketSecondRing seconds_;
};

TEST_F(RawEegStoreTest, TwoChannels128TakesEverySecondSample) {
  const Bytes p = RawMessage(RawLayout::TwoChannels128, 0, Tagged);
  for (int channel = 0; channel < 2; ++channel) {
    wave_.ResetPositions();
    ASSERT_EQ(StoreRawEeg(p.data(), RawLayout::TwoChannels128, channel, true, false, wave_, seconds_),
              StoreResult::Stored);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave128[i], Tagged(i, channel)) << "sample " << i;
    EXPECT_EQ(wave_.Wave128Write, 16);
    EXPECT_EQ(wave_.Wave128Pending, 16);
    EXPECT_EQ(wave_.Wave256Pending, 0) << "the 256 Hz ring is left alone at 128 Hz";
  }
}

TEST_F(RawEegStoreTest, FourChannelsTakesEveryFourthSample) {
  const Bytes p = RawMessage(RawLayout::FourChannels128, 0, Tagged);
  for (int channel = 0; channel < 4; ++channel) {
    wave_.ResetPositions();
    StoreRawEeg(p.data(), RawLayout::FourChannels128, channel, true, false, wave_, seconds_);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave128[i], Tagged(i, channel)) << "sample " << i;
    EXPECT_EQ(wave_.Wave128Pending, 16);
  }
}

TEST_F(RawEegStoreTest, TwoChannels256FillsBothRings) {
  const Bytes p = RawMessage(RawLayout::TwoChannels256, 0, [](int f, int c) { return c == 1 ? 10 * f : -1; });
  StoreRawEeg(p.data(), RawLayout::TwoChannels256, 1, true, false, wave_, seconds_);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(wave_.Wave256[i], 10 * i);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave128[i], (20 * i + 20 * i + 10) / 2) << "pair " << i;
  EXPECT_EQ(wave_.Wave256Write, 32);
  EXPECT_EQ(wave_.Wave256Pending, 32);
  EXPECT_EQ(wave_.Wave128Write, 16);
  EXPECT_EQ(wave_.Wave128Pending, 16);
}

TEST_F(RawEegStoreTest, PairMeanAt256HzTruncatesTowardZero) {
  // Pairs: (3, -4) -> 0, (-3, -4) -> -3, (-1, 0) -> 0, (5, 6) -> 5, and the
  // extremes, whose sum does not fit 16 bits.
  const int pairs[][3] = {{3, -4, 0},        {-3, -4, -3},          {-1, 0, 0},
                          {5, 6, 5},         {32767, 32767, 32767}, {-32768, -32768, -32768},
                          {-32768, 32767, 0}};
  const Bytes p = RawMessage(RawLayout::TwoChannels256, 0, [&](int f, int c) {
    const int k = (f / 2) % 7;
    return c == 0 ? pairs[k][f % 2] : 99;
  });
  StoreRawEeg(p.data(), RawLayout::TwoChannels256, 0, true, false, wave_, seconds_);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave128[i], pairs[i % 7][2]) << "pair " << i;
}

TEST_F(RawEegStoreTest, ChannelBeyondTheLayoutWrapsToOneItCarries) {
  const Bytes two = RawMessage(RawLayout::TwoChannels128, 0, Tagged);
  StoreRawEeg(two.data(), RawLayout::TwoChannels128, 3, true, false, wave_, seconds_);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave128[i], Tagged(i, 1)) << "channel 3 reads channel 1";

  const Bytes wide = RawMessage(RawLayout::TwoChannels256, 0, Tagged);
  wave_.ResetPositions();
  StoreRawEeg(wide.data(), RawLayout::TwoChannels256, 2, true, false, wave_, seconds_);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(wave_.Wave256[i], Tagged(i, 0)) << "channel 2 reads channel 0";

  const Bytes four = RawMessage(RawLayout::FourChannels128, 0, Tagged);
  wave_.ResetPositions();
  StoreRawEeg(four.data(), RawLayout::FourChannels128, -1, true, false, wave_, seconds_);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave128[i], Tagged(i, 3)) << "channel -1 reads channel 3";
}

TEST_F(RawEegStoreTest, PositionsWrapAtTheEndOfEachRing) {
  wave_.Wave128Write = 1016;
  wave_.Wave256Write = 2032;
  const Bytes p = RawMessage(RawLayout::TwoChannels256, 0, [](int f, int) { return f + 1; });
  StoreRawEeg(p.data(), RawLayout::TwoChannels256, 0, true, false, wave_, seconds_);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(wave_.Wave256[2032 + i], i + 1);
  for (int i = 16; i < 32; ++i) EXPECT_EQ(wave_.Wave256[i - 16], i + 1);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(wave_.Wave128[1016 + i], (2 * i + 1 + 2 * i + 2) / 2);
  for (int i = 8; i < 16; ++i) EXPECT_EQ(wave_.Wave128[i - 8], (2 * i + 1 + 2 * i + 2) / 2);
  EXPECT_EQ(wave_.Wave256Write, 16);
  EXPECT_EQ(wave_.Wave128Write, 8);
}

TEST_F(RawEegStoreTest, The65thMessageAt128HzOverflowsAndOverwritesNothing) {
  for (int k = 0; k < 64; ++k) {
    const Bytes p = RawMessage(RawLayout::TwoChannels128, static_cast<std::uint16_t>(k),
                               [k](int f, int) { return k * 16 + f; });
    ASSERT_EQ(StoreRawEeg(p.data(), RawLayout::TwoChannels128, 0, true, k % 8 == 0, wave_, seconds_),
              StoreResult::Stored)
        << "message " << k + 1;
  }
  EXPECT_EQ(wave_.Wave128Pending, 1024);
  const RawWaveBuffer before = wave_;
  const PacketSecondRing secondsBefore = seconds_;

  const Bytes p65 = RawMessage(RawLayout::TwoChannels128, 64, [](int, int) { return -1; });
  EXPECT_EQ(StoreRawEeg(p65.data(), RawLayout::TwoChannels128, 0, true, true, wave_, seconds_),
            StoreResult::Overflow);
  EXPECT_EQ(wave_.Wave128, before.Wave128) << "the oldest unread samples are intact";
  EXPECT_EQ(wave_.Wave128Write, before.Wave128Write);
  EXPECT_EQ(wave_.Wave128Pending, 1024);
  EXPECT_EQ(seconds_.position, secondsBefore.position);
  EXPECT_EQ(seconds_.seconds, secondsBefore.seconds);
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(wave_.Wave128[i], i);

  // Once the calculation takes a block, there is room again.
  wave_.Wave128Pending -= 64;
  EXPECT_EQ(StoreRawEeg(p65.data(), RawLayout::TwoChannels128, 0, true, false, wave_, seconds_),
            StoreResult::Stored);
}

TEST_F(RawEegStoreTest, The65thMessageAt256HzOverflowsToo) {
  const Bytes p = RawMessage(RawLayout::TwoChannels256, 0, Tagged);
  for (int k = 0; k < 64; ++k) {
    ASSERT_EQ(StoreRawEeg(p.data(), RawLayout::TwoChannels256, 0, true, false, wave_, seconds_),
              StoreResult::Stored);
  }
  EXPECT_EQ(wave_.Wave256Pending, 2048);
  EXPECT_EQ(StoreRawEeg(p.data(), RawLayout::TwoChannels256, 0, true, false, wave_, seconds_),
            StoreResult::Overflow);
  EXPECT_EQ(wave_.Wave256Pending, 2048);
  EXPECT_EQ(wave_.Wave128Pending, 1024);
}

TEST_F(RawEegStoreTest, WithoutTheOverflowTestTheReplayKeepsStoring) {
  const Bytes p = RawMessage(RawLayout::TwoChannels128, 0, Tagged);
  for (int k = 0; k < 65; ++k) {
    ASSERT_EQ(StoreRawEeg(p.data(), RawLayout::TwoChannels128, 0, false, false, wave_, seconds_),
              StoreResult::Stored);
  }
  EXPECT_EQ(wave_.Wave128Pending, 1040);
  EXPECT_EQ(wave_.Wave128Write, 16);
}

TEST_F(RawEegStoreTest, FirstOfSecondAppendsTheSequenceNumberDividedBy8) {
  const Bytes a = RawMessage(RawLayout::TwoChannels128, 8 * 1234, Tagged);
  const Bytes b = RawMessage(RawLayout::TwoChannels128, 8 * 1234 + 1, Tagged);
  const Bytes c = RawMessage(RawLayout::TwoChannels128, 65535, Tagged);
  StoreRawEeg(a.data(), RawLayout::TwoChannels128, 0, true, true, wave_, seconds_);
  StoreRawEeg(b.data(), RawLayout::TwoChannels128, 0, true, false, wave_, seconds_);
  EXPECT_EQ(seconds_.position, 1);
  EXPECT_EQ(seconds_.seconds[0], 1234);
  StoreRawEeg(c.data(), RawLayout::TwoChannels128, 0, true, true, wave_, seconds_);
  EXPECT_EQ(seconds_.position, 2);
  EXPECT_EQ(seconds_.seconds[1], 8191);
}

}  // namespace
}  // namespace qs
