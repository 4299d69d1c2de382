#include <gtest/gtest.h>

#include <string_view>
#include <vector>

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

}  // namespace
}  // namespace qs
