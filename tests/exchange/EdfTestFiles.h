#pragma once
// EDF files for the import tests, written with EDFlib (an independent writer)
// so that the reader is tested against files it did not produce itself.
#include <edflib.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace qs::test {

inline std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("qs_edf_" + std::to_string(::getpid()) + "_" + name))
      .string();
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct EdfShape {
  int rate = 256;  // samples per 1-s data record
  int seconds = 8;
  int signals = 2;  // "EEG A", "EEG B", ..., from -500 to 500 uV
  std::function<double(int signal, double t)> wave = [](int, double) { return 0.0; };
  std::vector<std::pair<double, std::string>> annotations;  // onset s, text
  bool bdf = false;                                         // BDF+: 24-bit samples
};

// An EDF+C (BDF+C) file of that shape, physical samples in uV, from 14 March 2024 9:30:15; its bytes.
inline std::vector<std::uint8_t> WriteEdfPlus(const std::string& path, const EdfShape& shape) {
  const int h = edfopen_file_writeonly(path.c_str(), shape.bdf ? EDFLIB_FILETYPE_BDFPLUS : EDFLIB_FILETYPE_EDFPLUS,
                                       shape.signals);
  if (h < 0) return {};
  for (int s = 0; s < shape.signals; ++s) {
    edf_set_samplefrequency(h, s, shape.rate);
    edf_set_physical_minimum(h, s, -500);
    edf_set_physical_maximum(h, s, 500);
    edf_set_digital_minimum(h, s, shape.bdf ? -8388608 : -32768);
    edf_set_digital_maximum(h, s, shape.bdf ? 8388607 : 32767);
    edf_set_label(h, s, (std::string("EEG ") + static_cast<char>('A' + s)).c_str());
    edf_set_physical_dimension(h, s, "uV");
  }
  edf_set_startdatetime(h, 2024, 3, 14, 9, 30, 15);
  std::vector<double> buffer(static_cast<std::size_t>(shape.rate));
  for (int r = 0; r < shape.seconds; ++r)
    for (int s = 0; s < shape.signals; ++s) {
      for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = shape.wave(s, r + i / double(shape.rate));
      edfwrite_physical_samples(h, buffer.data());
    }
  for (const auto& [onset, text] : shape.annotations)
    edfwrite_annotation_utf8(h, static_cast<long long>(std::llround(onset * 10000)), -1, text.c_str());
  edfclose_file(h);
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The shapes converters write that EDFlib would not: a header written field
// by field with any reserved field ("EDF+C" without an annotations signal)
// and any duration field ("0.003906" for one sample of 256 Hz per record).
// Signals "Channel 1", ... from -250 to 250 uV; sample i of every signal is
// wave(signal, i / rate) at the rate the writer meant.
struct HandMadeEdf {
  std::string reserved;  // "", "EDF+C", "EDF+D"
  std::string duration = "1";
  int samplesPerRecord = 256;
  int records = 8;
  int signals = 2;
  double rate = 256;
  std::function<double(int signal, double t)> wave = [](int, double) { return 0.0; };
};

inline std::vector<std::uint8_t> WriteHandMadeEdf(const HandMadeEdf& e) {
  std::string h;
  const auto field = [&h](const std::string& text, std::size_t size) {
    h += text.substr(0, size) + std::string(size - std::min(size, text.size()), ' ');
  };
  field("0", 8);
  field("X X X X", 80);
  field("Startdate 14-MAR-2024 X X X", 80);
  field("14.03.24", 8);
  field("09.30.15", 8);
  field(std::to_string(256 * (e.signals + 1)), 8);
  field(e.reserved, 44);
  field(std::to_string(e.records), 8);
  field(e.duration, 8);
  field(std::to_string(e.signals), 4);
  const auto each = [&](const std::string& text, std::size_t size) {
    for (int s = 0; s < e.signals; ++s) field(text == "#" ? "Channel " + std::to_string(s + 1) : text, size);
  };
  each("#", 16);
  each("", 80);
  each("uV", 8);
  each("-250", 8);
  each("250", 8);
  each("-32768", 8);
  each("32767", 8);
  each("", 80);
  each(std::to_string(e.samplesPerRecord), 8);
  each("", 32);
  std::vector<std::uint8_t> out(h.begin(), h.end());
  for (int r = 0; r < e.records; ++r)
    for (int s = 0; s < e.signals; ++s)
      for (int i = 0; i < e.samplesPerRecord; ++i) {
        const double t = (static_cast<double>(r) * e.samplesPerRecord + i) / e.rate;
        const auto d = static_cast<std::int16_t>(std::lround(e.wave(s, t) * 65535.0 / 500.0 - 0.5));
        out.push_back(static_cast<std::uint8_t>(d & 0xFF));
        out.push_back(static_cast<std::uint8_t>((d >> 8) & 0xFF));
      }
  return out;
}

}  // namespace qs::test
