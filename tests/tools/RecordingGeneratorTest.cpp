// Tests of the recording generator and of quellscope-recgen: the files are
// walked packet by packet with the record format's own numbers (written out
// here, not taken from the generator), samples and monitor variables are
// decoded back at their byte offsets, and damage is checked against an
// undamaged file of the same seed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "link/PacketFormat.h"
#include "tools/recgen/RecordingGenerator.h"

namespace {

namespace fs = std::filesystem;
using qs::RawLayout;
using qs::recgen::Artifact;
using qs::recgen::ArtifactKind;
using qs::recgen::Damage;
using qs::recgen::DamageKind;
using qs::recgen::GeneratedRecording;
using qs::recgen::GenerateRecording;
using qs::recgen::GeneratorOptions;
using qs::recgen::ParseCommandLine;
using qs::recgen::ScenarioSegment;
using qs::recgen::SegmentKind;
using Bytes = std::vector<std::uint8_t>;

int U16(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8);
}
std::int16_t I16(const Bytes& b, std::size_t at) {
  return static_cast<std::int16_t>(U16(b, at));
}
std::uint32_t U32(const Bytes& b, std::size_t at) {
  return static_cast<std::uint32_t>(U16(b, at)) | (static_cast<std::uint32_t>(U16(b, at + 2)) << 16);
}

// The format's numbers per layout, as the record format states them.
struct LayoutFacts {
  RawLayout layout;
  int rate, channels, frames, rawBytes, processedBytes, processedId, bytesPerSecond, rateField;
  char model, engine;
};
const LayoutFacts kLayouts[] = {
    {RawLayout::TwoChannels128, 128, 2, 16, 90, 142, 52, 862, 128, 'C', 'B'},
    {RawLayout::TwoChannels256, 256, 2, 32, 154, 142, 52, 1374, 256, 'C', 'B'},
    {RawLayout::FourChannels128, 128, 4, 16, 154, 310, 1122, 1542, 128, 'V', '4'},
};

struct Packet {
  std::size_t offset = 0;
  int length = 0;
  int id = 0, msgSeq = 0, packetSeq = 0, msgClass = 0;
  bool checksumOk = false;
};

// Walks packets back to back from the end of the header; stops at the end or
// at anything that does not start with the sync bytes.
std::vector<Packet> Walk(const Bytes& b, std::size_t from = 128) {
  std::vector<Packet> packets;
  std::size_t at = from;
  while (at + 10 <= b.size() && b[at] == 0xBA && b[at + 1] == 0xAB) {
    Packet p;
    p.offset = at;
    const int dataLength = U16(b, at + 4);
    p.length = dataLength + 10;
    if (at + p.length > b.size()) break;
    p.packetSeq = U16(b, at + 2);
    p.msgClass = static_cast<int>(U32(b, at + 8));
    p.id = U16(b, at + 12);
    p.msgSeq = U16(b, at + 16);
    p.checksumOk = qs::PacketChecksum(b.data() + at, 8 + dataLength) == U16(b, at + 8 + dataLength);
    packets.push_back(p);
    at += p.length;
  }
  return packets;
}

// What a framing parser finds: hunt for the sync pair, accept a packet whose
// checksum holds, otherwise resume directly after the sync pair.
std::vector<std::size_t> ValidPacketOffsets(const Bytes& b, std::size_t from = 128) {
  std::vector<std::size_t> found;
  std::size_t at = from;
  while (at + 10 <= b.size()) {
    if (b[at] != 0xBA || b[at + 1] != 0xAB) {
      ++at;
      continue;
    }
    const int dataLength = U16(b, at + 4);
    if (U16(b, at + 6) == 1 && dataLength <= 2048 && at + 10 + dataLength <= b.size() &&
        qs::PacketChecksum(b.data() + at, 8 + dataLength) == U16(b, at + 8 + dataLength)) {
      found.push_back(at);
      at += 10 + dataLength;
    } else {
      at += 2;
    }
  }
  return found;
}

GeneratorOptions Options(RawLayout layout, int seconds, std::uint64_t seed = 1) {
  GeneratorOptions o;
  o.layout = layout;
  o.seconds = seconds;
  o.seed = seed;
  return o;
}

ScenarioSegment Scenario(int from, int to, SegmentKind kind) {
  ScenarioSegment s;
  s.eeg.from = from;
  s.eeg.to = to;
  s.eeg.kind = kind;
  return s;
}

// ---------------------------------------------------------------------------

class EachLayout : public ::testing::TestWithParam<LayoutFacts> {};

TEST_P(EachLayout, FileIsHeaderCalibrationThenEightRawAndOneProcessedPerSecond) {
  const LayoutFacts f = GetParam();
  const int seconds = 5;
  GeneratorOptions o = Options(f.layout, seconds, 21);
  o.startHour = 13;
  o.startMinute = 4;
  o.startSecond = 59;
  const GeneratedRecording rec = GenerateRecording(o);
  const Bytes& b = rec.bytes;

  ASSERT_EQ(b.size(), 128u + f.processedBytes + seconds * f.bytesPerSecond);
  EXPECT_EQ(rec.fileSeconds, seconds);
  EXPECT_EQ(rec.bytesPerSecond, f.bytesPerSecond);
  EXPECT_EQ(rec.sampleRate, f.rate);
  EXPECT_EQ(rec.channels, f.channels);

  // Header.
  EXPECT_EQ(b[0], 0x41);
  EXPECT_EQ(b[1], 0x32);
  EXPECT_EQ(b[2], 0x4B);
  EXPECT_EQ(static_cast<int>(U32(b, 16)), f.rateField);
  EXPECT_EQ(b[40], 13);
  EXPECT_EQ(b[41], 4);
  EXPECT_EQ(b[42], 59);
  EXPECT_EQ(b[83], f.engine);
  EXPECT_EQ(b[91], f.model);
  const int revisionAt[8] = {64, 65, 68, 69, 72, 73, 76, 77};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b[revisionAt[i]], qs::recgen::kRevisions[i / 2][i % 2]);
  EXPECT_EQ(b[3], 0x20);  // unlisted bytes are blanks

  // Packets.
  const std::vector<Packet> packets = Walk(b);
  ASSERT_EQ(packets.size(), 1u + 9u * seconds);
  EXPECT_EQ(packets.back().offset + packets.back().length, b.size());
  for (std::size_t k = 0; k < packets.size(); ++k) {
    EXPECT_TRUE(packets[k].checksumOk) << "packet " << k;
    EXPECT_EQ(packets[k].msgClass, 4) << "packet " << k;
    EXPECT_EQ(U16(b, packets[k].offset + 6), 1) << "packet " << k;
    EXPECT_EQ(packets[k].packetSeq, (packets[0].packetSeq + static_cast<int>(k)) % 65536) << "packet " << k;
    EXPECT_EQ(U16(b, packets[k].offset + 18), packets[k].length - 22) << "payload length of packet " << k;
  }
  EXPECT_EQ(packets[0].id, f.processedId);
  EXPECT_EQ(packets[0].length, f.processedBytes);
  const int firstRawSeq = packets[1].msgSeq;
  EXPECT_EQ(firstRawSeq % 8, 0);
  for (int s = 0; s < seconds; ++s) {
    for (int j = 0; j < 8; ++j) {
      const Packet& raw = packets[1 + 9 * s + j];
      EXPECT_EQ(raw.id, 50);
      EXPECT_EQ(raw.length, f.rawBytes);
      EXPECT_EQ(raw.msgSeq, (firstRawSeq + 8 * s + j) % 65536);
    }
    const Packet& processed = packets[9 + 9 * s];
    EXPECT_EQ(processed.id, f.processedId);
    EXPECT_EQ(processed.length, f.processedBytes);
    EXPECT_EQ(processed.msgSeq, (packets[9].msgSeq + s) % 65536);
  }
  // The packet table agrees with the walk.
  ASSERT_EQ(rec.packets.size(), packets.size());
  for (std::size_t k = 0; k < packets.size(); ++k) {
    EXPECT_EQ(rec.packets[k].offset, packets[k].offset);
    EXPECT_EQ(rec.packets[k].id, packets[k].id);
    EXPECT_FALSE(rec.packets[k].damaged);
  }

  // Samples decoded at offset 24, interleaved frame by frame.
  ASSERT_EQ(rec.counts.size(), static_cast<std::size_t>(f.channels));
  for (int c = 0; c < f.channels; ++c)
    ASSERT_EQ(rec.counts[c].size(), static_cast<std::size_t>(seconds * f.rate));
  for (int s = 0; s < seconds; ++s)
    for (int j = 0; j < 8; ++j)
      for (int frame = 0; frame < f.frames; ++frame)
        for (int c = 0; c < f.channels; ++c) {
          const std::size_t at = packets[1 + 9 * s + j].offset + 24 + 2 * (frame * f.channels + c);
          ASSERT_EQ(I16(b, at), rec.counts[c][s * f.rate + j * f.frames + frame])
              << "second " << s << " message " << j << " frame " << frame << " channel " << c;
        }

  // Calibration fractions and variable blocks at the message's offsets.
  const bool four = f.processedId == 1122;
  const int fractionAt = four ? 32 : 28;
  for (const Packet& p : {packets[0], packets[9]}) {
    EXPECT_EQ(static_cast<std::int32_t>(U32(b, p.offset + fractionAt)), 1);
    EXPECT_EQ(static_cast<std::int32_t>(U32(b, p.offset + fractionAt + 4)), 32);
    EXPECT_EQ(static_cast<std::int32_t>(U32(b, p.offset + fractionAt + 8)), 0);
    EXPECT_EQ(static_cast<std::int32_t>(U32(b, p.offset + fractionAt + 12)), 1);
    if (!four) {
      EXPECT_EQ(b[p.offset + 22], 0) << "engine byte: engine kind 1";
    }
  }
  const int blocks = four ? 4 : 3;
  ASSERT_EQ(rec.monitor.size(), static_cast<std::size_t>(seconds));
  for (int s = 0; s < seconds; ++s) {
    ASSERT_EQ(rec.monitor[s].size(), static_cast<std::size_t>(blocks));
    for (int c = 0; c < blocks; ++c) {
      const std::size_t block = packets[9 + 9 * s].offset + (four ? 124 + 44 * c : 68 + 24 * c);
      const qs::ChannelVariables& v = rec.monitor[s][c];
      EXPECT_EQ(I16(b, block + 0), v.bsr);
      EXPECT_EQ(I16(b, block + 2), v.sef);
      EXPECT_EQ(I16(b, block + (four ? 8 : 6)), v.bis);
      EXPECT_EQ(I16(b, block + (four ? 16 : 14)), v.emgLow);
      EXPECT_EQ(I16(b, block + (four ? 20 : 16)), v.sqi);
      EXPECT_EQ(U32(b, block + (four ? 24 : 20)), v.artifactFlags);
      EXPECT_EQ(v.bis, 920 - 10 * c) << "awake default, lowered per channel";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, EachLayout, ::testing::ValuesIn(kLayouts), [](const auto& info) {
  return std::string("L") + qs::recgen::LayoutName(info.param.layout);
});

TEST(RecordingGenerator, ZeroSecondsIsHeaderAndCalibrationOnly) {
  const GeneratedRecording rec = GenerateRecording(Options(RawLayout::TwoChannels128, 0));
  EXPECT_EQ(rec.bytes.size(), 270u);
  EXPECT_EQ(rec.fileSeconds, 0);
  EXPECT_EQ(Walk(rec.bytes).size(), 1u);
}

TEST(RecordingGenerator, SameSeedSameBytesOtherSeedOtherSamples) {
  const GeneratedRecording a = GenerateRecording(Options(RawLayout::TwoChannels128, 6, 42));
  const GeneratedRecording b = GenerateRecording(Options(RawLayout::TwoChannels128, 6, 42));
  const GeneratedRecording c = GenerateRecording(Options(RawLayout::TwoChannels128, 6, 43));
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_NE(a.counts[0], c.counts[0]);
  EXPECT_NE(a.counts[1], c.counts[1]);
  EXPECT_EQ(a.bytes.size(), c.bytes.size());
}

TEST(RecordingGenerator, CountsAreMicrovoltsOverTheGain) {
  // A spike of 500 uV is 16000 counts at 1/32 uV per count, 1000 at 1/2 with
  // offset 100.
  GeneratorOptions o = Options(RawLayout::TwoChannels128, 3);
  o.artifacts.push_back({ArtifactKind::Spike, 1, 500.0, 0});
  EXPECT_EQ(GenerateRecording(o).counts[0][128 + 64], 16000);
  o.gainNum = 1;
  o.gainDen = 2;
  o.offsetNum = 100;
  const GeneratedRecording rec = GenerateRecording(o);
  EXPECT_EQ(rec.counts[1][128 + 64], 1100);
  EXPECT_EQ(rec.calibration.gainDen, 2);
  EXPECT_EQ(rec.calibration.offsetNum, 100);
  // Clamped to the int16 range.
  o.artifacts[0].microvolts = 1.0e5;
  EXPECT_EQ(GenerateRecording(o).counts[0][128 + 64], 32767);
}

TEST(RecordingGenerator, ArtifactsLandWhereTheySay) {
  GeneratorOptions o = Options(RawLayout::FourChannels128, 6);
  o.artifacts.push_back({ArtifactKind::Spike, 2, 500.0, 0});
  o.artifacts.push_back({ArtifactKind::Overshoot, 4, -300.0, 0});
  o.artifacts.push_back({ArtifactKind::Flags, 3, 0.0, 0x40});
  o.artifacts.push_back({ArtifactKind::Flags, 3, 0.0, 0x1000});
  const GeneratedRecording rec = GenerateRecording(o);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(rec.counts[c][2 * 128 + 64], 16000);
    EXPECT_NE(rec.counts[c][2 * 128 + 63], 16000);
    for (int i = 0; i < 128; ++i) {
      const bool held = i >= 32 && i < 64;
      EXPECT_EQ(rec.counts[c][4 * 128 + i] == -9600, held) << "channel " << c << " sample " << i;
    }
  }
  for (int s = 0; s < 6; ++s)
    for (int c = 0; c < 4; ++c) EXPECT_EQ(rec.monitor[s][c].artifactFlags, s == 3 ? 0x1040u : 0u);
  EXPECT_EQ(rec.calibration.channels[0].artifactFlags, 0u);
}

TEST(RecordingGenerator, MonitorVariablesFollowTheScenarioAndTheOverrides) {
  GeneratorOptions o = Options(RawLayout::TwoChannels128, 30);
  o.scenario = {Scenario(0, 10, SegmentKind::Awake), Scenario(10, 20, SegmentKind::Deep),
                Scenario(20, 30, SegmentKind::BurstSuppression)};
  o.scenario[2].eeg.fraction = 0.6;
  GeneratedRecording rec = GenerateRecording(o);
  EXPECT_EQ(rec.monitor[5][0].bis, 920);
  EXPECT_EQ(rec.monitor[15][0].bis, 400);
  EXPECT_EQ(rec.monitor[25][0].bis, 250);
  EXPECT_EQ(rec.monitor[25][1].bis, 240);
  EXPECT_EQ(rec.monitor[25][0].bsr, 600);
  EXPECT_EQ(rec.monitor[5][0].bsr, 0);
  EXPECT_EQ(rec.calibration.channels[0].bis, 920);

  o.monitor.bis = qs::recgen::kNotAvailable;
  o.monitor.sqi = 875;
  o.scenario[1].monitor.bis = 455;
  rec = GenerateRecording(o);
  for (int b = 0; b < 3; ++b) {
    EXPECT_EQ(rec.monitor[5][b].bis, -1);
    EXPECT_EQ(rec.monitor[15][b].bis, 455) << "the segment's own value wins";
    EXPECT_EQ(rec.monitor[25][b].bis, -1);
    EXPECT_EQ(rec.monitor[25][b].sqi, 875);
  }
}

TEST(RecordingGenerator, TruthTellsTheSuppressedSecondsAndTheCountsAgree) {
  GeneratorOptions o = Options(RawLayout::TwoChannels256, 40, 5);
  o.scenario = {Scenario(0, 40, SegmentKind::BurstSuppression)};
  const GeneratedRecording rec = GenerateRecording(o);
  ASSERT_EQ(rec.truth.size(), 40u);
  int suppressed = 0;
  for (int s = 0; s < 40; ++s) {
    int peak = 0;
    for (int c = 0; c < 2; ++c)
      for (int i = 0; i < 256; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(rec.counts[c][s * 256 + i])));
    EXPECT_EQ(peak < 5 * 32, rec.truth[s].suppressed) << "second " << s;
    suppressed += rec.truth[s].suppressed;
  }
  EXPECT_EQ(suppressed, 20);
}

// The ten-minute mixed case, byte for byte. Our random numbers and functions
// are our own so that the same options give the same file on every platform
// and compiler; a change of this hash means every generated recording changed,
// which must be a deliberate decision (then update the value).
TEST(RecordingGenerator, TheMixedCaseIsPinnedByteForByte) {
  const auto cl = ParseCommandLine({"--out", "m.eeg", "--scenario",
                                    "awake:0-150,deep:150-300,bs:300-450:fraction=0.5,awake:450-600",
                                    "--layout", "128", "--start", "10:00:00"});
  ASSERT_EQ(cl.error, "");
  const Bytes bytes = GenerateRecording(cl.options).bytes;
  ASSERT_EQ(bytes.size(), 517470u);
  std::uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
  for (std::uint8_t byte : bytes) hash = (hash ^ byte) * 0x100000001B3ull;
  EXPECT_EQ(hash, 0x27FFA4CDE7681F7Cull);
}

// ---------------------------------------------------------------------------
// Damage

TEST(RecordingGenerator, ChecksumDamageChangesOnlyTheChecksum) {
  const GeneratedRecording intact = GenerateRecording(Options(RawLayout::TwoChannels128, 4, 8));
  GeneratorOptions o = Options(RawLayout::TwoChannels128, 4, 8);
  o.damage.push_back({DamageKind::Checksum, 12, 0});
  const GeneratedRecording rec = GenerateRecording(o);
  ASSERT_EQ(rec.bytes.size(), intact.bytes.size());
  const std::size_t sumAt = intact.packets[12].offset + 88;
  for (std::size_t i = 0; i < rec.bytes.size(); ++i)
    if (i != sumAt && i != sumAt + 1) {
      ASSERT_EQ(rec.bytes[i], intact.bytes[i]) << "byte " << i;
    }
  const std::vector<Packet> packets = Walk(rec.bytes);
  ASSERT_EQ(packets.size(), 37u);
  for (std::size_t k = 0; k < packets.size(); ++k) EXPECT_EQ(packets[k].checksumOk, k != 12) << k;
  EXPECT_TRUE(rec.packets[12].damaged);
  // A parser loses exactly that packet.
  std::vector<std::size_t> expected;
  for (std::size_t k = 0; k < rec.packets.size(); ++k)
    if (k != 12) expected.push_back(rec.packets[k].offset);
  EXPECT_EQ(ValidPacketOffsets(rec.bytes), expected);
}

TEST(RecordingGenerator, GarbageAfterAPacketLeavesEveryPacketIntact) {
  const GeneratedRecording intact = GenerateRecording(Options(RawLayout::FourChannels128, 3, 8));
  GeneratorOptions o = Options(RawLayout::FourChannels128, 3, 8);
  o.damage.push_back({DamageKind::Garbage, 9, 300});
  o.damage.push_back({DamageKind::Garbage, 0, 5});
  const GeneratedRecording rec = GenerateRecording(o);
  ASSERT_EQ(rec.bytes.size(), intact.bytes.size() + 305);
  const std::size_t endOf0 = intact.packets[0].offset + 310;
  const std::size_t endOf9 = intact.packets[9].offset + 310;
  EXPECT_TRUE(std::equal(intact.bytes.begin(), intact.bytes.begin() + endOf0, rec.bytes.begin()));
  for (std::size_t i = endOf0; i < endOf0 + 5; ++i) EXPECT_NE(rec.bytes[i], 0xBA);
  EXPECT_TRUE(std::equal(intact.bytes.begin() + endOf0, intact.bytes.begin() + endOf9,
                         rec.bytes.begin() + endOf0 + 5));
  for (std::size_t i = endOf9 + 5; i < endOf9 + 305; ++i) EXPECT_NE(rec.bytes[i], 0xBA);
  EXPECT_TRUE(
      std::equal(intact.bytes.begin() + endOf9, intact.bytes.end(), rec.bytes.begin() + endOf9 + 305));
  for (const auto& p : rec.packets) EXPECT_FALSE(p.damaged);
  std::vector<std::size_t> all;
  for (const auto& p : rec.packets) all.push_back(p.offset);
  EXPECT_EQ(ValidPacketOffsets(rec.bytes), all);
  EXPECT_EQ(rec.packets[10].offset, intact.packets[10].offset + 305);
}

TEST(RecordingGenerator, CutPacketIsShorterAndOnlyItIsLost) {
  const GeneratedRecording intact = GenerateRecording(Options(RawLayout::TwoChannels256, 3, 8));
  GeneratorOptions o = Options(RawLayout::TwoChannels256, 3, 8);
  o.damage.push_back({DamageKind::Cut, 5, 40});
  const GeneratedRecording rec = GenerateRecording(o);
  ASSERT_EQ(rec.bytes.size(), intact.bytes.size() - 40);
  const std::size_t start = intact.packets[5].offset;
  EXPECT_TRUE(std::equal(intact.bytes.begin(), intact.bytes.begin() + start + 154 - 40, rec.bytes.begin()));
  EXPECT_TRUE(
      std::equal(intact.bytes.begin() + start + 154, intact.bytes.end(), rec.bytes.begin() + start + 114));
  EXPECT_EQ(rec.packets[5].length, 114);
  EXPECT_EQ(rec.packets[5].intactLength, 154);
  EXPECT_TRUE(rec.packets[5].damaged);
  std::vector<std::size_t> expected;
  for (std::size_t k = 0; k < rec.packets.size(); ++k)
    if (k != 5) expected.push_back(rec.packets[k].offset);
  EXPECT_EQ(ValidPacketOffsets(rec.bytes), expected);
}

TEST(RecordingGenerator, RefusesWhatTheReplayCouldNotReadAndBadDamage) {
  GeneratorOptions o = Options(RawLayout::FourChannels128, 2);
  o.model = 'C';
  EXPECT_NE(qs::recgen::CheckOptions(o).find("4ch"), std::string::npos);
  o = Options(RawLayout::TwoChannels256, 2);
  o.model = 'V';
  EXPECT_NE(qs::recgen::CheckOptions(o).find("256"), std::string::npos);
  o = Options(RawLayout::TwoChannels128, 2);
  o.damage.push_back({DamageKind::Checksum, 19, 0});  // packets 0..18
  EXPECT_NE(qs::recgen::CheckOptions(o).find("packets 0 to 18"), std::string::npos);
  o.damage = {{DamageKind::Cut, 9, 142}};  // a 52 has 142 bytes
  EXPECT_NE(qs::recgen::CheckOptions(o).find("cut 1 to 141"), std::string::npos);
  o.damage = {{DamageKind::Cut, 3, 10}, {DamageKind::Checksum, 3, 0}};
  EXPECT_NE(qs::recgen::CheckOptions(o).find("both"), std::string::npos);
  o.damage.clear();
  o.artifacts.push_back({ArtifactKind::Spike, 2, 500.0, 0});
  EXPECT_NE(qs::recgen::CheckOptions(o).find("seconds 0 to 1"), std::string::npos);
  EXPECT_THROW(GenerateRecording(o), std::invalid_argument);
}

// ---------------------------------------------------------------------------
// Command line

TEST(CommandLine, ReadsTheMixedScenarioAndItsParameters) {
  const auto cl = ParseCommandLine({"--out", "x.eeg", "--scenario",
                                    "awake:0-150,deep:150-300,bs:300-450:fraction=0.5,awake:450-600",
                                    "--start", "10:00:00", "--layout", "128"});
  ASSERT_EQ(cl.error, "");
  EXPECT_EQ(cl.outPath, "x.eeg");
  EXPECT_EQ(cl.options.seconds, 600);
  ASSERT_EQ(cl.options.scenario.size(), 4u);
  EXPECT_EQ(cl.options.scenario[2].eeg.kind, SegmentKind::BurstSuppression);
  EXPECT_EQ(cl.options.scenario[2].eeg.from, 300);
  EXPECT_EQ(cl.options.scenario[2].eeg.to, 450);
  EXPECT_EQ(cl.options.scenario[2].eeg.fraction, 0.5);

  const auto qpc =
      ParseCommandLine({"--out=q.eeg", "--scenario", "qpc:0-60:f1=4.5,f2=7,bis=55", "--bsr", "na", "--sef",
                        "12.34", "--seed", "77", "--model", "X", "--engine", "X"});
  ASSERT_EQ(qpc.error, "");
  EXPECT_EQ(qpc.options.seconds, 60);
  EXPECT_EQ(qpc.options.scenario[0].eeg.f1, 4.5);
  EXPECT_EQ(qpc.options.scenario[0].eeg.f2, 7.0);
  EXPECT_EQ(qpc.options.scenario[0].monitor.bis, 550);
  EXPECT_EQ(qpc.options.monitor.bsr, qs::recgen::kNotAvailable);
  EXPECT_EQ(qpc.options.monitor.sef, 1234);
  EXPECT_EQ(qpc.options.seed, 77u);
  EXPECT_EQ(qpc.options.model, 'X');
}

TEST(CommandLine, OpenRangesRunOnFromTheSegmentBefore) {
  auto cl = ParseCommandLine({"--out", "x", "--seconds", "100", "--scenario", "awake,deep:40-70,bs"});
  ASSERT_EQ(cl.error, "");
  const auto& s = cl.options.scenario;
  EXPECT_EQ(s[0].eeg.from, 0);
  EXPECT_EQ(s[0].eeg.to, 40);
  EXPECT_EQ(s[2].eeg.from, 70);
  EXPECT_EQ(s[2].eeg.to, 100);
  cl = ParseCommandLine({"--out", "x"});
  ASSERT_EQ(cl.error, "");
  EXPECT_EQ(cl.options.seconds, 60);
  EXPECT_TRUE(cl.options.scenario.empty());
}

TEST(CommandLine, ErrorsNameTheOptionAndTheValue) {
  const auto error = [](std::vector<std::string> args) { return ParseCommandLine(args).error; };
  EXPECT_NE(error({"--out", "x", "--frobnicate"}).find("'--frobnicate'"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--seconds", "ten"}).find("'--seconds'"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--seconds"}).find("needs a value"), std::string::npos);
  EXPECT_NE(error({"--seconds", "5"}).find("--out"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--start", "25:00:00"}).find("'--start'"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--layout", "512"}).find("'512'"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--scenario", "sleepy:0-10"}).find("'sleepy'"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--scenario", "bs:0-10:frac=0.5"}).find("'frac'"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--scenario", "awake:0-10,deep:20-30"}).find("10-20"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--bis", "-5"}).find("na"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--artifact", "blip@3"}).find("'blip'"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--artifact", "flags@3"}).find("hexadecimal"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "--damage", "cut@3"}).find("byte count"), std::string::npos);
  EXPECT_NE(error({"--out", "x", "stray"}).find("'stray'"), std::string::npos);
  EXPECT_TRUE(ParseCommandLine({"--seconds", "bad", "--help"}).help);
}

// ---------------------------------------------------------------------------
// The program itself

class RecgenProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("qs_recgen_" + std::to_string(::getpid()) + "_" + std::string(info->name()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the program with the arguments; returns its exit status and leaves
  // its output in out_ and err_.
  int Run(const std::string& arguments) {
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    const std::string command = std::string("'") + QS_RECGEN_PATH + "' " + arguments + " >'" + out.string() +
                                "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    out_ = Slurp(out);
    err_ = Slurp(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
  std::string out_, err_;
};

TEST_F(RecgenProgram, HelpExitsZeroAndDescribesEveryOption) {
  ASSERT_EQ(Run("--help"), 0);
  for (const char* option :
       {"--out",     "--seconds", "--start", "--layout",   "--model",  "--engine",   "--scenario",
        "--bis",     "--sef",     "--bsr",   "--sqi",      "--emg",    "--artifact", "--damage",
        "--gain",    "--offset",  "--seed",  "--help",     "spike@",   "overshoot@", "flags@",
        "checksum@", "garbage@",  "cut@",    "qpc-random", "fraction", "4ch"})
    EXPECT_NE(out_.find(option), std::string::npos) << option;
}

TEST_F(RecgenProgram, BadOptionExitsTwoNamingIt) {
  EXPECT_EQ(Run("--out x.eeg --colour blue"), 2);
  EXPECT_NE(err_.find("'--colour'"), std::string::npos) << err_;
  EXPECT_NE(err_.find("usage:"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir_ / "x.eeg"));
  EXPECT_EQ(Run("--seconds 3"), 2);
  EXPECT_NE(err_.find("--out"), std::string::npos);
}

TEST_F(RecgenProgram, WritesTheFileAndSaysSo) {
  const fs::path file = dir_ / "small.eeg";
  ASSERT_EQ(Run("--out '" + file.string() + "' --seconds 7 --layout 4ch --seed 3"), 0) << err_;
  EXPECT_EQ(fs::file_size(file), 128u + 310u + 7u * 1542u);
  EXPECT_NE(out_.find(file.string()), std::string::npos);
  EXPECT_NE(out_.find("7 s"), std::string::npos);
  EXPECT_NE(out_.find("4ch"), std::string::npos);
  // The same as the library makes.
  GeneratorOptions o = Options(RawLayout::FourChannels128, 7, 3);
  const std::string bytes = Slurp(file);
  const Bytes expected = GenerateRecording(o).bytes;
  EXPECT_TRUE(bytes.size() == expected.size() &&
              std::equal(expected.begin(), expected.end(), bytes.begin(),
                         [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }));
  EXPECT_EQ(Run("--out '" + (dir_ / "no" / "such" / "dir.eeg").string() + "' --seconds 1"), 1);
}

TEST_F(RecgenProgram, TheTenMinuteMixedCaseHasTheReferenceSize) {
  const fs::path file = dir_ / "mixed10.eeg";
  ASSERT_EQ(Run("--out '" + file.string() +
                "' --scenario awake:0-150,deep:150-300,bs:300-450:fraction=0.5,awake:450-600"
                " --layout 128 --start 10:00:00"),
            0)
      << err_;
  EXPECT_EQ(fs::file_size(file), 517470u);
}

}  // namespace
