#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <vector>

#include "protocol/RxRing.h"

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
  std::uint8_t b_ = 0;
};

TEST_F(RxRingTest, KeepsOrderAndNeverOverwritesUnreadBytes) {
  EXPECT_FALSE(ring_.TakeCommitted(b_));
  EXPECT_FALSE(ring_.Peek(b_));
  const auto full = Counting(RxRing::kSize);
  EXPECT_EQ(ring_.Append(full.data(), full.size()), RxRing::kSize);
  EXPECT_EQ(ring_.PeekCount(), RxRing::kSize);
  const std::vector<std::uint8_t> more(20, 0xEE);
  EXPECT_EQ(ring_.Append(more.data(), more.size()), 0u) << "a full ring takes nothing";
  for (int i = 0; i < 10; ++i) ring_.TakeCommitted(b_);
  EXPECT_EQ(ring_.Append(more.data(), more.size()), 10u) << "only the room freed by taking";
  for (std::size_t i = 10; i < RxRing::kSize + 10; ++i) {
    ASSERT_TRUE(ring_.TakeCommitted(b_));
    ASSERT_EQ(b_, i < RxRing::kSize ? static_cast<std::uint8_t>(i) : 0xEE) << "at " << i;
  }
  EXPECT_FALSE(ring_.TakeCommitted(b_));
}

TEST_F(RxRingTest, PeekCommitAndRollback) {
  const auto bytes = Counting(100, 1);
  ring_.Append(bytes.data(), bytes.size());
  ring_.Peek(b_);
  ring_.Peek(b_);
  EXPECT_EQ(b_, 2);
  EXPECT_EQ(ring_.PeekCount(), 98u);
  EXPECT_EQ(ring_.CommittedCount(), 100u);
  EXPECT_EQ(ring_.FreeSpace(), RxRing::kSize - 100) << "peeked bytes may still be needed after a rollback";
  ring_.Rollback();
  EXPECT_EQ(ring_.PeekCount(), 100u);
  ring_.Peek(b_);
  EXPECT_EQ(b_, 1) << "the same bytes are peeked again after a rollback";

  ring_.Peek(b_);
  ring_.Peek(b_);
  ring_.Commit();
  EXPECT_EQ(ring_.CommittedCount(), 97u);
  EXPECT_EQ(ring_.FreeSpace(), RxRing::kSize - 97);
  ring_.Rollback();  // nothing to roll back to behind a commit
  ASSERT_TRUE(ring_.TakeCommitted(b_));
  EXPECT_EQ(b_, 4);

  for (int i = 0; i < 4; ++i) ring_.Peek(b_);
  ring_.TakeCommitted(b_);
  EXPECT_EQ(b_, 5);
  EXPECT_EQ(ring_.PeekCount(), 95u) << "taking a committed byte moves the peek position to it";
  ring_.Peek(b_);
  EXPECT_EQ(b_, 6);
}

TEST_F(RxRingTest, WrapsAroundTheEndOfTheStorageAndResets) {
  const auto first = Counting(RxRing::kSize - 7);
  ring_.Append(first.data(), first.size());
  while (ring_.TakeCommitted(b_)) {
  }
  const auto second = Counting(30, 100);  // 7 bytes at the end, 23 at the start
  ASSERT_EQ(ring_.Append(second.data(), second.size()), 30u);
  for (int i = 0; i < 10; ++i) ring_.Peek(b_);
  EXPECT_EQ(b_, 109);
  ring_.Rollback();
  for (int i = 0; i < 30; ++i) {
    ASSERT_TRUE(ring_.TakeCommitted(b_));
    EXPECT_EQ(b_, 100 + i);
  }

  ring_.Append(second.data(), second.size());
  ring_.Peek(b_);
  ring_.Reset();
  EXPECT_EQ(ring_.CommittedCount(), 0u);
  EXPECT_EQ(ring_.PeekCount(), 0u);
  EXPECT_EQ(ring_.FreeSpace(), RxRing::kSize);
  EXPECT_FALSE(ring_.Peek(b_));
}

}  // namespace
}  // namespace qs
