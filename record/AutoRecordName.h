#pragma once
// Names of automatically created record files: WorkDir, then the day's date
// "yyyymmdd", then the attempt number 1..99, then ".eeg". The first name
// that does not exist yet is taken, so the first case of a day is ...1.eeg and
// the next ...2.eeg.
#include <string>

#include "platform/Clock.h"

namespace qs {

inline constexpr int kMaxAutoRecordNames = 99;

std::string AutoRecordPath(const std::string& workDir, const TimeOfDay& day, int number);

}  // namespace qs
