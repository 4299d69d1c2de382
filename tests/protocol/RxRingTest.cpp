#include "protocol/RxRing.h"

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <vector>

namespace qs {
namespace {

std::vector<std::uint8_t> Counting(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}

// The parser's tests drive peeking and committing; here the edges: a full
// ring, the wrap, what peeking and taking do to each other, and Reset.
TEST(RxRing, KeepsOrderAcrossTheWrapNeverOverwritesUnreadBytesAndRollsBackPeeks) {
  auto holder = std::make_unique<RxRing>();
  RxRing& ring = *holder;
  std::uint8_t b = 0;
  const auto peek = [&](int times) {
    for (int i = 0; i < times; ++i) ring.Peek(b);
    return b;
  };
  EXPECT_FALSE(ring.TakeCommitted(b));
  EXPECT_FALSE(ring.Peek(b));
  const auto full = Counting(RxRing::kSize - 7), more = Counting(30, 100);
  EXPECT_EQ(ring.Append(full.data(), full.size()), RxRing::kSize - 7);
  EXPECT_EQ(ring.Append(more.data(), more.size()), 7u) << "only the room left";
  EXPECT_EQ(ring.Append(more.data(), more.size()), 0u) << "a full ring takes nothing";
  EXPECT_EQ(ring.PeekCount(), RxRing::kSize);
  for (std::size_t i = 0; i < RxRing::kSize - 7; ++i) ASSERT_TRUE(ring.TakeCommitted(b) && b == std::uint8_t(i)) << i;
  EXPECT_EQ(ring.Append(more.data() + 7, 23), 23u);  // 7 bytes at the end of the storage, 23 at the start

  EXPECT_EQ(peek(12), 111);
  EXPECT_EQ(ring.PeekCount(), 18u);
  EXPECT_EQ(ring.FreeSpace(), RxRing::kSize - 30) << "peeked bytes may still be needed after a rollback";
  ring.Rollback();
  EXPECT_EQ(ring.PeekCount(), 30u);
  EXPECT_EQ(peek(1), 100) << "the same bytes are peeked again after a rollback";
  peek(2);
  ring.Commit();
  EXPECT_EQ(ring.CommittedCount(), 27u);
  EXPECT_EQ(ring.FreeSpace(), RxRing::kSize - 27);
  ring.Rollback();  // nothing to roll back to behind a commit
  ASSERT_TRUE(ring.TakeCommitted(b));
  EXPECT_EQ(b, 103);
  peek(4);
  ring.TakeCommitted(b);
  EXPECT_EQ(b, 104);
  EXPECT_EQ(ring.PeekCount(), 25u) << "taking a committed byte moves the peek position to it";
  EXPECT_EQ(peek(1), 105);
  for (int i = 105; i < 130; ++i) ASSERT_TRUE(ring.TakeCommitted(b) && b == i) << i;
  EXPECT_FALSE(ring.TakeCommitted(b));

  ring.Append(more.data(), more.size());
  peek(1);
  ring.Reset();
  EXPECT_EQ(ring.CommittedCount(), 0u);
  EXPECT_EQ(ring.PeekCount(), 0u);
  EXPECT_EQ(ring.FreeSpace(), RxRing::kSize);
  EXPECT_FALSE(ring.Peek(b));
}

}  // namespace
}  // namespace qs
