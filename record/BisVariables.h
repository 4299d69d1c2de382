#pragma once
// The monitor-variables export ("BIS Varaibles"): two revision lines and a
// column header when a replay starts, then one line per processed-variables
// message the replay handles:
//   time, BIS (empty when not available), SEF95, suppression ratio (percent
//   with one decimal, or fraction with three), EMG low, SQI, ARTF2 (8 hex
//   digits), BISBIT (4 hex digits).
// Values are the received integers scaled in double.
#include <cstdint>

#include "protocol/MonitorMessages.h"
#include "platform/TextLine.h"
#include "platform/DataFile.h"
#include "record/RecordHeader.h"

namespace qs {

void WriteBisVariablesHeader(DataFile& file, const ParsedRecordHeader& header, bool srPct);
void FormatBisVariablesLine(TextLine& line, std::uint32_t clockSec, const ChannelVariables& v, bool srPct);

}  // namespace qs
