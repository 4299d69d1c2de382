#pragma once
// A packet record file as an EDF+ file, written with EDFlib.
//
// Signals, in this order:
//  * "EEG Ch1" ... every EEG channel the record carries, at its rate, in uV.
//    The digital values are the monitor's counts themselves (-32768..32767)
//    and the physical range is what the calibration makes of the counts' full
//    range: (-32768 - offset) x gain .. (32767 - offset) x gain. It never
//    depends on the data, so every sample is exact to one digital step.
//  * "BIS", "SEF", "BSR", "SQI", "EMG": the monitor's variables of the chosen
//    channel, 1 Hz, one value per second from the processed message that
//    closed that second. The digital value is the message's own integer
//    (BIS x 0.1, SEF x 0.01 Hz, BSR x 0.1 %, SQI x 0.1 %, EMG x 0.01), so the
//    physical range is -32768..32767 times that step. The monitor marks "not
//    available" with a negative value; here it is the digital minimum
//    (-32768), which the signal's transducer field says, and each stretch of
//    it is also an annotation "<name> not available" with its duration.
//  * with indices, the program's own 10-s results from a replay of the file:
//    "own SEF", "own BSR", "own RBR", "own BispR", "own Amp", "own SQI time",
//    "own SQI power", "own SQI bisp", "own pBIC low", "own pBIC high", 0.1 Hz:
//    the value of data record k is the result of the interval of seconds
//    10k .. 10k + 9. Not available (-1024) is again the digital minimum, and a
//    value beyond the signal's range is held at its end. The data records
//    then last 10 s and a last part shorter than 10 s is left out (the report
//    says how much).
//  * the EDF+ annotations: the comments at their times of day, relative to
//    the start.
// Start date and time: the time from the record header, the date as the
// caller gives it (RecordDate below).
#include <string>
#include <vector>

#include "core/EpochResult.h"
#include "logbook/CommentTimes.h"
#include "record/RecordContents.h"

namespace qs {

struct CalendarDate {
  int year = 1985, month = 1, day = 1;
};

// The day a record file was recorded: from an automatic name "yyyymmddN.eeg"
// when it is one, else the file's modification date (local time).
CalendarDate RecordDate(const std::string& path);

struct EdfExportInput {
  const RecordContents* record = nullptr;
  CalendarDate date;
  std::vector<TimedComment> comments;
  bool withIndices = false;
  std::vector<EpochResult> indices;  // one per 10-s interval, in order
};

struct EdfExportReport {
  int dataRecords = 0;
  int secondsLeftOut = 0;
  std::vector<std::string> notes;  // comments not written and why, and similar
};

bool ExportEdf(const std::string& outPath, const EdfExportInput& input, EdfExportReport* report,
               std::string* error);

// The monitor variables' step (physical units per digital unit), by label.
struct MonitorSignal {
  const char* label;
  const char* dimension;
  double step;
};
inline constexpr MonitorSignal kMonitorSignals[5] = {
    {"BIS", "", 0.1}, {"SEF", "Hz", 0.01}, {"BSR", "%", 0.1}, {"SQI", "%", 0.1}, {"EMG", "", 0.01}};

}  // namespace qs
