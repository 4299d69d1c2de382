// The whole processing chain on generated recordings whose content is known.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "protocol/PacketEncoder.h"
#include "record/RecordHeader.h"
#include "support/EngineRun.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

// Writes a generated recording and replays it; the records and the engine's
// state at the end.
class Generated {
 public:
  explicit Generated(recgen::GeneratorOptions options, const char* name) {
    path_ = fs::temp_directory_path() / (std::string("qs_proc_") + name + "_" + std::to_string(::getpid()) + ".eeg");
    recording = recgen::GenerateRecording(options);
    EXPECT_TRUE(recgen::WriteRecording(path_.string(), recording));
  }
  ~Generated() { fs::remove(path_); }
  std::string Path() const { return path_.string(); }
  recgen::GeneratedRecording recording;

 private:
  fs::path path_;
};

recgen::GeneratorOptions Scenario(const char* text, int seconds, std::uint64_t seed = 3) {
  recgen::GeneratorOptions o;
  o.seconds = seconds;
  o.seed = seed;
  std::vector<recgen::ScenarioSegment> segments;
  EXPECT_EQ(recgen::ParseScenario(text, &segments), "");
  EXPECT_EQ(recgen::ResolveScenario(&segments, &o.seconds), "");
  o.scenario = segments;
  return o;
}

// The records from the 7th interval on, when the 60-s windows are full.
template <class F>
void ForSettledRecords(const test::EngineRunResult& run, F check) {
  ASSERT_GT(run.records.size(), 7u);
  for (std::size_t i = 7; i < run.records.size(); ++i) check(run.records[i].record);
}

TEST(Processing, AwakeEegHasABetaRangeEdgeAndNoSuppression) {
  Generated awake(Scenario("awake", 120), "awake");
  // The generated awake signal has a sample-to-sample jump above 30 uV about
  // once a second; a 50 uV spike threshold keeps those blocks in.
  const auto run = test::RunEngine(awake.Path(), "Use_BIS_BSR:false\nSpike_Threshold:50\n");
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(run.records.size(), 11u) << "one record per 10 s once the stages are running";
  ForSettledRecords(run, [](const EpochResult& r) {
    // An alpha-dominant signal with beta: 95 % of the power lies below an
    // edge in the beta band, well above the 10 Hz alpha peak.
    EXPECT_GT(r[EpochResult::Sef], 13.0f);
    EXPECT_LT(r[EpochResult::Sef], 30.0f);
    EXPECT_EQ(r[EpochResult::Bsr], 0.0f);
    EXPECT_GT(r[EpochResult::SqiPower], 0.95f);
    EXPECT_GT(r[EpochResult::SqiTime], 0.9f);
    EXPECT_NE(r[EpochResult::Amp], kNotAvailable);
  });
}

TEST(Processing, BurstSuppressionGivesItsSuppressedFraction) {
  // The generated bursts reach beyond the default 80 uV overshoot threshold;
  // a higher one keeps them in, so the ratio compares flat and burst time.
  const char* settings = "Use_BIS_BSR:false\nSR_PCT:true\nOvershoot_Threshold:300\nSpike_Threshold:60\n";
  float sum40 = 0, sum70 = 0;
  int n40 = 0, n70 = 0;
  for (const double fraction : {0.4, 0.7}) {
    const std::string scenario = "bs:0-240:fraction=" + std::to_string(fraction);
    Generated bs(Scenario(scenario.c_str(), 240), fraction < 0.5 ? "bs40" : "bs70");
    const auto run = test::RunEngine(bs.Path(), settings);
    ASSERT_TRUE(run.ok);
    ForSettledRecords(run, [&](const EpochResult& r) {
      ASSERT_NE(r[EpochResult::Bsr], kNotAvailable);
      (fraction < 0.5 ? sum40 : sum70) += r[EpochResult::Bsr];
      ++(fraction < 0.5 ? n40 : n70);
    });
  }
  // The detector counts a flat stretch only from the last extremum before it
  // and only once it lasts 0.5 s, and the centred 1-s moving average carries
  // each burst's mean up to half a second into the flat stretch next to it.
  // With flat stretches of 3 to 10 s (cycles of 8-15 s) that edge costs a few
  // percent of the flat time: the ratio sits up to 5 points below the true
  // fraction, and follows it.
  const float mean40 = sum40 / static_cast<float>(n40), mean70 = sum70 / static_cast<float>(n70);
  EXPECT_NEAR(mean40, 40.0f, 5.0f);
  EXPECT_LT(mean40, 40.0f);
  EXPECT_NEAR(mean70, 70.0f, 5.0f);
  EXPECT_GT(mean70 - mean40, 25.0f);
}

TEST(Processing, PhaseCouplingRaisesBicoherenceAtItsPair) {
  const int pair = TriangleIndex(8, 12);  // 4 Hz and 6 Hz
  float coupled = 0, random = 0;
  for (const char* model : {"qpc", "qpc-random"}) {
    Generated g(Scenario((std::string(model) + ":0-120:f1=4,f2=6").c_str(), 120), model);
    const auto run = test::RunEngine(g.Path(), "", {}, [&](const CalcEngine& e) {
      (std::string(model) == "qpc" ? coupled : random) = e.Bispectral().BicNormalised()[pair];
    });
    ASSERT_TRUE(run.ok);
  }
  EXPECT_GT(coupled, 60.0f);
  EXPECT_LT(random, 30.0f);
}

TEST(Processing, ASpikeCostsFourEpochsAndAnOvershootFive) {
  // Thresholds above anything the clean signal does: only the planted
  // artifacts flag blocks. A single 150 uV sample is a spike, not an overshoot.
  const char* settings = "Spike_Threshold:50\nOvershoot_Threshold:200\n";
  const auto clean = Scenario("awake", 60);
  Generated plain(clean, "plain");
  auto spiky = clean;
  spiky.artifacts.push_back({recgen::ArtifactKind::Spike, 30, 150.0, 0});
  Generated spike(spiky, "spike");
  auto high = clean;
  high.artifacts.push_back({recgen::ArtifactKind::Overshoot, 30, 400.0, 0});
  Generated overshoot(high, "overshoot");
  const auto base = test::RunEngine(plain.Path(), settings);
  const auto withSpike = test::RunEngine(spike.Path(), settings);
  const auto withOvershoot = test::RunEngine(overshoot.Path(), settings);
  ASSERT_TRUE(base.ok && withSpike.ok && withOvershoot.ok);
  EXPECT_EQ(base.epochsTransformed - withSpike.epochsTransformed, 4u) << "one flagged block is in four epochs";
  EXPECT_EQ(base.epochsTransformed - withOvershoot.epochsTransformed, 5u) << "the next block is flagged too";
}

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
        for (int c = 0; c < 2; ++c) {
          const auto& counts = wide.counts[static_cast<std::size_t>(c)];
          const std::size_t at = static_cast<std::size_t>(s * 256 + m * 32 + 2 * i);
          frames[static_cast<std::size_t>(i * 2 + c)] = static_cast<std::int16_t>((counts[at] + counts[at + 1]) / 2);
        }
      AppendRawEeg(out, packet++, static_cast<std::uint16_t>(800 + s * 8 + m), RawLayout::TwoChannels128, frames);
    }
    for (int c = 0; c < 3; ++c) vars.channels[c] = wide.monitor[static_cast<std::size_t>(s)][static_cast<std::size_t>(c)];
    AppendProcessed52(out, packet++, static_cast<std::uint16_t>(100 + s), vars);
  }
  return out;
}

TEST(Processing, A256HzRecordingGivesTheRecordsOfItsPairMeans) {
  auto options = Scenario("awake:0-40,deep:40-90", 90);
  options.layout = RawLayout::TwoChannels256;
  Generated wide(options, "wide");
  const fs::path narrow = fs::temp_directory_path() / ("qs_proc_narrow_" + std::to_string(::getpid()) + ".eeg");
  const auto bytes = PairMeanFile(wide.recording);
  std::ofstream(narrow, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  const auto fromWide = test::RunEngine(wide.Path());
  const auto fromNarrow = test::RunEngine(narrow.string());
  fs::remove(narrow);
  ASSERT_TRUE(fromWide.ok && fromNarrow.ok);
  ASSERT_EQ(fromWide.records.size(), fromNarrow.records.size());
  ASSERT_GT(fromWide.records.size(), 5u);
  for (std::size_t r = 0; r < fromWide.records.size(); ++r)
    for (std::size_t f = 0; f < EpochResult::kFields; ++f)
      ASSERT_EQ(fromWide.records[r].record[f], fromNarrow.records[r].record[f]) << "record " << r << " field " << f;
}

TEST(Processing, TheFirstEpochWaitsForTheStartUpGates) {
  Generated g(Scenario("awake", 20), "gates");
  for (const int movingAverage : {1, 2}) {
    auto core = std::make_unique<AppCore>();
    core->settings.Moving_Average = movingAverage - 1;
    core->settings.Spike_Threshold = 50.0f;
    ASSERT_TRUE(core->buffers.Allocate(8));
    RecordFileService service(*core);
    CalcEngine engine(*core, &service.ReplayInput());
    ASSERT_TRUE(engine.Allocate());
    core->run.OnlineMode = false;
    ASSERT_EQ(service.Prescan(g.Path()), ReplayOpenOutcome::Ok);
    ASSERT_EQ(service.OpenReplay(g.Path()), ReplayOpenOutcome::Ok);
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

TEST(Processing, RecordsWrapAfterMaxMemHours) {
  Generated g(Scenario("awake", 60), "wrap");
  const std::int32_t last = 8 * 360 - 1;
  const auto run = test::RunEngine(g.Path(), "MaxMem:8\n", [&](AppCore& core) { core.buffers.trend.index = last - 1; });
  ASSERT_TRUE(run.ok);
  ASSERT_GE(run.records.size(), 4u);
  EXPECT_EQ(run.records[0].index, last - 1);
  EXPECT_EQ(run.records[1].index, last);
  EXPECT_EQ(run.records[2].index, 0) << "after MaxMem x 360 records the oldest is overwritten";
  EXPECT_EQ(run.records[3].index, 1);
}

}  // namespace
}  // namespace qs
