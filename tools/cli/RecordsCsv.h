#pragma once
// The records file of the command-line runs: a header line, then one line per
// 10-s interval record: index, time of the interval and the 48 values (%.9g).
#include <cstdint>
#include <cstdio>

#include "core/EpochResult.h"

namespace qs::cli {

void WriteRecordsHeader(std::FILE* out);
void WriteRecordLine(std::FILE* out, std::int32_t index, const EpochResult& record, std::uint32_t time);

}  // namespace qs::cli
