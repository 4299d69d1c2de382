#include "protocol/PacketParser.h"

namespace qs {

namespace {

// Bytes peeked in Header: sequence number, data length, type, and the next two
// bytes, which are the first data bytes of a message or the checksum of an
// acknowledgement (L = 0).
constexpr int kHeaderPeekBytes = 8;
constexpr int kOffHeaderPeek = 2;
constexpr int kOffBodyPeek = kOffHeaderPeek + kHeaderPeekBytes;

// Data lengths below which a message cannot hold the fixed fields that its
// decoder reads (the decoders take no length), so such a packet is consumed
// and never handed out.
constexpr int kMinRawEegData = kRawEegBytes128 - 10;
constexpr int kProcessedData = kProcessedBytes - 10;    // 132: the 120-byte payload of a 52
constexpr int kProcessed4Data = kProcessed4Bytes - 10;  // 300: the 288-byte payload of a 1122

// Hunt: drops bytes until the committed position stands behind a sync pair.
// A 0xBA followed by anything but 0xAB costs only the 0xBA, so "BA BA AB"
// syncs on the second 0xBA.
bool FindSync(RxRing& ring) {
  while (ring.CommittedCount() >= 2) {
    std::uint8_t byte = 0;
    ring.TakeCommitted(byte);
    if (byte != kSync0) continue;
    std::uint8_t next = 0;
    ring.Peek(next);
    if (next == kSync1) {
      ring.Commit();
      return true;
    }
  }
  return false;
}

void PeekInto(RxRing& ring, std::uint8_t* to, int count) {
  ring.PeekBytes(to, static_cast<std::size_t>(count));
}

// Cuts a message to its first `to` data bytes and makes it whole again: the
// data and payload lengths and the checksum behind the new end.
void CutMessage(std::uint8_t* packet, int& dataLength, int to) {
  dataLength = to;
  PutU16(packet + kOffDataLength, static_cast<std::uint16_t>(to));
  PutU16(packet + kOffPayloadLength, static_cast<std::uint16_t>(to - kMessageHeaderBytes));
  PutU16(packet + 8 + to, PacketChecksum(packet, 8 + static_cast<std::size_t>(to)));
}

// A committed data packet with a right checksum: the id to hand out, or 0 when
// the packet is consumed without being handed out. Turns a 53 into a 52 in
// place (dataLength becomes 132).
//
// Processed variables longer than their layout (a 52 beyond 142 bytes, a 1122
// beyond 310) are cut to it the same way: the record file keeps exactly that
// many bytes of them, and a packet recorded with the tail of its data where
// its checksum belongs would be dropped by the replay, so online and replay
// would no longer see the same values.
std::uint16_t AcceptMessage(std::uint8_t* packet, int& dataLength) {
  if (dataLength < kMessageHeaderBytes) return 0;  // no whole message header
  const std::uint16_t id = GetU16(packet + kOffMsgId);
  switch (id) {
    case kMsgProcessedExt:
      // Only the first 142 bytes of the extended form are used; they are a 52
      // once the id, the lengths and the checksum say so. A 53 shorter than a
      // 52 lacks fields the 52 decoders read.
      if (dataLength < kProcessedData) return 0;
      PutU32(packet + kOffMsgId, kMsgProcessed);
      CutMessage(packet, dataLength, kProcessedData);
      return kMsgProcessed;
    case kMsgProcessed:
      if (dataLength < kProcessedData) return 0;
      if (dataLength > kProcessedData) CutMessage(packet, dataLength, kProcessedData);
      return id;
    case kMsgProcessed4:
      if (dataLength < kProcessed4Data) return 0;
      if (dataLength > kProcessed4Data) CutMessage(packet, dataLength, kProcessed4Data);
      return id;
    case kMsgRawEeg:
      return dataLength < kMinRawEegData ? 0 : id;
    default:
      return id;  // 0 included: ParsePacket then keeps searching
  }
}

}  // namespace

void PacketParser::Reset() {
  state_ = State::Hunt;
  dataLength_ = 0;
}

std::uint16_t PacketParser::ParsePacket() {
  std::uint8_t* const packet = packet_.data();
  for (;;) {
    switch (state_) {
      case State::Hunt:
        if (!FindSync(ring_)) return 0;
        packet[0] = kSync0;
        packet[1] = kSync1;
        state_ = State::Header;
        break;

      case State::Header: {
        // The sync pair is committed and nothing is peeked yet, so the peek
        // count is the number of bytes behind the sync pair.
        if (ring_.PeekCount() < static_cast<std::size_t>(kHeaderPeekBytes)) return 0;
        PeekInto(ring_, packet + kOffHeaderPeek, kHeaderPeekBytes);
        const std::uint16_t type = GetU16(packet + kOffType);
        if (type == kPacketData) {
          const int length = GetU16(packet + kOffDataLength);
          if (length <= kMaxDataLength) {
            dataLength_ = length;
            state_ = State::Body;
            break;
          }
        }
        // Anything else goes back to Hunt; only an acknowledgement with a
        // right checksum is consumed, every other header is searched again
        // from directly behind its sync pair.
        state_ = State::Hunt;
        if (type == kPacketAck || type == kPacketNak) {
          if (PacketChecksum(packet, 8) == GetU16(packet + 8)) {
            ring_.Commit();
            AutoResetEvent* event = type == kPacketAck ? ack_ : nak_;
            if (event != nullptr) event->Set();
            break;
          }
        }
        ring_.Rollback();
        break;
      }

      case State::Body: {
        // The peek position stands behind the 8 header bytes.
        if (ring_.PeekCount() < static_cast<std::size_t>(dataLength_)) return 0;
        PeekInto(ring_, packet + kOffBodyPeek, dataLength_);
        state_ = State::Hunt;
        if (PacketChecksum(packet, 8 + static_cast<std::size_t>(dataLength_)) !=
            GetU16(packet + 8 + dataLength_)) {
          ring_.Rollback();
          break;
        }
        ring_.Commit();
        const std::uint16_t id = AcceptMessage(packet, dataLength_);
        if (id != 0) return id;
        break;
      }
    }
  }
}

void PacketParser::AbandonPacket() {
  if (state_ == State::Hunt) return;
  ring_.Rollback();
  state_ = State::Hunt;
}

std::size_t PacketParser::BytesNeeded() const {
  // Counted in committed (unparsed) bytes of the ring. In Header and Body the
  // sync pair is already committed, so the count starts behind it: the 8
  // header bytes, and in Body the rest of the data and the checksum as well.
  switch (state_) {
    case State::Hunt:
      return 2;
    case State::Header:
      return kHeaderPeekBytes;
    case State::Body:
      return std::size_t{kHeaderPeekBytes} + static_cast<std::size_t>(dataLength_);
  }
  return 0;
}

}  // namespace qs
