// Fuzz target: the framing parser and the message decoders, as the receive
// thread runs them on whatever the serial line delivers.
//
// The input is the byte stream. It is parsed twice: whole, and in pieces whose
// sizes come from the stream's own bytes; both must hand out the same
// messages. Every message handed out must be a whole data packet with a right
// checksum and at least the smallest length of its kind; it then goes, as an
// exactly sized copy (so that ASan sees any read beyond it), through the
// decoders and the raw EEG store of every layout and channel the run may have.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "protocol/MonitorMessages.h"
#include "protocol/PacketParser.h"
#include "core/RawEegStore.h"
#include "protocol/RxRing.h"
#include "platform/Events.h"

namespace {

using qs::RawLayout;

struct Receiver {
  qs::EventGroup group;
  qs::AutoResetEvent ack{group};
  qs::AutoResetEvent nak{group};
  qs::RxRing ring;
  qs::PacketParser parser{ring, &ack, &nak};
};

struct Message {
  std::uint16_t id;
  std::vector<std::uint8_t> bytes;
  bool operator==(const Message&) const = default;
};

void CheckPacket(const Receiver& r, std::uint16_t id) {
  const std::uint8_t* p = r.parser.Packet();
  const int length = r.parser.PacketLength();
  QS_FUZZ_CHECK(length >= 10 + qs::kMessageHeaderBytes && length <= qs::kMaxPacketBytes);
  QS_FUZZ_CHECK(p[0] == qs::kSync0 && p[1] == qs::kSync1);
  QS_FUZZ_CHECK(qs::GetU16(p + qs::kOffType) == 1);
  QS_FUZZ_CHECK(qs::GetU16(p + qs::kOffDataLength) + 10 == length);
  QS_FUZZ_CHECK(qs::PacketChecksum(p, static_cast<std::size_t>(length) - 2) == qs::GetU16(p + length - 2));
  QS_FUZZ_CHECK(qs::GetU16(p + qs::kOffMsgId) == id && id != 0);
  if (id == qs::kMsgRawEeg) QS_FUZZ_CHECK(length >= qs::kRawEegBytes128);
  if (id == qs::kMsgProcessed) QS_FUZZ_CHECK(length == qs::kProcessedBytes);
  if (id == qs::kMsgProcessed4) QS_FUZZ_CHECK(length == qs::kProcessed4Bytes);
}

// The decoders read the message at fixed offsets: give them exactly its bytes.
void Decode(std::uint16_t id, const std::vector<std::uint8_t>& bytes) {
  const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[bytes.size()]);
  std::memcpy(copy.get(), bytes.data(), bytes.size());
  const std::uint8_t* p = copy.get();
  const int length = static_cast<int>(bytes.size());
  switch (id) {
    case qs::kMsgRawEeg: {
      static qs::RawWaveBuffer wave;
      static qs::PacketSecondRing seconds;
      for (RawLayout layout :
           {RawLayout::TwoChannels128, RawLayout::TwoChannels256, RawLayout::FourChannels128}) {
        // Both link threads check the length against the layout first.
        if (length != qs::RawPacketBytes(layout)) continue;
        for (int channel = 0; channel < 4; ++channel) {
          qs::StoreRawEeg(p, layout, channel, true, channel == 0, wave, seconds);
          QS_FUZZ_CHECK(wave.Wave128Pending >= 0 && wave.Wave128Pending <= qs::RawWaveBuffer::kSize128);
          QS_FUZZ_CHECK(wave.Wave128Write >= 0 && wave.Wave128Write < qs::RawWaveBuffer::kSize128);
          QS_FUZZ_CHECK(wave.Wave256Write >= 0 && wave.Wave256Write < qs::RawWaveBuffer::kSize256);
          if (wave.Wave128Pending > qs::RawWaveBuffer::kSize128 - 64) wave.ResetPositions();
        }
      }
      break;
    }
    case qs::kMsgProcessed:
    case qs::kMsgProcessed4:
      if (id == qs::kMsgProcessed) qs::ProcessedSaysEngineKind1(p);
      qs::DecodeCalibration(p, id);
      for (int channel = 0; channel < 4; ++channel) qs::DecodeChannel(p, id, channel);
      break;
    case qs::kMsgMonitorInfo:
      if (const auto info = qs::DecodeMonitorInfo(p, length)) {
        qs::EngineKindFromChar(info->EngineChar());
        qs::MonitorModelFromChar(info->ModelChar());
      }
      break;
    default:
      break;
  }
}

// Parses data handing it to the ring in pieces of at most maxPiece bytes
// (0: as much as fits).
std::vector<Message> Parse(Receiver& r, const std::uint8_t* data, std::size_t size, std::size_t maxPiece) {
  std::vector<Message> out;
  std::size_t at = 0;
  for (;;) {
    while (const std::uint16_t id = r.parser.ParsePacket()) {
      CheckPacket(r, id);
      out.push_back(
          {id, std::vector<std::uint8_t>(r.parser.Packet(), r.parser.Packet() + r.parser.PacketLength())});
    }
    // ParsePacket returned 0: it lacks bytes, and says how many it needs.
    QS_FUZZ_CHECK(r.ring.CommittedCount() < r.parser.BytesNeeded());
    if (at == size) break;
    std::size_t n = std::min(size - at, r.ring.FreeSpace());
    if (maxPiece != 0) n = std::min(n, maxPiece);
    QS_FUZZ_CHECK(n > 0);
    QS_FUZZ_CHECK(r.ring.Append(data + at, n) == n);
    at += n;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Receiver* whole = new Receiver;
  static Receiver* pieces = new Receiver;
  for (Receiver* r : {whole, pieces}) {
    r->ring.Reset();
    r->parser.Reset();
  }
  // The first byte chooses the piece size of the second parse: 1 to 256.
  const std::size_t maxPiece = size > 0 ? std::size_t{data[0]} + 1 : 1;
  const std::vector<Message> a = Parse(*whole, data, size, 0);
  const std::vector<Message> b = Parse(*pieces, data, size, maxPiece);
  QS_FUZZ_CHECK(a == b);
  for (const Message& m : a) Decode(m.id, m.bytes);
  return 0;
}
