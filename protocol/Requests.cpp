#include "protocol/Requests.h"

namespace qs {

namespace {
constexpr std::uint32_t kClassInfoRequest = 6;  // carried by 1004 only
constexpr std::uint32_t kClassRequest = 4;      // every other request
}  // namespace

Request RequestBuilder::Build(std::uint16_t id, std::uint16_t rateHz) {
  Request request;
  std::uint8_t payload[2] = {};
  std::size_t payloadLength = 0;
  bool numbered = true;  // takes the next request-counter value
  switch (id) {
    case kMsgRequestInfo:
      break;
    case kMsgRequestVars:
    case kMsgRequestVars4:
      payloadLength = 1;  // one byte 0
      break;
    case kMsgRequestStream:
      PutU16(payload, rateHz);
      payloadLength = 2;
      break;
    case kMsgStopStream:
    case kMsgStopVars:
      numbered = false;
      break;
    default:
      return request;  // not a request of this system: empty, counters untouched
  }

  std::uint8_t* b = request.bytes.data();
  const std::size_t dataLength = kMessageHeaderBytes + payloadLength;
  b[0] = kSync0;
  b[1] = kSync1;
  PutU16(b + kOffPacketSeq, packetCounter_++);
  PutU16(b + kOffDataLength, static_cast<std::uint16_t>(dataLength));
  PutU16(b + kOffType, kPacketData);
  PutU32(b + kOffMsgClass, id == kMsgRequestInfo ? kClassInfoRequest : kClassRequest);
  PutU32(b + kOffMsgId, id);
  PutU16(b + kOffMsgSeq, numbered ? requestCounter_++ : std::uint16_t{0});
  PutU16(b + kOffPayloadLength, static_cast<std::uint16_t>(payloadLength));
  for (std::size_t i = 0; i < payloadLength; ++i) b[kOffPayload + i] = payload[i];
  const std::size_t checksumAt = 8 + dataLength;
  PutU16(b + checksumAt, PacketChecksum(b, checksumAt));
  request.length = checksumAt + 2;
  return request;
}

}  // namespace qs
