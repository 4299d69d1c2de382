#include "tools/recgen/RecordingGenerator.h"

#include <algorithm>
#include <cmath>
#include <fstream>
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

bool HeaderCharacterOk(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

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

std::string Summary(const std::string& path, const GeneratedRecording& r) {
  return "wrote " + path + ": " + std::to_string(r.seconds) + " s, " + std::to_string(r.bytes.size()) +
         " bytes, layout " + LayoutName(r.layout) + " (" + std::to_string(r.channels) + " channels at " +
         std::to_string(r.sampleRate) + " Hz)";
}

}  // namespace qs::recgen
