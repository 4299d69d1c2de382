// The whole processing chain on generated recordings, for what the reference
// case (128 Hz, 1-s moving average, a fresh trend) never meets: the wave export
// at 256 Hz, the 2-s moving average's start-up, the wrap of the record history.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/EngineRun.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class Processing : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& path : files_) fs::remove(path);
  }
  // A temporary file, removed at the end of the test.
  std::string TempPath(const std::string& name) {
    files_.push_back(fs::temp_directory_path() / ("qs_proc_" + name + "_" + std::to_string(::getpid())));
    return files_.back().string();
  }
  // An awake recording.
  std::string Generate(int seconds, RawLayout layout = RawLayout::TwoChannels128) {
    recgen::GeneratorOptions o;
    o.seconds = seconds;
    o.seed = 3;
    o.layout = layout;
    const std::string path = TempPath(std::string("gen") + std::to_string(files_.size()) + ".eeg");
    EXPECT_TRUE(recgen::WriteRecording(path, recgen::GenerateRecording(o)));
    return path;
  }

 private:
  std::vector<fs::path> files_;
};

// The same scenario at 128 and at 256 Hz: the same number of records, and a
// text wave export of every sample taken, twice the lines at 256 Hz. (The
// pair means the analysis sees at 256 Hz are the raw store's and replay's.)
TEST_F(Processing, A256HzRecordingExportsEverySampleOfItsBlocks) {
  std::size_t lines[2] = {}, records[2] = {};
  for (const int wide : {0, 1}) {
    const std::string eeg = Generate(20, wide ? RawLayout::TwoChannels256 : RawLayout::TwoChannels128);
    const std::string wave = TempPath(wide ? "w256.dat" : "w128.dat");
    const auto run =
        test::RunEngine(eeg, "", [&](AppCore& core) { ASSERT_TRUE(core.run.WaveAsciiFile.Open(wave, "wb")); });
    ASSERT_TRUE(run.ok);
    records[wide] = run.records.size();
    std::ifstream in(wave, std::ios::binary);
    lines[wide] = static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
  }
  EXPECT_EQ(records[1], records[0]);
  EXPECT_GT(lines[0], 0u);
  EXPECT_EQ(lines[0] % 128, 0u) << "two blocks of 64 per second";
  EXPECT_EQ(lines[1], 2 * lines[0]);
}

TEST_F(Processing, TheFirstEpochWaitsForTheStartUpGates) {
  const std::string path = Generate(20);
  // 1 s: the third cycle (6 blocks taken) analyses one epoch block, later
  // cycles two. 2 s: the same one cycle later.
  const std::vector<std::uint64_t> expected[] = {{0, 0, 1, 3, 5}, {0, 0, 0, 1, 3}};
  for (const int twoSeconds : {0, 1}) {
    auto core = std::make_unique<AppCore>();
    core->settings.Moving_Average = twoSeconds;
    core->settings.Spike_Threshold = 50.0f;
    ASSERT_TRUE(core->buffers.Allocate(8));
    RecordFileService service(*core);
    CalcEngine engine(*core, &service.ReplayInput());
    ASSERT_TRUE(engine.Allocate());
    core->run.OnlineMode = false;
    ASSERT_EQ(service.Prescan(path), ReplayOpenOutcome::Ok);
    ASSERT_EQ(service.OpenReplay(path), ReplayOpenOutcome::Ok);
    engine.StartRun();
    std::vector<std::uint64_t> epochs;
    for (int cycle = 1; cycle <= 5; ++cycle) {
      ASSERT_TRUE(engine.RunCycle());
      epochs.push_back(engine.EpochsTransformed());
    }
    EXPECT_EQ(epochs, expected[twoSeconds]) << "2-s moving average: " << twoSeconds;
  }
}

TEST_F(Processing, RecordsWrapAfterMaxMemHours) {
  const std::int32_t last = 8 * 360 - 1;
  const auto run =
      test::RunEngine(Generate(60), "MaxMem:8\n", [&](AppCore& core) { core.buffers.trend.index = last - 1; });
  ASSERT_TRUE(run.ok);
  ASSERT_GE(run.records.size(), 4u);
  const std::int32_t expected[] = {last - 1, last, 0, 1};  // after MaxMem x 360 records the oldest is overwritten
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(run.records[i].index, expected[i]) << i;
}

}  // namespace
}  // namespace qs
