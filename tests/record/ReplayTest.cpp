#include "record/Replay.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "record/RecordFileService.h"
#include "support/ReplayCycle.h"
#include "RecordTestFiles.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::RecordBuilder;

class ReplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("qs_replay_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  // Pre-scans and opens the file as an offline Start does.
  void Open(const RecordBuilder& b, const char* name = "case.eeg") {
    b.Save(dir / name);
    const std::string path = (dir / name).string();
    ASSERT_EQ(service.Prescan(path), ReplayOpenOutcome::Ok);
    ASSERT_EQ(service.OpenReplay(path), ReplayOpenOutcome::Ok);
  }
  // Takes everything pending out of a ring, as the calculation thread does.
  template <std::size_t N>
  static std::vector<std::int16_t> Drain(const std::array<std::int16_t, N>& ring, int& read, int& pending) {
    std::vector<std::int16_t> out;
    for (; pending > 0; --pending) {
      out.push_back(ring[static_cast<std::size_t>(read)]);
      read = (read + 1) % static_cast<int>(N);
    }
    return out;
  }
  std::vector<std::int16_t> Take128() {
    RawWaveBuffer& w = core.buffers.rawWave;
    return Drain(w.Wave128, w.Wave128Read, w.Wave128Pending);
  }
  std::vector<std::int16_t> Take256() {
    RawWaveBuffer& w = core.buffers.rawWave;
    return Drain(w.Wave256, w.Wave256Read, w.Wave256Pending);
  }

  fs::path dir;
  AppCore core;
  RecordFileService service{core};
  Replay& replay = service.ReplayInput();
};

std::vector<std::int16_t> ExpectedSecond(int second, int frames, int channel) {
  std::vector<std::int16_t> s;
  for (int m = 0; m < 8; ++m)
    for (int i = 0; i < frames; ++i) s.push_back(RecordBuilder::Sample(second, m, i, channel));
  return s;
}

struct LayoutCase {
  RawLayout layout;
  char model, engine;
  int channel;
};

class ReplayLayouts : public ReplayTest, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ReplayLayouts, DeliversEverySampleOfTheSelectedChannelOneSecondPerStep) {
  const LayoutCase c = GetParam();
  RecordBuilder b(c.layout, 12, 0, 0, c.model, c.engine);
  for (int i = 0; i < 6; ++i) b.AddSecond();
  core.settings.EegChannel = c.channel;
  Open(b);
  const int channels = RawChannels(c.layout);
  for (int second = 0; second < 6; ++second) {
    ASSERT_EQ(replay.NextSecond(), Replay::Step::Second) << "second " << second;
    if (c.layout == RawLayout::TwoChannels256) {
      const auto wide = ExpectedSecond(second, 32, c.channel % channels);
      EXPECT_EQ(Take256(), wide);
      std::vector<std::int16_t> means;
      for (std::size_t i = 0; i + 1 < wide.size(); i += 2) means.push_back(static_cast<std::int16_t>((wide[i] + wide[i + 1]) / 2));
      EXPECT_EQ(Take128(), means) << "the 128 Hz ring holds the pair means, truncated toward zero";
    } else {
      EXPECT_EQ(Take128(), ExpectedSecond(second, 16, c.channel % channels));
    }
    EXPECT_EQ(core.buffers.packetSeconds.seconds[static_cast<std::size_t>(second % 8)], 100 + second);
  }
  EXPECT_EQ(replay.NextSecond(), Replay::Step::EndOfFile) << "after FileSeconds steps the file ends";
  EXPECT_EQ(replay.RawStored(), 48u);
  // The processed variables of the selected channel, from the last message.
  EXPECT_EQ(core.buffers.monitor.MonBis, 900 - 6);
  EXPECT_EQ(core.buffers.monitor.MonSef, 2150 + (c.layout == RawLayout::FourChannels128 ? c.channel : std::min(c.channel, 2)));
}

std::string LayoutName(const ::testing::TestParamInfo<LayoutCase>& info) {
  static const char* const kNames[] = {"TwoChannels128", "TwoChannels256", "FourChannels128"};
  return std::string(kNames[static_cast<int>(info.param.layout)]) + "Channel" + std::to_string(info.param.channel);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReplayLayouts,
                         ::testing::Values(LayoutCase{RawLayout::TwoChannels128, 'C', 'B', 1},
                                           LayoutCase{RawLayout::TwoChannels256, 'C', 'B', 0},
                                           LayoutCase{RawLayout::FourChannels128, 'V', '4', 3},
                                           LayoutCase{RawLayout::TwoChannels128, 'C', 'B', 2}),
                         LayoutName);

TEST_F(ReplayTest, SecondsBeforeTheFirstBoundaryAreSkipped) {
  RecordBuilder b(RawLayout::TwoChannels128, 12, 0, 0);
  for (int i = 0; i < 3; ++i) b.AddSecond();
  // Drop the first three raw messages of second 0 (sequence 800..802): the
  // file then starts in the middle of a second.
  const std::size_t firstRaw = kRecordLeadBytes;
  b.bytes.erase(b.bytes.begin() + static_cast<long>(firstRaw), b.bytes.begin() + static_cast<long>(firstRaw + 3 * 90));
  Open(b);
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);
  EXPECT_EQ(Take128(), ExpectedSecond(1, 16, 0)) << "the first second replayed starts at sequence 808";
  EXPECT_EQ(core.buffers.monitor.MonBis, -1) << "variables before the boundary are skipped too";
}

TEST_F(ReplayTest, ADamagedPacketCostsThatPacketOnly) {
  RecordBuilder b(RawLayout::TwoChannels128, 12, 0, 0);
  for (int i = 0; i < 4; ++i) b.AddSecond();
  // Second 1, raw message 3: break its checksum; then put garbage (including a
  // false header announcing 2048 bytes) between two packets of second 2.
  const std::size_t secondBytes = 862;
  const std::size_t damaged = kRecordLeadBytes + secondBytes + 3 * 90 + 40;
  b.bytes[damaged] ^= 0xFF;
  const std::size_t gap = kRecordLeadBytes + 2 * secondBytes + 5 * 90;
  const std::vector<std::uint8_t> garbage = {0xBA, 0xAB, 0x01, 0x00, 0x00, 0x08, 0x01, 0x00, 0x13, 0x37, 0xBA, 0x00};
  b.bytes.insert(b.bytes.begin() + static_cast<long>(gap), garbage.begin(), garbage.end());
  Open(b);
  std::vector<std::int16_t> all;
  while (replay.NextSecond() == Replay::Step::Second) {
    const auto s = Take128();
    all.insert(all.end(), s.begin(), s.end());
  }
  std::vector<std::int16_t> expected;
  for (int s = 0; s < 4; ++s)
    for (int m = 0; m < 8; ++m) {
      if (s == 1 && m == 3) continue;  // the damaged message
      for (int i = 0; i < 16; ++i) expected.push_back(RecordBuilder::Sample(s, m, i, 0));
    }
  // 31 messages make three whole seconds; the last seven messages never make
  // an eighth and stay unconsumed when the file ends.
  expected.resize(3 * 128);
  EXPECT_EQ(all, expected);
  EXPECT_EQ(replay.RawStored(), 31u);
}

TEST_F(ReplayTest, AModelVHeaderReplaysAt128HzWhateverItsRateField) {
  // The header says 256, the model says 128 only; the messages are 128 Hz ones.
  RecordBuilder b(RawLayout::TwoChannels128, 12, 0, 0, 'V', 'B');
  for (int i = 0; i < 2; ++i) b.AddSecond();
  b.bytes[16] = 0x00;
  b.bytes[17] = 0x01;
  Open(b);
  EXPECT_FALSE(core.run.Rate256);
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);
  EXPECT_EQ(Take128(), ExpectedSecond(0, 16, 0));
}

TEST_F(ReplayTest, FlagWordsMarkTheTwoBlocksTakenNext) {
  RecordBuilder b(RawLayout::TwoChannels128, 12, 0, 0);
  for (int i = 0; i < 3; ++i) b.AddSecond();
  Open(b);
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);
  core.buffers.monitorFlags.acquisitionBlock = 14;  // the calculation thread has taken blocks up to 13
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);  // handles second 0's variables message first
  const auto& words = core.buffers.monitorFlags.words;
  EXPECT_EQ(words[14], 16u);
  EXPECT_EQ(words[15], 16u);
  EXPECT_EQ(words[0], 0u);
  EXPECT_EQ(words[13], 0u);

  core.settings.EegChannel = 3;  // a 52 has no fourth channel
  core.buffers.monitorFlags.acquisitionBlock = 4;
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);
  EXPECT_EQ(words[4], 0u) << "no flag word for a channel the message lacks";
  EXPECT_EQ(core.buffers.monitor.MonBis, 900 - 1) << "the values stay as they were";
}

TEST_F(ReplayTest, BisVariablesLinesFollowTheReplayClock) {
  RecordBuilder b(RawLayout::TwoChannels128, 10, 0, 0);
  b.calibration.channels[0].emgLow = 4567;
  b.calibration.channels[0].sqi = 973;
  b.calibration.channels[0].bisBits = 0x102;
  for (int i = 0; i < 2; ++i) b.AddSecond();
  const std::string out = (dir / "vars.csv").string();
  ASSERT_TRUE(core.run.BisVariablesFile.Open(out, "wb"));
  Open(b);
  ReplayCycle cycle(core, replay);
  core.run.OnlineMode = false;
  while (cycle.RunCycle()) {
  }
  core.run.BisVariablesFile.Close();
  std::ifstream in(out, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "System revision, 1.00, Host revision, 2.05,BIS Engine revision, 3.10, Serial Protocol revision, 4.00\r\n"
            "Time,BIS,SEF95,Sr_BIS,EMGlow,BIS_SQI,ARTF2,BISBIT\r\n"
            "10:00:02,89.9,21.50,0.001,45.67,97.3,00000010,0102\r\n"
            "10:00:03,89.8,21.50,0.002,45.67,97.3,00000020,0102\r\n");
}

// The recording of the independent implementation: replaying it must write
// its monitor-variables export byte for byte.
TEST_F(ReplayTest, ReferenceRecordingReproducesItsMonitorVariablesExport) {
  const fs::path reference = QS_REFERENCE_DIR;
  ASSERT_TRUE(fs::exists(reference / "mixed10.eeg")) << reference;
  const std::string out = (dir / "bisvars.csv").string();
  ASSERT_TRUE(core.run.BisVariablesFile.Open(out, "wb"));
  const std::string path = (reference / "mixed10.eeg").string();
  ASSERT_EQ(service.Prescan(path), ReplayOpenOutcome::Ok);
  EXPECT_EQ(core.run.FileSeconds, 600);
  ASSERT_EQ(service.OpenReplay(path), ReplayOpenOutcome::Ok);
  ReplayCycle cycle(core, replay);
  core.run.OnlineMode = false;
  int seconds = 0;
  while (cycle.RunCycle()) {
    ++seconds;
    Take128();
  }
  core.run.BisVariablesFile.Close();
  EXPECT_EQ(seconds, 600);
  std::ifstream mine(out, std::ios::binary), theirs(reference / "mixed10_bisvars.csv", std::ios::binary);
  std::stringstream a, b;
  a << mine.rdbuf();
  b << theirs.rdbuf();
  EXPECT_EQ(a.str(), b.str());
}

}  // namespace
}  // namespace qs
