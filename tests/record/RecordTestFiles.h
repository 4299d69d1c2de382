#pragma once
// Small record files built packet by packet, for the record and replay tests.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "protocol/PacketEncoder.h"
#include "record/RecordHeader.h"

namespace qs::test {

// Revisions: system 1.00, host 2.05, engine 3.10, serial protocol 4.00.
inline MonitorInfo InfoWith(char engine, char model) {
  MonitorInfo info;
  for (const auto& [at, value] :
       {std::pair{0, 1}, {4, 2}, {5, 5}, {8, 3}, {9, 10}, {12, 4}, {19, int{engine}}, {27, int{model}}})
    info.payload[at] = static_cast<std::uint8_t>(value);
  return info;
}

// A record file in memory: header, the first (calibration) message, then
// whole seconds of eight raw EEG messages and one processed-variables message.
class RecordBuilder {
 public:
  RecordBuilder(RawLayout layout, int hour, int minute, int second, char model = 'C', char engine = 'B')
      : layout_(layout) {
    const RecordHeaderBytes b = BuildRecordHeader(
        {layout == RawLayout::TwoChannels256 ? 256 : 128, hour, minute, second, InfoWith(engine, model)});
    bytes.assign(b.begin(), b.end());
    AppendVars();
  }

  // One second; sample value of channel c in frame i of message m of this
  // second is Sample(second, m, i, c).
  void AddSecond() {
    const int ch = RawChannels(layout_);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(ch * RawFrames(layout_)));
    for (int m = 0; m < 8; ++m) {
      for (int k = 0; k < int(samples.size()); ++k) samples[k] = Sample(seconds, m, k / ch, k % ch);
      AppendRawEeg(bytes, packetSeq_++, rawSeq_++, layout_, samples);
    }
    ++seconds;
    for (int c = 0; c < 4; ++c) {
      auto& v = calibration.channels[c];
      std::tie(v.bis, v.sef, v.bsr, v.artifactFlags) =
          std::tuple(900 - seconds, 2150 + c, seconds, seconds * 16 + c);
    }
    AppendVars();
  }

  static std::int16_t Sample(int second, int message, int frame, int channel) {
    return static_cast<std::int16_t>((second * 8 + message) * 7 + frame * 3 - channel * 1000 +
                                     (frame % 2 ? -5 : 4));
  }

  std::string Save(const std::filesystem::path& path) const {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  std::vector<std::uint8_t> bytes;
  ProcessedMessage calibration{.gainNum = 1, .gainDen = 32, .engineByte = 0};
  int seconds = 0;

 private:
  void AppendVars() {
    (layout_ == RawLayout::FourChannels128 ? AppendProcessed1122 : AppendProcessed52)(
        bytes, packetSeq_++, varsSeq_++, calibration);
  }

  RawLayout layout_;
  std::uint16_t packetSeq_ = 1000, rawSeq_ = 800, varsSeq_ = 100;
};

}  // namespace qs::test
