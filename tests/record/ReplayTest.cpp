#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "RecordFixture.h"
#include "record/Replay.h"
#include "support/ReplayCycle.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::RecordBuilder;

std::string Text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ReplayTest : public test::RecordFixture {
 protected:
  // A file of these whole seconds from 12:00:00, pre-scanned and opened as an offline Start does.
  void Open(RecordBuilder b, int seconds = 3) {
    for (int i = 0; i < seconds; ++i) b.AddSecond();
    ASSERT_EQ(service.Prescan(Save(b, "case.eeg")), ReplayOpenOutcome::Ok);
    ASSERT_EQ(service.OpenReplay(Path("case.eeg")), ReplayOpenOutcome::Ok);
  }
  // Takes everything pending out of the 128 Hz ring, as the calculation thread does; `taken` keeps it all.
  std::vector<std::int16_t> Take128() {
    RawWaveBuffer& w = core.buffers.rawWave;
    const std::size_t from = taken.size();
    for (; w.Wave128Pending > 0;
         --w.Wave128Pending, w.Wave128Read = (w.Wave128Read + 1) % RawWaveBuffer::kSize128)
      taken.push_back(w.Wave128[static_cast<std::size_t>(w.Wave128Read)]);
    return {taken.begin() + static_cast<long>(from), taken.end()};
  }
  // Replays the whole file through the cycle with the monitor-variables export open; its text.
  std::string ReplayWithBisVariables(const std::string& path, int expectedSeconds) {
    EXPECT_TRUE(core.run.BisVariablesFile.Open(Path("bisvars.csv"), "wb"));
    EXPECT_EQ(service.Prescan(path), ReplayOpenOutcome::Ok);
    EXPECT_EQ(core.run.FileSeconds, expectedSeconds);
    EXPECT_EQ(service.OpenReplay(path), ReplayOpenOutcome::Ok);
    ReplayCycle cycle(core, replay);
    core.run.OnlineMode = false;
    int seconds = 0;
    for (; cycle.RunCycle(); ++seconds) Take128();
    EXPECT_EQ(seconds, expectedSeconds);
    core.run.BisVariablesFile.Close();
    return Text(dir / "bisvars.csv");
  }

  Replay& replay = service.ReplayInput();
  std::vector<std::int16_t> taken;
};

// Channel `channel` of `seconds` seconds from second `from`, without raw message `skip` (second * 8 +
// message).
std::vector<std::int16_t> Samples(int from, int seconds, int channel = 0, int skip = -1) {
  std::vector<std::int16_t> s;
  for (int m = from * 8; m < (from + seconds) * 8; ++m)
    for (int i = 0; i < 16 && m != skip; ++i) s.push_back(RecordBuilder::Sample(m / 8, m % 8, i, channel));
  return s;
}

// The channel setting past a layout's channels: a 52's third block, a 1122's
// fourth. A model V header that says 256 Hz still replays its 128 Hz messages.
TEST_F(ReplayTest, DeliversTheSelectedChannelOneSecondPerStepAndEndsWithTheFile) {
  // clang-format off
  for (const auto& [layout, model, engine, channel, says256] : {std::tuple{RawLayout::TwoChannels128, 'C', 'B', 2, false},
           {RawLayout::FourChannels128, 'V', '4', 3, false}, {RawLayout::TwoChannels128, 'V', 'B', 1, true}}) {
    // clang-format on
    SCOPED_TRACE(channel);
    RecordBuilder b(layout, 12, 0, 0, model, engine);
    if (says256) std::tie(b.bytes[16], b.bytes[17]) = std::pair(0x00, 0x01);
    core.settings.EegChannel = channel;
    Open(b);
    EXPECT_FALSE(core.run.Rate256);
    const std::uint64_t before = replay.RawStored();
    for (int second = 0; second < 3; ++second) {
      ASSERT_EQ(replay.NextSecond(), Replay::Step::Second) << "second " << second;
      EXPECT_EQ(Take128(), Samples(second, 1, channel % RawChannels(layout)));
      EXPECT_EQ(core.buffers.packetSeconds.seconds[static_cast<std::size_t>(second)], 100 + second);
    }
    EXPECT_EQ(replay.NextSecond(), Replay::Step::EndOfFile) << "after FileSeconds steps the file ends";
    EXPECT_EQ(replay.RawStored() - before, 24u);
    // The processed variables of the selected channel, from the last message.
    EXPECT_EQ(std::pair(int{core.buffers.monitor.MonBis}, int{core.buffers.monitor.MonSef}),
              std::pair(900 - 3, 2150 + channel));
  }
}

TEST_F(ReplayTest, SecondsBeforeTheFirstBoundaryAreSkipped) {
  RecordBuilder b(RawLayout::TwoChannels128, 12, 0, 0);
  b.AddSecond();
  // Drop the first three raw messages of second 0 (sequence 800..802): the
  // file then starts in the middle of a second.
  b.bytes.erase(b.bytes.begin() + kRecordLeadBytes, b.bytes.begin() + kRecordLeadBytes + 3 * 90);
  Open(b, 2);
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);
  EXPECT_EQ(Take128(), Samples(1, 1)) << "the first second replayed starts at sequence 808";
  EXPECT_EQ(core.buffers.monitor.MonBis, -1) << "variables before the boundary are skipped too";
}

TEST_F(ReplayTest, ADamagedPacketCostsThatPacketOnly) {
  RecordBuilder b(RawLayout::TwoChannels128, 12, 0, 0);
  for (int i = 0; i < 4; ++i) b.AddSecond();
  // Second 1, raw message 3: break its checksum; then put garbage (including a
  // false header announcing 2048 bytes) between two packets of second 2.
  b.bytes[kRecordLeadBytes + 862 + 3 * 90 + 40] ^= 0xFF;
  b.bytes.insert(b.bytes.begin() + kRecordLeadBytes + 2 * 862 + 5 * 90,
                 {0xBA, 0xAB, 0x01, 0x00, 0x00, 0x08, 0x01, 0x00, 0x13, 0x37, 0xBA, 0x00});
  Open(b, 0);
  while (replay.NextSecond() == Replay::Step::Second) Take128();
  // 31 messages make three whole seconds; the last seven messages never make
  // an eighth and stay unconsumed when the file ends.
  std::vector<std::int16_t> expected = Samples(0, 4, 0, 1 * 8 + 3);
  expected.resize(3 * 128);
  EXPECT_EQ(taken, expected);
  EXPECT_EQ(replay.RawStored(), 31u);
}

TEST_F(ReplayTest, FlagWordsMarkTheTwoBlocksTakenNext) {
  Open(RecordBuilder(RawLayout::TwoChannels128, 12, 0, 0));
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);
  core.buffers.monitorFlags.acquisitionBlock = 14;       // the calculation thread has taken blocks up to 13
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);  // handles second 0's variables message first
  const auto& words = core.buffers.monitorFlags.words;
  EXPECT_EQ((std::vector<std::uint32_t>{words[13], words[14], words[15], words[0]}),
            (std::vector<std::uint32_t>{0, 16, 16, 0}));

  core.settings.EegChannel = 3;  // a 52 has no fourth channel
  core.buffers.monitorFlags.acquisitionBlock = 4;
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);
  EXPECT_EQ(words[4], 0u) << "no flag word for a channel the message lacks";
  EXPECT_EQ(core.buffers.monitor.MonBis, 900 - 1) << "the values stay as they were";
}

TEST_F(ReplayTest, BisVariablesLinesFollowTheReplayClock) {
  RecordBuilder b(RawLayout::TwoChannels128, 10, 0, 0);
  auto& v = b.calibration.channels[0];
  std::tie(v.emgLow, v.sqi, v.bisBits) = std::tuple(4567, 973, 0x102);
  for (int i = 0; i < 2; ++i) b.AddSecond();
  EXPECT_EQ(ReplayWithBisVariables(Save(b, "b.eeg"), 2),
            "System revision, 1.00, Host revision, 2.05,BIS Engine revision, 3.10, Serial Protocol revision, "
            "4.00\r\n"
            "Time,BIS,SEF95,Sr_BIS,EMGlow,BIS_SQI,ARTF2,BISBIT\r\n"
            "10:00:02,89.9,21.50,0.001,45.67,97.3,00000010,0102\r\n"
            "10:00:03,89.8,21.50,0.002,45.67,97.3,00000020,0102\r\n");
}

// The recording of the independent implementation: replaying it must write
// its monitor-variables export byte for byte.
TEST_F(ReplayTest, ReferenceRecordingReproducesItsMonitorVariablesExport) {
  const fs::path reference = QS_REFERENCE_DIR;
  ASSERT_TRUE(fs::exists(reference / "mixed10.eeg")) << reference;
  EXPECT_EQ(ReplayWithBisVariables((reference / "mixed10.eeg").string(), 600),
            Text(reference / "mixed10_bisvars.csv"));
}

}  // namespace
}  // namespace qs
