#pragma once
// The log window's lines: the header written at every Start and one line per
// logging interval.
#include <string>

#include "config/AppSettings.h"
#include "dsp/IntervalTexts.h"

namespace qs {

// "Time,SEF95,BSR,RBR,BispR,BIS,Amp" (BSR(%) with SR_PCT), then
// ",pBIC_low,pBIC_high" with Log_BIC, ",EMG" with Log_EMG, and the three SQIs.
std::string LogHeader(const AppSettings& settings);

// time, SEF, BSR, RBR, BispR, BIS, amplitude, the pBIC part, EMG (with
// Log_EMG), SQI. "***" becomes Defect_Str in the value texts; the log-only
// line of Calculation Only replaces it in the EMG text too.
std::string LogLine(const IntervalTexts& texts, const AppSettings& settings, bool logOnly);

}  // namespace qs
