#pragma once
// The batch's summary.csv: one row per case, the columns
// file,start,channel,rate_hz, the summary figures, status.
#include <string>

#include "cli/CaseRun.h"

namespace qs::cli {

std::string SummaryCsvHeader();
// The row of a case without its first column (file): start, channel, rate,
// the figures and "ok", or empty figures and the message for a failed case.
std::string SummaryCsvRowTail(const CaseRunResult& result);
// A failed case's row tail when only the message is known.
std::string FailedRowTail(const std::string& message);
// A CSV field: quoted (quotes doubled) when it holds a comma, quote or line end.
std::string CsvField(const std::string& text);

}  // namespace qs::cli
