// The recording generator and quellscope-recgen: files are walked packet by
// packet with the record format's own numbers (written out here, not taken
// from the generator), samples and variables are decoded at their byte
// offsets, and damage is checked against an undamaged file of the same seed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "protocol/PacketFormat.h"
#include "record/RecordContents.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs::recgen {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using ::testing::AllOf, ::testing::HasSubstr;
constexpr RawLayout k128 = RawLayout::TwoChannels128, k256 = RawLayout::TwoChannels256,
                    kFour = RawLayout::FourChannels128;
constexpr auto U16 = [](const Bytes& b, std::size_t at) -> int { return GetU16(&b[at]); };
constexpr auto I32 = [](const Bytes& b, std::size_t at) { return GetI32(&b[at]); };

struct LayoutFacts {
  RawLayout layout;
  int rate, channels, rawBytes, processedBytes, processedId, bytesPerSecond;
  char model, engine;
};
const LayoutFacts kLayouts[] = {{k128, 128, 2, 90, 142, 52, 862, 'C', 'B'},
                                {k256, 256, 2, 154, 142, 52, 1374, 'C', 'B'},
                                {kFour, 128, 4, 154, 310, 1122, 1542, 'V', '4'}};

struct Packet {
  std::size_t offset;
  int length, id, msgSeq, packetSeq;
  bool checksumOk;
};

// Packets back to back from the end of the header, as long as they start with the sync pair.
std::vector<Packet> Walk(const Bytes& b) {
  std::vector<Packet> packets;
  for (std::size_t at = 128, n; at + 10 <= b.size() && b[at] == 0xBA && b[at + 1] == 0xAB; at += 10 + n) {
    if (at + 10 + (n = U16(b, at + 4)) > b.size()) break;
    EXPECT_EQ(std::tuple(U16(b, at + 6), I32(b, at + 8), U16(b, at + 18)),
              std::tuple(1, 4, static_cast<int>(n) - 12))
        << "type, class and payload length at " << at;
    packets.push_back({at, static_cast<int>(n) + 10, U16(b, at + 12), U16(b, at + 16), U16(b, at + 2),
                       PacketChecksum(&b[at], 8 + n) == U16(b, at + 8 + n)});
  }
  return packets;
}

class EachLayout : public ::testing::TestWithParam<LayoutFacts> {};

TEST_P(EachLayout, HeaderCalibrationThenEightRawAndOneProcessedPerSecond) {
  const LayoutFacts f = GetParam();
  const int seconds = 5;
  // clang-format off
  const GeneratedRecording rec = GenerateRecording({.seconds = seconds, .startHour = 13, .startMinute = 4,
                                                    .startSecond = 59, .layout = f.layout, .seed = 21});
  // clang-format on
  const Bytes& b = rec.bytes;
  ASSERT_EQ(b.size(), 128u + f.processedBytes + seconds * f.bytesPerSecond);
  EXPECT_EQ(std::tuple(rec.fileSeconds, rec.bytesPerSecond, rec.sampleRate, rec.channels, I32(b, 16)),
            std::tuple(seconds, f.bytesPerSecond, f.rate, f.channels, f.rate));
  const std::pair<int, int> header[] = {{0, 0x41}, {1, 0x32}, {2, 0x4B},      {3, 0x20},    {40, 13},
                                        {41, 4},   {42, 59},  {83, f.engine}, {91, f.model}};
  for (const auto& [at, value] : header) EXPECT_EQ(b[at], value) << "header byte " << at;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(b[64 + 4 * (i / 2) + i % 2], kRevisions[i / 2][i % 2]);

  // Packet k: 0 the calibration, then per second s eight raw (1 + 9s + j) and
  // one processed (9 + 9s). Raw sequence numbers are 8 x the second's
  // processed sequence number + j, which increases by one per second.
  const std::vector<Packet> packets = Walk(b);
  ASSERT_EQ(std::tuple(packets.size(), rec.packets.size()), std::tuple(1u + 9u * seconds, packets.size()));
  EXPECT_EQ(packets.back().offset + packets.back().length, b.size());
  for (int k = 0; k < static_cast<int>(packets.size()); ++k) {
    const Packet& p = packets[k];
    const bool processed = k % 9 == 0;
    const int rawSeq = 8 * packets[9 + 9 * ((k - 1) / 9)].msgSeq + (k - 1) % 9;
    EXPECT_EQ(std::tuple(p.checksumOk, p.packetSeq, p.msgSeq, p.id, p.length, rec.packets[k].offset),
              std::tuple(true, (packets[0].packetSeq + k) % 65536,
                         processed ? (packets[0].msgSeq + k / 9) % 65536 : rawSeq % 65536,
                         processed ? f.processedId : 50, processed ? f.processedBytes : f.rawBytes, p.offset))
        << "packet " << k;
  }

  // As the replay reads the file: every sample, the calibration, and each second's variables of every block.
  const bool four = f.processedId == 1122;
  const std::string path = fs::temp_directory_path() / ("qs_layout_" + std::to_string(::getpid()) + ".eeg");
  ASSERT_TRUE(WriteRecording(path, rec));
  const auto fields = [](const ChannelVariables& v) {
    return std::tuple(v.bsr, v.sef, v.bis, v.emgLow, v.sqi, v.artifactFlags);
  };
  for (int c = 0; c < (four ? 4 : 3); ++c) {
    const auto read = ReadRecordContents(path, c, nullptr);
    ASSERT_TRUE(read && read->variables.size() == seconds) << "block " << c;
    EXPECT_TRUE(read->counts == rec.counts);
    EXPECT_EQ(std::tuple(read->calibration.gain, read->calibration.offset), std::tuple(1.0f / 32, 0.0f));
    for (int s = 0; s < seconds; ++s)
      EXPECT_EQ(fields(read->variables[s].value()), fields(rec.monitor.at(s).at(c))) << "block " << c;
    EXPECT_EQ(rec.monitor[0][c].bis, 920 - 10 * c) << "awake default, lowered per channel";
  }
  fs::remove(path);
  EXPECT_TRUE(four || b[packets[0].offset + 22] == 0) << "the engine byte of a 52: engine kind 1";
}

INSTANTIATE_TEST_SUITE_P(Layouts, EachLayout, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return std::string("L") + LayoutName(info.param.layout); });

// Another seed gives other samples (the same seed the same bytes: the pinned
// case below); an empty recording is the header and the calibration.
TEST(RecordingGenerator, OtherSeedOtherSamplesAndAnEmptyRecordingIsTheHeaderAndTheCalibration) {
  const auto a = GenerateRecording({.seconds = 6, .seed = 42}),
             c = GenerateRecording({.seconds = 6, .seed = 43}), empty = GenerateRecording({.seconds = 0});
  EXPECT_TRUE(a.counts[0] != c.counts[0] && a.counts[1] != c.counts[1]);
  EXPECT_EQ(std::tuple(empty.bytes.size(), Walk(empty.bytes).size()), std::tuple(270, 1));
}

TEST(RecordingGenerator, ArtifactsLandWhereTheySayInCountsRoundedAndClamped) {
  using enum ArtifactKind;
  // clang-format off
  const GeneratedRecording rec = GenerateRecording({.seconds = 8, .layout = kFour, .artifacts = {
      {Spike, 2, 500.0, 0}, {Overshoot, 4, -300.0, 0}, {Flags, 3, 0.0, 0x40}, {Flags, 3, 0.0, 0x1000},
      {Spike, 0, 1.0e5, 0}, {Spike, 1, -1.0e5, 0}, {Spike, 5, 1.5 / 32, 0}, {Spike, 6, -1.5 / 32, 0}}});
  // clang-format on
  for (int c = 0; c < 4; ++c) {
    // 1/32 uV per count, rounded half away from zero, clamped to 16 bits.
    const int spikes[][2] = {{0, 32767}, {1, -32768}, {2, 16000}, {5, 2}, {6, -2}};
    for (const auto& [s, counts] : spikes) EXPECT_EQ(rec.counts[c][s * 128 + 64], counts) << "second " << s;
    EXPECT_NE(rec.counts[c][2 * 128 + 63], 16000);
    for (int i = 0; i < 128; ++i)
      EXPECT_EQ(rec.counts[c][4 * 128 + i] == -9600, i >= 32 && i < 64) << "channel " << c << " sample " << i;
    for (int s = 0; s < 8; ++s) EXPECT_EQ(rec.monitor[s][c].artifactFlags, s == 3 ? 0x1040u : 0u);
  }
  EXPECT_EQ(rec.calibration.channels[0].artifactFlags, 0u);

  const auto offset =
      GenerateRecording({.seconds = 3, .artifacts = {{Spike, 1, 500.0, 0}}, .gainDen = 2, .offsetNum = 100});
  EXPECT_EQ(std::tuple(offset.counts[1][128 + 64], offset.calibration.gainDen, offset.calibration.offsetNum),
            std::tuple(1100, 2, 100))
      << "500 uV / (1/2) + 100";
}

TEST(RecordingGenerator, MonitorVariablesFollowTheScenarioAndTheOverrides) {
  using enum SegmentKind;
  // clang-format off
  GeneratorOptions o{.seconds = 30, .scenario = {{{0, 10, Awake}, {}}, {{10, 20, Deep}, {}},
                                                 {{20, 30, BurstSuppression, 1.0, 10.0, 0.6}, {}}}};
  // clang-format on
  GeneratedRecording rec = GenerateRecording(o);
  const auto bisBsr = [&](int s, int c) { return std::tuple(rec.monitor[s][c].bis, rec.monitor[s][c].bsr); };
  EXPECT_EQ(std::tuple(bisBsr(5, 0), bisBsr(15, 0), bisBsr(25, 0), bisBsr(25, 1)),
            std::tuple(std::tuple(920, 0), std::tuple(400, 0), std::tuple(250, 600), std::tuple(240, 600)));
  EXPECT_EQ(rec.calibration.channels[0].bis, 920);

  // A value set explicitly goes to every channel; the segment's own wins.
  std::tie(o.monitor.bis, o.monitor.sqi, o.scenario[1].monitor.bis) = std::tuple(kNotAvailable, 875, 455);
  rec = GenerateRecording(o);
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(std::tuple(rec.monitor[5][c].bis, rec.monitor[15][c].bis, rec.monitor[25][c].bis,
                         rec.monitor[25][c].sqi),
              std::tuple(-1, 455, -1, 875));
}

// One damage of each kind, the rest of the file as intact: a checksum off by
// one, a packet short by its cut, garbage behind a packet that never holds the
// sync byte (and makes the file longer by whole seconds).
TEST(RecordingGenerator, EachDamageKindIsInTheFileAndTheRestStaysIntact) {
  using enum DamageKind;
  const auto intact = GenerateRecording({.seconds = 3, .seed = 8});
  const auto tail = [](const GeneratedRecording& r, int k) {
    return Bytes(r.bytes.begin() + r.packets[k].offset, r.bytes.end());
  };
  // damage => bytes added between the packet and the next, damaged, file seconds
  const std::tuple<Damage, int, bool, int> cases[] = {
      {{Checksum, 12, 0}, 0, true, 3}, {{Cut, 5, 40}, -40, true, 2}, {{Garbage, 9, 900}, 900, false, 4}};
  for (const auto& [d, added, damaged, fileSeconds] : cases) {
    const auto rec = GenerateRecording({.seconds = 3, .seed = 8, .damage = {d}});
    const PacketInfo &p = rec.packets[d.packet], &next = rec.packets[d.packet + 1];
    EXPECT_EQ(
        std::tuple(next.offset - p.offset, p.damaged, rec.fileSeconds, Walk(rec.bytes)[d.packet].checksumOk),
        std::tuple(intact.packets[d.packet].length + added, damaged, fileSeconds, d.kind == Garbage))
        << "packet " << d.packet;
    EXPECT_EQ(std::count(rec.bytes.begin() + p.offset + p.length, rec.bytes.begin() + next.offset, 0xBA), 0);
    EXPECT_TRUE(tail(rec, d.packet + 1) == tail(intact, d.packet + 1));
  }
  EXPECT_THROW(GenerateRecording({.seconds = 2, .damage = {{Checksum, 19, 0}}}), std::invalid_argument);
}

// A scenario of whole segments with a bs fraction, and --out: the pinned
// ten-minute case (RecgenProgram) would change with any of them.
TEST(CommandLine, ReadsScenarioParametersOverridesAndOpenRanges) {
  auto cl = ParseCommandLine({"--out=q.eeg", "--scenario", "qpc:0-60:f1=4.5,f2=7,bis=55", "--bsr", "na",
                              "--sef", "12.347", "--seed", "77", "--model", "X", "--engine", "X"});
  ASSERT_EQ(cl.error, "");
  const ScenarioSegment& qpc = cl.options.scenario[0];
  const GeneratorOptions& o = cl.options;
  EXPECT_EQ(std::tuple(cl.outPath, o.seconds, qpc.eeg.f1, qpc.eeg.f2, *qpc.monitor.bis, *o.monitor.bsr,
                       *o.monitor.sef, o.seed, o.model),
            std::tuple("q.eeg", 60, 4.5, 7.0, 550, kNotAvailable, 1235, 77u, 'X'));

  cl = ParseCommandLine({"--out", "x", "--seconds", "100", "--scenario", "awake,deep:40-70,bs"});
  const auto& s = cl.options.scenario;
  ASSERT_EQ(std::tuple(cl.error, s.size()), std::tuple("", 3u));
  EXPECT_EQ(std::tuple(s[0].eeg.from, s[0].eeg.to, s[2].eeg.from, s[2].eeg.to), std::tuple(0, 40, 70, 100));
  cl = ParseCommandLine({"--out", "x"});
  EXPECT_EQ(std::tuple(cl.error, cl.options.seconds, cl.options.scenario.size()), std::tuple("", 60, 0u));
  // f1 + f2 below 128 Hz at 256 Hz
  EXPECT_EQ(ParseCommandLine({"--out", "x", "--layout", "256", "--scenario", "qpc:0-10:f1=40,f2=30"}).error,
            "");
  EXPECT_TRUE(ParseCommandLine({"--seconds", "bad", "--help"}).help);
}

TEST(CommandLine, ErrorsSayWhatIsWrong) {
  // Arguments behind "--out x" => what the error names: scenarios that do not
  // fit, and damage or artifacts outside the recording among them.
  // clang-format off
  const char* const cases[] = {"--frobnicate => '--frobnicate'", "--seconds ten => '--seconds'",
      "--seconds => needs a value", "--start 25:00:00 => '--start'", "--layout 512 => '512'",
      "--bis -5 => na", "--artifact blip@3 => 'blip'", "--artifact flags@3 => hexadecimal",
      "--damage cut@3 => byte count", "stray => 'stray'", "--scenario sleepy:0-10 => 'sleepy'",
      "--scenario bs:0-10:frac=0.5 => 'frac'", "--scenario awake:0-10,deep:8-20 => overlaps",
      "--scenario awake:0-10,deep:12-20 => seconds 10-12 are not covered",
      "--seconds 12 --scenario awake:0-10 => 10-12", "--seconds 8 --scenario awake:0-10 => beyond",
      "--scenario bs:0-10:fraction=1.5 => fraction", "--scenario qpc:0-10:f1=40,f2=30 => f1",
      "--layout 4ch --model C => 4ch", "--layout 256 --model V => 256",
      "--seconds 2 --damage checksum@19 => packets 0 to 18", "--seconds 2 --damage cut@9=142 => cut 1 to 141",
      "--seconds 2 --damage cut@3=10 --damage checksum@3 => both",
      "--seconds 2 --artifact spike@2 => seconds 0 to 1", " => --out"};
  // clang-format on
  for (const std::string c : cases) {
    std::vector<std::string> args = {"--out", "x"};
    std::istringstream in(c.substr(0, c.find(" => ")));
    for (std::string arg; in >> arg;) args.push_back(arg);
    if (c.starts_with(" => ")) args = {"--seconds", "5"};  // no --out at all
    EXPECT_THAT(ParseCommandLine(args).error, HasSubstr(c.substr(c.find(" => ") + 4))) << c;
  }
}

// quellscope-recgen itself: runs it, expecting this exit code; its output and errors.
std::string Recgen(const std::string& arguments, int code) {
  std::FILE* pipe = ::popen((std::string("'") + QS_RECGEN_PATH + "' " + arguments + " 2>&1").c_str(), "r");
  std::string out;
  for (char buffer[256]; std::fgets(buffer, sizeof buffer, pipe) != nullptr;) out += buffer;
  const int status = ::pclose(pipe);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, code) << arguments << ":\n" << out;
  return out;
}

// Our random numbers and functions are our own so that the same options give
// the same file on every platform; a change of this hash changes every
// generated recording and must be deliberate (then update the value). Help
// exits 0, bad arguments 2 and an unwritable file 1.
TEST(RecgenProgram, TheTenMinuteMixedCaseIsPinnedByteForByteAndTheExitCodesSayWhatWentWrong) {
  const std::string file = fs::temp_directory_path() / ("qs_recgen_" + std::to_string(::getpid()) + ".eeg");
  const std::string mixed = " --scenario awake:0-150,deep:150-300,bs:300-450:fraction=0.5,awake:450-600";
  EXPECT_THAT(Recgen("--out '" + file + "'" + mixed + " --layout 128 --start 10:00:00", 0),
              HasSubstr(file + ": 600 s, 517470 bytes, layout 128"));
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  fs::remove(file);
  ASSERT_EQ(bytes.size(), 517470u);
  std::uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
  for (const char byte : bytes) hash = (hash ^ static_cast<std::uint8_t>(byte)) * 0x100000001B3ull;
  EXPECT_EQ(hash, 0xBA00614083A5807Dull);

  EXPECT_THAT(Recgen("--help", 0), HasSubstr("--scenario"));
  EXPECT_THAT(Recgen("--out '" + file + "' --colour blue", 2),
              AllOf(HasSubstr("'--colour'"), HasSubstr("usage:")));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_THAT(Recgen("--seconds 3", 2), HasSubstr("--out"));
  Recgen("--out '" + file + "/no/such/dir.eeg' --seconds 1", 1);
}

}  // namespace
}  // namespace qs::recgen
