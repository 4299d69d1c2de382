#include "dsp/IntervalTexts.h"

#include <gtest/gtest.h>

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
  EpochResult r;
  r.value.fill(kNotAvailable);
  r[EpochResult::SqiTime] = 0.98f;
  r[EpochResult::SqiPower] = 0.93f;
  r[EpochResult::SqiBisp] = 0.305f;
  r[EpochResult::PbicLow] = 0.0f;
  r[EpochResult::PbicHigh] = 51.93f;
  MonitorValues m;
  m.MonBis = 920;
  m.MonEmg = 4599;  // whole units: 45
  m.MonBsr = -1;
  IntervalTexts t;
  FormatIntervalTexts(t, r, m, 25 * 3600 + 61, TextSettings{false, true, true});
  EXPECT_EQ(t.time.View(), "01:01:01") << "hours wrap at 24";
  EXPECT_EQ(t.sef.View(), "***");
  EXPECT_EQ(t.bsr.View(), "***") << "the monitor's BSR is not available";
  EXPECT_EQ(t.bis.View(), "92.0");
  EXPECT_EQ(t.emg.View(), "45.0");
  EXPECT_EQ(t.pbicLow.View(), "***") << "a peak of 0 means none";
  EXPECT_EQ(t.pbicPart.View(), ",***,51.9");

  AppSettings s;
  s.Log_BIC = true;
  s.Log_EMG = true;
  s.Defect_Str = "";  // "NULL" in the settings file
  EXPECT_EQ(LogHeader(s), "Time,SEF95,BSR,RBR,BispR,BIS,Amp,pBIC_low,pBIC_high,EMG,SQI_time,SQI_power,SQI_bisp");
  m.MonEmg = -1;
  FormatIntervalTexts(t, r, m, 3600, TextSettings{false, false, true});
  EXPECT_EQ(LogLine(t, s, false), "01:00:00,,,,,92.0,,,51.9,***,0.98,0.93,0.31") << "EMG keeps *** in the display step";
  EXPECT_EQ(LogLine(t, s, true), "01:00:00,,,,,92.0,,,51.9,,0.98,0.93,0.31") << "the log-only step replaces it";
  s.SR_PCT = true;
  s.Log_BIC = false;
  s.Log_EMG = false;
  EXPECT_EQ(LogHeader(s), "Time,SEF95,BSR(%),RBR,BispR,BIS,Amp,SQI_time,SQI_power,SQI_bisp");
}

}  // namespace
}  // namespace qs
