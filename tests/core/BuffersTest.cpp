// The records the threads hand each other: the drawing request queue, the
// history buffer and the raw EEG rings.
#include <gtest/gtest.h>

#include <functional>
#include <limits>

#include "core/DrawRequestQueue.h"
#include "core/ProcessingBuffers.h"
#include "core/RawEegStore.h"
#include "protocol/ProtocolTestSupport.h"

namespace qs {
namespace {

struct QueueFixture : ::testing::Test {
  using Requests = std::vector<DrawRequest>;
  Requests Drain() {
    Requests out;
    for (DrawRequest r; queue.Front(r); queue.PopFront()) out.push_back(r);
    return out;
  }
  EventGroup group;
  AutoResetEvent wake{group};
  CriticalSection lock;
  DrawRequestQueue queue{lock, wake, 4};
};

// A push signals only into an empty queue; a batch signals always. The queue
// grows past its capacity keeping the order; the head has left slot 0 by then,
// so growth has to unroll a wrapped ring.
TEST_F(QueueFixture, OnlyThePushIntoAnEmptyQueueOrABatchSignalsAndGrowthKeepsTheOrder) {
  queue.Push({TrendRecord});
  EXPECT_TRUE(wake.Wait(0));
  queue.Push({PrevHour});
  EXPECT_FALSE(wake.IsSet()) << "the queue was not empty before this push";
  queue.PushBatch({{WaveReset}, {PowerFrame}, {BicReset}});
  EXPECT_TRUE(wake.Wait(0));
  EXPECT_EQ(Drain(), (Requests{{TrendRecord}, {PrevHour}, {WaveReset}, {PowerFrame}, {BicReset}}));

  Requests expected;
  for (int i = 0; i < 40; ++i) {
    queue.Push({WaveSecond, i, -i});
    if (i == 2) queue.PopFront(), queue.PopFront();
    if (i >= 2) expected.push_back({WaveSecond, i, -i});
  }
  EXPECT_EQ(std::pair(queue.Size(), queue.HighWater()), (std::pair<std::size_t, std::size_t>(38, 38)));
  EXPECT_EQ(Drain(), expected);
  queue.PopFront();  // popping an empty queue is harmless
  EXPECT_EQ(queue.Size(), 0u);
}

// MaxMem hours of zeroed records that wrap; a size the buffers cannot hold is
// refused and nothing is kept. The largest MaxMem the settings file accepts,
// 2^31-1 hours, is 7.7e11 records, which must not wrap around to a small
// allocation.
TEST(ProcessingBuffers, HistoryHoldsMaxMemHoursOfZeroedRecordsAndRefusesWhatItCannotHold) {
  ProcessingBuffers b;
  ASSERT_TRUE(b.Allocate(8));
  ASSERT_EQ(b.trend.capacity, 8u * 360u);
  for (std::size_t i = 0; i < 2880; i += 97) EXPECT_EQ(b.trend.records[i][EpochResult::Bis], 0.0f);
  b.trend.index = 2879, b.trend.Advance();
  EXPECT_EQ(b.trend.index, 0) << "after the last record the index wraps to the first";

  static std::size_t requested = 0;  // an allocation that fails and tells what it was asked for
  auto spy = [](std::size_t count, std::size_t) -> void* { return requested = count, nullptr; };
  EXPECT_FALSE(b.Allocate(24, spy) || b.Allocated());
  EXPECT_EQ(std::pair(requested, b.trend.capacity), (std::pair<std::size_t, std::size_t>(24 * 360, 0)));
  EXPECT_FALSE(b.Allocate(std::numeric_limits<std::int32_t>::max(), spy));
  EXPECT_EQ(requested, static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()) * 360u);
  EXPECT_FALSE(b.Allocate(0));
}

using test::Bytes;
constexpr RawLayout k128 = RawLayout::TwoChannels128, k256 = RawLayout::TwoChannels256,
                    kFour = RawLayout::FourChannels128;
constexpr auto Tagged = [](int frame, int channel) { return 100 * frame + channel; };

// A message 50 of the layout with sample(frame, channel) in every slot.
Bytes RawMessage(RawLayout layout, std::uint16_t msgSeq, const std::function<int(int, int)>& sample) {
  const int channels = RawChannels(layout);
  std::vector<std::int16_t> s(static_cast<std::size_t>(RawFrames(layout) * channels));
  for (int i = 0; i < static_cast<int>(s.size()); ++i)
    s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(sample(i / channels, i % channels));
  Bytes p;
  AppendRawEeg(p, 0, msgSeq, layout, s);
  return p;
}

struct RawEegStoreTest : ::testing::Test {
  StoreResult Store(const Bytes& p, RawLayout l, int channel = 0, bool check = true, bool first = false) {
    return StoreRawEeg(p.data(), l, channel, check, first, w, seconds);
  }
  std::unique_ptr<RawWaveBuffer> holder = std::make_unique<RawWaveBuffer>();
  RawWaveBuffer& w = *holder;
  PacketSecondRing seconds;
};

TEST_F(RawEegStoreTest, EachLayoutStoresTheChannelModuloItsChannelCountAndPositionsWrap) {
  const std::tuple<RawLayout, int, int> cases[] = {
      {k128, 0, 0},  {k128, 1, 1},   {k128, 3, 1}, {kFour, 0, 0}, {kFour, 2, 2},
      {kFour, 3, 3}, {kFour, -1, 3}, {k256, 0, 0}, {k256, 1, 1},  {k256, 2, 0}};
  for (const auto& [layout, channel, reads] : cases) {
    w.ResetPositions();
    ASSERT_EQ(Store(RawMessage(layout, 0, Tagged), layout, channel), StoreResult::Stored);
    const bool wide = layout == k256;
    for (int i = 0; i < 16; ++i)
      EXPECT_EQ(w.Wave128[i], wide ? (Tagged(2 * i, reads) + Tagged(2 * i + 1, reads)) / 2 : Tagged(i, reads))
          << i;
    for (int i = 0; wide && i < 32; ++i) EXPECT_EQ(w.Wave256[i], Tagged(i, reads)) << "sample " << i;
    EXPECT_EQ((std::array{w.Wave128Write, w.Wave128Pending, w.Wave256Write, w.Wave256Pending}),
              (std::array{16, 16, wide ? 32 : 0, wide ? 32 : 0}));
  }

  // The pair mean at 256 Hz truncates toward zero, also for extremes whose sum
  // does not fit 16 bits; the positions wrap at the end of each ring.
  w.ResetPositions();
  const int pairs[][3] = {{3, -4, 0},        {-3, -4, -3},          {-1, 0, 0},
                          {5, 6, 5},         {32767, 32767, 32767}, {-32768, -32768, -32768},
                          {-32768, 32767, 0}};
  Store(RawMessage(k256, 0, [&](int f, int c) { return c == 0 ? pairs[(f / 2) % 7][f % 2] : 99; }), k256);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(w.Wave128[i], pairs[i % 7][2]) << "pair " << i;

  w.Wave128Write = 1016, w.Wave256Write = 2032;
  Store(RawMessage(k256, 0, [](int f, int) { return f + 1; }), k256);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(w.Wave256[(2032 + i) % 2048], i + 1);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(w.Wave128[(1016 + i) % 1024], (4 * i + 3) / 2);
  EXPECT_EQ(std::pair(w.Wave256Write, w.Wave128Write), std::pair(16, 8));
}

// The 65th message overflows and overwrites nothing, at 256 Hz also when only
// that ring is full; the replay stores without the overflow test.
TEST_F(RawEegStoreTest, AFullRingOverflowsAndOverwritesNothing) {
  for (int k = 0; k < 64; ++k) {
    const Bytes p = RawMessage(k128, 65000 + k, [k](int f, int) { return k * 16 + f; });
    ASSERT_EQ(Store(p, k128, 0, true, k % 8 == 0), StoreResult::Stored) << "message " << k + 1;
  }
  const Bytes p65 = RawMessage(k128, 64, [](int, int) { return -1; });
  EXPECT_EQ(Store(p65, k128, 0, true, true), StoreResult::Overflow);
  EXPECT_EQ((std::array{w.Wave128Write, w.Wave128Pending, seconds.position}), (std::array{0, 1024, 0}));
  EXPECT_EQ(seconds.seconds, (std::array<std::uint16_t, 8>{8125, 8126, 8127, 8128, 8129, 8130, 8131, 8132}))
      << "unsigned sequence / 8 per second";
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(w.Wave128[i], i);
  w.Wave128Pending -= 64;  // the calculation took a block
  EXPECT_EQ(Store(p65, k128), StoreResult::Stored);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(Store(p65, k128, 0, false), StoreResult::Stored);
  EXPECT_EQ(w.Wave128Pending, 1040);

  const Bytes p = RawMessage(k256, 0, Tagged);
  w.Wave128Pending = 0;
  for (int k = 0; k < 64; ++k) ASSERT_EQ(Store(p, k256), StoreResult::Stored);
  EXPECT_EQ(Store(p, k256), StoreResult::Overflow);
  EXPECT_EQ(std::pair(w.Wave256Pending, w.Wave128Pending), std::pair(2048, 1024));
  w.Wave128Pending = 0;  // the rings drifted apart: the 256 Hz one alone is full
  EXPECT_EQ(Store(p, k256), StoreResult::Overflow);
  EXPECT_EQ(w.Wave256Pending, 2048);
}

}  // namespace
}  // namespace qs
