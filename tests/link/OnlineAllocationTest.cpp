// The link threads allocate nothing per packet: streaming seconds of raw EEG
// and processed variables into the sample rings and the record file runs on
// buffers made at start-up. Counted with a replacement of the global
// allocation functions, on every thread but the test's own and the
// simulator's (which are exempt).
// GCC cannot see that the replaced operator new returns malloc memory.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include "OnlineHarness.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
thread_local bool exempt = false;
}  // namespace

void* operator new(std::size_t size) {
  if (counting.load(std::memory_order_relaxed) && !exempt)
    allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace qs::test {
namespace {

class OnlineAllocation : public TempFiles {};

TEST_F(OnlineAllocation, StreamingAndRecordingAllocateNothingPerPacket) {
  exempt = true;
  SimThread sim(monitorsim::SimOptions{.speed = 20.0, .seconds = 30, .noise = true}, [] { exempt = true; });
  ASSERT_TRUE(sim.opened) << sim.error;
  // No calculation thread: its hand-off of each interval to the window is
  // not part of the link.
  OnlineProgram p(sim.sim.DevicePath(), /*withCalc=*/false);
  ASSERT_TRUE(p.records.CreateAt(Temp("alloc.eeg").string()));
  p.controller->bStartClick();
  ASSERT_TRUE(p.Until([&] { return p.StopEnabled() && p.RawStored() >= 8; }));
  counting = true;
  ASSERT_TRUE(p.Until([&, from = p.RawStored()] { return p.RawStored() >= from + 5 * 8; }));
  counting = false;
  EXPECT_EQ(allocations.load(), 0) << "allocations while 5 s of data were received and recorded";
  p.StopAndJoin();
}

}  // namespace
}  // namespace qs::test
