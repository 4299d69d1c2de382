// Record files: the header, automatic names, the writer, the pre-scan, the
// replay open and step, damaged files, and the reference recording's replay.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "core/AppCore.h"
#include "record/AutoRecordName.h"
#include "record/RecordFileService.h"
#include "record/RecordParts.h"
#include "record/RecordPrescan.h"
#include "record/RecordTestFiles.h"
#include "record/RecordWriter.h"
#include "record/Replay.h"
#include "support/ReplayCycle.h"
#include "support/FileText.h"

// The record replay's fuzz target (fuzz/RecordReplayFuzz.cpp).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::RecordBuilder;
using Bytes = std::vector<std::uint8_t>;
using enum ReplayOpenOutcome;
constexpr RawLayout k128 = RawLayout::TwoChannels128, k256 = RawLayout::TwoChannels256,
                    kFour = RawLayout::FourChannels128;

// A fresh folder per test (each runs in a process of its own), and the
// program's record files without windows.
class RecordFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  std::string Save(const RecordBuilder& b, const std::string& name) const { return b.Save(dir / name); }

  const fs::path dir = fs::temp_directory_path() / ("qs_rec_" + std::to_string(::getpid()));
  AppCore core;
  RecordFileService service{core};
};

TEST(RecordHeader, BuildsTheFixedLayoutAndReadsItBack) {
  RecordHeaderBytes b = BuildRecordHeader(
      {.rateHz = 256, .hour = 23, .minute = 59, .second = 58, .info = test::InfoWith('4', 'V')});
  // Magic "A2K", unlisted bytes blank, rate 256 little-endian, float 1.0 is 00 00 80 3F.
  // clang-format off
  for (const auto& [at, value] : {std::pair{0, 0x41}, {1, 0x32}, {2, 0x4B}, {3, 0x20}, {16, 0x00}, {17, 0x01}, {20, 1},
                                  {27, 0x3F}, {83, '4'}, {91, 'V'}})
    // clang-format on
    EXPECT_EQ(b[static_cast<std::size_t>(at)], value) << "byte " << at;
  // The rest of what the header parses to is the pre-scan's and the replays' (magic, rate, revisions).
  EXPECT_EQ(ParseRecordHeader(b).StartSecondOfDay(), 86398);
  b[40] = 0x20;  // a blank or an impossible hour is no time
  EXPECT_FALSE(ParseRecordHeader(b).hasTime);
  b[40] = 200;
  EXPECT_FALSE(ParseRecordHeader(b).hasTime);
}

TEST_F(RecordFilesTest, AutomaticNamesCountUpWithinTheDayInWorkDir) {
  core.settings.WorkDir = dir.string();
  const TimeOfDay today = LocalNow();
  std::string path;
  for (int n = 1; n <= 2; ++n) {
    ASSERT_EQ(service.CreateAutomatic(path), RecordCreateOutcome::Created);
    core.run.RecordFile.Close();
    EXPECT_EQ(path, AutoRecordPath(dir.string(), today, n));
  }
  EXPECT_TRUE(core.run.WaveFileBinary);
  const TimeOfDay pi{.year = 2024, .month = 3, .day = 14};
  EXPECT_EQ(AutoRecordPath("/r", pi, 1), "/r/202403141.eeg");
  EXPECT_EQ(AutoRecordPath("", pi, 17), "2024031417.eeg") << "no WorkDir: current directory";
  for (int n = 3; n <= 99; ++n) std::ofstream(AutoRecordPath(dir.string(), today, n));
  EXPECT_EQ(service.CreateAutomatic(path), RecordCreateOutcome::NoFreeName);
  core.settings.WorkDir = (dir / "missing" / "folder").string();
  EXPECT_EQ(service.CreateAutomatic(path), RecordCreateOutcome::NoFreeName) << "an uncreatable folder";
}

// The online run's writing of whole records is the link tests' (one header,
// the packets as played); here what never reaches the file, and a packet
// ahead of the first monitor information, which keeps the header's place free.
TEST_F(RecordFilesTest, WriterSkipsUncalibratedAndUnrecordedMessagesAndKeepsTheHeadersPlace) {
  RecordBuilder source(k128, 9, 30, 0);
  source.AddSecond();
  const std::uint8_t* vars = source.bytes.data() + kRecordHeaderBytes;
  DataFile file;
  ASSERT_TRUE(file.Open(Path("w.eeg"), "wb"));
  RecordWriter writer(file);
  EXPECT_TRUE(writer.Append(vars + kProcessedBytes, kMsgRawEeg, k128, 0.0f));  // no calibration yet
  EXPECT_TRUE(writer.Append(vars, kMsgMonitorInfo, k128, 1.0f));               // not recorded
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, k128, 1.0f));
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, k128, 1.0f));
  EXPECT_TRUE(writer.WriteHeader({.hour = 9, .minute = 30, .info = {}}));
  file.Close();
  const PrescanResult r = PrescanRecord(Path("w.eeg"));
  // The late header takes the place kept for it, once.
  EXPECT_EQ(std::tuple(r.outcome, r.fileLength, r.firstPacketId, r.fileStartSec),
            std::tuple(Ok, 128L + 2 * 142, int{kMsgProcessed}, 9u * 3600 + 30 * 60));
  // A file that cannot be written makes the packet's writing fail.
  ASSERT_TRUE(file.Open(Path("w.eeg"), "rb"));
  RecordWriter refused(file);
  EXPECT_FALSE(refused.Append(vars, kMsgProcessed, k128, 1.0f));
}

// Regression: a record file opened during a run (from the Save menu, or the
// next part after a gap) got a blank header and was refused by the replay.
// It begins at the next processed-variables message, behind a header with the
// monitor information already received.
TEST_F(RecordFilesTest, WriterBeginsAFileOpenedDuringTheRunWithAHeaderAndAProcessedMessage) {
  RecordBuilder source(k128, 9, 30, 0);
  source.AddSecond();
  const std::uint8_t* vars = source.bytes.data() + kRecordHeaderBytes;
  const std::uint8_t* raw = vars + kProcessedBytes;
  MonitorInfo info;
  info.payload[27] = 'C';
  DataFile file;
  ASSERT_TRUE(file.Open(Path("first.eeg"), "wb"));
  RecordWriter writer(file);
  EXPECT_TRUE(writer.WriteHeader({.hour = 9, .minute = 30, .info = info}));
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, k128, 1.0f));
  EXPECT_TRUE(writer.Append(raw, kMsgRawEeg, k128, 1.0f));
  ASSERT_TRUE(file.Open(Path("later.eeg"), "wb"));
  EXPECT_TRUE(writer.Append(raw, kMsgRawEeg, k128, 1.0f));  // before the file's first processed message
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, k128, 1.0f));
  // The monitor's information coming again leaves the file's header as it is.
  MonitorInfo again = info;
  again.payload[27] = 'B';
  EXPECT_TRUE(writer.WriteHeader({.hour = 9, .minute = 30, .info = again}));
  EXPECT_TRUE(writer.Append(raw, kMsgRawEeg, k128, 1.0f));
  file.Close();
  for (const char* name : {"first.eeg", "later.eeg"}) {
    SCOPED_TRACE(name);
    const PrescanResult r = PrescanRecord(Path(name));
    EXPECT_EQ(std::tuple(r.outcome, r.fileLength, r.firstPacketId, r.monitorModel, r.header.hasTime),
              std::tuple(Ok, 128L + 142 + 90, int{kMsgProcessed}, 1, true));
  }
}

TEST_F(RecordFilesTest, PartsContinueAfterTheCurrentNameAndNeverReuseAFile) {
  const TimeOfDay today{.year = 2026, .month = 12, .day = 7};
  for (const char* existing : {"OUT_part3.eeg", "202612071.eeg", "202612072.eeg"}) std::ofstream{Path(existing)};
  const std::pair<std::string, std::string> cases[] = {
      {Path("OUT.eeg"), Path("OUT_part2.eeg")},
      {Path("OUT_part2.eeg"), Path("OUT_part4.eeg")},  // part 3 exists
      {Path("case"), Path("case_part2.eeg")},
      {Path("202612072.eeg"), Path("202612073.eeg")},  // automatic: the next free automatic name
      {Path("20261207x.eeg"), Path("20261207x_part2.eeg")},
      {"OUT.eeg", "OUT_part2.eeg"},  // the current directory
  };
  for (const auto& [current, next] : cases) EXPECT_EQ(NextRecordPartPath(current, today), next) << current;
}

TEST_F(RecordFilesTest, PrescanReadsLayoutModelRateAndCountsWholeSecondsAfterTheFirstPacket) {
  // Layout, model, engine, whole seconds, bytes of a second not whole; what the pre-scan finds: bytes per
  // second, engine kind, monitor model, 256 Hz, bytes of the first packet.
  // clang-format off
  const std::tuple<RawLayout, char, char, int, int, std::tuple<int, int, int, bool, int>> cases[] = {
      {k128, 'C', 'B', 0, 0, {862, 1, 1, false, 142}},    // empty
      {k128, 'C', 'B', 3, 500, {862, 1, 1, false, 142}},  // most of a fourth second
      {k256, 'C', 'B', 2, 0, {1374, 1, 1, true, 142}},
      {k256, 'V', 'B', 1, 0, {862, 1, 2, false, 142}},    // a model V monitor runs at 128 Hz whatever the rate field says
      {kFour, 'V', '4', 5, 0, {1542, 2, 2, false, 310}},  // a 1122 first, with its own calibration offsets
  };
  // clang-format on
  for (const auto& [layout, model, engine, seconds, extra, expected] : cases) {
    SCOPED_TRACE(seconds);
    RecordBuilder b(layout, 10, 0, 0, model, engine);
    for (int i = 0; i < seconds; ++i) b.AddSecond();
    b.bytes.resize(b.bytes.size() + static_cast<std::size_t>(extra));
    const PrescanResult r = PrescanRecord(Save(b, "case.eeg"));
    EXPECT_EQ(std::tuple(r.outcome, r.fileLength, r.fileSeconds, r.fileStartSec, r.calibration.gain),
              std::tuple(Ok, long(b.bytes.size()), seconds, 36000u, 1.0f / 32));
    EXPECT_EQ(std::tuple(r.bytesPerSecond, r.engineKind, r.monitorModel, r.rate256, r.firstPacketBytes),
              expected);
  }
  EXPECT_EQ(PrescanRecord(Path("missing.eeg")).outcome, OpenError);
  RecordBuilder b(k128, 7, 0, 0);
  b.bytes[0] = 'X';  // no magic: accepted with no time; refused later at Start
  const PrescanResult foreign = PrescanRecord(Save(b, "foreign.eeg"));
  EXPECT_EQ(std::pair(foreign.outcome, foreign.fileStartSec), std::pair(Ok, 0u));
  b.bytes.resize(269);
  EXPECT_EQ(PrescanRecord(Save(b, "short.eeg")).outcome, TypeError);
}

// The other refusals are the offline run's (a file gone, foreign, too short
// for the pre-scan), and so is a clock offset.
TEST_F(RecordFilesTest, OpeningForReplayRefusesWhatCannotBeReplayedAndStartsTheClockAfterTheHeader) {
  std::ofstream(dir / "tiny.eeg") << std::string(127, 'A');
  EXPECT_EQ(service.OpenReplay(Path("tiny.eeg")), SizeError);
  RecordBuilder b(k128, 23, 59, 59), cut = b;
  cut.bytes.resize(200);
  EXPECT_EQ(service.OpenReplay(Save(cut, "cut.eeg")), TypeError);
  EXPECT_FALSE(core.run.ReplayFile.IsOpen()) << "a refused file is not left open";
  EXPECT_EQ(service.OpenReplay(Save(b, "ok.eeg")), Ok);
  EXPECT_TRUE(core.run.ReplayFile.IsOpen());
  EXPECT_EQ(core.run.ClockSec, 0u) << "one second after 23:59:59";
}

// Damaged and foreign record files thrown at the pre-scan, the replay open and
// the replay step: each must end with a clear outcome, never crash, never
// read outside a buffer (the ASan build proves the last), and never hang.
Bytes Mutate(Bytes bytes, std::mt19937& rng) {
  const auto byte = [&] { return static_cast<std::uint8_t>(rng()); };
  for (int e = 1 + static_cast<int>(rng() % 12); e > 0 && !bytes.empty(); --e) {
    const auto at = bytes.begin() + static_cast<long>(rng() % bytes.size());
    const std::uint8_t fake[] = {0xBA, 0xAB, 0, 0, byte(), static_cast<std::uint8_t>(byte() % 9), 1, 0};
    // clang-format off
    switch (rng() % 6) {
      case 0: *at ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
      case 1: *at = byte(); break;
      case 2: bytes.insert(at, byte()); break;
      case 3: bytes.erase(at); break;
      case 4: bytes.erase(at, bytes.end()); break;                    // cut short
      default: bytes.insert(at, std::begin(fake), std::end(fake));  // a false header announcing a long packet
    }
    // clang-format on
  }
  return bytes;
}

// A damaged record file of the layout, or (noise) random bytes, no record file at all.
Bytes DamagedOrNoise(bool noise, int layout, int seconds, std::mt19937& rng) {
  Bytes bytes(noise ? rng() % (seconds > 1 ? 3000 : 700) : 0);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  if (noise) return bytes;
  const bool four = layout == static_cast<int>(kFour);
  RecordBuilder b(static_cast<RawLayout>(layout), 9, 0, 0, four ? 'V' : 'C', four ? '4' : 'B');
  for (int i = 0; i < seconds; ++i) b.AddSecond();
  return Mutate(b.bytes, rng);
}

// Each file's pre-scan, from an exactly sized copy of its lead bytes (so that
// ASan sees any read past them), ends in a sound outcome. One in 300, of four
// seconds, also goes through the record replay's fuzz target
// (fuzz/RecordReplayFuzz.cpp): the pre-scan, the replay open and a Calculation
// Only replay with the settings header byte 127 chooses, aborting on a broken
// promise (a pre-scan that accepts unsound lengths, a replay of more seconds
// than the file holds).
TEST(RecordFuzz, DamagedFilesEndWithAnOutcomeAndThePrescanStaysWithinItsInput) {
  std::mt19937 rng(7);
  int accepted[2] = {};  // pre-scan only, replayed
  for (int round = 0; round < 200000; ++round) {
    const bool replay = round % 300 == 0;
    Bytes bytes =
        DamagedOrNoise(rng() % (replay ? 10 : 4) == 0, static_cast<int>(rng() % 3), replay ? 4 : 1, rng);
    if (replay && bytes.size() >= 128) bytes[127] = static_cast<std::uint8_t>(rng());  // the settings byte
    if (replay) LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    const Bytes lead(bytes.begin(), bytes.begin() + static_cast<long>(std::min(bytes.size(), kPrescanBytes)));
    const PrescanResult r = PrescanRecordBytes(lead.data(), lead.size(), static_cast<long>(bytes.size()));
    ASSERT_TRUE(r.outcome == Ok || r.outcome == TypeError);
    if (r.outcome != Ok) continue;
    ++accepted[replay];
    ASSERT_TRUE(r.fileSeconds >= 0 && r.fileStartSec < 86400u &&
                (r.firstPacketBytes == 142 || r.firstPacketBytes == 310) &&
                (r.bytesPerSecond == 862 || r.bytesPerSecond == 1374 || r.bytesPerSecond == 1542))
        << r.firstPacketBytes << " " << r.fileSeconds << " " << r.fileStartSec << " " << r.bytesPerSecond;
  }
  EXPECT_GT(accepted[0], 50000);
  EXPECT_GT(accepted[1], 100) << "the mutations must leave enough files that replay at all";
}

// ---------------------------------------------------------------------------
// Replay

class ReplayTest : public RecordFilesTest {
 protected:
  // A file of these whole seconds from 12:00:00, pre-scanned and opened as an offline Start does.
  void Open(RecordBuilder b, int seconds = 3) {
    for (int i = 0; i < seconds; ++i) b.AddSecond();
    ASSERT_EQ(service.Prescan(Save(b, "case.eeg")), Ok);
    ASSERT_EQ(service.OpenReplay(Path("case.eeg")), Ok);
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
    // Braces: the pre-scan runs first.
    EXPECT_EQ((std::tuple{service.Prescan(path), int{core.run.FileSeconds}, service.OpenReplay(path)}),
              std::tuple(Ok, expectedSeconds, Ok));
    ReplayCycle cycle(core, replay);
    core.run.OnlineMode = false;
    int seconds = 0;
    for (; cycle.RunCycle(); ++seconds) Take128();
    EXPECT_EQ(seconds, expectedSeconds);
    core.run.BisVariablesFile.Close();
    return test::Slurp(dir / "bisvars.csv");
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
  for (const auto& [layout, model, engine, channel, says256] : {std::tuple{k128, 'C', 'B', 2, false},
           {kFour, 'V', '4', 3, false}, {k128, 'V', 'B', 1, true}}) {
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

// The file starts in the middle of a second (the first three raw messages of
// second 0, sequence 800..802, dropped): what comes before the first boundary
// is skipped, variables too. A damaged packet then costs that packet only:
// second 2's raw message 3 has a broken checksum, and garbage (a false header
// announcing 2048 bytes among it) sits between two packets of second 3.
TEST_F(ReplayTest, SecondsBeforeTheFirstBoundaryAreSkippedAndADamagedPacketCostsThatPacketOnly) {
  RecordBuilder b(k128, 12, 0, 0);
  for (int i = 0; i < 4; ++i) b.AddSecond();
  b.bytes[kRecordLeadBytes + 2 * 862 + 3 * 90 + 40] ^= 0xFF;
  b.bytes.insert(b.bytes.begin() + kRecordLeadBytes + 3 * 862 + 5 * 90,
                 {0xBA, 0xAB, 0x01, 0x00, 0x00, 0x08, 0x01, 0x00, 0x13, 0x37, 0xBA, 0x00});
  b.bytes.erase(b.bytes.begin() + kRecordLeadBytes, b.bytes.begin() + kRecordLeadBytes + 3 * 90);
  Open(b, 0);
  ASSERT_EQ(replay.NextSecond(), Replay::Step::Second);
  EXPECT_EQ(core.buffers.monitor.MonBis, -1) << "variables before the boundary are skipped";
  do Take128();
  while (replay.NextSecond() == Replay::Step::Second);
  // From sequence 808, 23 messages make two whole seconds; the last seven
  // never make a third and stay unconsumed when the file ends.
  std::vector<std::int16_t> expected = Samples(1, 3, 0, 2 * 8 + 3);
  expected.resize(2 * 128);
  EXPECT_EQ(taken, expected);
  EXPECT_EQ(replay.RawStored(), 23u);
}

TEST_F(ReplayTest, FlagWordsMarkTheTwoBlocksTakenNext) {
  Open(RecordBuilder(k128, 12, 0, 0));
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
  RecordBuilder b(k128, 10, 0, 0);
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
}  // namespace
}  // namespace qs
