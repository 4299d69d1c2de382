// The calculation cycle of an online run takes whole seconds only, as many as
// wait: data signals that arrive while it is busy merge into one wake-up
// (auto-reset events do not count), and a signal left from an earlier run
// must find nothing to take.
#include <gtest/gtest.h>

#include <memory>

#include "dsp/CalcEngine.h"

namespace qs {
namespace {

void Arrive(RawWaveBuffer& wave, int samples) {
  wave.Wave128Write = (wave.Wave128Write + samples) % RawWaveBuffer::kSize128;
  wave.Wave128Pending += samples;
}

TEST(OnlineCycle, ACycleTakesEveryWholeSecondWaitingAndNoPartOfOne) {
  auto core = std::make_unique<AppCore>();
  ASSERT_TRUE(core->buffers.Allocate(8));
  CalcEngine engine(*core, nullptr);
  ASSERT_TRUE(engine.Allocate());
  core->run.OnlineMode = true;
  core->run.WaveGain = 0.03125f;
  engine.StartRun();
  RawWaveBuffer& wave = core->buffers.rawWave;

  EXPECT_TRUE(engine.RunCycle()) << "a left-over signal with nothing waiting";
  EXPECT_EQ(engine.SecondsProcessed(), 0u);
  EXPECT_EQ(wave.Wave128Pending, 0);

  Arrive(wave, 64);
  engine.RunCycle();
  EXPECT_EQ(engine.SecondsProcessed(), 0u) << "half a second is left for the next cycle";
  EXPECT_EQ(wave.Wave128Read, 0);

  Arrive(wave, 3 * 128 + 64);  // three more seconds came before the thread woke
  engine.RunCycle();
  EXPECT_EQ(engine.SecondsProcessed(), 4u);
  EXPECT_EQ(wave.Wave128Pending, 0);
  EXPECT_EQ(wave.Wave128Read, 4 * 128);
  EXPECT_EQ(engine.BlocksTaken(), 8);
  EXPECT_EQ(core->buffers.monitorFlags.acquisitionBlock, 8);
}

}  // namespace
}  // namespace qs
