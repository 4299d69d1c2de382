#include "logbook/LogFormat.h"

#include <cstdio>

namespace qs {

std::string LogHeader(const AppSettings& s) {
  std::string header = s.SR_PCT ? "Time,SEF95,BSR(%),RBR,BispR,BIS,Amp" : "Time,SEF95,BSR,RBR,BispR,BIS,Amp";
  if (s.Log_BIC) header += ",pBIC_low,pBIC_high";
  if (s.Log_EMG) header += ",EMG";
  header += ",SQI_time,SQI_power,SQI_bisp";
  return header;
}

std::string LogLine(const IntervalTexts& t, const AppSettings& s, bool logOnly) {
  const auto value = [&](const FieldText& text) {
    return text.Invalid() ? s.Defect_Str : std::string(text.View());
  };
  std::string line(t.time.View());
  for (const FieldText* text : {&t.sef, &t.bsr, &t.rbr, &t.bispr, &t.bis, &t.amp}) line += "," + value(*text);
  if (s.Log_BIC) line += "," + value(t.pbicLow) + "," + value(t.pbicHigh);
  if (s.Log_EMG) line += "," + (logOnly ? value(t.emg) : std::string(t.emg.View()));
  line += ",";
  line += t.sqi.View();
  return line;
}

void RebuildLog(TextLines& lines, const TrendStore& trend, int n, std::uint32_t fileStartSec, const AppSettings& s) {
  lines.Clear();
  if (n <= 0) return;
  struct Column {
    std::size_t field;
    int significant, decimals;
  };
  static constexpr Column kColumns[] = {{EpochResult::Sef, 4, 2},     {EpochResult::Bsr, 4, 2},
                                        {EpochResult::Rbr, 4, 3},     {EpochResult::BispR, 4, 2},
                                        {EpochResult::Bis, 4, 2},     {EpochResult::Amp, 3, 1},
                                        {EpochResult::SqiTime, 4, 2}, {EpochResult::SqiPower, 4, 2},
                                        {EpochResult::SqiBisp, 4, 2}};
  FieldText text;
  int counter = 0;
  for (std::int32_t i = 0; i < trend.index; ++i) {
    if (++counter < n) continue;
    counter = 0;
    const EpochResult& r = trend.records[static_cast<std::size_t>(i)];
    const std::uint32_t t = static_cast<std::uint32_t>(i) * 10 + fileStartSec + 3;
    char clock[24];
    std::snprintf(clock, sizeof clock, "%02u:%02u:%02u", t / 3600, t % 3600 / 60, t % 60);
    std::string line = clock;
    for (const Column& c : kColumns) {
      line += ",";
      if (r[c.field] < -1000.0f) {
        line += s.Defect_Str;
      } else {
        FormatFixed(text, r[c.field], c.significant, c.decimals);
        line += text.View();
      }
    }
    if (s.Log_BIC) {
      for (std::size_t j = 0; j < 27; ++j) {
        FormatFixed(text, r[EpochResult::DiagBic + j], 4, 1);
        line += ",";
        line += text.View();
      }
    }
    lines.Append(std::move(line));
  }
}

}  // namespace qs
