#include "logbook/LogFormat.h"

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

}  // namespace qs
