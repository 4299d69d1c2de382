#pragma once
// The export streams that the calculation thread feeds while their files are
// open (the Save commands open them, the run's stop closes them):
//
//   power spectrum   binary: 94 floats per interval, AverageSpectrum bins 1..94;
//                    text: the interval time, then bins 1..93 "%f" by commas
//   bispectrum       at the closes that wrote a log line (every close with a
//                    log line each interval); binary: BicMagnitude then the
//                    magnitude window sums (2 x 2256 floats); text: either the
//                    diagonal profile form (FigType 1 or 3 with OptionButton)
//                    or a header line and 2256 "%f,%f" pairs
//   amplitude        "HH:MM:SS,%5.3f" per completed half-wave
//   wave (text)      one "%f" line per sample of every block taken
//
// Binary exports are little-endian 32-bit floats without a header; text lines
// end in CR LF and use "." whatever the locale. Everything is formatted into
// fixed buffers: these writers run inside the processing cycle, which
// allocates nothing.
#include <cstddef>
#include <cstdint>

#include "dsp/HalfWave.h"
#include "platform/Relaxed.h"
#include "platform/TextLine.h"
#include "platform/DataFile.h"

namespace qs {

inline constexpr int kPowerExportBins = 94;      // binary record: bins 1..94 (0.5-47 Hz)
inline constexpr int kPowerExportTextBins = 93;  // text line: bins 1..93
inline constexpr int kBicExportPairs = 2256;     // the triangle of frequency pairs
inline constexpr int kBicExportProfile = 35;     // diagonal profile values D[0..34]
inline constexpr int kBicProfileMinEpochs = 60;

// The log window's interval counter, kept a second time on the calculation
// side. The log step runs on the user-interface thread and counts there; the
// bispectrum export must know, on this thread and without asking, whether the
// close it is finishing wrote a log line. Both counters start at 0 at Start
// and count every interval close the same way, so they agree.
class LogCadence {
 public:
  void Reset() { count_ = 0; }
  // One interval closed; true when that close wrote a log line.
  bool Advance(int logInterval) {
    if (++count_ >= logInterval) count_ = 0;
    return count_ == 0;
  }
  int Count() const { return count_; }

 private:
  int count_ = 0;
};

// "HH:MM:SS" ("%02d:%02d:%02d") and "%2d:%2d:%2d", hours taken mod 24.
void AppendClock(TextLine& line, std::uint32_t secondsOfDay);
void AppendSpacedClock(TextLine& line, std::uint32_t secondsOfDay);

// spectrum: AverageSpectrum, indexed by bin (at least 95 entries). time: the
// interval's time; online selects the clock form of the text line.
void WritePowerExport(DataFile& file, bool binary, const float* spectrum, std::uint32_t time, bool online);

struct BicExportData {
  const float* magnitude = nullptr;      // BicMagnitude, kBicExportPairs
  const float* magnitudeSums = nullptr;  // the magnitude window sums, kBicExportPairs
  const float* profile = nullptr;        // unfiltered D[0..34]
  int n = 0;                             // epochs in the bispectral window
  int powerWindowCount = 0;              // published spectra count of the power window
  std::uint32_t time = 0;                // the interval's time
};
// profileForm: the text export's diagonal profile form (FigType 1 or 3 with
// OptionButton); ignored for the binary form.
void WriteBicExport(DataFile& file, bool binary, bool profileForm, const BicExportData& data);
void FormatBicProfileLine(TextLine& line, const BicExportData& data);

void FormatAmplitudeLine(TextLine& line, std::uint32_t stamp, float d);

// count: 64 samples of ScaledWave, or 128 of ScaledWave256 at 256 Hz.
void WriteWaveBlock(DataFile& file, const float* samples, int count);

// The half-wave detector's sink for the amplitude export: one line per
// completed half-wave, stamped with the cycle's time.
class AmplitudeExport final : public HalfWaveSink {
 public:
  explicit AmplitudeExport(DataFile& file) : file_(file) {}
  void SetStamp(std::uint32_t stamp) { stamp_ = stamp; }
  void HalfWave(float d) override;

 private:
  DataFile& file_;
  std::uint32_t stamp_ = 0;
  TextLine line_;
};

}  // namespace qs
