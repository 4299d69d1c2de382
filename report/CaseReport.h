#pragma once
// The case report: the whole case on one A4 landscape page (two for cases
// longer than kOnePageSeconds, each page half of the case), drawn with
// QPainter: into a PDF through Qt's PDF writer (vector lines, real text) and,
// for a picture, into an image of the same page.
//
// Page: a header (file, date and start, duration, rate, channels and the
// analysed one, the settings that change the results); the graphs on one
// shared time axis (time of day, across midnight in order): the monitor's BIS,
// the program's SEF, BSR, RBR, BispR, pBIC low/high, amplitude and the three
// SQIs, with artifact-rejected intervals shaded and comments as labelled
// markers; a panel kept for the spectrogram (DSA); the summary table.
// Needs a QGuiApplication (fonts).
#include <string>
#include <vector>

#include "core/DsaHistory.h"

#include "logbook/CommentTimes.h"
#include "report/CaseSummary.h"

class QPainter;

namespace qs {

inline constexpr int kOnePageSeconds = 6 * 3600 + 1800;  // about six hours fit one page

struct CaseReportInput {
  const CaseFacts* facts = nullptr;
  const std::vector<CaseInterval>* intervals = nullptr;
  const CaseSummary* summary = nullptr;
  const std::vector<TimedComment>* comments = nullptr;
  const CaseTotals* totals = nullptr;
  const SpectrumHistory* spectra = nullptr;  // the intervals' spectra for the DSA; null: the panel stays empty
};

int CaseReportPages(const CaseFacts& facts);

// Draws page `page` (from 0) on a painter whose device has `dotsPerMm`.
void DrawCaseReportPage(QPainter& painter, double dotsPerMm, int page, const CaseReportInput& input);

// The PDF; false with a message when it cannot be written.
bool WriteCaseReportPdf(const std::string& path, const CaseReportInput& input, std::string* error);
// The first page as a PNG at `dpi`.
bool WriteCaseReportPng(const std::string& path, const CaseReportInput& input, int dpi, std::string* error);

// "hh:mm" of the time of day `startSecond + elapsed` (wrapped at midnight).
std::string ClockText(std::uint32_t startSecond, double elapsed, bool withSeconds);

}  // namespace qs
