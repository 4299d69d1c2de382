#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <vector>

#include "link/RxRing.h"

namespace qs {
namespace {

std::vector<std::uint8_t> Counting(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}

class RxRingTest : public ::testing::Test {
 protected:
  std::unique_ptr<RxRing> holder_ = std::make_unique<RxRing>();
  RxRing& ring_ = *holder_;
};

TEST_F(RxRingTest, EmptyRingHasNothingToTakeOrPeek) {
  std::uint8_t b = 0;
  EXPECT_FALSE(ring_.TakeCommitted(b));
  EXPECT_FALSE(ring_.Peek(b));
  EXPECT_EQ(ring_.FreeSpace(), RxRing::kSize);
}

TEST_F(RxRingTest, AppendAddsToBothCountsAndKeepsOrder) {
  const auto bytes = Counting(5, 10);
  EXPECT_EQ(ring_.Append(bytes.data(), bytes.size()), 5u);
  EXPECT_EQ(ring_.CommittedCount(), 5u);
  EXPECT_EQ(ring_.PeekCount(), 5u);
  std::uint8_t b = 0;
  for (std::uint8_t expected = 10; expected < 15; ++expected) {
    ASSERT_TRUE(ring_.TakeCommitted(b));
    EXPECT_EQ(b, expected);
  }
  EXPECT_EQ(ring_.CommittedCount(), 0u);
}

TEST_F(RxRingTest, NeverOverwritesUnreadBytesAndAppendsOnlyWhatFits) {
  const auto full = Counting(RxRing::kSize);
  EXPECT_EQ(ring_.Append(full.data(), full.size()), RxRing::kSize);
  const std::vector<std::uint8_t> more(20, 0xEE);
  EXPECT_EQ(ring_.Append(more.data(), more.size()), 0u) << "a full ring takes nothing";
  std::uint8_t b = 0;
  for (int i = 0; i < 10; ++i) ring_.TakeCommitted(b);
  EXPECT_EQ(ring_.Append(more.data(), more.size()), 10u) << "only the room freed by taking";
  // The bytes not yet taken are intact, followed by the 10 new ones.
  for (std::size_t i = 10; i < RxRing::kSize; ++i) {
    ASSERT_TRUE(ring_.TakeCommitted(b));
    ASSERT_EQ(b, static_cast<std::uint8_t>(i)) << "at " << i;
  }
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(ring_.TakeCommitted(b));
    EXPECT_EQ(b, 0xEE);
  }
  EXPECT_FALSE(ring_.TakeCommitted(b));
}

TEST_F(RxRingTest, PeekedButUncommittedBytesStillOccupyTheRing) {
  const auto bytes = Counting(100);
  ring_.Append(bytes.data(), bytes.size());
  std::uint8_t b = 0;
  for (int i = 0; i < 60; ++i) ring_.Peek(b);
  EXPECT_EQ(ring_.FreeSpace(), RxRing::kSize - 100) << "a rollback may still need them";
  ring_.Commit();
  EXPECT_EQ(ring_.FreeSpace(), RxRing::kSize - 40);
}

TEST_F(RxRingTest, PeekAdvancesOnlyThePeekPositionAndRollbackReturnsToCommitted) {
  const auto bytes = Counting(6, 1);
  ring_.Append(bytes.data(), bytes.size());
  std::uint8_t b = 0;
  ring_.Peek(b);
  EXPECT_EQ(b, 1);
  ring_.Peek(b);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(ring_.PeekCount(), 4u);
  EXPECT_EQ(ring_.CommittedCount(), 6u);
  ring_.Rollback();
  EXPECT_EQ(ring_.PeekCount(), 6u);
  ring_.Peek(b);
  EXPECT_EQ(b, 1) << "the same bytes are peeked again after a rollback";
}

TEST_F(RxRingTest, CommitConsumesThePeekedBytes) {
  const auto bytes = Counting(6, 1);
  ring_.Append(bytes.data(), bytes.size());
  std::uint8_t b = 0;
  ring_.Peek(b);
  ring_.Peek(b);
  ring_.Peek(b);
  ring_.Commit();
  EXPECT_EQ(ring_.CommittedCount(), 3u);
  ring_.Rollback();  // nothing to roll back to behind a commit
  ASSERT_TRUE(ring_.TakeCommitted(b));
  EXPECT_EQ(b, 4);
}

TEST_F(RxRingTest, TakingACommittedByteMovesThePeekPositionToIt) {
  const auto bytes = Counting(6, 1);
  ring_.Append(bytes.data(), bytes.size());
  std::uint8_t b = 0;
  for (int i = 0; i < 4; ++i) ring_.Peek(b);
  ring_.TakeCommitted(b);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(ring_.PeekCount(), ring_.CommittedCount());
  EXPECT_EQ(ring_.PeekCount(), 5u);
  ring_.Peek(b);
  EXPECT_EQ(b, 2) << "the next peek reads the byte behind the one taken";
}

TEST_F(RxRingTest, BytesWrapAroundTheEndOfTheStorageInOrder) {
  const auto first = Counting(RxRing::kSize - 7);
  ring_.Append(first.data(), first.size());
  std::uint8_t b = 0;
  while (ring_.TakeCommitted(b)) {
  }
  const auto second = Counting(30, 100);  // 7 bytes at the end, 23 at the start
  ASSERT_EQ(ring_.Append(second.data(), second.size()), 30u);
  for (int i = 0; i < 10; ++i) {
    ring_.Peek(b);
    EXPECT_EQ(b, 100 + i);
  }
  ring_.Rollback();
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(ring_.TakeCommitted(b));
    EXPECT_EQ(b, 100 + i);
  }
}

TEST_F(RxRingTest, ResetEmptiesTheRing) {
  const auto bytes = Counting(50);
  ring_.Append(bytes.data(), bytes.size());
  std::uint8_t b = 0;
  ring_.Peek(b);
  ring_.Reset();
  EXPECT_EQ(ring_.CommittedCount(), 0u);
  EXPECT_EQ(ring_.PeekCount(), 0u);
  EXPECT_EQ(ring_.FreeSpace(), RxRing::kSize);
  EXPECT_FALSE(ring_.Peek(b));
}

}  // namespace
}  // namespace qs
