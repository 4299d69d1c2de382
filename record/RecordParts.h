#pragma once
// The names of the parts of a record that a gap in the data has split. The
// record file holds no time per packet, so a recording that goes on after the
// monitor fell silent (or its device vanished) continues in a new file whose
// header carries the time the data came back; each part replays with its own
// start time.
//
// An automatic name ("yyyymmdd" + N + ".eeg") continues with the next free
// automatic name of the day, as a new Start would take it; any other name
// continues as NAME_part2.eeg, NAME_part3.eeg, ... (the number after the one
// the current file carries). A name that exists already is never reused, so
// no recorded data is overwritten.
#include <string>

#include "platform/Clock.h"

namespace qs {

// The file to continue in after `current`; empty when none is free.
std::string NextRecordPartPath(const std::string& current, const TimeOfDay& today);

}  // namespace qs
