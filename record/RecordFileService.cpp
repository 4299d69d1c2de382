#include "record/RecordFileService.h"

#include <filesystem>

#include "record/AutoRecordName.h"
#include "record/BisVariables.h"
#include "record/RecordPrescan.h"

namespace qs {

RecordCreateOutcome RecordFileService::CreateAutomatic(std::string& path) {
  const TimeOfDay today = LocalNow();
  for (int n = 1; n <= kMaxAutoRecordNames; ++n) {
    core_.run.WaveFileBinary = true;
    const std::string candidate = AutoRecordPath(core_.settings.WorkDir, today, n);
    std::error_code ec;
    if (std::filesystem::exists(candidate, ec) || ec) continue;
    if (CreateAt(candidate)) {
      path = candidate;
      return RecordCreateOutcome::Created;
    }
  }
  return RecordCreateOutcome::NoFreeName;
}

bool RecordFileService::CreateAt(const std::string& path) {
  Lock hold(core_.sync.RecordFileLock);
  return core_.run.RecordFile.Open(path, "wb");
}

ReplayOpenOutcome RecordFileService::Prescan(const std::string& path) {
  const PrescanResult r = PrescanRecord(path);
  RunState& run = core_.run;
  run.ClockSec = r.fileStartSec;
  run.FileStartSec = r.fileStartSec;
  run.ReplayHeaderLength = r.headerLength;
  run.MonitorModel = r.monitorModel;
  run.Rate256 = r.rate256;
  core_.settings.SamplingRate = r.rate256 ? 1 : 0;
  run.EngineKind = r.engineKind;
  if (r.outcome != ReplayOpenOutcome::Ok) return r.outcome;
  if (r.hasCalibration) {
    run.WaveGain = r.calibration.gain;
    run.WaveOffset = r.calibration.offset;
  }
  run.BytesPerSecond = r.bytesPerSecond;
  run.FileSeconds = r.fileSeconds;
  run.StartOffsetSec = 0;
  return ReplayOpenOutcome::Ok;
}

ReplayOpenOutcome RecordFileService::FailOpen(ReplayOpenOutcome outcome) {
  core_.run.ReplayFile.Close();
  return outcome;
}

ReplayOpenOutcome RecordFileService::OpenReplay(const std::string& path) {
  RunState& run = core_.run;
  const auto exclusive = replay_.LockInput();
  replay_.ResetInput();
  if (path.empty()) return ReplayOpenOutcome::NotSelected;
  run.ClockSec = 0;
  if (!run.ReplayFile.Open(path, "rb")) return ReplayOpenOutcome::OpenError;

  RecordHeaderBytes headerBytes;
  if (run.ReplayFile.Read(headerBytes.data(), headerBytes.size()) != headerBytes.size())
    return FailOpen(ReplayOpenOutcome::SizeError);
  run.Rate256 = false;
  const ParsedRecordHeader header = ParseRecordHeader(headerBytes);
  if (!header.magic) return FailOpen(ReplayOpenOutcome::TypeError);
  if (header.hasTime) {
    const std::uint32_t t = static_cast<std::uint32_t>(header.StartSecondOfDay()) + 1;
    run.ClockSec = t >= 86400 ? 0 : t;
  }
  // The same model rule as the pre-scan: a model "V" monitor runs at 128 Hz.
  run.Rate256 = header.rateField == 256 && header.modelChar != 'V';

  std::uint8_t firstPacket[kProcessed4Bytes];
  if (ReadFirstPacket(run.ReplayFile, firstPacket) == 0) return FailOpen(ReplayOpenOutcome::TypeError);

  if (run.BisVariablesFile.IsOpen()) WriteBisVariablesHeader(run.BisVariablesFile, header, core_.settings.SR_PCT);
  if (run.StartOffsetSec > 0) {
    run.ReplayFile.Skip(static_cast<long>(run.StartOffsetSec) * run.BytesPerSecond);
    run.ClockSec = run.FileStartSec + static_cast<std::uint32_t>(run.StartOffsetSec.load());
  }
  return ReplayOpenOutcome::Ok;
}

}  // namespace qs
