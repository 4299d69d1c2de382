// The whole processing chain on generated recordings, for what the reference
// case (128 Hz, 1-s moving average, a fresh trend) never meets: 256 Hz input,
// the 2-s moving average's start-up, the wrap of the record history.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "protocol/PacketEncoder.h"
#include "record/RecordHeader.h"
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
  std::string Generate(const char* scenario, int seconds, RawLayout layout = RawLayout::TwoChannels128) {
    recgen::GeneratorOptions o;
    o.seconds = seconds;
    o.seed = 3;
    o.layout = layout;
    EXPECT_EQ(recgen::ParseScenario(scenario, &o.scenario), "");
    EXPECT_EQ(recgen::ResolveScenario(&o.scenario, &o.seconds), "");
    recording = recgen::GenerateRecording(o);
    const std::string path = TempPath(std::string("gen") + std::to_string(files_.size()) + ".eeg");
    EXPECT_TRUE(recgen::WriteRecording(path, recording));
    return path;
  }

  recgen::GeneratedRecording recording;  // the last generated

 private:
  std::vector<fs::path> files_;
};

// A 128 Hz two-channel file holding the pair means of a 256 Hz recording,
// with the same calibration and monitor messages.
std::vector<std::uint8_t> PairMeanFile(const recgen::GeneratedRecording& wide) {
  RecordHeader h;
  h.rateHz = 128;
  h.hour = 10;
  h.info.payload[19] = 'B';
  h.info.payload[27] = 'C';
  const RecordHeaderBytes header = BuildRecordHeader(h);
  std::vector<std::uint8_t> out(header.begin(), header.end());
  std::uint16_t packet = 1;
  ProcessedMessage vars = wide.calibration;
  AppendProcessed52(out, packet++, 99, vars);
  std::vector<std::int16_t> frames(32);
  for (int s = 0; s < wide.seconds; ++s) {
    for (int m = 0; m < 8; ++m) {
      for (int i = 0; i < 16; ++i)
        for (std::size_t c = 0; c < 2; ++c) {
          const std::size_t at = static_cast<std::size_t>(s * 256 + m * 32 + 2 * i);
          frames[static_cast<std::size_t>(i * 2) + c] =
              static_cast<std::int16_t>((wide.counts[c][at] + wide.counts[c][at + 1]) / 2);
        }
      AppendRawEeg(out, packet++, static_cast<std::uint16_t>(800 + s * 8 + m), RawLayout::TwoChannels128, frames);
    }
    for (std::size_t c = 0; c < 3; ++c) vars.channels[c] = wide.monitor[static_cast<std::size_t>(s)][c];
    AppendProcessed52(out, packet++, static_cast<std::uint16_t>(100 + s), vars);
  }
  return out;
}

// The records of a 256 Hz recording are those of its pair means; its text wave
// export holds every 256 Hz sample, twice the lines.
TEST_F(Processing, A256HzRecordingGivesTheRecordsOfItsPairMeans) {
  const std::string wide = Generate("awake:0-40,deep:40-90", 90, RawLayout::TwoChannels256);
  const std::string narrow = TempPath("narrow.eeg");
  const auto bytes = PairMeanFile(recording);
  std::ofstream(narrow, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const auto run = [this](const std::string& eeg, const char* name, std::size_t* waveLines) {
    const std::string wave = TempPath(name);
    const auto r = test::RunEngine(eeg, "", [&](AppCore& core) { ASSERT_TRUE(core.run.WaveAsciiFile.Open(wave, "wb")); });
    std::ifstream in(wave, std::ios::binary);
    *waveLines = static_cast<std::size_t>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
    return r;
  };
  std::size_t wideLines = 0, narrowLines = 0;
  const auto fromWide = run(wide, "wide.dat", &wideLines);
  const auto fromNarrow = run(narrow, "narrow.dat", &narrowLines);
  ASSERT_TRUE(fromWide.ok && fromNarrow.ok);
  ASSERT_EQ(fromWide.records.size(), fromNarrow.records.size());
  ASSERT_GT(fromWide.records.size(), 5u);
  for (std::size_t r = 0; r < fromWide.records.size(); ++r)
    for (std::size_t f = 0; f < EpochResult::kFields; ++f)
      ASSERT_EQ(fromWide.records[r].record[f], fromNarrow.records[r].record[f]) << "record " << r << " field " << f;
  EXPECT_GT(narrowLines, 0u);
  EXPECT_EQ(narrowLines % 128, 0u) << "two blocks of 64 per second";
  EXPECT_EQ(wideLines, 2 * narrowLines);
}

TEST_F(Processing, TheFirstEpochWaitsForTheStartUpGates) {
  const std::string path = Generate("awake", 20);
  for (const int movingAverage : {1, 2}) {
    auto core = std::make_unique<AppCore>();
    core->settings.Moving_Average = movingAverage - 1;
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
    // 1 s: the third cycle (6 blocks taken) analyses one epoch block, later
    // cycles two. 2 s: the same one cycle later.
    const std::vector<std::uint64_t> expected =
        movingAverage == 1 ? std::vector<std::uint64_t>{0, 0, 1, 3, 5} : std::vector<std::uint64_t>{0, 0, 0, 1, 3};
    EXPECT_EQ(epochs, expected) << "moving average " << movingAverage << " s";
  }
}

TEST_F(Processing, RecordsWrapAfterMaxMemHours) {
  const std::int32_t last = 8 * 360 - 1;
  const auto run =
      test::RunEngine(Generate("awake", 60), "MaxMem:8\n", [&](AppCore& core) { core.buffers.trend.index = last - 1; });
  ASSERT_TRUE(run.ok);
  ASSERT_GE(run.records.size(), 4u);
  const std::int32_t expected[] = {last - 1, last, 0, 1};  // after MaxMem x 360 records the oldest is overwritten
  for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(run.records[i].index, expected[i]) << i;
}

}  // namespace
}  // namespace qs
