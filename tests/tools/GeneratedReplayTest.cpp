// Generated recordings through the program's own pre-scan and replay: every
// sample and every monitor value comes back exactly, one second per step.
#include <gtest/gtest.h>

#include <filesystem>

#include "record/RecordFileService.h"
#include "support/ReplayCycle.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

struct Case {
  RawLayout layout;
  int channel;
};

class GeneratedReplay : public ::testing::TestWithParam<Case> {};

TEST_P(GeneratedReplay, DeliversTheGeneratedSamplesAndMonitorValues) {
  const Case c = GetParam();
  recgen::GeneratorOptions options;
  options.seconds = 12;
  options.layout = c.layout;
  options.seed = 7;
  std::vector<recgen::ScenarioSegment> segments;
  ASSERT_EQ(recgen::ParseScenario("awake:0-4,deep:4-8,bs:8-12:fraction=0.5", &segments), "");
  options.scenario = segments;
  const recgen::GeneratedRecording rec = recgen::GenerateRecording(options);
  const fs::path path = fs::temp_directory_path() / ("qs_genreplay_" + std::to_string(::getpid()) + ".eeg");
  ASSERT_TRUE(recgen::WriteRecording(path.string(), rec));

  AppCore core;
  core.settings.EegChannel = c.channel;
  RecordFileService service(core);
  ASSERT_EQ(service.Prescan(path.string()), ReplayOpenOutcome::Ok);
  EXPECT_EQ(core.run.FileSeconds, 12);
  ASSERT_EQ(service.OpenReplay(path.string()), ReplayOpenOutcome::Ok);
  core.run.OnlineMode = false;
  ReplayCycle cycle(core, service.ReplayInput());
  RawWaveBuffer& w = core.buffers.rawWave;
  const auto& truth = rec.counts[static_cast<std::size_t>(c.channel % rec.channels)];
  const int perSecond = rec.sampleRate;
  int seconds = 0;
  while (cycle.RunCycle()) {
    ASSERT_LT(seconds, 12);
    const std::size_t base = static_cast<std::size_t>(seconds * perSecond);
    if (rec.sampleRate == 256) {
      ASSERT_EQ(w.Wave256Pending, 256);
      for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(w.Wave256[static_cast<std::size_t>(w.Wave256Read)], truth[base + static_cast<std::size_t>(i)]);
        w.Wave256Read = (w.Wave256Read + 1) % RawWaveBuffer::kSize256;
      }
      w.Wave256Pending = 0;
    }
    ASSERT_EQ(w.Wave128Pending, 128);
    for (int i = 0; i < 128; ++i) {
      const std::int16_t expected =
          rec.sampleRate == 256
              ? static_cast<std::int16_t>((truth[base + 2 * static_cast<std::size_t>(i)] +
                                           truth[base + 2 * static_cast<std::size_t>(i) + 1]) / 2)
              : truth[base + static_cast<std::size_t>(i)];
      ASSERT_EQ(w.Wave128[static_cast<std::size_t>(w.Wave128Read)], expected) << "second " << seconds << " sample " << i;
      w.Wave128Read = (w.Wave128Read + 1) % RawWaveBuffer::kSize128;
    }
    w.Wave128Pending = 0;
    // The variables message of the previous second has been handled by now.
    if (seconds > 0) {
      const ChannelVariables& v = rec.monitor[static_cast<std::size_t>(seconds - 1)][static_cast<std::size_t>(c.channel)];
      EXPECT_EQ(core.buffers.monitor.MonBis, v.bis);
      EXPECT_EQ(core.buffers.monitor.MonBsr, v.bsr);
      EXPECT_EQ(core.buffers.monitor.MonSqi, v.sqi);
      EXPECT_EQ(core.buffers.monitor.MonFlags, v.artifactFlags);
    }
    ++seconds;
  }
  EXPECT_EQ(seconds, 12) << "the replay ends after FileSeconds steps";
  EXPECT_EQ(core.run.ClockSec, 10u * 3600 + 1 + 12);
  fs::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Layouts, GeneratedReplay,
                         ::testing::Values(Case{RawLayout::TwoChannels128, 0}, Case{RawLayout::TwoChannels128, 1},
                                           Case{RawLayout::TwoChannels256, 1}, Case{RawLayout::FourChannels128, 2}));

}  // namespace
}  // namespace qs
