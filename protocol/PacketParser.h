#pragma once
// The framing parser: turns the bytes of an RxRing into packets, whatever
// pieces they arrive in. Three states: Hunt (look for the sync pair), Header
// (the 8 bytes after it), Body (data and checksum). A packet with a wrong
// checksum, a data length above 2048 or an unknown type is dropped and the
// search resumes directly after its sync pair, so a packet hidden inside a
// false one is still found. Acknowledgements set AckEvent / NakEvent. A
// message 53 comes out as a 142-byte message 52. No allocation.
//
// Data packets with a right checksum that are consumed without being handed
// out (the search goes on behind them):
//  * L < 12: no whole message header, so no id;
//  * id (low 16 bits) 0, which ParsePacket could not tell from "nothing yet";
//  * a 50 shorter than 90 bytes, a 52 or 53 shorter than 142, a 1122 shorter
//    than 310: they lack fields the decoders read at fixed offsets.
// So every 50 handed out is at least as long as its smallest layout (whether
// it matches the run's layout is still the caller's check), and every 52 and
// 1122 has exactly its layout's length: longer ones are cut to it, with their
// lengths and checksum made right, as a 53 is.
#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol/PacketFormat.h"
#include "protocol/RxRing.h"
#include "platform/Events.h"

namespace qs {

class PacketParser {
 public:
  enum class State { Hunt, Header, Body };

  // ack and nak may be null (replay has no send thread listening).
  PacketParser(RxRing& ring, AutoResetEvent* ack, AutoResetEvent* nak) : ring_(ring), ack_(ack), nak_(nak) {}

  void Reset();
  // The low 16 bits of the id of the next complete, valid data packet, or 0
  // when none is complete yet. The packet stays in Packet() until the next call.
  std::uint16_t ParsePacket();

  const std::uint8_t* Packet() const { return packet_.data(); }
  int PacketLength() const { return dataLength_ + 10; }  // of the packet last returned
  State CurrentState() const { return state_; }
  // The committed (unparsed) count the ring must reach before the next
  // ParsePacket can get on: 2 in Hunt (a sync pair), 8 in Header and 8 + L in
  // Body. In Header and Body the sync pair is already committed, so these
  // count from directly behind it (header, data and checksum). Whenever
  // ParsePacket returns 0, CommittedCount() < BytesNeeded(). The replay tops
  // the ring up to at least this much, so a false header announcing up to
  // 2048 bytes cannot look like the end of the file.
  std::size_t BytesNeeded() const;
  // The input has ended in the middle of a packet: that packet (a cut one, or
  // a false header) is dropped and the search resumes directly after its sync
  // pair, so the packets behind it are still found.
  void AbandonPacket();

 private:
  RxRing& ring_;
  AutoResetEvent* ack_;
  AutoResetEvent* nak_;
  State state_ = State::Hunt;
  int dataLength_ = 0;
  std::array<std::uint8_t, kMaxPacketBytes> packet_{};
};

}  // namespace qs
