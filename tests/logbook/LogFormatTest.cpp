#include <gtest/gtest.h>

#include <algorithm>

#include "logbook/LogFormat.h"

namespace qs {

TEST(RebuildLog, EmitsEveryNthRecordFromTheHistoryWithItsTime) {
  std::vector<EpochResult> records(20);
  for (std::size_t i = 0; i < records.size(); ++i)
    records[i].value.fill(1.5f), records[i][EpochResult::Sef] = 10.0f + static_cast<float>(i);
  records[11][EpochResult::BispR] = kNotAvailable;
  TrendStore trend{.records = records.data(), .capacity = records.size(), .index = 20};
  AppSettings s;
  TextLines lines;
  lines.Append("old line");
  RebuildLog(lines, trend, 6, 23 * 3600 + 59 * 60, s);
  ASSERT_EQ(lines.Count(), 3) << "records 5, 11 and 17";
  EXPECT_EQ(lines[0], "23:59:53,15.00,1.50,1.500,1.50,1.50,1.5,1.50,1.50,1.50");
  EXPECT_EQ(lines[1].substr(0, 30), "24:00:53,21.00,1.50,1.500,***,")
      << "hours are not wrapped; *** for -1024";
  EXPECT_EQ(lines[2].substr(0, 14), "24:01:53,27.00");

  s.Defect_Str = "", s.Log_BIC = true;
  RebuildLog(lines, trend, 6, 0, s);
  EXPECT_EQ(lines[1].substr(0, 32), "00:01:53,21.00,1.50,1.500,,1.50,");
  EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ','), 9 + 27)
      << "27 diagonal bicoherence values with Log_BIC";

  trend.index = 0;
  RebuildLog(lines, trend, 1, 0, s);
  EXPECT_EQ(lines.Count(), 0) << "no history, no lines";
}

}  // namespace qs
