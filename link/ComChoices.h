#pragma once
// The rules of the COM settings window, without the window.
#include <cstdint>

#include "core/AppSettings.h"
#include "core/RunState.h"

namespace qs {

// The EEG channel a choice in the channel list selects: a two-channel
// monitor (any engine but the four-channel one, kind 2) has channels 0 and
// 1 only, so "ch. 2" selects channel 0 and "ch. 3" channel 1.
inline int ComChannelChoice(int index, int engineKind) {
  return engineKind == 2 ? index : index % 2;
}

// Selects the EEG channel to analyse exactly as choosing row `index` of the
// COM window's list does: the settings field EegChannel, with the modulo-2
// rule for records and monitors of two channels (the engine kind the record's
// pre-scan or the monitor left in the run state). Returns the channel
// selected. Commands that analyse another channel call this after the record
// is chosen, before Start.
inline int ChooseEegChannel(AppSettings& settings, const RunState& run, int index) {
  const int channel = ComChannelChoice(index, run.EngineKind);
  settings.EegChannel = channel;
  return channel;
}

// The EEG channels a record or monitor of the engine kind carries.
inline int ChannelsOfEngine(int engineKind) { return engineKind == 2 ? 4 : 2; }

struct ComShowState {
  int samplingRate;  // 0: 128 Hz, 1: 256 Hz
  int channelRows;   // rows the channel list's drop-down shows
};

// When the window opens: a model-2 monitor runs at 128 Hz only, so the rate
// falls back to 128 Hz; four channel rows only for the four-channel engine of
// that model.
inline ComShowState ComOnShow(int monitorModel, int engineKind, int samplingRate) {
  if (monitorModel != 2) return {samplingRate == 1 ? 1 : 0, 2};
  return {0, engineKind == 2 ? 4 : 2};
}

}  // namespace qs
