#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "core/AppCore.h"
#include "record/AutoRecordName.h"
#include "record/RecordFileService.h"
#include "record/RecordPrescan.h"
#include "record/RecordWriter.h"
#include "RecordTestFiles.h"

namespace qs {
namespace {

namespace fs = std::filesystem;
using test::RecordBuilder;

class RecordFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("qs_rec_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Path(const char* name) const { return (dir / name).string(); }
  std::string Save(const RecordBuilder& b, const char* name) const {
    b.Save(dir / name);
    return Path(name);
  }
  std::string SaveBytes(const std::vector<std::uint8_t>& bytes, const char* name) const {
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return Path(name);
  }

  fs::path dir;
  AppCore core;
  RecordFileService service{core};
};

TEST(RecordHeader, BuildsTheFixedLayoutAndReadsItBack) {
  RecordHeader h;
  h.rateHz = 256;
  h.hour = 23;
  h.minute = 59;
  h.second = 58;
  h.info = test::InfoWith('4', 'V');
  const RecordHeaderBytes b = BuildRecordHeader(h);
  EXPECT_EQ(b[0], 0x41);
  EXPECT_EQ(b[1], 0x32);
  EXPECT_EQ(b[2], 0x4B);
  EXPECT_EQ(b[3], 0x20) << "unlisted bytes are blanks";
  EXPECT_EQ(b[16], 0x00);
  EXPECT_EQ(b[17], 0x01) << "256, little-endian";
  EXPECT_EQ(b[20], 1);
  EXPECT_EQ(b[27], 0x3F) << "float 1.0 is 00 00 80 3F";
  EXPECT_EQ(b[83], '4');
  EXPECT_EQ(b[91], 'V');
  const ParsedRecordHeader p = ParseRecordHeader(b);
  EXPECT_TRUE(p.magic && p.hasTime);
  EXPECT_EQ(p.StartSecondOfDay(), 86398);
  EXPECT_EQ(p.rateField, 256);
  EXPECT_EQ(p.revision[2], 2);
  EXPECT_EQ(p.revision[3], 5);

  RecordHeaderBytes blankTime = b;
  blankTime[40] = 0x20;
  EXPECT_FALSE(ParseRecordHeader(blankTime).hasTime);
  RecordHeaderBytes damaged = b;
  damaged[40] = 200;
  EXPECT_FALSE(ParseRecordHeader(damaged).hasTime) << "an impossible hour is no time";
}

TEST_F(RecordFilesTest, AutomaticNamesCountUpWithinTheDayInWorkDir) {
  core.settings.WorkDir = dir.string();
  std::string first, second;
  ASSERT_EQ(service.CreateAutomatic(first), RecordCreateOutcome::Created);
  core.run.RecordFile.Close();
  ASSERT_EQ(service.CreateAutomatic(second), RecordCreateOutcome::Created);
  core.run.RecordFile.Close();
  const TimeOfDay today = LocalNow();
  EXPECT_EQ(first, AutoRecordPath(dir.string(), today, 1));
  EXPECT_EQ(second, AutoRecordPath(dir.string(), today, 2));
  char expected[16];
  std::snprintf(expected, sizeof expected, "%04d%02d%02d1.eeg", today.year, today.month, today.day);
  EXPECT_EQ(fs::path(first).filename().string(), expected);
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
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, RawLayout::TwoChannels128, 0.0f));  // no calibration yet
  RecordHeader h;
  h.hour = 9;
  h.minute = 30;
  h.info = test::InfoWith('B', 'C');
  EXPECT_TRUE(writer.WriteHeader(h));
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, RawLayout::TwoChannels128, 0.03125f));
  EXPECT_TRUE(writer.Append(raw, kMsgRawEeg, RawLayout::TwoChannels128, 0.03125f));
  EXPECT_TRUE(writer.Append(raw, kMsgMonitorInfo, RawLayout::TwoChannels128, 0.03125f));  // not recorded
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
  EXPECT_TRUE(writer.Append(vars, kMsgProcessed, RawLayout::TwoChannels128, 1.0f));
  EXPECT_TRUE(writer.WriteHeader(h));
  file.Close();
  const PrescanResult late = PrescanRecord(Path("late.eeg"));
  EXPECT_EQ(late.outcome, ReplayOpenOutcome::Ok);
  EXPECT_EQ(late.fileLength, 128 + 142);
  EXPECT_EQ(late.firstPacketId, kMsgProcessed);
}

TEST_F(RecordFilesTest, PrescanCountsWholeSecondsAfterTheFirstPacket) {
  RecordBuilder b(RawLayout::TwoChannels128, 10, 0, 0);
  const std::string empty = Save(b, "empty.eeg");
  PrescanResult r = PrescanRecord(empty);
  ASSERT_EQ(r.outcome, ReplayOpenOutcome::Ok);
  EXPECT_EQ(r.fileLength, 270);
  EXPECT_EQ(r.fileSeconds, 0);
  for (int i = 0; i < 3; ++i) b.AddSecond();
  b.bytes.resize(b.bytes.size() + 500);  // most of a fourth second
  r = PrescanRecord(Save(b, "three.eeg"));
  EXPECT_EQ(r.fileSeconds, 3);
  EXPECT_EQ(r.bytesPerSecond, 862);
  EXPECT_EQ(r.engineKind, 1) << "a 52 first packet means engine kind 1";
  EXPECT_EQ(r.fileStartSec, 36000u);
  EXPECT_FLOAT_EQ(r.calibration.gain, 1.0f / 32.0f);

  EXPECT_EQ(PrescanRecord(Path("missing.eeg")).outcome, ReplayOpenOutcome::OpenError);
  b.bytes.resize(269);
  EXPECT_EQ(PrescanRecord(Save(b, "short.eeg")).outcome, ReplayOpenOutcome::TypeError);
}

TEST_F(RecordFilesTest, PrescanReadsModelRateAndFourChannelFiles) {
  RecordBuilder wide(RawLayout::TwoChannels256, 8, 0, 0, 'V', 'B');
  wide.AddSecond();
  PrescanResult r = PrescanRecord(Save(wide, "v256.eeg"));
  EXPECT_EQ(r.monitorModel, 2);
  EXPECT_FALSE(r.rate256) << "a model V monitor runs at 128 Hz whatever the rate field says";

  RecordBuilder rate(RawLayout::TwoChannels256, 8, 0, 0, 'C', 'B');
  for (int i = 0; i < 2; ++i) rate.AddSecond();
  r = PrescanRecord(Save(rate, "c256.eeg"));
  EXPECT_TRUE(r.rate256);
  EXPECT_EQ(r.bytesPerSecond, 1374);
  EXPECT_EQ(r.fileSeconds, 2);

  // Four channels: the first packet is a 1122 of 310 bytes with its own
  // calibration offsets.
  RecordBuilder four(RawLayout::FourChannels128, 8, 0, 0, 'V', '4');
  for (int i = 0; i < 5; ++i) four.AddSecond();
  r = PrescanRecord(Save(four, "four.eeg"));
  ASSERT_EQ(r.outcome, ReplayOpenOutcome::Ok);
  EXPECT_EQ(r.engineKind, 2);
  EXPECT_EQ(r.firstPacketBytes, 310);
  EXPECT_EQ(r.bytesPerSecond, 1542);
  EXPECT_EQ(r.fileSeconds, 5) << "the 1122's real length is counted";
  EXPECT_FLOAT_EQ(r.calibration.gain, 1.0f / 32.0f) << "taken from the 1122 offsets, not the 52 ones";

  // No magic: accepted with no time; refused later at Start.
  RecordBuilder foreign(RawLayout::TwoChannels128, 7, 0, 0);
  foreign.bytes[0] = 'X';
  r = PrescanRecord(Save(foreign, "foreign.eeg"));
  EXPECT_EQ(r.outcome, ReplayOpenOutcome::Ok);
  EXPECT_EQ(r.fileStartSec, 0u);
}

TEST_F(RecordFilesTest, OpeningForReplayRefusesWhatCannotBeReplayed) {
  EXPECT_EQ(service.OpenReplay(""), ReplayOpenOutcome::NotSelected);
  EXPECT_EQ(service.OpenReplay(Path("missing.eeg")), ReplayOpenOutcome::OpenError);
  EXPECT_EQ(service.OpenReplay(SaveBytes(std::vector<std::uint8_t>(127, 0x41), "tiny.eeg")),
            ReplayOpenOutcome::SizeError);
  RecordBuilder b(RawLayout::TwoChannels128, 7, 0, 0);
  RecordBuilder foreign = b;
  foreign.bytes[2] = 'Q';
  EXPECT_EQ(service.OpenReplay(Save(foreign, "foreign.eeg")), ReplayOpenOutcome::TypeError);
  RecordBuilder cut = b;
  cut.bytes.resize(200);
  EXPECT_EQ(service.OpenReplay(Save(cut, "cut.eeg")), ReplayOpenOutcome::TypeError);
  EXPECT_FALSE(core.run.ReplayFile.IsOpen()) << "a refused file is not left open";
  EXPECT_EQ(service.OpenReplay(Save(b, "ok.eeg")), ReplayOpenOutcome::Ok);
  EXPECT_TRUE(core.run.ReplayFile.IsOpen());
}

TEST_F(RecordFilesTest, ReplayClockStartsOneSecondAfterTheHeaderTimeOrAtTheOffset) {
  RecordBuilder late(RawLayout::TwoChannels128, 23, 59, 59);
  ASSERT_EQ(service.OpenReplay(Save(late, "late.eeg")), ReplayOpenOutcome::Ok);
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
