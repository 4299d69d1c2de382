#pragma once
// The simulated monitor behind quellscope-monitor-sim: a pseudo-terminal whose
// far side plays the monitor's part of the dialogue. It acknowledges requests
// (optionally with one negative acknowledgement first), answers 1004 with
// message 1102 carrying the chosen model and engine characters, and after
// request 111 streams eight raw EEG messages and one processed-variables
// message (52, 53 or 1122) per second of data, paced in real time or N times
// faster, until 112. The EEG comes from the recording generator's scenarios
// or from a record file, whose packets are sent as recorded, re-paced: every
// raw EEG message takes 1/8 s. At the end of the data it starts again from
// the beginning.
//
// Fault modes: never answer (silent); go quiet after N seconds of data (no
// answers, no data); vanish after N seconds (close the pseudo-terminal); line
// noise between packets (bytes that never contain the sync byte 0xBA, so every
// packet stays readable); ignore the stop requests. And the operating room's
// passing faults, each after S seconds of data streamed (counted over the
// whole life of the simulator), as often as given: a pause (nothing sent or
// answered for N seconds of wall time, then the stream goes on where it
// stopped) and an unplug (the pseudo-terminal closes and the link is removed
// for N seconds; then a new one appears at the same link as a freshly started
// monitor, which needs the whole start sequence again).
//
// Headless: the tests run it on a thread of their own.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/MonitorMessages.h"
#include "protocol/PacketParser.h"
#include "protocol/RxRing.h"

namespace qs::monitorsim {

struct SimOptions {
  std::string linkPath;    // a symlink to the device, made at Open and removed at the end
  bool nakFirst = false;   // every request is refused once, then acknowledged
  char model = 'C';        // payload byte 27 of 1102
  char engine = 'B';       // payload byte 19 of 1102; '4' streams four channels and 1122
  double speed = 1.0;      // seconds of data per second of time
  bool extended = false;   // processed variables as message 53 rather than 52
  bool infoTwice = false;  // answer 1004 with two messages 1102
  bool noInfo = false;     // acknowledge 1004 but never send 1102
  // EEG source: a record file, or a generated scenario (recgen's text form).
  std::string playPath;
  std::string scenario;  // empty: awake
  int seconds = 600;     // of generated data before it starts again
  std::uint64_t seed = 1;
  // Faults (seconds of data streamed; negative: never).
  bool silent = false;
  double muteAfter = -1.0;
  double vanishAfter = -1.0;
  bool noise = false;
  bool ignoreStop = false;
  struct Fault {
    bool unplug = false;
    double at = 0.0;          // seconds of data streamed
    double forSeconds = 0.0;  // of wall time
  };
  std::vector<Fault> faults;  // in the order they happen
  bool keepLog = false;  // keep every streamed packet and request (tests)
  // A line "SECOND TIME" per second of data streamed, written when its eighth
  // raw EEG message has gone out: the second's number from the start of the
  // stream and the steady clock in nanoseconds, which every process on the
  // machine shares (the latency benchmark).
  std::string sendTimesPath;
};

// Parses the command line (without the program name); error empty when usable.
struct SimCommandLine {
  SimOptions options;
  bool help = false;
  std::string error;
};
SimCommandLine ParseSimCommandLine(const std::vector<std::string>& args);
std::string SimUsage();

struct ReceivedRequest {
  std::uint16_t id = 0;
  std::uint16_t rate = 0;  // payload of 111
  bool acknowledged = false;
};

class MonitorSim {
 public:
  explicit MonitorSim(SimOptions options);
  ~MonitorSim();
  MonitorSim(const MonitorSim&) = delete;
  MonitorSim& operator=(const MonitorSim&) = delete;

  // Creates the pseudo-terminal (and the symlink) and loads or generates the
  // data. False with *error when that fails.
  bool Open(std::string* error);
  const std::string& DevicePath() const { return devicePath_; }
  // Plays the monitor until stop is set, or until it vanishes by its fault
  // mode. Returns false when the pseudo-terminal failed.
  bool Run(const std::atomic<bool>& stop);

  // What it did, for tests (keepLog).
  std::vector<std::vector<std::uint8_t>> Streamed() const;
  std::vector<ReceivedRequest> Requests() const;
  // Seconds of data streamed so far.
  double DataSeconds() const { return dataSeconds_.load(); }
  bool Streaming() const { return streaming_.load(); }
  // The device is there (not unplugged, not vanished).
  bool Plugged() const { return master_ >= 0; }
  // Pauses and unplugs begun so far.
  int FaultsBegun() const { return faultsBegun_.load(); }

 private:
  struct Packet {
    std::size_t offset = 0;
    std::uint16_t length = 0;
    bool raw = false;
  };
  bool LoadData(RawLayout layout, std::string* error);
  void HandleRequest(const std::uint8_t* packet, int length);
  void StreamDue(double now);
  void SendBytes(const std::uint8_t* bytes, std::size_t n);
  void SendNoise();
  void Vanish();
  bool OpenDevice(std::string* error);
  void CloseDevice();
  void BeginFault(double now);
  void EndFault(double now);

  SimOptions o_;
  std::atomic<int> master_{-1};
  int slave_ = -1;
  std::string devicePath_;
  std::uint16_t packetSeq_ = 0;
  std::uint16_t lastRefusedSeq_ = 0;
  bool refusedAny_ = false;
  bool loaded_ = false;
  RawLayout loadedLayout_ = RawLayout::TwoChannels128;
  std::vector<std::uint8_t> data_;  // the packets to stream, back to back
  std::vector<Packet> packets_;
  std::size_t next_ = 0;
  double startTime_ = 0.0;
  std::uint64_t rawSent_ = 0;
  std::uint32_t noiseState_ = 12345;
  const std::atomic<bool>* stop_ = nullptr;
  std::atomic<bool> streaming_{false};
  std::atomic<double> dataSeconds_{0.0};
  bool quiet_ = false;
  bool vanished_ = false;
  std::size_t nextFault_ = 0;
  double faultBegan_ = 0.0;
  double faultEnds_ = 0.0;  // while a fault lasts: when it ends (steady seconds)
  bool unplugged_ = false;
  std::atomic<int> faultsBegun_{0};
  std::vector<std::uint8_t> scratch_;
  std::FILE* sendTimes_ = nullptr;
  std::uint64_t streamStartRaw_ = 0;
  RxRing ring_;
  PacketParser parser_{ring_, nullptr, nullptr};
  mutable std::mutex logMutex_;
  std::vector<std::vector<std::uint8_t>> streamed_;
  std::vector<ReceivedRequest> requests_;
};

}  // namespace qs::monitorsim
