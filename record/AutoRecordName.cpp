#include "record/AutoRecordName.h"

#include <cstdio>

namespace qs {

std::string AutoRecordPath(const std::string& workDir, const TimeOfDay& day, int number) {
  char name[32];
  std::snprintf(name, sizeof name, "%04d%02d%02d%d.eeg", day.year, day.month, day.day, number);
  if (workDir.empty()) return name;
  return workDir.back() == '/' ? workDir + name : workDir + "/" + name;
}

}  // namespace qs
