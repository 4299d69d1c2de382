#include "tools/monitorsim/MonitorSim.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "protocol/PacketEncoder.h"
#include "protocol/PacketFormat.h"
#include "record/RecordHeader.h"
#include "tools/recgen/RecordingGenerator.h"

namespace qs::monitorsim {
namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Splits a stream of packets (a record file's body) into the messages the
// framing parser finds in it; damaged bytes are left out.
void SplitPackets(const std::uint8_t* bytes, std::size_t n, std::vector<std::uint8_t>& out,
                  std::vector<std::pair<std::size_t, std::uint16_t>>& spans) {
  auto ring = std::make_unique<RxRing>();
  PacketParser parser(*ring, nullptr, nullptr);
  std::size_t at = 0;
  for (;;) {
    at += ring->Append(bytes + at, n - at);
    bool any = false;
    while (parser.ParsePacket() != 0) {
      any = true;
      spans.emplace_back(out.size(), static_cast<std::uint16_t>(parser.PacketLength()));
      out.insert(out.end(), parser.Packet(), parser.Packet() + parser.PacketLength());
    }
    if (at >= n) {
      if (parser.CurrentState() == PacketParser::State::Hunt) return;
      parser.AbandonPacket();
    } else if (!any && ring->FreeSpace() == 0) {
      return;  // cannot happen with packets of at most 2058 bytes
    }
  }
}

// A 52 re-sent in the extended form 53: 244 more payload bytes (zeros).
std::vector<std::uint8_t> As53(const std::uint8_t* p52) {
  constexpr int kExtra = 244;
  std::vector<std::uint8_t> out(p52, p52 + kProcessedBytes - 2);
  out.resize(kProcessedBytes - 2 + kExtra, 0);
  PutU16(out.data() + kOffDataLength, static_cast<std::uint16_t>(kProcessedBytes - 10 + kExtra));
  PutU32(out.data() + kOffMsgId, kMsgProcessedExt);
  PutU16(out.data() + kOffPayloadLength, static_cast<std::uint16_t>(120 + kExtra));
  const std::uint16_t sum = PacketChecksum(out.data(), out.size());
  out.push_back(static_cast<std::uint8_t>(sum));
  out.push_back(static_cast<std::uint8_t>(sum >> 8));
  return out;
}

bool ParseNumber(const std::string& text, double* value) {
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0';
}

}  // namespace

MonitorSim::MonitorSim(SimOptions options) : o_(std::move(options)) {}

MonitorSim::~MonitorSim() {
  Vanish();
  if (sendTimes_ != nullptr) std::fclose(sendTimes_);
}

void MonitorSim::CloseDevice() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = -1;
  slave_ = -1;
  streaming_ = false;
  if (!o_.linkPath.empty()) {
    std::error_code ec;
    if (std::filesystem::is_symlink(o_.linkPath, ec) &&
        std::filesystem::read_symlink(o_.linkPath, ec).string() == devicePath_)
      std::filesystem::remove(o_.linkPath, ec);
  }
}

void MonitorSim::Vanish() {
  CloseDevice();
  vanished_ = true;
}

bool MonitorSim::Open(std::string* error) {
  if (!o_.sendTimesPath.empty()) {
    sendTimes_ = std::fopen(o_.sendTimesPath.c_str(), "w");
    if (sendTimes_ == nullptr) {
      *error = "cannot write " + o_.sendTimesPath;
      return false;
    }
  }
  if (!OpenDevice(error)) return false;
  // The data is made now, so that a bad scenario or file is reported at once
  // and the stream starts without delay; a 256 Hz request makes it again.
  return LoadData(o_.engine == '4' ? RawLayout::FourChannels128 : RawLayout::TwoChannels128, error);
}

bool MonitorSim::OpenDevice(std::string* error) {
  int master = -1;
  if (::openpty(&master, &slave_, nullptr, nullptr, nullptr) != 0) {
    *error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  // Raw from the start; the program sets the same when it opens the device.
  // The simulator keeps its own slave descriptor open so that the device
  // stays usable between the program's runs.
  termios t{};
  if (::tcgetattr(slave_, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
  }
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  master_ = master;
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  const char* name = ::ttyname(slave_);
  if (name == nullptr) {
    *error = "cannot name the pseudo-terminal";
    return false;
  }
  devicePath_ = name;
  if (!o_.linkPath.empty()) {
    std::error_code ec;
    if (std::filesystem::is_symlink(o_.linkPath, ec)) std::filesystem::remove(o_.linkPath, ec);
    std::filesystem::create_symlink(devicePath_, o_.linkPath, ec);
    if (ec) {
      *error = "cannot make the link " + o_.linkPath + ": " + ec.message();
      return false;
    }
  }
  return true;
}

bool MonitorSim::LoadData(RawLayout layout, std::string* error) {
  std::vector<std::uint8_t> file;
  if (!o_.playPath.empty()) {
    if (loaded_) return true;  // a file plays as recorded, whatever was asked
    std::ifstream in(o_.playPath, std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) file.clear();
    if (file.size() <= static_cast<std::size_t>(kRecordHeaderBytes)) {
      *error = "cannot play " + o_.playPath + ": not a record file";
      return false;
    }
  } else {
    if (loaded_ && loadedLayout_ == layout) return true;
    recgen::GeneratorOptions g;
    g.seconds = o_.seconds;
    g.layout = layout;
    g.seed = o_.seed;
    if (!o_.scenario.empty()) {
      std::string problem = recgen::ParseScenario(o_.scenario, &g.scenario);
      if (problem.empty()) problem = recgen::ResolveScenario(&g.scenario, &g.seconds);
      if (!problem.empty()) {
        *error = "scenario: " + problem;
        return false;
      }
    }
    const std::string problem = recgen::CheckOptions(g);
    if (!problem.empty()) {
      *error = problem;
      return false;
    }
    file = recgen::GenerateRecording(g).bytes;
  }
  std::vector<std::uint8_t> body;
  std::vector<std::pair<std::size_t, std::uint16_t>> spans;
  SplitPackets(file.data() + kRecordHeaderBytes, file.size() - kRecordHeaderBytes, body, spans);
  data_.clear();
  packets_.clear();
  for (const auto& [offset, length] : spans) {
    const std::uint8_t* p = body.data() + offset;
    const std::uint16_t id = GetU16(p + kOffMsgId);
    Packet packet{data_.size(), length, id == kMsgRawEeg};
    if (o_.extended && id == kMsgProcessed) {
      const auto ext = As53(p);
      packet.length = static_cast<std::uint16_t>(ext.size());
      data_.insert(data_.end(), ext.begin(), ext.end());
    } else {
      data_.insert(data_.end(), p, p + length);
    }
    packets_.push_back(packet);
  }
  if (packets_.empty()) {
    *error = "no packets to play";
    return false;
  }
  loaded_ = true;
  loadedLayout_ = layout;
  return true;
}

bool MonitorSim::Run(const std::atomic<bool>& stop) {
  stop_ = &stop;
  std::uint8_t buffer[4096];
  while (!stop.load() && !vanished_) {
    if (faultEnds_ > 0.0) {
      const double now = Now();
      if (now >= faultEnds_) {
        EndFault(now);
        continue;
      }
      if (unplugged_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::clamp(
            static_cast<int>((faultEnds_ - now) * 1000.0), 1, 20)));
        continue;
      }
    }
    int timeoutMs = 20;
    if (streaming_ && faultEnds_ == 0.0) {
      const double due = startTime_ + (static_cast<double>(rawSent_ - streamStartRaw_) / 8.0) / o_.speed;
      timeoutMs = std::clamp(static_cast<int>((due - Now()) * 1000.0), 0, 20);
    }
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN) != 0) {
      const ssize_t got = ::read(master_, buffer, std::min(sizeof buffer, ring_.FreeSpace()));
      if (got > 0) ring_.Append(buffer, static_cast<std::size_t>(got));
      while (parser_.ParsePacket() != 0) HandleRequest(parser_.Packet(), parser_.PacketLength());
    }
    StreamDue(Now());
  }
  return true;
}

void MonitorSim::HandleRequest(const std::uint8_t* packet, int length) {
  const std::uint16_t id = GetU16(packet + kOffMsgId);
  const std::uint16_t seq = GetU16(packet + kOffPacketSeq);
  ReceivedRequest request{
      id,
      static_cast<std::uint16_t>(id == kMsgRequestStream && length >= 24 ? GetU16(packet + kOffPayload) : 0),
      false};
  const bool stopRequest = id == kMsgStopStream || id == kMsgStopVars;
  const bool answer = !o_.silent && !quiet_ && faultEnds_ == 0.0 && !(o_.ignoreStop && stopRequest);
  bool refuse = false;
  if (answer && o_.nakFirst && !(refusedAny_ && lastRefusedSeq_ == seq)) {
    refuse = true;
    refusedAny_ = true;
    lastRefusedSeq_ = seq;
  }
  request.acknowledged = answer && !refuse;
  if (o_.keepLog) {
    std::lock_guard hold(logMutex_);
    requests_.push_back(request);
  }
  if (!answer) return;
  scratch_.clear();
  AppendAck(scratch_, packetSeq_++, !refuse);
  SendBytes(scratch_.data(), scratch_.size());
  if (refuse) return;

  switch (id) {
    case kMsgRequestInfo: {
      MonitorInfo info;
      for (int i = 0; i < 4; ++i) {
        info.payload[4 * i] = static_cast<std::uint8_t>(recgen::kRevisions[i][0]);
        info.payload[4 * i + 1] = static_cast<std::uint8_t>(recgen::kRevisions[i][1]);
      }
      info.payload[19] = static_cast<std::uint8_t>(o_.engine);
      info.payload[27] = static_cast<std::uint8_t>(o_.model);
      for (int i = 0; i < (o_.noInfo ? 0 : o_.infoTwice ? 2 : 1); ++i) {
        scratch_.clear();
        AppendMonitorInfo(scratch_, packetSeq_++, 0, info);
        SendBytes(scratch_.data(), scratch_.size());
      }
      break;
    }
    case kMsgRequestStream: {
      const RawLayout layout = o_.engine == '4'      ? RawLayout::FourChannels128
                               : request.rate == 256 ? RawLayout::TwoChannels256
                                                     : RawLayout::TwoChannels128;
      std::string error;
      if (!LoadData(layout, &error)) return;  // nothing to stream
      next_ = 0;
      streamStartRaw_ = rawSent_;
      startTime_ = Now();
      streaming_ = true;
      break;
    }
    case kMsgStopStream:
      streaming_ = false;
      break;
    default:
      break;
  }
}

void MonitorSim::BeginFault(double now) {
  const SimOptions::Fault& f = o_.faults[nextFault_++];
  faultBegan_ = now;
  faultEnds_ = now + std::max(f.forSeconds, 0.001);
  unplugged_ = f.unplug;
  if (unplugged_) {
    // The cable is pulled between packets: what was sent has been read
    // (bounded, should nobody read it). The bytes written last may take a
    // moment to reach the device's input queue, so the queue must stay empty
    // for a while.
    int emptyFor = 0;
    for (int waited = 0; waited < 1000 && emptyFor < 100; waited += 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      int unread = 0;
      const bool empty = ::ioctl(slave_, FIONREAD, &unread) != 0 || unread <= 0;
      emptyFor = empty ? emptyFor + 10 : 0;
    }
    CloseDevice();
  }
  ++faultsBegun_;
}

void MonitorSim::EndFault(double now) {
  faultEnds_ = 0.0;
  if (!unplugged_) {
    // The stream goes on where it stopped, paced from now.
    startTime_ += now - faultBegan_;
    return;
  }
  unplugged_ = false;
  // Plugged in again: a monitor just switched on, at the same link.
  std::string error;
  if (!OpenDevice(&error)) {
    std::fprintf(stderr, "quellscope-monitor-sim: %s\n", error.c_str());
    vanished_ = true;
    return;
  }
  ring_.Reset();
  parser_.Reset();
  packetSeq_ = 0;
  refusedAny_ = false;
}

void MonitorSim::StreamDue(double now) {
  while (streaming_ && !vanished_ && faultEnds_ == 0.0) {
    const double due = startTime_ + (static_cast<double>(rawSent_ - streamStartRaw_) / 8.0) / o_.speed;
    if (due > now) return;
    const Packet& packet = packets_[next_];
    if (o_.noise) SendNoise();
    // The clock is read before a second's eighth raw message goes out: the
    // program may have handled it before SendBytes returns.
    const bool eighth = packet.raw && (rawSent_ + 1 - streamStartRaw_) % 8 == 0;
    const auto sentNs = eighth && sendTimes_ != nullptr
                            ? std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count()
                            : 0;
    SendBytes(data_.data() + packet.offset, packet.length);
    if (o_.keepLog) {
      std::lock_guard hold(logMutex_);
      streamed_.emplace_back(data_.begin() + static_cast<std::ptrdiff_t>(packet.offset),
                             data_.begin() + static_cast<std::ptrdiff_t>(packet.offset + packet.length));
    }
    if (packet.raw) {
      ++rawSent_;
      if (eighth && sendTimes_ != nullptr) {
        std::fprintf(sendTimes_, "%llu %lld\n",
                     static_cast<unsigned long long>((rawSent_ - streamStartRaw_) / 8 - 1),
                     static_cast<long long>(sentNs));
        std::fflush(sendTimes_);
      }
    }
    next_ = (next_ + 1) % packets_.size();
    const double seconds = static_cast<double>(rawSent_) / 8.0;
    dataSeconds_ = seconds;
    if (o_.vanishAfter >= 0.0 && seconds >= o_.vanishAfter) {
      Vanish();
      return;
    }
    if (o_.muteAfter >= 0.0 && seconds >= o_.muteAfter) {
      quiet_ = true;
      streaming_ = false;
    }
    if (nextFault_ < o_.faults.size() && seconds >= o_.faults[nextFault_].at) {
      BeginFault(Now());
      return;
    }
  }
}

void MonitorSim::SendNoise() {
  std::uint8_t noise[8];
  noiseState_ = noiseState_ * 1103515245u + 12345u;
  const int n = 1 + static_cast<int>((noiseState_ >> 16) % 8);
  for (int i = 0; i < n; ++i) {
    noiseState_ = noiseState_ * 1103515245u + 12345u;
    std::uint8_t b = static_cast<std::uint8_t>(noiseState_ >> 16);
    noise[i] = b == kSync0 ? 0x00 : b;
  }
  SendBytes(noise, static_cast<std::size_t>(n));
}

void MonitorSim::SendBytes(const std::uint8_t* bytes, std::size_t n) {
  std::size_t done = 0;
  while (done < n && master_ >= 0) {
    const ssize_t put = ::write(master_, bytes + done, n - done);
    if (put > 0) {
      done += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno != EAGAIN && errno != EINTR) return;
    if (stop_ != nullptr && stop_->load()) return;
    pollfd p{master_, POLLOUT, 0};
    ::poll(&p, 1, 20);
  }
}

std::vector<std::vector<std::uint8_t>> MonitorSim::Streamed() const {
  std::lock_guard hold(logMutex_);
  return streamed_;
}

std::vector<ReceivedRequest> MonitorSim::Requests() const {
  std::lock_guard hold(logMutex_);
  return requests_;
}

// ---------------------------------------------------------------- command line

std::string SimUsage() {
  return "usage: quellscope-monitor-sim [options]\n"
         "Plays a monitor on a pseudo-terminal and prints the device path; point\n"
         "COM_Device (Kvo_V2000.ini) or quellscope-cli acquire --device at it.\n"
         "  --link PATH         also make PATH a symlink to the device\n"
         "  --model C           model character of message 1102 (C, V, other)\n"
         "  --engine B          engine character (B, 4 = four channels and 1122, other)\n"
         "  --speed N           N seconds of data per second (default 1)\n"
         "  --play FILE.eeg     stream the file's packets as recorded, re-paced\n"
         "  --scenario TEXT     generated EEG, as quellscope-recgen --scenario (default awake)\n"
         "  --seconds N         seconds of generated data before it starts again (default 600)\n"
         "  --seed N            generator seed (default 1)\n"
         "  --send-times FILE   a line \"SECOND NANOSECONDS\" (steady clock) when the eighth\n"
         "                      raw EEG message of each second has been sent\n"
         "  --ext53             processed variables as message 53 instead of 52\n"
         "  --nak-first         refuse every request once before acknowledging it\n"
         "  --info-twice        answer 1004 with two messages 1102\n"
         "  --no-info           acknowledge 1004 but never send 1102\n"
         "faults:\n"
         "  --silent            never answer\n"
         "  --mute-after N      stop answering and sending after N s of data\n"
         "  --vanish-after N    close the pseudo-terminal after N s of data\n"
         "  --noise             line noise between packets\n"
         "  --ignore-stop       never acknowledge 112 and 116\n"
         "  --pause-at S --pause-for N\n"
         "                      after S s of data, send and answer nothing for N s of\n"
         "                      wall time, then go on streaming\n"
         "  --unplug-at S --unplug-for N\n"
         "                      after S s of data, close the device and remove the link\n"
         "                      for N s of wall time, then come back at the same link as\n"
         "                      a freshly started monitor (give --link)\n"
         "  (S counts all data streamed; both may be given together and repeated)\n";
}

SimCommandLine ParseSimCommandLine(const std::vector<std::string>& args) {
  SimCommandLine c;
  SimOptions& o = c.options;
  // --pause-at/--pause-for and --unplug-at/--unplug-for pair up in order.
  std::vector<double> times[4];
  const char* const timeOptions[4] = {"--pause-at", "--pause-for", "--unplug-at", "--unplug-for"};
  for (std::size_t i = 0; i < args.size() && c.error.empty(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    const auto value = [&]() -> std::string { return args[++i]; };
    const auto number = [&](double* out, double min) {
      const std::string v = value();
      if (!ParseNumber(v, out) || *out < min)
        c.error = a + " needs a number of at least " + std::to_string(min) + ", not '" + v + "'";
    };
    double d = 0.0;
    if (a == "--help" || a == "-h") {
      c.help = true;
    } else if (a == "--nak-first") {
      o.nakFirst = true;
    } else if (a == "--ext53") {
      o.extended = true;
    } else if (a == "--info-twice") {
      o.infoTwice = true;
    } else if (a == "--no-info") {
      o.noInfo = true;
    } else if (a == "--silent") {
      o.silent = true;
    } else if (a == "--noise") {
      o.noise = true;
    } else if (a == "--ignore-stop") {
      o.ignoreStop = true;
    } else if (!hasValue) {
      c.error = "unexpected argument '" + a + "'";
    } else if (a == "--link") {
      o.linkPath = value();
    } else if (a == "--model" || a == "--engine") {
      const std::string v = value();
      if (v.size() != 1)
        c.error = a + " needs one character";
      else
        (a == "--model" ? o.model : o.engine) = v[0];
    } else if (a == "--speed") {
      number(&d, 0.01);
      o.speed = d;
    } else if (a == "--play") {
      o.playPath = value();
    } else if (a == "--send-times") {
      o.sendTimesPath = value();
    } else if (a == "--scenario") {
      o.scenario = value();
    } else if (a == "--seconds") {
      number(&d, 1);
      o.seconds = static_cast<int>(d);
    } else if (a == "--seed") {
      number(&d, 0);
      o.seed = static_cast<std::uint64_t>(d);
    } else if (a == "--mute-after") {
      number(&d, 0);
      o.muteAfter = d;
    } else if (a == "--vanish-after") {
      number(&d, 0);
      o.vanishAfter = d;
    } else if (const auto* t = std::find_if(std::begin(timeOptions), std::end(timeOptions),
                                            [&](const char* name) { return a == name; });
               t != std::end(timeOptions)) {
      number(&d, 0);
      times[t - std::begin(timeOptions)].push_back(d);
    } else {
      c.error = "unexpected argument '" + a + "'";
    }
  }
  for (int kind = 0; kind < 2 && c.error.empty(); ++kind) {
    const auto& at = times[2 * kind];
    const auto& lasts = times[2 * kind + 1];
    if (at.size() != lasts.size()) {
      c.error = std::string(timeOptions[2 * kind]) + " and " + timeOptions[2 * kind + 1] + " come in pairs";
      break;
    }
    for (std::size_t i = 0; i < at.size(); ++i) o.faults.push_back({kind == 1, at[i], lasts[i]});
  }
  std::stable_sort(o.faults.begin(), o.faults.end(),
                   [](const SimOptions::Fault& x, const SimOptions::Fault& y) { return x.at < y.at; });
  if (c.error.empty() && o.linkPath.empty() &&
      std::any_of(o.faults.begin(), o.faults.end(), [](const SimOptions::Fault& f) { return f.unplug; }))
    c.error = "--unplug-at needs --link: the device comes back under a new name";
  return c;
}

}  // namespace qs::monitorsim
