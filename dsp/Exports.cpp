#include "dsp/Exports.h"

#include <bit>

#include "dsp/Bispectrum.h"

namespace qs {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the binary exports are the in-memory floats: little-endian hosts only");
static_assert(sizeof(float) == 4);

// A text export built piece by piece in one TextLine: written out whenever
// the next piece might not fit, so lines longer than the buffer (the power
// line holds 93 values) need no larger buffer.
constexpr std::size_t kFlushAt = TextLine::kCapacity - 64;

void FlushIfFull(DataFile& file, TextLine& line) {
  if (line.Size() < kFlushAt) return;
  file.Write(line.Data(), line.Size());
  line.Clear();
}

void Flush(DataFile& file, TextLine& line) {
  if (line.Size() > 0) file.Write(line.Data(), line.Size());
  line.Clear();
}

// printf's "%f": six decimals. Floats pass through double as they would
// through a variadic call.
TextLine& Decimal6(TextLine& line, float v) {
  return line.Fixed(static_cast<double>(v), 6);
}

}  // namespace


void AppendClock(TextLine& line, std::uint32_t secondsOfDay) {
  line.Clock(secondsOfDay % 86400);
}

void AppendSpacedClock(TextLine& line, std::uint32_t secondsOfDay) {
  const std::uint32_t t = secondsOfDay % 86400;
  line.Int(t / 3600, 2, ' ').Char(':').Int(t % 3600 / 60, 2, ' ').Char(':').Int(t % 60, 2, ' ');
}

void WritePowerExport(DataFile& file, bool binary, const float* spectrum, std::uint32_t time, bool online) {
  if (!file.IsOpen()) return;
  if (binary) {
    file.Write(spectrum + 1, sizeof(float) * kPowerExportBins);
    return;
  }
  TextLine line;
  if (online) {
    AppendSpacedClock(line, time);
  } else {
    AppendClock(line, time);
  }
  line.Char(',');
  for (int k = 1; k <= kPowerExportTextBins; ++k) {
    FlushIfFull(file, line);
    Decimal6(line, spectrum[k]);
    if (k < kPowerExportTextBins) {
      line.Char(',');
    } else {
      line.EndLine();
    }
  }
  Flush(file, line);
}

void FormatBicProfileLine(TextLine& line, const BicExportData& data) {
  line.Clear();
  AppendClock(line, data.time);
  line.Char(',').Int(data.n).Char(',');
  if (data.magnitudeSums[TriangleIndex(3, 91)] > 0.0f && data.n >= kBicProfileMinEpochs) {
    for (int j = 0; j < kBicExportProfile; ++j) {
      if (j > 0) line.Char(',');
      line.Fixed(static_cast<double>(data.profile[j]), 1, 3);
    }
  }
  line.EndLine();
}

void WriteBicExport(DataFile& file, bool binary, bool profileForm, const BicExportData& data) {
  if (!file.IsOpen()) return;
  if (binary) {
    file.Write(data.magnitude, sizeof(float) * kBicExportPairs);
    file.Write(data.magnitudeSums, sizeof(float) * kBicExportPairs);
    return;
  }
  TextLine line;
  if (profileForm) {
    FormatBicProfileLine(line, data);
    Flush(file, line);
    return;
  }
  line.Text("# ");
  AppendSpacedClock(line, data.time);
  line.Char(',').Int(data.powerWindowCount).EndLine();
  for (int i = 0; i < kBicExportPairs; ++i) {
    FlushIfFull(file, line);
    Decimal6(line, data.magnitude[i]).Char(',');
    FlushIfFull(file, line);
    Decimal6(line, data.magnitudeSums[i]).EndLine();
  }
  Flush(file, line);
}

void FormatAmplitudeLine(TextLine& line, std::uint32_t stamp, float d) {
  line.Clear();
  AppendClock(line, stamp);
  line.Char(',').Fixed(static_cast<double>(d), 3, 5).EndLine();
}

void WriteWaveBlock(DataFile& file, const float* samples, int count) {
  if (!file.IsOpen()) return;
  TextLine line;
  for (int i = 0; i < count; ++i) {
    FlushIfFull(file, line);
    Decimal6(line, samples[i]).EndLine();
  }
  Flush(file, line);
}

void AmplitudeExport::HalfWave(float d) {
  FormatAmplitudeLine(line_, stamp_, d);
  file_.Write(line_.Data(), line_.Size());
}

}  // namespace qs
