// Recordings replayed through the whole processing chain. The reference case:
// a ten-minute recording with the records an independent implementation
// computed from it; replaying it must reproduce every record within the stated
// tolerances. Generated recordings for what the reference case (128 Hz, 1-s
// moving average, a fresh trend) never meets: the wave export at 256 Hz, the
// 2-s moving average's start-up, the wrap of the record history.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "support/EngineRun.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

// Per field, as the reference's README states them: relative, absolute.
std::pair<double, double> FieldTolerance(std::size_t f) {
  using R = EpochResult;
  if (f == R::SqiTime || f == R::SqiPower || f == R::SqiBisp || f == R::Bsr || f == R::Bis) return {1e-6, 0};
  if (f == R::PbicLowFreq || f == R::PbicHighFreq) return {0, 0};
  if (f == R::Sef) return {1e-6, 0.01};  // an edge-bin flip on a knife-edge epoch
  if (f == R::Rbr || f == R::BispR) return {0, 1e-4};
  if (f == R::Amp) return {1e-4, 0};
  return {1e-3, 0.01};  // DiagBic, PbicLow, PbicHigh
}

std::vector<std::vector<double>> ReadReference(const fs::path& csv) {
  std::ifstream in(csv);
  std::vector<std::vector<double>> rows;
  std::string line;
  for (std::getline(in, line); std::getline(in, line);) {  // the rows after the header
    std::stringstream fields(line);
    int column = 0;
    auto& row = rows.emplace_back();
    for (std::string cell; std::getline(fields, cell, ',');)
      if (column++ != 1) row.push_back(std::stod(cell));  // all but the time
  }
  return rows;
}

TEST(ReferenceCase, ReplayReproducesEveryIntervalRecord) {
  const fs::path reference = QS_REFERENCE_DIR;
  ASSERT_TRUE(fs::exists(reference / "mixed10.eeg")) << reference;
  std::stringstream settings;
  settings << std::ifstream(reference / "mixed10_Kvo_V2000.ini").rdbuf();
  const test::EngineRunResult run = test::RunEngine((reference / "mixed10.eeg").string(), settings.str());
  ASSERT_TRUE(run.ok);
  const auto expected = ReadReference(reference / "mixed10_records.csv");
  ASSERT_EQ(run.records.size(), expected.size());
  int mismatches = 0;
  for (std::size_t r = 0; r < expected.size(); ++r) {
    ASSERT_EQ(run.records[r].index, static_cast<int>(expected[r][0]));
    for (std::size_t f = 0; f < EpochResult::kFields; ++f) {
      const double want = expected[r][f + 1], got = run.records[r].record[f];
      const auto [relative, absolute] = FieldTolerance(f);
      const bool sentinel = want == kNotAvailable || got == kNotAvailable;
      const bool ok = sentinel ? want == got : std::abs(got - want) <= absolute + relative * std::abs(want);
      if (!ok && ++mismatches <= 20)
        ADD_FAILURE() << "record " << r << " field " << f << ": got " << got << ", reference " << want;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Generated recordings in a folder of the test's own, removed at its end.
class Processing : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(dir); }
  void TearDown() override { fs::remove_all(dir); }
  // An awake recording.
  std::string Generate(int seconds, RawLayout layout = RawLayout::TwoChannels128) {
    const std::string path = (dir / ("gen" + std::to_string(++generated) + ".eeg")).string();
    EXPECT_TRUE(recgen::WriteRecording(
        path, recgen::GenerateRecording({.seconds = seconds, .layout = layout, .seed = 3})));
    return path;
  }

  const fs::path dir = fs::temp_directory_path() / ("qs_proc_" + std::to_string(::getpid()));
  int generated = 0;
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
    const std::string wave = (dir / (wide ? "w256.dat" : "w128.dat")).string();
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

// The overshoot threshold of a run follows the latest interval record: a quiet
// one just before the run raises it from 50 to 100 uV and changes the first
// record; the same record one place earlier changes nothing.
TEST_F(Processing, TheOvershootThresholdFollowsTheLatestRecordOnly) {
  const std::string path = (dir / "deep.eeg").string();  // 40-80 uV slow waves
  ASSERT_TRUE(recgen::WriteRecording(
      path,
      recgen::GenerateRecording(
          {.seconds = 20, .scenario = {{.eeg = {.to = 20, .kind = recgen::SegmentKind::Deep}}}, .seed = 3})));
  const auto first = [&](int quiet) {
    return test::RunEngine(path, "Overshoot_Threshold:50\n",
                           [quiet](AppCore& core) {
                             core.buffers.trend.index = 2;
                             if (quiet >= 0) core.buffers.trend.records[quiet][EpochResult::Amp] = 12.5f;
                           })
        .records.at(0)
        .record.value;
  };
  const auto plain = first(-1);
  EXPECT_NE(first(1), plain);
  EXPECT_EQ(first(0), plain);
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
