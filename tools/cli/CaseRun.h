#pragma once
// One case replayed in Calculation Only, as `quellscope-cli replay` runs it,
// with everything the case summary and the report need: the interval records
// with their artifact-flagged block counts, the detector's suppressed time,
// the header facts and the comments an EDF file carries.
//
// The input formats (ImportFormatOf): a packet record file is replayed as it
// is; an EDF/BDF or Vital file is converted in memory as `import-edf` and
// `import-vital` convert it and the conversion replayed from a temporary file.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "core/DsaHistory.h"
#include "exchange/EdfExport.h"
#include "exchange/ImportFormat.h"
#include "logbook/CommentTimes.h"
#include "report/CaseSummary.h"

namespace qs::cli {

struct CaseRunOptions {
  std::string input;
  std::string settings = "Kvo_V2000.ini";
  int channel = -1;         // the COM window's "ch. N", 0..3; -1: the settings' channel
  std::string recordsPath;  // written as `replay --records` writes it, when given
  std::string logPath;      // the log window's lines, when given
};

struct CaseRunResult {
  std::string error;  // empty: the replay ran to the end
  CaseFacts facts;
  std::vector<CaseInterval> intervals;
  CaseTotals totals;
  std::vector<TimedComment> comments;  // an EDF file's annotations
  // The intervals' spectra, as the spectrogram keeps them (for the report's DSA).
  std::shared_ptr<SpectrumHistory> spectra;
  std::string settingsProblem;         // what the settings file had wrong, if anything
  bool Ok() const { return error.empty(); }
};

CaseRunResult RunCase(const CaseRunOptions& options);

}  // namespace qs::cli
