#include "cli/SummaryCsv.h"

#include <cstdio>

#include "report/CaseReport.h"

namespace qs::cli {

std::string SummaryCsvHeader() {
  std::string line = "file,start,channel,rate_hz";
  for (std::size_t k = 0; k < kFigureCount; ++k)
    line += std::string(",") + FigureName(static_cast<Figure>(k));
  return line + ",status";
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string FailedRowTail(const std::string& message) {
  // start, channel, rate_hz and the figures stay empty.
  return std::string(3 + kFigureCount, ',') + CsvField(message);
}

std::string SummaryCsvRowTail(const CaseRunResult& result) {
  if (!result.Ok()) return FailedRowTail(result.error);
  const CaseFacts& f = result.facts;
  char head[80];
  std::snprintf(head, sizeof head, "%04d-%02d-%02d %s,%d,%d", f.date.year, f.date.month, f.date.day,
                ClockText(f.startSecond, 0, true).c_str(), f.channel, f.rateHz);
  std::string line = head;
  const CaseSummary summary = SummarizeCase(result.intervals, result.totals);
  for (std::size_t k = 0; k < kFigureCount; ++k) {
    const auto fig = static_cast<Figure>(k);
    line += "," + FormatFigure(fig, summary[fig]);
  }
  return line + ",ok";
}

}  // namespace qs::cli
