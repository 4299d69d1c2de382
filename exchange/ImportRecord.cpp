#include "exchange/ImportRecord.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "core/BlockRing.h"
#include "protocol/PacketEncoder.h"
#include "record/RecordHeader.h"

namespace qs {

static_assert((kImportFilledFlag & kMonitorFlagMask) == kImportFilledFlag,
              "a filled second must be rejected by the analysis");

namespace {

constexpr std::uint16_t kFirstPacketSeq = 1;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

bool NearestFraction(double value, double tol, std::int64_t maxDen, std::int32_t& num, std::int32_t& den) {
  if (!std::isfinite(value) || std::fabs(value) > 2e9) return false;
  const double sign = value < 0 ? -1 : 1;
  double x = std::fabs(value);
  // Convergents h/k of the continued fraction of |value|.
  std::int64_t h0 = 0, h1 = 1, k0 = 1, k1 = 0;
  double rest = x;
  for (int i = 0; i < 64; ++i) {
    const double a = std::floor(rest);
    if (a > 4e9) break;
    const std::int64_t ai = static_cast<std::int64_t>(a);
    const std::int64_t h2 = ai * h1 + h0, k2 = ai * k1 + k0;
    if (k2 > maxDen || h2 > std::numeric_limits<std::int32_t>::max()) break;
    h0 = h1, h1 = h2, k0 = k1, k1 = k2;
    if (std::fabs(x - static_cast<double>(h1) / static_cast<double>(k1)) <= tol) break;
    const double frac = rest - a;
    if (frac < 1e-15) break;
    rest = 1 / frac;
  }
  if (k1 == 0) return false;
  num = static_cast<std::int32_t>(sign * static_cast<double>(h1));
  den = static_cast<std::int32_t>(k1);
  return true;
}

double MicrovoltsPer(const std::string& dimension, bool* assumed) {
  *assumed = false;
  const std::string d = Lower(dimension);
  if (d == "uv" || d == "\xb5v" || d == "\xc2\xb5v" || d == "microvolt") return 1;
  if (d == "mv") return 1e3;
  if (d == "v") return 1e6;
  if (d == "nv") return 1e-3;
  if (d.empty()) {
    *assumed = true;
    return 1;
  }
  return 0;
}

std::optional<ImportCalibration> SpanCalibration(double low, double high, double precision,
                                                 std::string* error) {
  ImportCalibration c;
  const double exactGain = (high - low) / 65535.0;
  const double tol = std::min(precision / 65535.0, 1e-4 * exactGain);
  if (!(high > low) || !NearestFraction(exactGain, tol, std::int64_t{1} << 24, c.gainNum, c.gainDen) ||
      c.gainNum == 0) {
    *error = "the physical range " + std::to_string(low) + " .. " + std::to_string(high) +
             " uV cannot be expressed as a calibration";
    return std::nullopt;
  }
  const double offset = -32768.0 - low / c.Gain();
  if (std::fabs(offset - std::round(offset)) < 1e-3 && std::fabs(offset) < 2e9) {
    c.offsetNum = static_cast<std::int32_t>(std::round(offset));
    c.offsetDen = 1;
  } else if (!NearestFraction(offset, 1e-4, 1 << 20, c.offsetNum, c.offsetDen)) {
    *error = "the physical range cannot be expressed as a calibration offset";
    return std::nullopt;
  }
  return c;
}

std::optional<ImportCalibration> ExactCalibration(double gain, double offset) {
  ImportCalibration c;
  if (!(gain > 0) || !NearestFraction(gain, 1e-9 * gain, std::int64_t{1} << 24, c.gainNum, c.gainDen) ||
      c.gainNum == 0 || std::fabs(c.Gain() - gain) > 1e-9 * gain)
    return std::nullopt;
  if (!NearestFraction(offset, 1e-9, 1 << 20, c.offsetNum, c.offsetDen) ||
      std::fabs(c.Offset() - offset) > 1e-9)
    return std::nullopt;
  return c;
}

void AppendCounts(const std::vector<double>& microvolts, const ImportCalibration& calibration,
                  std::vector<std::int16_t>& counts, long& clipped) {
  const double gain = calibration.Gain(), offset = calibration.Offset();
  counts.reserve(counts.size() + microvolts.size());
  for (double v : microvolts) {
    const double count = std::round(v / gain + offset);
    if (count < -32768 || count > 32767) ++clipped;
    counts.push_back(static_cast<std::int16_t>(std::clamp(count, -32768.0, 32767.0)));
  }
}

std::vector<std::uint8_t> BuildImportRecord(const ImportRecordInput& input) {
  RecordHeader header;
  header.rateHz = kImportRate;
  const int start = ((input.startSecondOfDay % 86400) + 86400) % 86400;
  header.hour = start / 3600;
  header.minute = start / 60 % 60;
  header.second = start % 60;
  header.info.payload[19] = 'B';
  header.info.payload[27] = 'C';
  const RecordHeaderBytes headerBytes = BuildRecordHeader(header);
  std::vector<std::uint8_t> out(headerBytes.begin(), headerBytes.end());
  out.reserve(out.size() + static_cast<std::size_t>(input.seconds + 1) * (8 * 120 + 160));
  ProcessedMessage processed;
  processed.gainNum = input.calibration.gainNum;
  processed.gainDen = input.calibration.gainDen;
  processed.offsetNum = input.calibration.offsetNum;
  processed.offsetDen = input.calibration.offsetDen;
  const auto setVariables = [&](int second) {
    ChannelVariables blocks[2];
    for (ChannelVariables& b : blocks) b.bis = b.sef = b.bsr = b.sqi = b.emgLow = -1;
    if (input.variables) input.variables(second, blocks);
    for (int c = 0; c < 4; ++c) processed.channels[c] = blocks[c == 1 ? 1 : 0];
  };
  std::uint16_t packetSeq = kFirstPacketSeq;
  setVariables(-1);
  AppendProcessed52(out, packetSeq++, 0xFFFF, processed);
  std::int16_t frame[32];
  for (int s = 0; s < input.seconds; ++s) {
    for (int j = 0; j < 8; ++j) {
      for (int i = 0; i < 16; ++i) {
        const std::size_t at = static_cast<std::size_t>(s) * kImportRate + static_cast<std::size_t>(j) * 16 +
                               static_cast<std::size_t>(i);
        frame[2 * i] = (*input.counts[0])[at];
        frame[2 * i + 1] = (*input.counts[1])[at];
      }
      AppendRawEeg(out, packetSeq++, static_cast<std::uint16_t>(8 * s + j), RawLayout::TwoChannels128, frame);
    }
    setVariables(s);
    AppendProcessed52(out, packetSeq++, static_cast<std::uint16_t>(s), processed);
  }
  return out;
}

bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot open " + path;
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

std::string CommentsPathFor(const std::string& recordPath) {
  return std::filesystem::path(recordPath).replace_extension(".cmt").string();
}

bool WriteCommentLines(const std::string& path, const std::vector<std::string>& lines, std::string* error) {
  std::ofstream comments(path, std::ios::binary | std::ios::trunc);
  for (const std::string& line : lines) comments << line << "\r\n";
  comments.close();
  if (!comments) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace qs
