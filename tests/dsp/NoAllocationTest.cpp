// The per-second path allocates nothing: every buffer is allocated at
// start-up. Counted with a replacement of the global allocation functions.
// GCC cannot see that the replaced operator new returns malloc memory.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "dsp/CalcEngine.h"
#include "record/RecordFileService.h"
#include "tools/recgen/RecordingGenerator.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// clang-format off
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
// clang-format on

namespace qs {
namespace {

TEST(NoAllocation, ReplayAndProcessingCyclesAllocateNothing) {
  recgen::GeneratorOptions options{.seconds = 200};
  ASSERT_EQ(recgen::ParseScenario("awake:0-60,bs:60-140:fraction=0.5,deep:140-200", &options.scenario), "");
  ASSERT_EQ(recgen::ResolveScenario(&options.scenario, &options.seconds), "");
  const auto path =
      std::filesystem::temp_directory_path() / ("qs_alloc_" + std::to_string(getpid()) + ".eeg");
  ASSERT_TRUE(recgen::WriteRecording(path, recgen::GenerateRecording(options)));

  auto core = std::make_unique<AppCore>();
  ASSERT_TRUE(core->buffers.Allocate(8));
  RecordFileService service(*core);
  CalcEngine engine(*core, &service.ReplayInput());
  ASSERT_TRUE(engine.Allocate());
  core->run.OnlineMode = false, core->settings.CalcOnly = true;
  ASSERT_EQ(service.Prescan(path), ReplayOpenOutcome::Ok);
  ASSERT_EQ(service.OpenReplay(path), ReplayOpenOutcome::Ok);
  engine.StartRun();
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(engine.RunCycle());

  counting = true;
  int cycles = 0;
  while (engine.RunCycle()) ++cycles;
  counting = false;
  std::filesystem::remove(path);
  EXPECT_EQ(cycles, 180);
  EXPECT_EQ(allocations.load(), 0) << "allocations in " << cycles << " cycles, 18 interval closes included";
}

}  // namespace
}  // namespace qs
