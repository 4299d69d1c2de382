// The generator's options as text: scenarios, artifacts, damage, monitor
// values, the usage text and the command line.
#include <algorithm>
#include <charconv>
#include <cmath>

#include "tools/recgen/RecordingGenerator.h"

namespace qs::recgen {

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
  } else if (key == "alpha" && (kind == SegmentKind::Awake || kind == SegmentKind::Deep)) {
    target = &s->eeg.alphaHz;
  } else if (key == "falpha" && kind == SegmentKind::Deep) {
    target = &s->eeg.frontalAlpha;
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
    if (kind == SegmentKind::Deep) own = "falpha, alpha, ";
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
         "                      falpha (deep: RMS uV of a frontal alpha at alpha Hz),\n"
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

}  // namespace qs::recgen
