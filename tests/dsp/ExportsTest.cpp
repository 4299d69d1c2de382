// The export streams' line and record forms. The reference case's exports
// (power binary and text, bispectrum binary, amplitude; the shape of the
// bispectrum text and the wave) are compared byte for byte in the CLI tests;
// these tests hold the forms that case never writes: the bispectrum text
// forms, the clock past midnight, the logging cadence.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dsp/Bispectrum.h"
#include "dsp/Exports.h"

namespace qs {
namespace {

// What a bispectrum export of `data` leaves in a fresh file.
std::string WrittenBic(const BicExportData& data, bool profileForm) {
  const auto path = std::filesystem::temp_directory_path() / ("qs_exports_" + std::to_string(::getpid()));
  DataFile file;
  EXPECT_TRUE(file.Open(path.string(), "wb"));
  WriteBicExport(file, /*binary=*/false, profileForm, data);
  file.Close();
  std::string text(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {});
  std::filesystem::remove(path);
  return text;
}

TEST(Exports, BispectrumTextForms) {
  std::vector<float> magnitude(kBicExportPairs), sums(kBicExportPairs), profile(kBicExportProfile);
  for (int i = 0; i < kBicExportPairs; ++i) magnitude[i] = 0.5f * i, sums[i] = -1.0f * i;
  for (int j = 0; j < kBicExportProfile; ++j) profile[j] = 1.25f + j;
  // Both clock forms take the hours modulo 24.
  BicExportData data{magnitude.data(), sums.data(), profile.data(), 61, 12, 34 * 3600 + 5};

  // The header form: the interval time with blanks, the power window's count.
  const std::string text = WrittenBic(data, false);
  EXPECT_EQ(text.rfind("# 10: 0: 5,12\r\n0.000000,-0.000000\r\n0.500000,-1.000000\r\n", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 28), "\r\n1127.500000,-2255.000000\r\n");

  // The profile form: only with a sum at (3, 91) above 0 and N >= 60.
  float& sum391 = sums[TriangleIndex(3, 91)];
  sum391 = 1.0f;
  // The profile at one decimal: 1.25, 2.25 .. 35.25 are exact ties, rounded to even.
  std::string expected = "10:00:05,61";
  for (int j = 1; j <= kBicExportProfile; ++j) expected += "," + std::to_string(j) + ".2";
  EXPECT_EQ(WrittenBic(data, true), expected + "\r\n");
  TextLine line;
  for (const auto& [n, sum] : {std::pair{59, 1.0f}, std::pair{60, 0.0f}}) {
    data.n = n, sum391 = sum;
    FormatBicProfileLine(line, data);
    EXPECT_EQ(line.View(), "10:00:05," + std::to_string(n) + ",\r\n");
  }
}

// The bispectrum export follows the log window's count of interval closes.
TEST(LogCadence, CountsLikeTheLogWindow) {
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
