// The texts the calculation thread writes: the interval's display texts and
// log line, and the export streams' line and record forms. The reference
// case's exports (power binary and text, bispectrum binary, amplitude; the
// shape of the bispectrum text and the wave) are compared byte for byte in the
// CLI tests; these tests hold the forms that case never writes: the bispectrum
// text forms, the clock past midnight, the logging cadence.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "dsp/Bispectrum.h"
#include "dsp/Exports.h"
#include "dsp/IntervalTexts.h"
#include "logbook/LogFormat.h"

namespace qs {
namespace {

std::string Fixed(double v, int significant, int decimals) {
  FieldText t;
  FormatFixed(t, v, significant, decimals);
  return std::string(t.View());
}

TEST(IntervalTexts, FixedPointRoundsHalfAwayFromZeroAtTheFirstLimit) {
  EXPECT_EQ(Fixed(20.8250008f, 4, 2), "20.83");
  EXPECT_EQ(Fixed(0.125, 4, 2), "0.13") << "an exact tie goes away from zero";
  EXPECT_EQ(Fixed(-0.125, 4, 2), "-0.13");
  EXPECT_EQ(Fixed(-1.09279549f, 4, 3), "-1.093");
  EXPECT_EQ(Fixed(15.3125, 4, 1), "15.3") << "decimals limit before significant digits";
  EXPECT_EQ(Fixed(123.46, 3, 1), "123.0") << "significant digits limit before decimals";
  EXPECT_EQ(Fixed(9.996, 4, 2), "10.00") << "a carry adds an integer digit";
  EXPECT_EQ(Fixed(-0.0004, 4, 3), "0.000") << "no minus sign on a value that rounds to zero";
  EXPECT_EQ(Fixed(0.0012345, 3, 5), "0.00123") << "leading zeros are not significant";
  EXPECT_EQ(Fixed(45, 3, 1), "45.0");
  EXPECT_EQ(Fixed(1234.5, 3, 1), "1.23E+003") << "more integer digits than significant ones";
}

TEST(IntervalTexts, InvalidValuesAndTheLogLine) {
  using R = EpochResult;
  EpochResult r;
  r.value.fill(kNotAvailable);
  r[R::SqiTime] = 0.98f, r[R::SqiPower] = 0.93f, r[R::SqiBisp] = 0.305f, r[R::PbicLow] = 0.0f,
  r[R::PbicHigh] = 51.93f;
  MonitorValues m{.MonBis = 920, .MonBsr = -1, .MonEmg = 4599};  // EMG in whole units: 45
  IntervalTexts t;
  FormatIntervalTexts(t, r, m, 25 * 3600 + 61, TextSettings{false, true, true});
  // Hours wrap at 24; the monitor's BSR is not available; a pBIC peak of 0 means none.
  EXPECT_EQ((std::vector{t.time.View(), t.sef.View(), t.bsr.View(), t.bis.View(), t.emg.View(),
                         t.pbicLow.View(), t.pbicPart.View()}),
            (std::vector<std::string_view>{"01:01:01", "***", "***", "92.0", "45.0", "***", ",***,51.9"}));

  AppSettings s;
  s.Log_BIC = true, s.Log_EMG = true;
  s.Defect_Str = "";  // "NULL" in the settings file
  EXPECT_EQ(LogHeader(s),
            "Time,SEF95,BSR,RBR,BispR,BIS,Amp,pBIC_low,pBIC_high,EMG,SQI_time,SQI_power,SQI_bisp");
  m.MonEmg = -1;
  FormatIntervalTexts(t, r, m, 3600, TextSettings{false, false, true});
  // EMG keeps *** in the display step; the log-only step replaces it.
  EXPECT_EQ(LogLine(t, s, false), "01:00:00,,,,,92.0,,,51.9,***,0.98,0.93,0.31");
  EXPECT_EQ(LogLine(t, s, true), "01:00:00,,,,,92.0,,,51.9,,0.98,0.93,0.31");
  s.SR_PCT = true, s.Log_BIC = false, s.Log_EMG = false;
  EXPECT_EQ(LogHeader(s), "Time,SEF95,BSR(%),RBR,BispR,BIS,Amp,SQI_time,SQI_power,SQI_bisp");
}

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
