#pragma once
// The log window's lines: the header written at every Start and one line per
// logging interval.
#include <string>

#include "core/AppSettings.h"
#include "dsp/IntervalTexts.h"
#include "core/TrendStore.h"
#include "core/TextLines.h"

namespace qs {

// "Time,SEF95,BSR,RBR,BispR,BIS,Amp" (BSR(%) with SR_PCT), then
// ",pBIC_low,pBIC_high" with Log_BIC, ",EMG" with Log_EMG, and the three SQIs.
std::string LogHeader(const AppSettings& settings);

// time, SEF, BSR, RBR, BispR, BIS, amplitude, the pBIC part, EMG (with
// Log_EMG), SQI. "***" becomes Defect_Str in the value texts; the log-only
// line of Calculation Only replaces it in the EMG text too.
std::string LogLine(const IntervalTexts& texts, const AppSettings& settings, bool logOnly);

// The log rebuilt from the history store for a new logging interval of n
// records: every n-th record from record n - 1 up to the current one, each as
// its time (record index x 10 + fileStartSec + 3, hours not wrapped), Sef,
// Bsr, Rbr, BispR, Bis, Amp and the three SQIs, Defect_Str for a value that
// is not available, and with Log_BIC the first 27 DiagBic values. No header.
void RebuildLog(TextLines& lines, const TrendStore& trend, int n, std::uint32_t fileStartSec,
                const AppSettings& settings);

}  // namespace qs
