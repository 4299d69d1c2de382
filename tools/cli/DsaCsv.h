#pragma once
// `replay --dsa OUT.csv`: one line per interval, the time of day (hh:mm:ss)
// and the 93 bins of the text power export (0.5 to 46.5 Hz), each as
// 10 log10 of the same value in dB (%.4f). A bin without power (an interval
// whose window had too few clean epochs) is written as -inf, which is what
// the logarithm of zero is and what spreadsheet and numeric readers take.
#include <cstdio>

#include "core/DsaHistory.h"

namespace qs::cli {

void WriteDsaLine(std::FILE* out, const SpectrumColumn& column);

}  // namespace qs::cli
