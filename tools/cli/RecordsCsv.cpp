#include "cli/RecordsCsv.h"

#include "platform/TextLine.h"

namespace qs::cli {

void WriteRecordsHeader(std::FILE* out) {
  std::fputs("Index,Time,SqiTime,SqiPower,SqiBisp,Sef,Bsr,Rbr,BispR,Bis,Amp", out);
  for (std::size_t j = 0; j < EpochResult::kDiagBicCount; ++j) std::fprintf(out, ",DiagBic%02zu", j);
  std::fputs(",PbicLow,PbicLowFreq,PbicHigh,PbicHighFreq\n", out);
}

void WriteRecordLine(std::FILE* out, std::int32_t index, const EpochResult& record, std::uint32_t time) {
  TextLine clock;
  clock.Clock(time);
  std::fprintf(out, "%d,%.*s", index, static_cast<int>(clock.Size()), clock.Data());
  for (std::size_t i = 0; i < EpochResult::kFields; ++i) std::fprintf(out, ",%.9g", static_cast<double>(record[i]));
  std::fputc('\n', out);
}

}  // namespace qs::cli
