#pragma once
// Replays a record file through the calculation engine on the calling thread,
// as the calculation thread does in Calculation Only, and collects every
// interval record.
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "config/SettingsFile.h"
#include "dsp/CalcEngine.h"
#include "record/RecordFileService.h"

namespace qs::test {

struct EngineRecord {
  std::int32_t index;
  std::uint32_t time;
  EpochResult record;
};

struct EngineRunResult {
  std::vector<EngineRecord> records;
  std::uint64_t epochsTransformed = 0;
  bool ok = false;
};

inline EngineRunResult RunEngine(const std::string& recordPath, const std::string& settingsText = "",
                                 const std::function<void(AppCore&)>& adjust = {},
                                 const std::function<void(const CalcEngine&)>& atEnd = {}) {
  EngineRunResult result;
  auto core = std::make_unique<AppCore>();
  std::istringstream settings(settingsText);
  ReadSettings(core->settings, settings);
  if (!core->buffers.Allocate(core->settings.MaxMem)) return result;
  RecordFileService service(*core);
  CalcEngine engine(*core, &service.ReplayInput());
  if (!engine.Allocate()) return result;
  engine.onRecord = [&](std::int32_t index, const EpochResult& r, std::uint32_t time) {
    result.records.push_back({index, time, r});
  };
  core->run.OnlineMode = false;
  core->settings.CalcOnly = true;
  if (service.Prescan(recordPath) != ReplayOpenOutcome::Ok) return result;
  if (service.OpenReplay(recordPath) != ReplayOpenOutcome::Ok) return result;
  core->buffers.trend.index = 0;
  if (adjust) adjust(*core);  // settings of the windows, or the record index, before the start
  engine.StartRun();
  while (engine.RunCycle()) {
  }
  result.epochsTransformed = engine.EpochsTransformed();
  if (atEnd) atEnd(engine);
  result.ok = true;
  return result;
}

}  // namespace qs::test
