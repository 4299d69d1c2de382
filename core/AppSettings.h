#pragma once
// Every setting of the program in one record. The user-interface thread writes
// it (settings file at start-up, settings windows later); worker threads read
// single fields without a lock, which is why each numeric field is one relaxed
// 32-bit value. The two texts are written only during start-up, before any
// worker thread exists.
//
// Field names are the settings file's keys (the key "SynchFastSlow?" sets
// SynchFastSlow). Defaults are the built-in values used when the file does not
// set a key.
#include <cstdint>
#include <string>

#include "platform/Relaxed.h"

namespace qs {

struct AppSettings {
  // --- read from the settings file ---
  Relaxed<float> Wave_Scale{2.0f};            // waveform gain: 4, 2, 1, 0.5 = 25, 50, 100, 200 uV
  Relaxed<std::int32_t> Moving_Average{0};    // 0: 1 s, 1: 2 s moving average
  Relaxed<float> Overshoot_Threshold{80.0f};  // uV, >= 50
  Relaxed<float> Spike_Threshold{30.0f};      // uV, >= 5
  Relaxed<float> BS_Threshold{5.0f};          // uV, > 0 and < 6
  Relaxed<bool> Show_Raw{true};
  Relaxed<bool> Show_Proc{false};
  std::string Defect_Str{"***"};              // log text of a value that is not available
  std::string WorkDir;                        // dialogs' start directory, automatic record files
  Relaxed<bool> Proc_Trend{true};
  Relaxed<std::int32_t> COM_Port{0};          // 0..63 = COM1..COM64
  Relaxed<bool> Use_BIS_BSR{true};
  Relaxed<bool> Use_BIS_SEF{false};
  Relaxed<bool> SynchFastSlow{false};         // key "SynchFastSlow?"
  Relaxed<std::int32_t> Power_Dur{6};         // 10-s steps: 2, 3, 6
  Relaxed<std::int32_t> Bisp_Dur{18};         // 10-s steps: 6, 12, 18, 24, 30
  Relaxed<std::int32_t> Amp_Dur{6};           // 10-s steps: 1, 2, 3, 6
  Relaxed<std::int32_t> MaxMem{24};           // hours of history, at least 8
  Relaxed<std::int32_t> LogInterval{6};       // 10-s steps: 1, 2, 3, 6
  Relaxed<bool> Log_BIC{false};
  Relaxed<bool> Log_EMG{false};
  Relaxed<bool> AutoRec{false};
  Relaxed<bool> CommentOnLog{false};
  Relaxed<bool> BicRatio{false};
  Relaxed<bool> pBIC{false};                  // read and kept; nothing consults it
  Relaxed<bool> Child{false};
  Relaxed<bool> Pow_real{false};
  Relaxed<bool> OptionButton{false};
  Relaxed<bool> mBIC_filter{false};
  Relaxed<std::int32_t> SamplingRate{0};      // 0: 128 Hz, 1: 256 Hz
  Relaxed<std::int32_t> PowerScale{0};        // 0..4 = 5, 10, 20, 50, 100 uV
  Relaxed<std::int32_t> FigType{1};           // 0 bispectrum, 1 bicoherence, 2 triple product, 3 mBIC
  Relaxed<bool> SR_PCT{false};
  Relaxed<bool> Test_Mode{false};
  // Explicit serial device path (a USB adapter, a pseudo-terminal); overrides
  // COM_Port's /dev/ttyS<n> when not empty.
  std::string COM_Device;

  // --- set only by the settings windows ---
  Relaxed<bool> UseProcessedWave{true};
  Relaxed<bool> GrayScale{false};
  Relaxed<bool> CalcOnly{false};
  Relaxed<std::int32_t> WaveScaleIndex{1};    // 0..3
  Relaxed<std::int32_t> ReplayIntervalMs{1000};
  Relaxed<float> SefFraction{0.05f};          // 0.05: SEF95, 0.10: SEF90
  Relaxed<std::int32_t> EegChannel{0};        // 0..3
};

}  // namespace qs
