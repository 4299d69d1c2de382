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
    for (const auto& path : files) fs::remove(path);
  }
  // A temporary file, removed at the end of the test.
  std::string TempPath(const std::string& name) {
    return files
        .emplace_back(fs::temp_directory_path() / ("qs_proc_" + name + "_" + std::to_string(::getpid())))
        .string();
  }
  // An awake recording.
  std::string Generate(int seconds, RawLayout layout = RawLayout::TwoChannels128) {
    const std::string path = TempPath("gen" + std::to_string(files.size()) + ".eeg");
    EXPECT_TRUE(recgen::WriteRecording(
        path, recgen::GenerateRecording({.seconds = seconds, .layout = layout, .seed = 3})));
    return path;
  }

  std::vector<fs::path> files;
};

// The same scenario at 128 and at 256 Hz: the same records, and a text wave
// export of every sample taken, twice the lines at 256 Hz. (The pair means the
// analysis sees at 256 Hz are the raw store's and replay's.) Both runs start
// two records before the end of MaxMem x 360 records, where the oldest is
// overwritten.
TEST_F(Processing, A256HzRecordingExportsEverySampleOfItsBlocksAndRecordsWrapAfterMaxMemHours) {
  constexpr std::int32_t kLast = 8 * 360 - 1;
  long lines[2] = {};
  std::vector<std::int32_t> indices[2];
  for (const int wide : {0, 1}) {
    const std::string wave = TempPath(wide ? "w256.dat" : "w128.dat");
    const auto run =
        test::RunEngine(Generate(60, wide ? RawLayout::TwoChannels256 : RawLayout::TwoChannels128),
                        "MaxMem:8\n", [&](AppCore& core) {
                          ASSERT_TRUE(core.run.WaveAsciiFile.Open(wave, "wb"));
                          core.buffers.trend.index = kLast - 1;
                        });
    ASSERT_TRUE(run.ok);
    for (const auto& r : run.records) indices[wide].push_back(r.index);
    lines[wide] =
        std::count(std::istreambuf_iterator<char>(std::ifstream(wave, std::ios::binary).rdbuf()), {}, '\n');
  }
  EXPECT_EQ(indices[0], (std::vector<std::int32_t>{kLast - 1, kLast, 0, 1, 2}));
  EXPECT_EQ(indices[1], indices[0]);
  EXPECT_GT(lines[0], 0);
  EXPECT_EQ(lines[0] % 128, 0) << "two blocks of 64 per second";
  EXPECT_EQ(lines[1], 2 * lines[0]);
}

// Recordings of 1 to 5 s: the epochs transformed by the end of each second.
// 1-s moving average: the third cycle (6 blocks taken) analyses one epoch
// block, later cycles two. 2 s: the same one cycle later.
TEST_F(Processing, TheFirstEpochWaitsForTheStartUpGates) {
  const std::uint64_t expected[2][5] = {{0, 0, 1, 3, 5}, {0, 0, 0, 1, 3}};
  for (int seconds = 1; seconds <= 5; ++seconds) {
    const std::string path = Generate(seconds);
    for (const int average : {1, 2}) {
      const auto run =
          test::RunEngine(path, "Spike_Threshold:50\nMoving_Average:" + std::to_string(average) + "\n");
      ASSERT_TRUE(run.ok);
      EXPECT_EQ(run.epochsTransformed, expected[average - 1][seconds - 1])
          << seconds << " s, average " << average;
    }
  }
}

}  // namespace
}  // namespace qs
