// The Vital import against files written from the format's description: both
// layouts, chunk sizes, sample types with gain and offset, an older header,
// numeric tracks and events; the gap rule (overlaps keep the first samples,
// short gaps are bridged and flagged, long gaps split the output); a 256 Hz
// track resampled exactly as the EDF import resamples; and every kind of
// damage refused with the packet and the byte offset.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>

#include "EdfTestFiles.h"
#include "VitalTestFiles.h"
#include "exchange/ImportRecord.h"
#include "exchange/Resampler.h"
#include "exchange/VitalFuzzEntry.h"
#include "exchange/VitalImport.h"
#include "record/RecordContents.h"
#include "support/FileText.h"

namespace qs {
namespace {

using test::Slurp;

constexpr double kStart = 1710376200.0;  // 14 March 2024 00:30:00 UTC, 09:30:00 at UTC+9
constexpr int kNine30 = 9 * 3600 + 30 * 60;

double Wave(int channel, double t) {
  return 40 * std::sin(2 * std::numbers::pi * 9 * t + channel) +
         15 * std::sin(2 * std::numbers::pi * 3.3 * t);
}

RecordContents Read(const std::string& path) {
  std::string error;
  auto contents = ReadRecordContents(path, 0, &error);
  EXPECT_TRUE(contents) << path << ": " << error;
  return contents ? *contents : RecordContents{};
}

struct LayoutCase {
  const char* name;
  bool packed;
  std::uint8_t recFmt;  // 1 float32, 2 float64, 5 int16
  double chunk;         // seconds per record (streaming)
  std::uint16_t headerLength;
  double gain, offset;
};

TEST(VitalImport, LayoutsChunksAndSampleTypesComeBackWithinOneCountWithVariablesAndEvents) {
  const LayoutCase cases[] = {
      {"streaming float32, 1 s chunks", false, 1, 1.0, 27, 1, 0},
      {"streaming int16 with gain and offset, 0.5 s chunks", false, 5, 0.5, 27, 0.05, 2.5},
      {"packed float64", true, 2, 20, 27, 1, 0},
      {"packed int16", true, 5, 20, 27, 1.0 / 32, -1.25},
      {"older header, int16", false, 5, 1.0, 10, 0.1, 0},
  };
  constexpr int kSeconds = 20;
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::VitalWriter w(-540, c.packed, c.headerLength);
    w.Device(1, "BIS", "BIS");
    test::VitalTrackSpec eeg{.recFmt = c.recFmt, .gain = c.gain, .offset = c.offset};
    w.Track(eeg);
    eeg.id = 2;
    eeg.name = "BIS/EEG2_WAV";
    w.Track(eeg);
    w.Track({.id = 3, .recType = 2, .name = "BIS/BIS", .unit = "", .montype = 22});
    w.Track({.id = 4, .recType = 2, .name = "BIS/SEF", .unit = "Hz"});  // by name only
    w.Track({.id = 5, .recType = 5, .recFmt = 0, .name = "EVENT", .unit = "", .devid = 0});
    // The values the file holds, as a reader computes them from the stored samples.
    std::vector<double> held[2];
    const int perChunk = static_cast<int>(std::lround(c.chunk * 128));
    for (int first = 0; first < kSeconds * 128; first += perChunk) {
      for (int ch = 0; ch < 2; ++ch) {
        std::vector<float> f32;
        std::vector<double> f64;
        std::vector<std::int16_t> i16;
        for (int i = first; i < first + perChunk; ++i) {
          const double v = Wave(ch, i / 128.0);
          if (c.recFmt == 5) {
            i16.push_back(static_cast<std::int16_t>(std::lround((v - c.offset) / c.gain)));
            held[ch].push_back(c.offset + i16.back() * c.gain);
          } else {
            f32.push_back(static_cast<float>(v));
            f64.push_back(v);
            held[ch].push_back(c.recFmt == 1 ? f32.back() : v);
          }
        }
        const double dt = kStart + first / 128.0;
        const auto id = static_cast<std::uint16_t>(ch + 1);
        if (c.recFmt == 1) w.Wave(id, dt, f32);
        if (c.recFmt == 2) w.Wave(id, dt, f64);
        if (c.recFmt == 5) w.Wave(id, dt, i16);
      }
    }
    for (int s = 0; s < kSeconds; ++s) w.Numeric(3, kStart + s + 0.4, 40.0f + s);
    for (int s = 0; s < kSeconds; s += 2) w.Numeric(4, kStart + s + 0.2, 12.5f);
    w.Event(5, kStart + 5.7, "intubation");
    const std::string vital = test::TempPath("layout.vital"), out = test::TempPath("layout.eeg");
    test::WriteBytes(vital, w.Gzip());

    std::string error;
    const auto result = ImportVitalFile(vital, out, {}, &error);
    ASSERT_TRUE(result) << error;
    EXPECT_EQ(result->parts.size(), 1u);
    EXPECT_EQ(result->exactCalibration, c.recFmt == 5);
    const RecordContents rec = Read(out);
    ASSERT_EQ(rec.seconds, kSeconds);
    EXPECT_EQ(rec.startSecondOfDay, static_cast<std::uint32_t>(kNine30));
    double worst[2] = {0, 0};
    for (int ch = 0; ch < 2; ++ch)
      for (std::size_t i = 0; i < held[ch].size(); ++i)
        worst[ch] = std::max(
            worst[ch],
            std::fabs((rec.counts[ch][i] - rec.calibration.offset) * rec.calibration.gain - held[ch][i]));
    const double step = rec.calibration.gain;
    EXPECT_LE(worst[0], c.recFmt == 5 ? 1e-4 * step : step);
    EXPECT_LE(worst[1], c.recFmt == 5 ? 1e-4 * step : step);
    // The BIS of each second; the SEF held between its two-second updates; no BSR track.
    for (int s : {0, 7, 19}) {
      ASSERT_TRUE(rec.variables[static_cast<std::size_t>(s)]);
      const ChannelVariables& v = *rec.variables[static_cast<std::size_t>(s)];
      EXPECT_EQ(std::tuple(v.bis, v.sef, v.bsr, v.artifactFlags), std::tuple(10 * (40 + s), 1250, -1, 0u))
          << s;
    }
    EXPECT_EQ(Slurp(CommentsPathFor(out)), "09:30:05,intubation\r\n");
  }
}

// One track: records of 1 s, then one that overlaps its predecessor by half a
// second (its first half dropped), a gap of half a second (bridged, flagged),
// and after a gap of ten seconds a second part with its own start and event.
TEST(VitalImport, OverlapsKeepTheFirstSamplesShortGapsAreFlaggedLongGapsSplit) {
  test::VitalWriter w;
  w.Track({.montype = 28, .devid = 1});
  w.Track({.id = 5, .recType = 5, .recFmt = 0, .name = "EVENT", .unit = "", .devid = 0});
  const auto chunk = [&](double from, double value = std::nan("")) {
    std::vector<float> v;
    for (int i = 0; i < 128; ++i)
      v.push_back(static_cast<float>(std::isnan(value) ? Wave(0, from + i / 128.0) : value));
    w.Wave(1, kStart + from, v);
  };
  for (int s = 0; s <= 10; ++s) chunk(s);
  chunk(10.5, -77);  // overlaps 10.5 .. 11, then 11 .. 11.5
  for (int s = 12; s < 20; ++s) chunk(s);
  for (int s = 30; s < 40; ++s) chunk(s);
  w.Event(5, kStart + 3, "induction");
  w.Event(5, kStart + 35, "incision");
  const std::string vital = test::TempPath("gaps.vital"), out = test::TempPath("gaps.eeg");
  test::WriteBytes(vital, w.Gzip());
  std::string error;
  const auto result = ImportVitalFile(vital, out, {}, &error);
  ASSERT_TRUE(result) << error;
  ASSERT_EQ(result->parts.size(), 2u);
  EXPECT_EQ(std::tuple(result->join.overlapping, result->join.filled), std::tuple(64L, 64L));

  const RecordContents first = Read(out), second = Read(VitalPartPath(out, 2));
  EXPECT_EQ(first.seconds, 20);
  const auto uv = [&](std::size_t i) {
    return (first.counts[0][i] - first.calibration.offset) * first.calibration.gain;
  };
  EXPECT_NEAR(uv(10 * 128 + 70), Wave(0, 10 + 70 / 128.0), first.calibration.gain) << "the first record kept";
  EXPECT_NEAR(uv(11 * 128 + 10), -77, first.calibration.gain) << "the later record's own time";
  for (int s = 0; s < 20; ++s)
    EXPECT_EQ(first.variables[static_cast<std::size_t>(s)]->artifactFlags, s == 11 ? kImportFilledFlag : 0u)
        << s;
  EXPECT_EQ(second.seconds, 10);
  EXPECT_EQ(second.startSecondOfDay, static_cast<std::uint32_t>(kNine30 + 30));
  EXPECT_EQ(Slurp(CommentsPathFor(out)), "09:30:03,induction\r\n");
  EXPECT_EQ(Slurp(CommentsPathFor(VitalPartPath(out, 2))), "09:30:35,incision\r\n");

  // A packed file's gaps are missing-sample values inside its one record: the same rule.
  test::VitalWriter packed(-540, true);
  packed.Track({.recFmt = 5, .gain = 0.5});
  // Samples at 0 to 5 s but for one, then 1 to 3 s missing: a gap of exactly
  // 2 s, still bridged; then 13 to 16 s.
  std::vector<std::int16_t> samples(16 * 128, -32768);
  for (int i = 0; i < 3 * 128; ++i) samples[static_cast<std::size_t>(i + 13 * 128)] = 20;
  for (int i = 0; i < 5 * 128; ++i) samples[static_cast<std::size_t>(i)] = i < 128 || i >= 3 * 128 ? 20 : -32768;
  samples[100] = -32768;
  packed.Wave(1, kStart, samples);
  const std::vector<std::uint8_t> gz = packed.Gzip();
  const auto split = ConvertVitalBytes(gz.data(), gz.size(), {}, &error);
  ASSERT_TRUE(split) << error;
  ASSERT_EQ(split->parts.size(), 2u);
  EXPECT_EQ(std::tuple(split->parts[0].seconds, split->parts[0].filledSeconds, split->join.filled),
            std::tuple(5, 3, 257L));
  EXPECT_EQ(std::tuple(split->parts[1].seconds, split->parts[1].startSecondOfDay),
            std::tuple(3, kNine30 + 13));
}

TEST(VitalImport, A256HzTrackIsResampledAsTheEdfImportResamples) {
  test::VitalWriter w(0);
  w.Track({.srate = 256, .montype = 61});
  std::vector<float> samples;
  for (int i = 0; i < 8 * 256; ++i)
    samples.push_back(
        static_cast<float>(Wave(0, i / 256.0) + 20 * std::sin(2 * std::numbers::pi * 60 * i / 256.0)));
  w.Wave(1, kStart, samples);
  const std::vector<std::uint8_t> gz = w.Gzip();
  std::string error;
  const auto result = ConvertVitalBytes(gz.data(), gz.size(), {}, &error);
  ASSERT_TRUE(result) << error;
  std::vector<std::int16_t> expected;
  long clipped = 0;
  AppendCounts(Resampler::To128(256, 1.0, &error)->Run(std::vector<double>(samples.begin(), samples.end())),
               result->calibration, expected, clipped);
  const std::string out = test::TempPath("256.eeg");
  test::WriteBytes(out, result->parts.at(0).record);
  const RecordContents rec = Read(out);
  ASSERT_EQ(rec.seconds, 8);
  EXPECT_EQ(rec.counts[0], expected);
  EXPECT_EQ(rec.startSecondOfDay, 30u * 60) << "no time-zone bias: local time is UTC";
}

// --track and --track2 take waveform tracks only; a track in millivolts spans
// its declared range in microvolts; only the recorder's own EVENT track
// (device 0) gives comments, not another string track beside it.
TEST(VitalImport, TrackChoicesMillivoltRangesAndOnlyTheEventTrackGiveComments) {
  test::VitalWriter w(0);
  w.Track({.name = "BIS/EEG1_WAV", .unit = "mV", .minVal = -0.5f, .maxVal = 0.5f, .montype = 28});
  w.Track({.id = 2, .name = "Other/RAW"});  // a waveform without a meaning code
  w.Track({.id = 3, .recType = 2, .name = "BIS/BIS", .montype = 22});
  w.Track({.id = 4, .recType = 5, .recFmt = 0, .name = "EVENT", .unit = "", .devid = 0});
  w.Track({.id = 5, .recType = 5, .recFmt = 0, .name = "NOTE", .unit = "", .devid = 0});
  w.Wave(1, kStart, std::vector<float>(256, 0.1f));
  w.Wave(2, kStart, std::vector<float>(256, -30.0f));
  w.Event(4, kStart + 1, "incision");
  w.Event(5, kStart + 1, "a note");
  const std::vector<std::uint8_t> gz = w.Gzip();
  const struct {
    const char *track, *track2, *labels;
  } cases[] = {{"", "", "BIS/EEG1_WAV BIS/EEG1_WAV"},
               {"Other/RAW", "", "Other/RAW BIS/EEG1_WAV"},
               {"", "Other/RAW", "BIS/EEG1_WAV Other/RAW"},
               {"BIS/BIS", "", "no waveform track \"BIS/BIS\""}};
  for (const auto& c : cases) {
    std::string error;
    const auto result = ConvertVitalBytes(gz.data(), gz.size(), {.track = c.track, .track2 = c.track2}, &error);
    EXPECT_EQ(result ? result->label1 + " " + result->label2 : error.substr(0, error.find(';')), c.labels);
  }
  std::string error;
  const auto result = ConvertVitalBytes(gz.data(), gz.size(), {}, &error);
  ASSERT_TRUE(result) << error;
  // -500 to 500 uV: the simplest fraction that close to 1000/65535.
  EXPECT_NEAR(result->calibration.Gain(), 1000.0 / 65535, 1e-4);
  EXPECT_EQ(result->parts.at(0).commentLines, std::vector<std::string>{"00:30:01,incision"});
}

TEST(VitalReader, DamagedFilesAreRefusedWithThePacketAndTheByteOffset) {
  const auto valid = [] {
    test::VitalWriter w;
    w.Track({});
    w.Wave(1, kStart, std::vector<float>(128, 1.0f));
    return w;
  };
  const std::vector<std::uint8_t> plain = valid().Plain();
  std::vector<std::uint8_t> wrongSign = plain;
  wrongSign[3] = 'B';
  std::vector<std::uint8_t> pastTheEnd = plain;
  pastTheEnd.insert(pastTheEnd.end(), {1, 0xE8, 0x03, 0, 0, 9, 9, 9});  // 1000 bytes announced
  test::VitalWriter early;
  early.Wave(1, kStart, std::vector<float>(128, 1.0f));
  early.Track({});
  test::VitalWriter absurd = valid();
  absurd.RawPacket(1, {10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4});
  std::vector<std::uint8_t> bomb = plain;
  bomb.resize(bomb.size() + (std::size_t{4} << 20));  // megabytes of zeros: packets of type 0, length 0
  const std::vector<std::uint8_t> gz = valid().Gzip();
  const std::vector<std::uint8_t> truncated(gz.begin(), gz.begin() + static_cast<long>(gz.size() / 2));

  const std::size_t header = 37, firstRecord = header + valid().Plain().size() - header - (5 + 12 + 4 + 512);
  const struct {
    const char* name;
    std::vector<std::uint8_t> gz;
    std::string message;
  } cases[] = {
      {"no gzip", plain, "not a gzip stream"},
      {"truncated gzip", truncated, "the gzip stream is truncated"},
      {"wrong sign", test::VitalWriter::GzipBytes(wrongSign), "the sign is \"VITB\", not \"VITA\""},
      {"length past the end", test::VitalWriter::GzipBytes(pastTheEnd),
       "packet 3 (type 1) at byte offset " + std::to_string(plain.size()) +
           " of the decompressed data: the packet announces 1000 bytes, but only 3 remain"},
      {"record before its track", early.Gzip(),
       "no samples: its 1 records come before the track is announced (the first in packet 1 at byte offset "
       "37)"},
      {"absurd sample count", absurd.Gzip(),
       "packet 3 (type 1) at byte offset " + std::to_string(plain.size()) +
           " of the decompressed data: the wave record of \"BIS/EEG1_WAV\" announces 4294967295 samples of 4 "
           "bytes, but only 4 bytes remain"},
      {"decompression bomb", test::VitalWriter::GzipBytes(bomb), "the decompressed data exceed 1 MiB"},
  };
  (void)firstRecord;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VitalImportOptions options;
    options.inflateCap = std::size_t{1} << 20;
    std::string error;
    EXPECT_FALSE(ConvertVitalBytes(c.gz.data(), c.gz.size(), options, &error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

TEST(VitalFuzz, DamagedFilesNeverCrashTheImport) {
  test::VitalWriter w(-540, true);
  w.Track({.recFmt = 5, .gain = 0.1});
  w.Track({.id = 3, .recType = 2, .name = "BIS/BIS", .montype = 22});
  w.Wave(1, kStart, std::vector<std::int16_t>(512, 7));
  w.Numeric(3, kStart + 1, 45);
  std::mt19937 random(18);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> bytes = w.Plain();
    for (int k = 0; k < 4; ++k) bytes[random() % bytes.size()] = static_cast<std::uint8_t>(random());
    if (round % 3 == 0) bytes.resize(random() % bytes.size());
    const std::vector<std::uint8_t> gz = test::VitalWriter::GzipBytes(bytes);
    FuzzVitalImport(gz.data(), gz.size());
  }
}

}  // namespace
}  // namespace qs
