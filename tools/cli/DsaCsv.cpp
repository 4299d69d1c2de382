#include "cli/DsaCsv.h"

#include <cmath>

#include "platform/TextLine.h"

namespace qs::cli {

void WriteDsaLine(std::FILE* out, const SpectrumColumn& column) {
  TextLine clock;
  clock.Clock(column.time % 86400);
  std::fprintf(out, "%.*s", static_cast<int>(clock.Size()), clock.Data());
  // In double, from the float the export prints: the logarithm of the very
  // value, not of its six-decimal text.
  for (const float p : column.power) {
    if (p > 0.0f) {
      std::fprintf(out, ",%.4f", 10.0 * std::log10(static_cast<double>(p)));
    } else {
      std::fputs(",-inf", out);
    }
  }
  std::fputc('\n', out);
}

}  // namespace qs::cli
