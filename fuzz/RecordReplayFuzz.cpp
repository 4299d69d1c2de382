// Fuzz target: a record file chosen for replay, whatever its bytes. The file
// goes through the pre-scan, the replay open and a Calculation Only replay
// through the calculation engine, exactly as the program runs them, so damaged
// packets, foreign files and absurd calibrations reach the processing too.
//
// The header's last byte (offset 127) is a blank in every file the program
// writes and is never read; here it chooses the run's settings: bits 0-1 the
// EEG channel, bit 2 the 2-s moving average, bit 3 SR_PCT, bit 4 Use_BIS_SEF,
// bit 5 Use_BIS_BSR, bit 6 the map type mBIC.
//
// Promises checked beyond the sanitizers: a pre-scan that accepts states
// sound lengths and a replay never takes more seconds than the file has
// bytes for. (Values are not checked: a damaged packet with a right checksum
// may carry any calibration, and the records then say what it makes of the
// wave; float-to-integer conversions of such values are UBSan's to catch.)
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/AppCore.h"
#include "dsp/CalcEngine.h"
#include "fuzz/FuzzCheck.h"
#include "record/RecordFileService.h"
#include "record/RecordPrescan.h"

namespace {

// One scratch file per process, removed when the process ends: the corpus
// replay in every test run would otherwise leave one behind each time.
struct Scratch {
  std::string path = "/tmp/qs-fuzz-record-" + std::to_string(::getpid()) + ".eeg";
  ~Scratch() { std::remove(path.c_str()); }
};

const std::string& ScratchPath() {
  static const Scratch scratch;
  return scratch.path;
}

bool WriteScratch(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

void ConfigureFrom(qs::AppSettings& s, std::uint8_t b) {
  s.EegChannel = b & 3;
  s.Moving_Average = (b >> 2) & 1;
  s.SR_PCT = ((b >> 3) & 1) != 0;
  s.Use_BIS_SEF = ((b >> 4) & 1) != 0;
  s.Use_BIS_BSR = ((b >> 5) & 1) != 0;
  if ((b >> 6) & 1) {
    s.OptionButton = true;
    s.FigType = 3;
  }
  s.MaxMem = 8;  // the smallest history store: the replay is short anyway
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!WriteScratch(data, size)) return 0;

  auto core = std::make_unique<qs::AppCore>();
  if (size >= qs::kRecordHeaderBytes) ConfigureFrom(core->settings, data[qs::kRecordHeaderBytes - 1]);
  qs::RecordFileService service(*core);
  const qs::ReplayOpenOutcome scanned = service.Prescan(ScratchPath());
  if (scanned != qs::ReplayOpenOutcome::Ok) {
    QS_FUZZ_CHECK(scanned == qs::ReplayOpenOutcome::TypeError);
    QS_FUZZ_CHECK(size < qs::kRecordHeaderBytes + qs::kProcessed4Bytes);
    return 0;
  }
  const qs::RunState& run = core->run;
  QS_FUZZ_CHECK(run.FileSeconds >= 0);
  QS_FUZZ_CHECK(static_cast<std::size_t>(run.FileSeconds) * static_cast<std::size_t>(run.BytesPerSecond) <=
                size);
  QS_FUZZ_CHECK(run.FileStartSec < 86400u);

  if (!core->buffers.Allocate(core->settings.MaxMem)) return 0;
  qs::CalcEngine engine(*core, &service.ReplayInput());
  if (!engine.Allocate()) return 0;
  int records = 0;
  engine.onRecord = [&records](std::int32_t, const qs::EpochResult&, std::uint32_t) { ++records; };
  core->run.OnlineMode = false;
  core->settings.CalcOnly = true;
  if (service.OpenReplay(ScratchPath()) != qs::ReplayOpenOutcome::Ok) return 0;
  core->buffers.trend.index = 0;
  engine.StartRun();
  // A second needs at least eight 90-byte raw messages.
  const std::uint32_t most = static_cast<std::uint32_t>(size / (8 * qs::kRawEegBytes128)) + 1;
  while (engine.RunCycle()) QS_FUZZ_CHECK(engine.SecondsProcessed() <= most);
  QS_FUZZ_CHECK(records <= static_cast<int>(most / 10) + 1);
  return 0;
}
