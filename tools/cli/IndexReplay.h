#pragma once
// A Calculation Only replay of a record file, as `quellscope-cli replay` runs
// it, keeping every 10-s result record in memory (for the EDF+ export).
#include <string>
#include <vector>

#include "core/EpochResult.h"

namespace qs::cli {

// False, with the reason in error, when the program would refuse the file or
// the settings cannot be used.
bool ReplayIndices(const std::string& record, const std::string& settings, std::vector<EpochResult>& records,
                   std::string* error);

}  // namespace qs::cli
