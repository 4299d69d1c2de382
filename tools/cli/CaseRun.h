#pragma once
// One case replayed in Calculation Only, as `quellscope-cli replay` runs it,
// with everything the case summary and the report need: the interval records
// with their artifact-flagged block counts, the detector's suppressed time,
// the header facts and the comments an EDF file carries.
//
// The input kinds: a packet record file is replayed as it is; an EDF/BDF file
// is converted in memory as `import-edf` converts it and the conversion
// replayed from a temporary file. Another kind is one more branch of
// CaseInputKindOf and PrepareCaseInput.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/AppSettings.h"
#include "core/DsaHistory.h"
#include "exchange/EdfExport.h"
#include "logbook/CommentTimes.h"
#include "report/CaseSummary.h"

namespace qs::cli {

enum class CaseInputKind { Record, Edf, Vital };
// By the file name's extension, without case: .edf and .bdf are EDF files,
// .vital a Vital file, anything else a record file (as `replay` takes any name).
CaseInputKind CaseInputKindOf(const std::string& path);
// What a folder search picks up: .eeg, .edf, .bdf, .vital.
bool IsCaseFileName(const std::string& path);


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
