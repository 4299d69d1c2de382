#pragma once
// Packet record files (".eeg") with known content, written as the receive
// thread would have recorded a monitor's traffic: the 128-byte header, the
// processed-variables message that brought the calibration (read by the
// replay, not replayed), then per second eight raw EEG messages (50) and one
// processed-variables message (52 for two channels, 1122 for four).
//
// Numbering, chosen to look like a monitor that has been running a while:
//   packet sequence numbers   kFirstPacketSeq for the calibration message,
//                             then +1 per packet, wrapping at 65536;
//   raw EEG sequence numbers  8 x (kFirstSecondNumber + s) + j for message j
//                             of second s, so each second starts at a
//                             multiple of 8 (16-bit, wrapping);
//   processed sequence        kFirstSecondNumber - 1 for the calibration
//                             message, kFirstSecondNumber + s for second s.
// Packet k (counting from 0 after the header): k = 0 is the calibration
// message; second s has its raw messages at k = 1 + 9s .. 8 + 9s and its
// processed message at k = 9 + 9s.
//
// Samples are counts = round(uV / gain + offset), rounded half away from zero
// and clamped to the int16 range, with gain and offset the fractions carried
// in every processed message (default gain 1/32 uV per count, offset 0).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/MonitorMessages.h"
#include "protocol/PacketEncoder.h"
#include "tools/recgen/SyntheticEeg.h"

namespace qs::recgen {

inline constexpr int kFirstSecondNumber = 100;
inline constexpr std::uint16_t kFirstPacketSeq = 1000;
inline constexpr int kMaxSeconds = 86400;
// Revisions written into the monitor information of the header (major,
// minor): system, host, engine, serial protocol.
inline constexpr std::int8_t kRevisions[4][2] = {{2, 10}, {1, 5}, {3, 2}, {1, 0}};

// Record layouts: "128", "256", "4ch".
const char* LayoutName(RawLayout layout);
bool LayoutFromName(const std::string& name, RawLayout* layout);
// A letter or digit: what the model and engine characters of a header may be.
bool HeaderCharacterOk(char c);
int LayoutSampleRate(RawLayout layout);        // 128, 256, 128
int LayoutBytesPerSecond(RawLayout layout);    // 862, 1374, 1542
int LayoutFirstPacketBytes(RawLayout layout);  // 142 (a 52) or 310 (a 1122)

// Monitor variables in the message's own units (BIS x 0.1, SEF x 0.01 Hz,
// BSR x 0.1 %, SQI x 0.1 %, EMG x 0.01); kNotAvailable for "not available".
inline constexpr std::int16_t kNotAvailable = -1;
struct MonitorOverrides {
  std::optional<std::int16_t> bis, sef, bsr, sqi, emg;
};

// A segment of the scenario: the signal model and, optionally, the monitor
// variables sent during it.
struct ScenarioSegment {
  Segment eeg;
  MonitorOverrides monitor;
};

// Defaults of the monitor variables by model, for channel 0 (channel c sends
// BIS and SEF lowered by c x 1.0 and c x 0.5 Hz so that the blocks differ):
//   awake BIS 92, SEF 21 Hz, BSR 0 %, SQI 100 %, EMG 40
//   deep BIS 40, SEF 12 Hz, BSR 0 %, SQI 100 %, EMG 28
//   bs BIS 25, SEF 8 Hz, BSR = fraction, SQI 100 %, EMG 26
//   qpc, qpc-random BIS 60, SEF 15 Hz, BSR 0 %, SQI 100 %, EMG 30
// A segment's own values take precedence over the recording's, which take
// precedence over these defaults; a value set explicitly is sent unchanged
// on every channel.
ChannelVariables DefaultVariables(const Segment& segment, int channel);

enum class ArtifactKind {
  Spike,      // sample rate/2 of the second, on every channel, set to `microvolts`
  Overshoot,  // samples rate/4 .. rate/2 - 1 of the second, every channel, held at `microvolts`
  Flags,      // ARTF2 word of the second's processed message (every block), ORed in
};
inline constexpr double kDefaultSpikeMicrovolts = 500.0;
inline constexpr double kDefaultOvershootMicrovolts = 400.0;

struct Artifact {
  ArtifactKind kind = ArtifactKind::Spike;
  int second = 0;
  double microvolts = kDefaultSpikeMicrovolts;
  std::uint32_t flags = 0;
};

enum class DamageKind {
  Checksum,  // packet k keeps its length but its checksum is off by one
  Garbage,   // `bytes` bytes behind packet k; never the sync byte 0xBA, so they
             // cannot start a false packet and every packet stays readable
  Cut,       // packet k written without its last `bytes` bytes
};

struct Damage {
  DamageKind kind = DamageKind::Checksum;
  int packet = 0;
  int bytes = 0;
};

struct GeneratorOptions {
  int seconds = 60;
  int startHour = 10, startMinute = 0, startSecond = 0;
  RawLayout layout = RawLayout::TwoChannels128;
  // Header characters; 0 picks the layout's natural monitor: 'C' and 'B' for
  // two channels, 'V' and '4' for four. Four channels require 'V' and '4'
  // (the replay reads four channels only from such a file) and 256 Hz cannot
  // be combined with 'V' (which the replay forces to 128 Hz).
  char model = 0;
  char engine = 0;
  // Empty: awake for the whole duration.
  std::vector<ScenarioSegment> scenario;
  std::uint64_t seed = 1;
  MonitorOverrides monitor;
  std::vector<Artifact> artifacts;
  std::vector<Damage> damage;
  std::int32_t gainNum = 1, gainDen = 32;
  std::int32_t offsetNum = 0, offsetDen = 1;
};

// One packet as it stands in the file.
struct PacketInfo {
  std::size_t offset = 0;  // from the start of the file
  int length = 0;          // bytes in the file (shorter when cut)
  int intactLength = 0;
  std::uint16_t id = 0;
  std::uint16_t packetSeq = 0;
  std::uint16_t msgSeq = 0;
  int second = -1;       // -1 for the calibration message
  bool damaged = false;  // checksum or cut: the parser must drop this packet
};

struct GeneratedRecording {
  std::vector<std::uint8_t> bytes;
  RawLayout layout = RawLayout::TwoChannels128;
  int sampleRate = 128;
  int channels = 2;
  int seconds = 0;  // seconds generated
  // What the replay's pre-scan derives from the length: (length - 270) div
  // BytesPerSecond. Equals `seconds` unless garbage made the file longer.
  int fileSeconds = 0;
  int bytesPerSecond = 0;
  // counts[c]: every sample of channel c in file order (seconds x rate), as
  // generated; damaged packets still hold theirs.
  std::vector<std::vector<std::int16_t>> counts;
  // monitor[s][b]: the variable block b of second s's processed message, for
  // every block the message has (3 for a 52, 4 for a 1122).
  std::vector<std::vector<ChannelVariables>> monitor;
  ProcessedMessage calibration;     // the first packet
  std::vector<SecondTruth> truth;   // per second
  std::vector<PacketInfo> packets;  // in file order
  std::vector<Damage> damage;       // as applied, ordered by packet
};

// Empty when the options describe a recording; otherwise what is wrong.
std::string CheckOptions(const GeneratorOptions& options);

// Throws std::invalid_argument with CheckOptions' text for bad options.
GeneratedRecording GenerateRecording(const GeneratorOptions& options);

// Writes the bytes; false (and why in *error) when the file cannot be written.
bool WriteRecording(const std::string& path, const GeneratedRecording& recording,
                    std::string* error = nullptr);

// ---------------------------------------------------------------------------
// The command line of quellscope-recgen.

struct CommandLine {
  GeneratorOptions options;
  std::string outPath;
  bool help = false;
  std::string error;  // empty when the arguments are usable
};

// args without the program name. Also checks the options (CheckOptions).
CommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string UsageText();
// "wrote FILE: N s, B bytes, layout L (C channels, R Hz)".
std::string Summary(const std::string& path, const GeneratedRecording& recording);

// The text forms, each returning an empty string or what is wrong.
// "NAME[:FROM-TO][:KEY=VALUE[,KEY=VALUE...]][,NAME...]": appends to segments;
// a segment without range runs from the end of the one before it (or 0) to
// the end of the recording (to = -1 until ResolveScenario).
std::string ParseScenario(const std::string& text, std::vector<ScenarioSegment>* segments);
// Fills open ends; seconds < 0 means "not given": then the duration is the
// last explicit end, or 60 s when the last segment is open.
std::string ResolveScenario(std::vector<ScenarioSegment>* segments, int* seconds);
std::string ParseArtifact(const std::string& text, Artifact* artifact);  // spike@S[=UV] ...
std::string ParseDamage(const std::string& text, Damage* damage);        // checksum@K ...
// "na" or a number in the variable's unit (scale: 10 for BIS, BSR, SQI; 100 for SEF, EMG).
std::string ParseMonitorValue(const std::string& text, int scale, std::optional<std::int16_t>* value);

}  // namespace qs::recgen
