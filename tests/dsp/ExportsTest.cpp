// The export streams of the calculation side: their line and record formats,
// and when the engine writes them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/Exports.h"
#include "support/EngineRun.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs {
namespace {

namespace fs = std::filesystem;

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("qs_exports_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string Path(const char* name) const { return (dir / name).string(); }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static std::size_t Lines(const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
    return n;
  }
  // printf's "%f" in the C locale of the test, for comparison.
  static std::string PrintfF(float v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%f", static_cast<double>(v));
    return buffer;
  }

  std::string Recording(int seconds, RawLayout layout = RawLayout::TwoChannels128) const {
    recgen::GeneratorOptions options;
    options.seconds = seconds;
    options.layout = layout;
    const std::string path = (dir / "case.eeg").string();
    EXPECT_TRUE(recgen::WriteRecording(path, recgen::GenerateRecording(options)));
    return path;
  }

  fs::path dir;
};

TEST_F(ExportsTest, PowerTextLineHoldsBinsOneTo93AsPrintfF) {
  std::vector<float> spectrum(101, 0.0f);
  for (int k = 0; k < 101; ++k) spectrum[static_cast<std::size_t>(k)] = 0.25f * static_cast<float>(k);
  spectrum[1] = -1.5f;
  spectrum[2] = 0.0f;
  spectrum[3] = -0.0f;
  spectrum[4] = -1e-7f;  // rounds to a negative zero text
  spectrum[5] = 123456.789f;
  spectrum[6] = 3.4e38f;  // the longest a float can print
  spectrum[93] = 0.0000005f;
  DataFile file;
  ASSERT_TRUE(file.Open(Path("pow.dat"), "wb"));
  WritePowerExport(file, /*binary=*/false, spectrum.data(), 10 * 3600 + 2 * 60 + 3, /*online=*/false);
  WritePowerExport(file, false, spectrum.data(), 25 * 3600 + 4, /*online=*/true);
  file.Close();

  std::string expected[2] = {"10:02:03,", " 1: 0: 4,"};
  for (std::string& line : expected) {
    for (int k = 1; k <= 93; ++k)
      line += PrintfF(spectrum[static_cast<std::size_t>(k)]) + (k < 93 ? "," : "\r\n");
  }
  EXPECT_EQ(Contents(Path("pow.dat")), expected[0] + expected[1]);
  EXPECT_NE(expected[0].find(",-1.500000,0.000000,-0.000000,-0.000000,123456.789062,"), std::string::npos);
  EXPECT_EQ(expected[0].substr(expected[0].size() - 11), ",0.000000\r\n")
      << "bin 93 is the last, bin 94 is not shown";
}

TEST_F(ExportsTest, PowerBinaryRecordIs94FloatsBinsOneTo94) {
  std::vector<float> spectrum(101);
  for (int k = 0; k < 101; ++k) spectrum[static_cast<std::size_t>(k)] = -2.0f + static_cast<float>(k);
  DataFile file;
  ASSERT_TRUE(file.Open(Path("pow.bda"), "wb"));
  WritePowerExport(file, /*binary=*/true, spectrum.data(), 0, false);
  file.Close();
  const std::string bytes = Contents(Path("pow.bda"));
  ASSERT_EQ(bytes.size(), 94u * 4u);
  std::vector<float> back(94);
  std::memcpy(back.data(), bytes.data(), bytes.size());
  for (int k = 1; k <= 94; ++k)
    EXPECT_EQ(back[static_cast<std::size_t>(k - 1)], spectrum[static_cast<std::size_t>(k)]);
  EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 0x00u) << "bin 2 = 0.0f";
  EXPECT_EQ(static_cast<unsigned char>(bytes[3]), 0xBFu) << "bin 1 = -1.0f, little-endian: 00 00 80 BF";
}

TEST_F(ExportsTest, BispectrumTextForms) {
  std::vector<float> magnitude(kBicExportPairs), sums(kBicExportPairs), profile(kBicExportProfile);
  for (int i = 0; i < kBicExportPairs; ++i) {
    magnitude[static_cast<std::size_t>(i)] = 0.5f * static_cast<float>(i);
    sums[static_cast<std::size_t>(i)] = -static_cast<float>(i);
  }
  for (int j = 0; j < kBicExportProfile; ++j)
    profile[static_cast<std::size_t>(j)] = 1.25f + static_cast<float>(j);
  BicExportData data{magnitude.data(), sums.data(), profile.data(), 61, 12, 10 * 3600 + 5};

  // The header form: the interval time with blanks, the power window's count.
  DataFile file;
  ASSERT_TRUE(file.Open(Path("bic.dat"), "wb"));
  WriteBicExport(file, /*binary=*/false, /*profileForm=*/false, data);
  file.Close();
  const std::string text = Contents(Path("bic.dat"));
  EXPECT_EQ(Lines(text), 1u + 2256u);
  EXPECT_EQ(text.rfind("# 10: 0: 5,12\r\n0.000000,-0.000000\r\n0.500000,-1.000000\r\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 28), "\r\n1127.500000,-2255.000000\r\n");

  // The profile form: only with a sum at (3, 91) above 0 and N >= 60.
  TextLine line;
  sums[static_cast<std::size_t>(TriangleIndex(3, 91))] = 1.0f;
  FormatBicProfileLine(line, data);
  std::string expected = "10:00:05,61,";
  for (int j = 0; j < kBicExportProfile; ++j) {
    char value[16];
    std::snprintf(value, sizeof value, "%3.1f", static_cast<double>(profile[static_cast<std::size_t>(j)]));
    expected += std::string(j > 0 ? "," : "") + value;
  }
  EXPECT_EQ(line.View(), expected + "\r\n");
  data.n = 59;
  FormatBicProfileLine(line, data);
  EXPECT_EQ(line.View(), "10:00:05,59,\r\n");
  data.n = 60;
  sums[static_cast<std::size_t>(TriangleIndex(3, 91))] = 0.0f;
  FormatBicProfileLine(line, data);
  EXPECT_EQ(line.View(), "10:00:05,60,\r\n");
}

TEST_F(ExportsTest, AmplitudeLineAndWaveBlocks) {
  TextLine line;
  FormatAmplitudeLine(line, 9 * 3600 + 59 * 60 + 59, 1.2345f);
  EXPECT_EQ(line.View(), "09:59:59,1.235\r\n") << "1.2345f is 1.23450005...";
  FormatAmplitudeLine(line, 0, 2.5f);
  EXPECT_EQ(line.View(), "00:00:00,2.500\r\n");
  FormatAmplitudeLine(line, 86400 + 1, 123.4567f);
  EXPECT_EQ(line.View(), "00:00:01,123.457\r\n");

  std::vector<float> samples(128);
  for (int i = 0; i < 128; ++i) samples[static_cast<std::size_t>(i)] = -0.5f * static_cast<float>(i);
  DataFile file;
  ASSERT_TRUE(file.Open(Path("wave.dat"), "wb"));
  WriteWaveBlock(file, samples.data(), 64);
  file.Close();
  const std::string w64 = Contents(Path("wave.dat"));
  EXPECT_EQ(Lines(w64), 64u);
  EXPECT_EQ(w64.rfind("-0.000000\r\n-0.500000\r\n-1.000000\r\n", 0), 0u) << "-0.5f x 0 is a negative zero";
  ASSERT_TRUE(file.Open(Path("wave.dat"), "wb"));
  WriteWaveBlock(file, samples.data(), 128);
  file.Close();
  EXPECT_EQ(Lines(Contents(Path("wave.dat"))), 128u);
}

TEST_F(ExportsTest, LogCadenceCountsLikeTheLogWindow) {
  LogCadence every;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(every.Advance(1));
  LogCadence minute;
  std::vector<int> logged;
  for (int close = 1; close <= 20; ++close)
    if (minute.Advance(6)) logged.push_back(close);
  EXPECT_EQ(logged, (std::vector<int>{6, 12, 18}));
  minute.Reset();
  EXPECT_EQ(minute.Count(), 0);
}

// The engine writes a bispectrum block at the closes that wrote a log line:
// every close with LogInterval 1, every sixth with 6, and the sixth close's
// block is the same in both runs.
TEST_F(ExportsTest, EngineWritesTheBispectrumAtEveryLogLine) {
  const std::string eeg = Recording(130);
  const auto run = [&](int logInterval, const char* name) {
    return test::RunEngine(eeg, "", [&](AppCore& core) {
      core.settings.LogInterval = logInterval;
      core.run.BicExportBinary = true;
      ASSERT_TRUE(core.run.BicExportFile.Open(Path(name), "wb"));
    });
  };
  const auto every = run(1, "every.bda");
  const auto minute = run(6, "minute.bda");
  ASSERT_TRUE(every.ok && minute.ok);
  const std::size_t closes = every.records.size();
  ASSERT_GE(closes, 12u);
  constexpr std::size_t kBlock = 2u * 2256u * 4u;
  const std::string a = Contents(Path("every.bda")), b = Contents(Path("minute.bda"));
  EXPECT_EQ(a.size(), closes * kBlock);
  EXPECT_EQ(b.size(), closes / 6 * kBlock);
  EXPECT_EQ(b.substr(0, kBlock), a.substr(5 * kBlock, kBlock));
  EXPECT_EQ(b.substr(kBlock, kBlock), a.substr(11 * kBlock, kBlock));
}

// One text wave line per sample taken: twice as many at 256 Hz.
TEST_F(ExportsTest, EngineWritesTheWaveOfEveryBlockTaken) {
  const auto lines = [&](RawLayout layout, const char* name) {
    const std::string eeg = Recording(20, layout);
    const auto r = test::RunEngine(
        eeg, "", [&](AppCore& core) { ASSERT_TRUE(core.run.WaveAsciiFile.Open(Path(name), "wb")); });
    EXPECT_TRUE(r.ok);
    return Lines(Contents(Path(name)));
  };
  const std::size_t at128 = lines(RawLayout::TwoChannels128, "w128.dat");
  const std::size_t at256 = lines(RawLayout::TwoChannels256, "w256.dat");
  EXPECT_GT(at128, 0u);
  EXPECT_EQ(at128 % 128, 0u) << "two blocks of 64 per second";
  EXPECT_EQ(at256, 2 * at128);
}

}  // namespace
}  // namespace qs
