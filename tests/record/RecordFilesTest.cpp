#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
  h.rateHz = 256;
  h.hour = 23;
  h.minute = 59;
  h.second = 58;
  h.info = test::InfoWith('4', 'V');
  const RecordHeaderBytes b = BuildRecordHeader(h);
  // Magic "A2K", unlisted bytes blank, rate 256 little-endian, float 1.0 is 00 00 80 3F.
  for (const auto& [at, value] : {std::pair{0, 0x41}, {1, 0x32}, {2, 0x4B}, {3, 0x20}, {16, 0x00}, {17, 0x01},
                                 {20, 1}, {27, 0x3F}, {83, '4'}, {91, 'V'}})
    EXPECT_EQ(b[static_cast<std::size_t>(at)], value) << "byte " << at;
  const ParsedRecordHeader p = ParseRecordHeader(b);
  EXPECT_TRUE(p.magic && p.hasTime);
  EXPECT_EQ(p.StartSecondOfDay(), 86398);
  EXPECT_EQ(p.rateField, 256);
  EXPECT_EQ(p.revision[2] * 100 + p.revision[3], 205) << "host revision 2.05";
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

TEST_F(RecordFilesTest, WriterPutsTheHeaderFirstAndPacketsAtTheirRecordedLength) {
  RecordBuilder source(RawLayout::TwoChannels128, 9, 30, 0);
  source.AddSecond();
  DataFile file;
  ASSERT_TRUE(file.Open(Path("w.eeg"), "wb"));
  RecordWriter writer(file);
  const std::uint8_t* vars = source.bytes.data() + kRecordHeaderBytes;
  const std::uint8_t* raw = vars + kProcessedBytes;
  constexpr auto k128 = RawLayout::TwoChannels128;
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, k128, 0.0f));  // no calibration yet
  RecordHeader h;
  h.hour = 9;
  h.minute = 30;
  h.info = test::InfoWith('B', 'C');
  EXPECT_TRUE(writer.WriteHeader(h));
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, k128, 0.03125f));
  EXPECT_TRUE(writer.Append(raw, kMsgRawEeg, k128, 0.03125f));
  EXPECT_TRUE(writer.Append(raw, kMsgMonitorInfo, k128, 0.03125f));  // not recorded
  h.hour = 11;
  EXPECT_TRUE(writer.WriteHeader(h)) << "a second monitor information writes nothing";
  file.Close();
  const PrescanResult r = PrescanRecord(Path("w.eeg"));
  ASSERT_EQ(r.outcome, ReplayOpenOutcome::Ok);
  EXPECT_EQ(r.fileLength, 128 + 142 + 90);
  EXPECT_EQ(r.fileStartSec, 9u * 3600 + 30 * 60);

  // A packet that comes before any monitor information keeps the header's
  // place free; the late header does not overwrite it.
  ASSERT_TRUE(file.Open(Path("late.eeg"), "wb"));
  writer.Reset();
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, k128, 1.0f));
  EXPECT_TRUE(writer.WriteHeader(h));
  file.Close();
  const PrescanResult late = PrescanRecord(Path("late.eeg"));
  EXPECT_EQ(late.outcome, ReplayOpenOutcome::Ok);
  EXPECT_EQ(late.fileLength, 128 + 142);
  EXPECT_EQ(late.firstPacketId, kMsgProcessed);
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

TEST_F(RecordFilesTest, OpeningForReplayRefusesWhatCannotBeReplayed) {
  EXPECT_EQ(service.OpenReplay(""), ReplayOpenOutcome::NotSelected);
  EXPECT_EQ(service.OpenReplay(Path("missing.eeg")), ReplayOpenOutcome::OpenError);
  std::ofstream(dir / "tiny.eeg") << std::string(127, 'A');
  EXPECT_EQ(service.OpenReplay(Path("tiny.eeg")), ReplayOpenOutcome::SizeError);
  RecordBuilder b(RawLayout::TwoChannels128, 7, 0, 0);
  RecordBuilder foreign = b, cut = b;
  foreign.bytes[2] = 'Q';
  cut.bytes.resize(200);
  EXPECT_EQ(service.OpenReplay(Save(foreign, "foreign.eeg")), ReplayOpenOutcome::TypeError);
  EXPECT_EQ(service.OpenReplay(Save(cut, "cut.eeg")), ReplayOpenOutcome::TypeError);
  EXPECT_FALSE(core.run.ReplayFile.IsOpen()) << "a refused file is not left open";
  EXPECT_EQ(service.OpenReplay(Save(b, "ok.eeg")), ReplayOpenOutcome::Ok);
  EXPECT_TRUE(core.run.ReplayFile.IsOpen());
}

TEST_F(RecordFilesTest, ReplayClockStartsOneSecondAfterTheHeaderTimeOrAtTheOffset) {
  ASSERT_EQ(service.OpenReplay(Save(RecordBuilder(RawLayout::TwoChannels128, 23, 59, 59), "late.eeg")),
            ReplayOpenOutcome::Ok);
  EXPECT_EQ(core.run.ClockSec, 0u) << "23:59:59 + 1 s reaches midnight";

  RecordBuilder b(RawLayout::TwoChannels128, 10, 0, 0);
  for (int i = 0; i < 70; ++i) b.AddSecond();
  const std::string path = Save(b, "b.eeg");
  ASSERT_EQ(service.Prescan(path), ReplayOpenOutcome::Ok);
  EXPECT_EQ(core.run.FileSeconds, 70);
  ASSERT_EQ(service.OpenReplay(path), ReplayOpenOutcome::Ok);
  EXPECT_EQ(core.run.ClockSec, 36001u);
  core.run.StartOffsetSec = 60;
  ASSERT_EQ(service.OpenReplay(path), ReplayOpenOutcome::Ok);
  EXPECT_EQ(core.run.ClockSec, 36060u);
  // The next byte is the start of second 60's first raw EEG message.
  std::uint8_t next[20];
  ASSERT_EQ(core.run.ReplayFile.Read(next, sizeof next), sizeof next);
  EXPECT_EQ(GetU16(next + kOffMsgSeq), 800 + 60 * 8);
}

}  // namespace
}  // namespace qs
