#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "RecordFixture.h"
#include "record/AutoRecordName.h"
#include "record/RecordPrescan.h"
#include "record/RecordWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::RecordBuilder;
using RecordFilesTest = test::RecordFixture;
using Bytes = std::vector<std::uint8_t>;
constexpr RawLayout k128 = RawLayout::TwoChannels128, k256 = RawLayout::TwoChannels256,
                    kFour = RawLayout::FourChannels128;

TEST(RecordHeader, BuildsTheFixedLayoutAndReadsItBack) {
  RecordHeader h;
  std::tie(h.rateHz, h.hour, h.minute, h.second) = std::tuple(256, 23, 59, 58);
  h.info = test::InfoWith('4', 'V');
  const RecordHeaderBytes b = BuildRecordHeader(h);
  // Magic "A2K", unlisted bytes blank, rate 256 little-endian, float 1.0 is 00 00 80 3F.
  // clang-format off
  for (const auto& [at, value] : {std::pair{0, 0x41}, {1, 0x32}, {2, 0x4B}, {3, 0x20}, {16, 0x00}, {17, 0x01}, {20, 1},
                                  {27, 0x3F}, {83, '4'}, {91, 'V'}})
    // clang-format on
    EXPECT_EQ(b[static_cast<std::size_t>(at)], value) << "byte " << at;
  const ParsedRecordHeader p = ParseRecordHeader(b);
  EXPECT_EQ(
      std::tuple(p.magic, p.hasTime, p.StartSecondOfDay(), p.rateField, p.revision[2] * 100 + p.revision[3]),
      std::tuple(true, true, 86398, 256, 205))
      << "host revision 2.05";
  for (const std::uint8_t hour : {0x20, 200}) {  // a blank or an impossible hour is no time
    RecordHeaderBytes other = b;
    other[40] = hour;
    EXPECT_FALSE(ParseRecordHeader(other).hasTime) << int{hour};
  }
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
  char expected[16];
  std::snprintf(expected, sizeof expected, "%04d%02d%02d1.eeg", today.year, today.month, today.day);
  EXPECT_EQ(fs::path(AutoRecordPath(dir.string(), today, 1)).filename().string(), expected);
  EXPECT_TRUE(core.run.WaveFileBinary);
  EXPECT_EQ(AutoRecordPath("", today, 7).find('/'), std::string::npos) << "no WorkDir: current directory";
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
  RecordHeader h;
  std::tie(h.hour, h.minute) = std::pair(9, 30);
  EXPECT_TRUE(writer.WriteHeader(h));
  file.Close();
  const PrescanResult r = PrescanRecord(Path("w.eeg"));
  EXPECT_EQ(std::tuple(r.outcome, r.fileLength, r.firstPacketId, r.fileStartSec),
            std::tuple(ReplayOpenOutcome::Ok, 128L + 142, int{kMsgProcessed}, 9u * 3600 + 30 * 60))
      << "the late header takes the place kept for it";
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
    EXPECT_EQ(
        std::tuple(r.outcome, r.fileLength, r.fileSeconds, r.fileStartSec, r.calibration.gain),
        std::tuple(ReplayOpenOutcome::Ok, static_cast<long>(b.bytes.size()), seconds, 36000u, 1.0f / 32));
    EXPECT_EQ(std::tuple(r.bytesPerSecond, r.engineKind, r.monitorModel, r.rate256, r.firstPacketBytes),
              expected);
  }
  EXPECT_EQ(PrescanRecord(Path("missing.eeg")).outcome, ReplayOpenOutcome::OpenError);
  RecordBuilder b(k128, 7, 0, 0);
  b.bytes[0] = 'X';  // no magic: accepted with no time; refused later at Start
  const PrescanResult foreign = PrescanRecord(Save(b, "foreign.eeg"));
  EXPECT_EQ(std::pair(foreign.outcome, foreign.fileStartSec), std::pair(ReplayOpenOutcome::Ok, 0u));
  b.bytes.resize(269);
  EXPECT_EQ(PrescanRecord(Save(b, "short.eeg")).outcome, ReplayOpenOutcome::TypeError);
}

// The other refusals are the offline run's (a file gone, foreign, too short
// for the pre-scan), and so is a clock offset.
TEST_F(RecordFilesTest, OpeningForReplayRefusesWhatCannotBeReplayedAndStartsTheClockAfterTheHeader) {
  std::ofstream(dir / "tiny.eeg") << std::string(127, 'A');
  EXPECT_EQ(service.OpenReplay(Path("tiny.eeg")), ReplayOpenOutcome::SizeError);
  RecordBuilder b(k128, 23, 59, 59), cut = b;
  cut.bytes.resize(200);
  EXPECT_EQ(service.OpenReplay(Save(cut, "cut.eeg")), ReplayOpenOutcome::TypeError);
  EXPECT_FALSE(core.run.ReplayFile.IsOpen()) << "a refused file is not left open";
  EXPECT_EQ(service.OpenReplay(Save(b, "ok.eeg")), ReplayOpenOutcome::Ok);
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

// Through the record replay's fuzz target (fuzz/RecordReplayFuzz.cpp): the
// pre-scan, the replay open and a Calculation Only replay with the settings
// header byte 127 chooses, aborting on a broken promise (a pre-scan that
// accepts unsound lengths, a replay of more seconds than the file holds).
TEST(RecordFuzz, DamagedFilesEndWithAnOutcomeAndNeverReplayForEver) {
  std::mt19937 rng(20261206);
  int accepted = 0;
  for (int round = 0; round < 600; ++round) {
    Bytes bytes = DamagedOrNoise(round % 10 == 9, round % 3, 4, rng);
    if (bytes.size() >= kRecordHeaderBytes) bytes[kRecordHeaderBytes - 1] = static_cast<std::uint8_t>(rng());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    accepted +=
        PrescanRecordBytes(bytes.data(), std::min(bytes.size(), kPrescanBytes), long(bytes.size())).outcome ==
        ReplayOpenOutcome::Ok;
  }
  EXPECT_GT(accepted, 100) << "the mutations must leave enough files that replay at all";
}

TEST(RecordFuzz, PrescanOfArbitraryBytesStaysWithinItsInput) {
  std::mt19937 rng(7);
  int accepted = 0;
  for (int round = 0; round < 200000; ++round) {
    const Bytes bytes = DamagedOrNoise(round % 4 == 0, round % 3, 1, rng);
    // An exactly sized copy of the lead bytes, so that ASan sees any read past them.
    const Bytes lead(bytes.begin(), bytes.begin() + static_cast<long>(std::min(bytes.size(), kPrescanBytes)));
    const PrescanResult r = PrescanRecordBytes(lead.data(), lead.size(), static_cast<long>(bytes.size()));
    ASSERT_TRUE(r.outcome == ReplayOpenOutcome::Ok || r.outcome == ReplayOpenOutcome::TypeError);
    if (r.outcome != ReplayOpenOutcome::Ok) continue;
    ++accepted;
    ASSERT_TRUE((r.firstPacketBytes == 142 || r.firstPacketBytes == 310) && r.fileSeconds >= 0 &&
                r.fileStartSec < 86400u &&
                (r.bytesPerSecond == 862 || r.bytesPerSecond == 1374 || r.bytesPerSecond == 1542))
        << r.firstPacketBytes << " " << r.fileSeconds << " " << r.fileStartSec << " " << r.bytesPerSecond;
  }
  EXPECT_GT(accepted, 50000);
}

}  // namespace
}  // namespace qs
