// The link threads allocate nothing per packet: streaming seconds of raw EEG
// and processed variables into the sample rings and the record file runs on
// buffers made at start-up. Counted with a replacement of the global
// allocation functions, on every thread but the test's own and the
// simulator's (which are exempt).
// GCC cannot see that the replaced operator new returns malloc memory.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

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

TEST(OnlineAllocation, StreamingAndRecordingAllocateNothingPerPacket) {
  exempt = true;
  monitorsim::SimOptions o;
  o.speed = 20.0;
  o.seconds = 30;
  o.noise = true;
  o.keepLog = false;
  std::atomic<bool> stop{false};
  monitorsim::MonitorSim sim(o);
  std::string error;
  ASSERT_TRUE(sim.Open(&error)) << error;
  std::thread simThread([&] {
    exempt = true;
    sim.Run(stop);
  });
  {
    // No calculation thread: its hand-off of each interval to the window is
    // not part of the link.
    OnlineProgram p(sim.DevicePath(), /*withCalc=*/false);
    const auto record =
        std::filesystem::temp_directory_path() / ("qs_alloc_" + std::to_string(::getpid()) + ".eeg");
    ASSERT_TRUE(p.records_.CreateAt(record.string()));
    p.Controller().bStartClick();
    ASSERT_TRUE(p.Until([&] { return p.StopEnabled() && p.link.Receiver()->RawStored() >= 8; }));
    counting = true;
    const std::uint32_t from = p.link.Receiver()->RawStored();
    ASSERT_TRUE(p.Until([&] { return p.link.Receiver()->RawStored() >= from + 5 * 8; }));
    counting = false;
    EXPECT_EQ(allocations.load(), 0) << "allocations while 5 s of data were received and recorded";
    p.Stop();
    ASSERT_TRUE(p.Until([&] { return !p.link.ThreadsRunning(); }));
    std::filesystem::remove(record);
  }
  stop = true;
  simThread.join();
}

}  // namespace
}  // namespace qs::test
