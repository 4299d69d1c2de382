#include "tools/recgen/RecordingGenerator.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>

#include "protocol/PacketFormat.h"
#include "record/RecordHeader.h"

namespace qs::recgen {

// ---------------------------------------------------------------------------
// Layouts

const char* LayoutName(RawLayout layout) {
  switch (layout) {
    case RawLayout::TwoChannels128:
      return "128";
    case RawLayout::TwoChannels256:
      return "256";
    case RawLayout::FourChannels128:
      return "4ch";
  }
  return "?";
}

bool LayoutFromName(const std::string& name, RawLayout* layout) {
  for (RawLayout l : {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
    if (name == LayoutName(l)) {
      *layout = l;
      return true;
    }
  }
  return false;
}

int LayoutSampleRate(RawLayout layout) {
  return layout == RawLayout::TwoChannels256 ? 256 : 128;
}

int LayoutFirstPacketBytes(RawLayout layout) {
  return layout == RawLayout::FourChannels128 ? kProcessed4Bytes : kProcessedBytes;
}

int LayoutBytesPerSecond(RawLayout layout) {
  return 8 * RawPacketBytes(layout) + LayoutFirstPacketBytes(layout);
}

// ---------------------------------------------------------------------------
// Monitor variables

ChannelVariables DefaultVariables(const Segment& segment, int channel) {
  struct Defaults {
    int bis, sef, sqi, emg;
  };
  Defaults d{920, 2100, 1000, 4000};
  int bsr = 0;
  switch (segment.kind) {
    case SegmentKind::Awake:
      break;
    case SegmentKind::Deep:
      d = {400, 1200, 1000, 2800};
      break;
    case SegmentKind::BurstSuppression:
      d = {250, 800, 1000, 2600};
      bsr = static_cast<int>(std::floor(segment.fraction * 1000.0 + 0.5));
      break;
    case SegmentKind::Qpc:
    case SegmentKind::QpcRandom:
      d = {600, 1500, 1000, 3000};
      break;
  }
  ChannelVariables v;
  v.bis = static_cast<std::int16_t>(d.bis - 10 * channel);
  v.sef = static_cast<std::int16_t>(d.sef - 50 * channel);
  v.bsr = static_cast<std::int16_t>(bsr);
  v.sqi = static_cast<std::int16_t>(d.sqi);
  v.emgLow = static_cast<std::int16_t>(d.emg);
  return v;
}

namespace {

void ApplyOverrides(const MonitorOverrides& o, ChannelVariables* v) {
  if (o.bis) v->bis = *o.bis;
  if (o.sef) v->sef = *o.sef;
  if (o.bsr) v->bsr = *o.bsr;
  if (o.sqi) v->sqi = *o.sqi;
  if (o.emg) v->emgLow = *o.emg;
}

char ModelOf(const GeneratorOptions& o) {
  if (o.model != 0) return o.model;
  return o.layout == RawLayout::FourChannels128 ? 'V' : 'C';
}

char EngineOf(const GeneratorOptions& o) {
  if (o.engine != 0) return o.engine;
  return o.layout == RawLayout::FourChannels128 ? '4' : 'B';
}

std::vector<Segment> EegSegments(const GeneratorOptions& o) {
  std::vector<Segment> segments;
  if (o.scenario.empty()) {
    if (o.seconds > 0) segments.push_back(Segment{0, o.seconds, SegmentKind::Awake});
  } else {
    for (const ScenarioSegment& s : o.scenario) segments.push_back(s.eeg);
  }
  return segments;
}

bool HeaderCharacterOk(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

const char* DamageName(DamageKind kind) {
  switch (kind) {
    case DamageKind::Checksum:
      return "checksum";
    case DamageKind::Garbage:
      return "garbage";
    case DamageKind::Cut:
      return "cut";
  }
  return "?";
}

const char* ArtifactName(ArtifactKind kind) {
  switch (kind) {
    case ArtifactKind::Spike:
      return "spike";
    case ArtifactKind::Overshoot:
      return "overshoot";
    case ArtifactKind::Flags:
      return "flags";
  }
  return "?";
}

std::int16_t ToCounts(double microvolts, double gain, double offset) {
  const double counts = microvolts / gain + offset;
  const double rounded = counts < 0 ? -std::floor(-counts + 0.5) : std::floor(counts + 0.5);
  return static_cast<std::int16_t>(std::clamp(rounded, -32768.0, 32767.0));
}

}  // namespace

// ---------------------------------------------------------------------------
// Generation

std::string CheckOptions(const GeneratorOptions& o) {
  std::ostringstream why;
  if (o.seconds < 0 || o.seconds > kMaxSeconds) {
    why << "the duration must be 0 to " << kMaxSeconds << " s, not " << o.seconds;
    return why.str();
  }
  if (o.startHour < 0 || o.startHour > 23 || o.startMinute < 0 || o.startMinute > 59 || o.startSecond < 0 ||
      o.startSecond > 59)
    return "the start time must be a time of day from 00:00:00 to 23:59:59";
  const char model = ModelOf(o);
  const char engine = EngineOf(o);
  if (!HeaderCharacterOk(model)) return "the model character must be a letter or a digit";
  if (!HeaderCharacterOk(engine)) return "the engine character must be a letter or a digit";
  if (o.layout == RawLayout::FourChannels128 && (model != 'V' || engine != '4'))
    return "layout 4ch needs model V and engine 4: the replay reads four channels only from such a file";
  if (o.layout == RawLayout::TwoChannels256 && model == 'V')
    return "layout 256 cannot have model V: the replay plays a model V file at 128 Hz";
  if (o.gainNum == 0 || o.gainDen == 0 || (o.gainNum > 0) != (o.gainDen > 0))
    return "the gain fraction must be positive";
  if (o.offsetDen == 0) return "the offset fraction needs a denominator other than 0";

  if (std::string s = CheckSegments(EegSegments(o), o.seconds, LayoutSampleRate(o.layout)); !s.empty())
    return s;

  for (const Artifact& a : o.artifacts) {
    if (a.second < 0 || a.second >= o.seconds) {
      why << ArtifactName(a.kind) << "@" << a.second << ": the recording has seconds 0 to " << o.seconds - 1;
      return why.str();
    }
    if (a.kind != ArtifactKind::Flags && !(std::fabs(a.microvolts) <= 1.0e6)) {
      why << ArtifactName(a.kind) << "@" << a.second << ": the amplitude must be within +-1000000 uV";
      return why.str();
    }
  }

  const int packetCount = 1 + 9 * o.seconds;
  std::map<std::pair<int, DamageKind>, int> seen;
  for (const Damage& d : o.damage) {
    const std::string name = std::string(DamageName(d.kind)) + "@" + std::to_string(d.packet);
    if (d.packet < 0 || d.packet >= packetCount) {
      why << name << ": the recording has packets 0 to " << packetCount - 1;
      return why.str();
    }
    if (seen[{d.packet, d.kind}]++ > 0) {
      why << name << ": that packet already has this damage";
      return why.str();
    }
    // Packets 9s (s >= 0) are processed-variables messages, the others raw EEG.
    const int length = d.packet % 9 == 0 ? LayoutFirstPacketBytes(o.layout) : RawPacketBytes(o.layout);
    if (d.kind == DamageKind::Cut && (d.bytes < 1 || d.bytes >= length)) {
      why << name << ": packet " << d.packet << " has " << length << " bytes; cut 1 to " << length - 1;
      return why.str();
    }
    if (d.kind == DamageKind::Garbage && (d.bytes < 1 || d.bytes > 1000000)) {
      why << name << ": insert 1 to 1000000 garbage bytes";
      return why.str();
    }
  }
  for (const auto& [key, count] : seen) {
    if (key.second == DamageKind::Checksum && seen.count({key.first, DamageKind::Cut}) > 0) {
      why << "packet " << key.first << " cannot be both cut and given a wrong checksum";
      return why.str();
    }
  }
  return {};
}

GeneratedRecording GenerateRecording(const GeneratorOptions& o) {
  if (const std::string why = CheckOptions(o); !why.empty()) throw std::invalid_argument(why);

  GeneratedRecording rec;
  rec.layout = o.layout;
  rec.sampleRate = LayoutSampleRate(o.layout);
  rec.channels = RawChannels(o.layout);
  rec.seconds = o.seconds;
  rec.bytesPerSecond = LayoutBytesPerSecond(o.layout);
  const bool four = o.layout == RawLayout::FourChannels128;
  const int blocks = four ? 4 : 3;
  const int frames = RawFrames(o.layout);  // 8 x frames = the sampling rate

  const std::vector<Segment> segments = EegSegments(o);
  SyntheticEeg eeg(rec.sampleRate, rec.channels, segments, o.seed);
  rec.truth = eeg.Truth();

  const double gain = static_cast<double>(o.gainNum) / o.gainDen;
  const double offset = static_cast<double>(o.offsetNum) / o.offsetDen;

  ProcessedMessage message;
  message.gainNum = o.gainNum;
  message.gainDen = o.gainDen;
  message.offsetNum = o.offsetNum;
  message.offsetDen = o.offsetDen;
  message.engineByte = 0;  // a 52 with engine byte 0 tells the replay: engine kind 1

  // The variables of second s (or, for s < 0, those of the calibration
  // message: second 0's without artifact flags).
  const auto variablesOf = [&](int s, int block) {
    const int second = std::max(s, 0);
    const bool any = second < o.seconds;
    const Segment segment = any ? segments[rec.truth[second].segment] : Segment{};
    ChannelVariables v = DefaultVariables(segment, block);
    ApplyOverrides(o.monitor, &v);
    if (any && !o.scenario.empty()) ApplyOverrides(o.scenario[rec.truth[second].segment].monitor, &v);
    if (s >= 0)
      for (const Artifact& a : o.artifacts)
        if (a.kind == ArtifactKind::Flags && a.second == s) v.artifactFlags |= a.flags;
    return v;
  };

  // The intact packet stream first; damage is applied while copying it out.
  std::vector<std::uint8_t> body;
  body.reserve(static_cast<std::size_t>(LayoutFirstPacketBytes(o.layout)) +
               static_cast<std::size_t>(o.seconds) * rec.bytesPerSecond);
  std::uint16_t packetSeq = kFirstPacketSeq;
  const auto note = [&](std::size_t start, std::uint16_t id, std::uint16_t msgSeq, int second) {
    PacketInfo p;
    p.offset = start;
    p.intactLength = p.length = static_cast<int>(body.size() - start);
    p.id = id;
    p.packetSeq = packetSeq;
    p.msgSeq = msgSeq;
    p.second = second;
    rec.packets.push_back(p);
    ++packetSeq;
  };
  const auto appendProcessed = [&](std::uint16_t msgSeq, int second) {
    const std::size_t start = body.size();
    if (four) {
      AppendProcessed1122(body, packetSeq, msgSeq, message);
    } else {
      AppendProcessed52(body, packetSeq, msgSeq, message);
    }
    note(start, four ? kMsgProcessed4 : kMsgProcessed, msgSeq, second);
  };

  for (int b = 0; b < blocks; ++b) message.channels[b] = variablesOf(-1, b);
  rec.calibration = message;
  appendProcessed(static_cast<std::uint16_t>(kFirstSecondNumber - 1), -1);

  rec.counts.assign(static_cast<std::size_t>(rec.channels), {});
  for (auto& channel : rec.counts) channel.reserve(static_cast<std::size_t>(o.seconds) * rec.sampleRate);
  rec.monitor.reserve(static_cast<std::size_t>(o.seconds));

  std::vector<std::vector<double>> uv;
  std::vector<std::int16_t> interleaved(static_cast<std::size_t>(frames * rec.channels));
  for (int s = 0; s < o.seconds; ++s) {
    eeg.NextSecond(uv);
    for (const Artifact& a : o.artifacts) {
      if (a.second != s) continue;
      if (a.kind == ArtifactKind::Spike) {
        for (auto& channel : uv) channel[rec.sampleRate / 2] = a.microvolts;
      } else if (a.kind == ArtifactKind::Overshoot) {
        for (auto& channel : uv)
          std::fill(channel.begin() + rec.sampleRate / 4, channel.begin() + rec.sampleRate / 2, a.microvolts);
      }
    }
    const std::size_t firstSample = rec.counts[0].size();
    for (int c = 0; c < rec.channels; ++c)
      for (double v : uv[c]) rec.counts[c].push_back(ToCounts(v, gain, offset));

    const int secondNumber = kFirstSecondNumber + s;
    for (int j = 0; j < 8; ++j) {
      for (int f = 0; f < frames; ++f)
        for (int c = 0; c < rec.channels; ++c)
          interleaved[f * rec.channels + c] =
              rec.counts[c][firstSample + static_cast<std::size_t>(j * frames + f)];
      const auto msgSeq = static_cast<std::uint16_t>(8 * secondNumber + j);
      const std::size_t start = body.size();
      AppendRawEeg(body, packetSeq, msgSeq, o.layout, interleaved);
      note(start, kMsgRawEeg, msgSeq, s);
    }

    std::vector<ChannelVariables> blocksOfSecond;
    for (int b = 0; b < blocks; ++b) {
      message.channels[b] = variablesOf(s, b);
      blocksOfSecond.push_back(message.channels[b]);
    }
    rec.monitor.push_back(std::move(blocksOfSecond));
    appendProcessed(static_cast<std::uint16_t>(secondNumber), s);
  }

  // The file: header, then every packet with its damage.
  RecordHeader header;
  header.rateHz = rec.sampleRate == 256 ? 256 : 128;
  header.hour = o.startHour;
  header.minute = o.startMinute;
  header.second = o.startSecond;
  for (int r = 0; r < 4; ++r) {
    header.info.payload[4 * r] = static_cast<std::uint8_t>(kRevisions[r][0]);
    header.info.payload[4 * r + 1] = static_cast<std::uint8_t>(kRevisions[r][1]);
  }
  header.info.payload[19] = static_cast<std::uint8_t>(EngineOf(o));
  header.info.payload[27] = static_cast<std::uint8_t>(ModelOf(o));
  const RecordHeaderBytes headerBytes = BuildRecordHeader(header);
  rec.bytes.assign(headerBytes.begin(), headerBytes.end());
  rec.bytes.reserve(rec.bytes.size() + body.size());

  rec.damage = o.damage;
  std::stable_sort(rec.damage.begin(), rec.damage.end(),
                   [](const Damage& a, const Damage& b) { return a.packet < b.packet; });
  auto damage = rec.damage.begin();
  for (std::size_t k = 0; k < rec.packets.size(); ++k) {
    PacketInfo& p = rec.packets[k];
    const std::uint8_t* src = body.data() + p.offset;
    p.offset = rec.bytes.size();
    rec.bytes.insert(rec.bytes.end(), src, src + p.intactLength);
    int garbage = 0;
    for (; damage != rec.damage.end() && damage->packet == static_cast<int>(k); ++damage) {
      switch (damage->kind) {
        case DamageKind::Checksum: {
          std::uint8_t* sum = rec.bytes.data() + p.offset + p.intactLength - 2;
          PutU16(sum, static_cast<std::uint16_t>(GetU16(sum) + 1));
          p.damaged = true;
          break;
        }
        case DamageKind::Cut:
          rec.bytes.resize(rec.bytes.size() - static_cast<std::size_t>(damage->bytes));
          p.length = p.intactLength - damage->bytes;
          p.damaged = true;
          break;
        case DamageKind::Garbage:
          garbage = damage->bytes;
          break;
      }
    }
    if (garbage > 0) {
      Rng rng(DeriveSeed(o.seed, 0x6A7B0000ull + k));
      for (int i = 0; i < garbage; ++i) {
        std::uint8_t byte;
        do {
          byte = static_cast<std::uint8_t>(rng.Next() >> 56);
        } while (byte == kSync0);
        rec.bytes.push_back(byte);
      }
    }
  }

  const std::size_t lead = kRecordHeaderBytes + kProcessedBytes;  // what the pre-scan assumes
  rec.fileSeconds =
      rec.bytes.size() < lead ? 0 : static_cast<int>((rec.bytes.size() - lead) / rec.bytesPerSecond);
  return rec;
}

bool WriteRecording(const std::string& path, const GeneratedRecording& recording, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) {
    out.write(reinterpret_cast<const char*>(recording.bytes.data()),
              static_cast<std::streamsize>(recording.bytes.size()));
    out.close();
  }
  if (!out) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Text forms

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  while (true) {
    const std::size_t end = text.find(separator, begin);
    parts.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
    if (end == std::string::npos) return parts;
    begin = end + 1;
  }
}

template <typename T>
bool ParseInteger(const std::string& text, T* value, int base = 10) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *value, base);
  return ec == std::errc() && ptr == end;
}

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, *value);
  return ec == std::errc() && ptr == end && std::isfinite(*value);
}

// "S" or "S=VALUE" behind "NAME@".
bool SplitAt(const std::string& text, std::string* name, std::string* where, std::string* value,
             bool* hasValue) {
  const std::size_t at = text.find('@');
  if (at == std::string::npos) return false;
  *name = text.substr(0, at);
  const std::string rest = text.substr(at + 1);
  const std::size_t eq = rest.find('=');
  *hasValue = eq != std::string::npos;
  *where = rest.substr(0, eq);
  *value = *hasValue ? rest.substr(eq + 1) : std::string();
  return true;
}

std::string SegmentLabel(const std::string& text) {
  return "scenario segment '" + text + "'";
}

// Applies KEY=VALUE to a segment.
std::string ApplyParameter(const std::string& parameter, const std::string& label, ScenarioSegment* s) {
  const std::size_t eq = parameter.find('=');
  if (eq == std::string::npos) return label + ": '" + parameter + "' is not KEY=VALUE";
  const std::string key = parameter.substr(0, eq);
  const std::string value = parameter.substr(eq + 1);
  struct Monitor {
    const char* key;
    int scale;
    std::optional<std::int16_t> MonitorOverrides::*field;
  };
  static const Monitor kMonitor[] = {{"bis", 10, &MonitorOverrides::bis},
                                     {"sef", 100, &MonitorOverrides::sef},
                                     {"bsr", 10, &MonitorOverrides::bsr},
                                     {"sqi", 10, &MonitorOverrides::sqi},
                                     {"emg", 100, &MonitorOverrides::emg}};
  for (const Monitor& m : kMonitor) {
    if (key != m.key) continue;
    const std::string why = ParseMonitorValue(value, m.scale, &(s->monitor.*m.field));
    return why.empty() ? why : label + ": " + key + ": " + why;
  }
  double number = 0.0;
  double* target = nullptr;
  const SegmentKind kind = s->eeg.kind;
  if (key == "scale") {
    target = &s->eeg.scale;
  } else if (key == "alpha" && kind == SegmentKind::Awake) {
    target = &s->eeg.alphaHz;
  } else if (key == "fraction" && kind == SegmentKind::BurstSuppression) {
    target = &s->eeg.fraction;
  } else if (key == "f1" && (kind == SegmentKind::Qpc || kind == SegmentKind::QpcRandom)) {
    target = &s->eeg.f1;
  } else if (key == "f2" && (kind == SegmentKind::Qpc || kind == SegmentKind::QpcRandom)) {
    target = &s->eeg.f2;
  }
  if (target == nullptr) {
    std::string own;
    if (kind == SegmentKind::Awake) own = "alpha, ";
    if (kind == SegmentKind::BurstSuppression) own = "fraction, ";
    if (kind == SegmentKind::Qpc || kind == SegmentKind::QpcRandom) own = "f1, f2, ";
    return label + ": unknown parameter '" + key + "' (" + SegmentKindName(kind) + " takes " + own +
           "scale, bis, sef, bsr, sqi, emg)";
  }
  if (!ParseNumber(value, &number)) return label + ": " + key + " needs a number, not '" + value + "'";
  *target = number;
  return {};
}

}  // namespace

std::string ParseMonitorValue(const std::string& text, int scale, std::optional<std::int16_t>* value) {
  if (text == "na") {
    *value = kNotAvailable;
    return {};
  }
  double number = 0.0;
  if (!ParseNumber(text, &number)) return "'" + text + "' is neither a number nor na";
  const double scaled = std::floor(number * scale + 0.5);
  if (scaled < 0.0) return "'" + text + "' is negative (write na for not available)";
  if (scaled > 32767.0) return "'" + text + "' is too large for the message field";
  *value = static_cast<std::int16_t>(scaled);
  return {};
}

std::string ParseScenario(const std::string& text, std::vector<ScenarioSegment>* segments) {
  if (text.empty()) return "the scenario is empty";
  ScenarioSegment* current = nullptr;
  std::string currentText;
  for (const std::string& token : Split(text, ',')) {
    const bool parameterOnly = token.find(':') == std::string::npos && token.find('=') != std::string::npos;
    if (parameterOnly) {
      if (current == nullptr) return "scenario '" + text + "' starts with a parameter, not a model name";
      if (std::string why = ApplyParameter(token, SegmentLabel(currentText), current); !why.empty())
        return why;
      continue;
    }
    const std::vector<std::string> parts = Split(token, ':');
    ScenarioSegment segment;
    segment.eeg.from = -1;
    segment.eeg.to = -1;
    if (!SegmentKindFromName(parts[0], &segment.eeg.kind))
      return "unknown scenario model '" + parts[0] + "' (use awake, deep, bs, qpc or qpc-random)";
    segments->push_back(segment);
    current = &segments->back();
    currentText = token;
    const std::string label = SegmentLabel(token);
    for (std::size_t i = 1; i < parts.size(); ++i) {
      const std::string& part = parts[i];
      if (part.find('=') != std::string::npos) {
        if (std::string why = ApplyParameter(part, label, current); !why.empty()) return why;
        continue;
      }
      const std::size_t dash = part.find('-');
      if (i != 1 || dash == std::string::npos || !ParseInteger(part.substr(0, dash), &current->eeg.from) ||
          !ParseInteger(part.substr(dash + 1), &current->eeg.to))
        return label + ": '" + part + "' is neither a range FROM-TO in seconds nor KEY=VALUE";
    }
  }
  return {};
}

std::string ResolveScenario(std::vector<ScenarioSegment>* segments, int* seconds) {
  auto& list = *segments;
  for (std::size_t i = 0; i < list.size(); ++i) {
    Segment& s = list[i].eeg;
    if (s.from < 0) s.from = i == 0 ? 0 : list[i - 1].eeg.to;
    if (s.from < 0)
      return std::string("scenario segments ") + SegmentKindName(list[i - 1].eeg.kind) + " and " +
             SegmentKindName(s.kind) + " meet without a given second: give one of them a range";
    if (s.to < 0 && i + 1 < list.size()) s.to = list[i + 1].eeg.from;
  }
  if (*seconds < 0) {
    if (list.empty() || list.back().eeg.to >= 0) {
      *seconds = list.empty() ? 60 : list.back().eeg.to;
    } else if (list.back().eeg.from < 60) {
      *seconds = 60;
    } else {
      return std::string("the last scenario segment (") + SegmentKindName(list.back().eeg.kind) +
             ") starts at second " + std::to_string(list.back().eeg.from) +
             ": give it an end or give --seconds";
    }
  }
  if (!list.empty() && list.back().eeg.to < 0) list.back().eeg.to = *seconds;
  return {};
}

std::string ParseArtifact(const std::string& text, Artifact* artifact) {
  std::string name, where, value;
  bool hasValue = false;
  if (!SplitAt(text, &name, &where, &value, &hasValue))
    return "'" + text + "' is not KIND@SECOND (spike@S, overshoot@S or flags@S=HEX)";
  if (name == "spike") {
    artifact->kind = ArtifactKind::Spike;
    artifact->microvolts = kDefaultSpikeMicrovolts;
  } else if (name == "overshoot") {
    artifact->kind = ArtifactKind::Overshoot;
    artifact->microvolts = kDefaultOvershootMicrovolts;
  } else if (name == "flags") {
    artifact->kind = ArtifactKind::Flags;
  } else {
    return "unknown artifact '" + name + "' in '" + text + "' (use spike, overshoot or flags)";
  }
  if (!ParseInteger(where, &artifact->second) || artifact->second < 0)
    return "'" + text + "': '" + where + "' is not a second number";
  if (artifact->kind == ArtifactKind::Flags) {
    std::string hex = value;
    if (hex.size() > 2 && hex[0] == '0' && (hex[1] == 'x' || hex[1] == 'X')) hex = hex.substr(2);
    if (!hasValue || !ParseInteger(hex, &artifact->flags, 16))
      return "'" + text + "': flags need a 32-bit hexadecimal word, as in flags@" + where + "=0x00000040";
  } else if (hasValue && !ParseNumber(value, &artifact->microvolts)) {
    return "'" + text + "': '" + value + "' is not an amplitude in microvolts";
  }
  return {};
}

std::string ParseDamage(const std::string& text, Damage* damage) {
  std::string name, where, value;
  bool hasValue = false;
  if (!SplitAt(text, &name, &where, &value, &hasValue))
    return "'" + text + "' is not KIND@PACKET (checksum@K, garbage@K=N or cut@K=N)";
  if (name == "checksum") {
    damage->kind = DamageKind::Checksum;
  } else if (name == "garbage") {
    damage->kind = DamageKind::Garbage;
  } else if (name == "cut") {
    damage->kind = DamageKind::Cut;
  } else {
    return "unknown damage '" + name + "' in '" + text + "' (use checksum, garbage or cut)";
  }
  if (!ParseInteger(where, &damage->packet) || damage->packet < 0)
    return "'" + text + "': '" + where + "' is not a packet number";
  damage->bytes = 0;
  if (damage->kind == DamageKind::Checksum) {
    if (hasValue) return "'" + text + "': checksum damage takes no byte count";
  } else if (!hasValue || !ParseInteger(value, &damage->bytes) || damage->bytes < 1) {
    return "'" + text + "': " + name + " needs a byte count, as in " + name + "@" + where + "=10";
  }
  return {};
}

// ---------------------------------------------------------------------------
// Command line

std::string UsageText() {
  return "usage: quellscope-recgen --out FILE [options]\n"
         "\n"
         "Writes a packet record file (.eeg) of synthetic EEG with known content, as the\n"
         "program would have recorded it from a monitor: header, calibration message,\n"
         "then per second eight raw EEG messages (50) and one processed-variables\n"
         "message (52, or 1122 for four channels).\n"
         "\n"
         "options:\n"
         "  --out FILE          the record file to write (required)\n"
         "  --seconds N         duration in seconds, 0 to 86400 (default: the end of the\n"
         "                      scenario, or 60)\n"
         "  --start HH:MM:SS    time of day in the header (default 10:00:00)\n"
         "  --layout L          128: two channels at 128 Hz (default)\n"
         "                      256: two channels at 256 Hz\n"
         "                      4ch: four channels at 128 Hz (message 1122)\n"
         "  --model C|V|X       model character in the header (default C; V for 4ch);\n"
         "                      any other letter or digit stands for an unknown model\n"
         "  --engine B|4|X      engine character in the header (default B; 4 for 4ch)\n"
         "  --scenario LIST     signal models over time, comma separated:\n"
         "                        NAME[:FROM-TO][:KEY=VALUE[,KEY=VALUE...]]\n"
         "                      NAME is awake, deep, bs (burst suppression), qpc\n"
         "                      (quadratic phase coupling at f1, f2, f1+f2) or\n"
         "                      qpc-random (the same spectrum, no coupling). FROM-TO\n"
         "                      are seconds, end excluded; without them a segment runs\n"
         "                      on from the one before to the next (or the end).\n"
         "                      Keys: scale (amplitude factor), alpha (awake, Hz),\n"
         "                      fraction (bs, suppressed share 0..1, default 0.5),\n"
         "                      f1, f2 (qpc, Hz, default 4 and 6), and bis, sef, bsr,\n"
         "                      sqi, emg (monitor values of the segment, as below).\n"
         "                      Example: awake:0-150,deep:150-300,bs:300-450:fraction=0.5,\n"
         "                      awake:450-600. Default: awake throughout.\n"
         "  --bis V             monitor BIS (0..100) for the whole recording\n"
         "  --sef V             monitor SEF95 in Hz\n"
         "  --bsr V             monitor burst suppression ratio in %\n"
         "  --sqi V             monitor signal quality index in %\n"
         "  --emg V             monitor EMG low\n"
         "                      each value may be \"na\" (not available); defaults follow\n"
         "                      the scenario (awake BIS 92, deep 40, bs 25, qpc 60)\n"
         "  --artifact A        may be repeated:\n"
         "                        spike@S[=UV]      one sample (the middle one) of second S\n"
         "                                          at UV microvolts (default 500)\n"
         "                        overshoot@S[=UV]  the second quarter of second S held at\n"
         "                                          UV microvolts (default 400)\n"
         "                        flags@S=HEX       artifact flag word (ARTF2) of second S\n"
         "  --damage D          may be repeated; packet K counts from 0 (the calibration\n"
         "                      message) in file order, second S has packets 9S+1..9S+9:\n"
         "                        checksum@K        wrong checksum in packet K\n"
         "                        garbage@K=N       N garbage bytes after packet K\n"
         "                        cut@K=N           packet K written N bytes short\n"
         "  --gain NUM/DEN      microvolts per count (default 1/32)\n"
         "  --offset NUM/DEN    count offset (default 0/1)\n"
         "  --seed N            random seed (default 1); the same seed gives the same file\n"
         "  --help              this text\n"
         "\n"
         "Exit status: 0 written, 1 the file could not be written, 2 bad arguments.\n";
}

namespace {

bool ParseFraction(const std::string& text, std::int32_t* num, std::int32_t* den) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) {
    *den = 1;
    return ParseInteger(text, num);
  }
  return ParseInteger(text.substr(0, slash), num) && ParseInteger(text.substr(slash + 1), den);
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine cl;
  GeneratorOptions& o = cl.options;
  int seconds = -1;
  bool outGiven = false;
  static const char* const kWithValue[] = {
      "--out", "--seconds", "--start", "--layout",   "--model",  "--engine", "--scenario", "--bis", "--sef",
      "--bsr", "--sqi",     "--emg",   "--artifact", "--damage", "--gain",   "--offset",   "--seed"};
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      cl.help = true;
      return cl;
    }

  const auto fail = [&](const std::string& why) {
    cl.error = why;
    return cl;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string option = args[i];
    std::string value;
    bool inlineValue = false;
    if (option.rfind("--", 0) != 0)
      return fail("unexpected argument '" + option + "' (options start with --)");
    if (const std::size_t eq = option.find('='); eq != std::string::npos) {
      value = option.substr(eq + 1);
      option.resize(eq);
      inlineValue = true;
    }
    const bool known = std::find_if(std::begin(kWithValue), std::end(kWithValue),
                                    [&](const char* k) { return option == k; }) != std::end(kWithValue);
    if (!known) return fail("unknown option '" + option + "'");
    if (!inlineValue) {
      if (i + 1 >= args.size()) return fail("option '" + option + "' needs a value");
      value = args[++i];
    }
    const auto bad = [&](const std::string& why) { return fail("option '" + option + "': " + why); };

    if (option == "--out") {
      if (value.empty()) return bad("the file name is empty");
      cl.outPath = value;
      outGiven = true;
    } else if (option == "--seconds") {
      if (!ParseInteger(value, &seconds) || seconds < 0 || seconds > kMaxSeconds)
        return bad("'" + value + "' is not a whole number of seconds from 0 to " +
                   std::to_string(kMaxSeconds));
    } else if (option == "--start") {
      const std::vector<std::string> hms = Split(value, ':');
      if (hms.size() != 3 || !ParseInteger(hms[0], &o.startHour) || !ParseInteger(hms[1], &o.startMinute) ||
          !ParseInteger(hms[2], &o.startSecond) || o.startHour < 0 || o.startHour > 23 || o.startMinute < 0 ||
          o.startMinute > 59 || o.startSecond < 0 || o.startSecond > 59)
        return bad("'" + value + "' is not a time of day HH:MM:SS");
    } else if (option == "--layout") {
      if (!LayoutFromName(value, &o.layout)) return bad("'" + value + "' is not 128, 256 or 4ch");
    } else if (option == "--model" || option == "--engine") {
      if (value.size() != 1 || !HeaderCharacterOk(value[0]))
        return bad("'" + value + "' is not a single letter or digit");
      (option == "--model" ? o.model : o.engine) = value[0];
    } else if (option == "--scenario") {
      if (std::string why = ParseScenario(value, &o.scenario); !why.empty()) return bad(why);
    } else if (option == "--bis" || option == "--bsr" || option == "--sqi") {
      auto& field = option == "--bis" ? o.monitor.bis : option == "--bsr" ? o.monitor.bsr : o.monitor.sqi;
      if (std::string why = ParseMonitorValue(value, 10, &field); !why.empty()) return bad(why);
    } else if (option == "--sef" || option == "--emg") {
      auto& field = option == "--sef" ? o.monitor.sef : o.monitor.emg;
      if (std::string why = ParseMonitorValue(value, 100, &field); !why.empty()) return bad(why);
    } else if (option == "--artifact") {
      Artifact artifact;
      if (std::string why = ParseArtifact(value, &artifact); !why.empty()) return bad(why);
      o.artifacts.push_back(artifact);
    } else if (option == "--damage") {
      Damage damage;
      if (std::string why = ParseDamage(value, &damage); !why.empty()) return bad(why);
      o.damage.push_back(damage);
    } else if (option == "--gain") {
      if (!ParseFraction(value, &o.gainNum, &o.gainDen)) return bad("'" + value + "' is not NUM/DEN");
    } else if (option == "--offset") {
      if (!ParseFraction(value, &o.offsetNum, &o.offsetDen)) return bad("'" + value + "' is not NUM/DEN");
    } else if (option == "--seed") {
      if (!ParseInteger(value, &o.seed)) return bad("'" + value + "' is not a whole number from 0 to 2^64-1");
    }
  }
  if (!outGiven) return fail("missing required option '--out FILE'");
  if (std::string why = ResolveScenario(&o.scenario, &seconds); !why.empty()) return fail(why);
  o.seconds = seconds;
  if (std::string why = CheckOptions(o); !why.empty()) return fail(why);
  return cl;
}

std::string Summary(const std::string& path, const GeneratedRecording& r) {
  return "wrote " + path + ": " + std::to_string(r.seconds) + " s, " + std::to_string(r.bytes.size()) +
         " bytes, layout " + LayoutName(r.layout) + " (" + std::to_string(r.channels) + " channels at " +
         std::to_string(r.sampleRate) + " Hz)";
}

}  // namespace qs::recgen
