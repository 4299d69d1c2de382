#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "record/AutoRecordName.h"
#include "record/RecordPrescan.h"
#include "record/RecordWriter.h"
#include "RecordFixture.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::RecordBuilder;
using RecordFilesTest = test::RecordFixture;

TEST(RecordHeader, BuildsTheFixedLayoutAndReadsItBack) {
  RecordHeader h;
  std::tie(h.rateHz, h.hour, h.minute, h.second) = std::tuple(256, 23, 59, 58);
  h.info = test::InfoWith('4', 'V');
  const RecordHeaderBytes b = BuildRecordHeader(h);
  // Magic "A2K", unlisted bytes blank, rate 256 little-endian, float 1.0 is 00 00 80 3F.
  for (const auto& [at, value] : {std::pair{0, 0x41}, {1, 0x32}, {2, 0x4B}, {3, 0x20}, {16, 0x00}, {17, 0x01},
                                 {20, 1}, {27, 0x3F}, {83, '4'}, {91, 'V'}})
    EXPECT_EQ(b[static_cast<std::size_t>(at)], value) << "byte " << at;
  const ParsedRecordHeader p = ParseRecordHeader(b);
  EXPECT_TRUE(p.magic && p.hasTime);
  EXPECT_EQ(std::tuple(p.StartSecondOfDay(), p.rateField, p.revision[2] * 100 + p.revision[3]),
            std::tuple(86398, 256, 205)) << "host revision 2.05";
  for (const std::uint8_t hour : {0x20, 200}) {  // a blank or an impossible hour is no time
    RecordHeaderBytes other = b;
    other[40] = hour;
    EXPECT_FALSE(ParseRecordHeader(other).hasTime) << int{hour};
  }
}

TEST_F(RecordFilesTest, AutomaticNamesCountUpWithinTheDayInWorkDir) {
  core.settings.WorkDir = dir.string();
  const TimeOfDay today = LocalNow();
  for (int n = 1; n <= 2; ++n) {
    std::string path;
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
  std::string none;
  EXPECT_EQ(service.CreateAutomatic(none), RecordCreateOutcome::NoFreeName);
  core.settings.WorkDir = (dir / "missing" / "folder").string();
  EXPECT_EQ(service.CreateAutomatic(none), RecordCreateOutcome::NoFreeName) << "an uncreatable folder";
}

// The online run's writing of whole records is the link tests' (one header,
// the packets as played); here what never reaches the file, and a packet
// ahead of the first monitor information, which keeps the header's place free.
TEST_F(RecordFilesTest, WriterSkipsUncalibratedAndUnrecordedMessagesAndKeepsTheHeadersPlace) {
  RecordBuilder source(RawLayout::TwoChannels128, 9, 30, 0);
  source.AddSecond();
  const std::uint8_t* vars = source.bytes.data() + kRecordHeaderBytes;
  DataFile file;
  ASSERT_TRUE(file.Open(Path("w.eeg"), "wb"));
  RecordWriter writer(file);
  constexpr auto k128 = RawLayout::TwoChannels128;
  EXPECT_TRUE(writer.Append(vars + kProcessedBytes, kMsgRawEeg, k128, 0.0f));  // no calibration yet
  EXPECT_TRUE(writer.Append(vars, kMsgMonitorInfo, k128, 1.0f));                // not recorded
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, k128, 1.0f));
  RecordHeader h;
  std::tie(h.hour, h.minute) = std::pair(9, 30);
  EXPECT_TRUE(writer.WriteHeader(h));
  file.Close();
  const PrescanResult late = PrescanRecord(Path("w.eeg"));
  EXPECT_EQ(late.outcome, ReplayOpenOutcome::Ok);
  EXPECT_EQ(late.fileLength, 128 + 142);
  EXPECT_EQ(late.firstPacketId, kMsgProcessed);
  EXPECT_EQ(late.fileStartSec, 9u * 3600 + 30 * 60) << "the late header takes the place kept for it";
}

TEST_F(RecordFilesTest, PrescanReadsLayoutModelRateAndCountsWholeSecondsAfterTheFirstPacket) {
  const struct {
    const char* name;
    RawLayout layout;
    char model, engine;
    int seconds, extra;  // extra: bytes of a second not whole
    int fileSeconds, bytesPerSecond, engineKind, monitorModel;
    bool rate256;
    int firstPacketBytes;
  } cases[] = {
      {"empty", RawLayout::TwoChannels128, 'C', 'B', 0, 0, 0, 862, 1, 1, false, 142},
      {"most of a fourth second", RawLayout::TwoChannels128, 'C', 'B', 3, 500, 3, 862, 1, 1, false, 142},
      {"256 Hz", RawLayout::TwoChannels256, 'C', 'B', 2, 0, 2, 1374, 1, 1, true, 142},
      // A model V monitor runs at 128 Hz whatever the rate field says.
      {"model V", RawLayout::TwoChannels256, 'V', 'B', 1, 0, 1, 862, 1, 2, false, 142},
      // The first packet is a 1122 of 310 bytes with its own calibration offsets.
      {"four channels", RawLayout::FourChannels128, 'V', '4', 5, 0, 5, 1542, 2, 2, false, 310},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecordBuilder b(c.layout, 10, 0, 0, c.model, c.engine);
    for (int i = 0; i < c.seconds; ++i) b.AddSecond();
    b.bytes.resize(b.bytes.size() + static_cast<std::size_t>(c.extra));
    const PrescanResult r = PrescanRecord(Save(b, "case.eeg"));
    ASSERT_EQ(r.outcome, ReplayOpenOutcome::Ok);
    EXPECT_EQ(r.fileLength, static_cast<long>(b.bytes.size()));
    EXPECT_EQ(r.fileSeconds, c.fileSeconds);
    EXPECT_EQ(r.bytesPerSecond, c.bytesPerSecond);
    EXPECT_EQ(r.engineKind, c.engineKind);
    EXPECT_EQ(r.monitorModel, c.monitorModel);
    EXPECT_EQ(r.rate256, c.rate256);
    EXPECT_EQ(r.firstPacketBytes, c.firstPacketBytes);
    EXPECT_EQ(r.fileStartSec, 36000u);
    EXPECT_FLOAT_EQ(r.calibration.gain, 1.0f / 32.0f);
  }
  EXPECT_EQ(PrescanRecord(Path("missing.eeg")).outcome, ReplayOpenOutcome::OpenError);
  RecordBuilder b(RawLayout::TwoChannels128, 7, 0, 0);
  b.bytes[0] = 'X';  // no magic: accepted with no time; refused later at Start
  const PrescanResult foreign = PrescanRecord(Save(b, "foreign.eeg"));
  EXPECT_EQ(foreign.outcome, ReplayOpenOutcome::Ok);
  EXPECT_EQ(foreign.fileStartSec, 0u);
  b.bytes.resize(269);
  EXPECT_EQ(PrescanRecord(Save(b, "short.eeg")).outcome, ReplayOpenOutcome::TypeError);
}

// The other refusals are the offline run's (a file gone, foreign, too short for the pre-scan).
TEST_F(RecordFilesTest, OpeningForReplayRefusesWhatCannotBeReplayed) {
  std::ofstream(dir / "tiny.eeg") << std::string(127, 'A');
  EXPECT_EQ(service.OpenReplay(Path("tiny.eeg")), ReplayOpenOutcome::SizeError);
  RecordBuilder b(RawLayout::TwoChannels128, 7, 0, 0), cut = b;
  cut.bytes.resize(200);
  EXPECT_EQ(service.OpenReplay(Save(cut, "cut.eeg")), ReplayOpenOutcome::TypeError);
  EXPECT_FALSE(core.run.ReplayFile.IsOpen()) << "a refused file is not left open";
  EXPECT_EQ(service.OpenReplay(Save(b, "ok.eeg")), ReplayOpenOutcome::Ok);
  EXPECT_TRUE(core.run.ReplayFile.IsOpen());
}

// One second after the header's time (an offset is the offline run's test).
TEST_F(RecordFilesTest, ReplayClockStartsOneSecondAfterTheHeaderTimeAcrossMidnight) {
  ASSERT_EQ(service.OpenReplay(Save(RecordBuilder(RawLayout::TwoChannels128, 23, 59, 59), "late.eeg")),
            ReplayOpenOutcome::Ok);
  EXPECT_EQ(core.run.ClockSec, 0u);
}

// Damaged and foreign record files thrown at the pre-scan, the replay open and
// the replay step: each must end with a clear outcome, never crash, never
// read outside a buffer (the ASan build proves the last), and never hang.
std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> bytes, std::mt19937& rng) {
  const auto byte = [&] { return static_cast<std::uint8_t>(rng()); };
  for (int e = 1 + static_cast<int>(rng() % 12); e > 0 && !bytes.empty(); --e) {
    const auto at = bytes.begin() + static_cast<long>(rng() % bytes.size());
    switch (rng() % 6) {
      case 0: *at ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
      case 1: *at = byte(); break;
      case 2: bytes.insert(at, byte()); break;
      case 3: bytes.erase(at); break;
      case 4: bytes.erase(at, bytes.end()); break;  // cut short
      default: {  // a false header announcing a long packet
        const std::uint8_t fake[] = {0xBA, 0xAB, 0, 0, byte(), static_cast<std::uint8_t>(byte() % 9), 1, 0};
        bytes.insert(at, std::begin(fake), std::end(fake));
      }
    }
  }
  return bytes;
}

std::vector<std::uint8_t> RandomBytes(std::size_t n, std::mt19937& rng) {
  std::vector<std::uint8_t> bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

TEST(RecordFuzz, DamagedFilesEndWithAnOutcomeAndNeverOverfillTheRings) {
  const fs::path path = fs::temp_directory_path() / ("qs_recfuzz_" + std::to_string(::getpid()) + ".eeg");
  std::mt19937 rng(20261206);
  std::vector<std::vector<std::uint8_t>> seeds;
  for (RawLayout layout : {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
    const bool four = layout == RawLayout::FourChannels128;
    RecordBuilder b(layout, 9, 0, 0, four ? 'V' : 'C', four ? '4' : 'B');
    for (int i = 0; i < 4; ++i) b.AddSecond();
    seeds.push_back(b.bytes);
  }
  int replayed = 0;
  for (int round = 0; round < 600; ++round) {
    // One in ten is no record file at all.
    const std::vector<std::uint8_t> bytes = round % 10 == 9 ? RandomBytes(rng() % 3000, rng)
                                                            : Mutate(seeds[static_cast<std::size_t>(round) % 3], rng);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));

    AppCore core;
    core.settings.EegChannel = static_cast<int>(rng() % 4);
    RecordFileService service(core);
    if (service.Prescan(path.string()) != ReplayOpenOutcome::Ok) continue;
    ASSERT_GE(core.run.FileSeconds, 0);
    if (service.OpenReplay(path.string()) != ReplayOpenOutcome::Ok) continue;
    ++replayed;
    RawWaveBuffer& w = core.buffers.rawWave;
    int steps = 0;
    while (service.ReplayInput().NextSecond() == Replay::Step::Second) {
      ASSERT_EQ(w.Wave128Pending, 128) << "round " << round << ": one second is 128 samples";
      ASSERT_LT(++steps, 100) << "round " << round << ": a 4-second file cannot replay for ever";
      w.Wave128Read = w.Wave128Write;
      w.Wave256Read = w.Wave256Write;
      w.Wave128Pending = w.Wave256Pending = 0;
    }
  }
  fs::remove(path);
  EXPECT_GT(replayed, 100) << "the mutations must leave enough files that replay at all";
}

TEST(RecordFuzz, PrescanOfArbitraryBytesStaysWithinItsInput) {
  std::mt19937 rng(7);
  RecordBuilder four(RawLayout::FourChannels128, 9, 0, 0, 'V', '4');
  four.AddSecond();
  RecordBuilder two(RawLayout::TwoChannels256, 9, 0, 0);
  two.AddSecond();
  int accepted = 0;
  for (int round = 0; round < 200000; ++round) {
    const std::vector<std::uint8_t> bytes =
        round % 4 == 0 ? RandomBytes(rng() % 700, rng) : Mutate(round % 2 ? four.bytes : two.bytes, rng);
    // An exactly sized copy of the lead bytes, so that ASan sees any read past them.
    const std::size_t leadSize = std::min(bytes.size(), kPrescanBytes);
    const std::vector<std::uint8_t> lead(bytes.begin(), bytes.begin() + static_cast<long>(leadSize));
    const PrescanResult r = PrescanRecordBytes(lead.data(), lead.size(), static_cast<long>(bytes.size()));
    ASSERT_TRUE(r.outcome == ReplayOpenOutcome::Ok || r.outcome == ReplayOpenOutcome::TypeError);
    if (r.outcome != ReplayOpenOutcome::Ok) continue;
    ++accepted;
    ASSERT_TRUE(r.firstPacketBytes == 142 || r.firstPacketBytes == 310);
    ASSERT_GE(r.fileSeconds, 0);
    ASSERT_LT(r.fileStartSec, 86400u);
    ASSERT_TRUE(r.bytesPerSecond == 862 || r.bytesPerSecond == 1374 || r.bytesPerSecond == 1542);
  }
  EXPECT_GT(accepted, 50000);
}

}  // namespace
}  // namespace qs
