// The export streams' line and record forms. The reference case's exports
// (power binary and text, bispectrum binary, amplitude; the shape of the
// bispectrum text and the wave) are compared byte for byte in the CLI tests;
// these tests hold the forms that case never writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/Bispectrum.h"
#include "dsp/Exports.h"

namespace qs {
namespace {

class ExportsTest : public ::testing::Test {
 protected:
  void TearDown() override { std::filesystem::remove(path_); }

  // What `write` leaves in a fresh file.
  std::string Written(const std::function<void(DataFile&)>& write) {
    DataFile file;
    EXPECT_TRUE(file.Open(path_, "wb"));
    write(file);
    file.Close();
    std::ifstream in(path_, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static std::string Printf(const char* format, float v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, static_cast<double>(v));
    return buffer;
  }

  std::string path_ = (std::filesystem::temp_directory_path() / ("qs_exports_" + std::to_string(::getpid()))).string();
};

TEST_F(ExportsTest, PowerTextLineHoldsBinsOneTo93AsPrintfF) {
  std::vector<float> spectrum(101);
  for (int k = 0; k < 101; ++k) spectrum[static_cast<std::size_t>(k)] = 0.25f * static_cast<float>(k);
  spectrum[1] = -1.5f;
  spectrum[3] = -0.0f;
  spectrum[4] = -1e-7f;   // rounds to a negative zero text
  spectrum[6] = 3.4e38f;  // the longest a float can print: the line is written out in pieces
  spectrum[93] = 0.0000005f;
  const std::string text = Written([&](DataFile& file) {
    WritePowerExport(file, /*binary=*/false, spectrum.data(), 10 * 3600 + 2 * 60 + 3, /*online=*/false);
    WritePowerExport(file, false, spectrum.data(), 25 * 3600 + 4, /*online=*/true);
  });
  // Online runs write the clock with blanks; hours wrap at 24; bin 94 is not shown.
  std::string expected[2] = {"10:02:03,", " 1: 0: 4,"};
  for (std::string& line : expected)
    for (int k = 1; k <= 93; ++k) line += Printf("%f", spectrum[static_cast<std::size_t>(k)]) + (k < 93 ? "," : "\r\n");
  EXPECT_EQ(text, expected[0] + expected[1]);
}

TEST_F(ExportsTest, BispectrumTextForms) {
  std::vector<float> magnitude(kBicExportPairs), sums(kBicExportPairs), profile(kBicExportProfile);
  for (int i = 0; i < kBicExportPairs; ++i) {
    magnitude[static_cast<std::size_t>(i)] = 0.5f * static_cast<float>(i);
    sums[static_cast<std::size_t>(i)] = -static_cast<float>(i);
  }
  for (int j = 0; j < kBicExportProfile; ++j) profile[static_cast<std::size_t>(j)] = 1.25f + static_cast<float>(j);
  BicExportData data{magnitude.data(), sums.data(), profile.data(), 61, 12, 10 * 3600 + 5};

  // The header form: the interval time with blanks, the power window's count.
  const std::string text = Written([&](DataFile& file) { WriteBicExport(file, false, false, data); });
  EXPECT_EQ(text.rfind("# 10: 0: 5,12\r\n0.000000,-0.000000\r\n0.500000,-1.000000\r\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 28), "\r\n1127.500000,-2255.000000\r\n");

  // The profile form: only with a sum at (3, 91) above 0 and N >= 60.
  sums[static_cast<std::size_t>(TriangleIndex(3, 91))] = 1.0f;
  std::string expected = "10:00:05,61,";
  for (int j = 0; j < kBicExportProfile; ++j)
    expected += (j > 0 ? "," : "") + Printf("%3.1f", profile[static_cast<std::size_t>(j)]);
  EXPECT_EQ(Written([&](DataFile& file) { WriteBicExport(file, false, true, data); }), expected + "\r\n");
  TextLine line;
  data.n = 59;
  FormatBicProfileLine(line, data);
  EXPECT_EQ(line.View(), "10:00:05,59,\r\n");
  data.n = 60;
  sums[static_cast<std::size_t>(TriangleIndex(3, 91))] = 0.0f;
  FormatBicProfileLine(line, data);
  EXPECT_EQ(line.View(), "10:00:05,60,\r\n");
}

TEST_F(ExportsTest, AmplitudeLineAndLogCadence) {
  TextLine line;
  FormatAmplitudeLine(line, 9 * 3600 + 59 * 60 + 59, 1.2345f);
  EXPECT_EQ(line.View(), "09:59:59,1.235\r\n") << "1.2345f is 1.23450005...";
  FormatAmplitudeLine(line, 86400 + 1, 123.4567f);
  EXPECT_EQ(line.View(), "00:00:01,123.457\r\n");

  // The bispectrum export follows the log window's count of interval closes.
  LogCadence every, minute;
  std::vector<int> logged;
  for (int close = 1; close <= 20; ++close) {
    EXPECT_TRUE(every.Advance(1));
    if (minute.Advance(6)) logged.push_back(close);
  }
  EXPECT_EQ(logged, (std::vector<int>{6, 12, 18}));
  minute.Reset();
  EXPECT_EQ(minute.Count(), 0);
}

}  // namespace
}  // namespace qs
