#include <gtest/gtest.h>

#include <vector>

#include "link/LinkTestSupport.h"
#include "link/Requests.h"

namespace qs {
namespace {

using test::Bytes;

Bytes BytesOf(const Request& r) {
  return Bytes(r.bytes.begin(), r.bytes.begin() + r.length);
}

TEST(Requests, Request111For256HzIsExactlyThese24Bytes) {
  RequestBuilder builder;
  const Bytes expected = {
      0xBA, 0xAB,              // sync
      0x00, 0x00,              // packet counter
      0x0E, 0x00,              // L = 14
      0x01, 0x00,              // type 1
      0x04, 0x00, 0x00, 0x00,  // class 4
      0x6F, 0x00, 0x00, 0x00,  // id 111
      0x00, 0x00,              // request counter
      0x02, 0x00,              // P = 2
      0x00, 0x01,              // 256
      0x85, 0x00,              // 14 + 1 + 4 + 111 + 2 + 1 = 133
  };
  EXPECT_EQ(BytesOf(builder.Build(kMsgRequestStream, 256)), expected);
}

TEST(Requests, Request111CarriesBothCountersLittleEndian) {
  RequestBuilder builder;
  builder.Build(kMsgRequestInfo);
  builder.Build(kMsgRequestVars);
  const Bytes expected = {0xBA, 0xAB, 0x02, 0x00, 0x0E, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00,
                          0x6F, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x00, 0x80, 0x00, 0x08, 0x01};
  EXPECT_EQ(BytesOf(builder.Build(kMsgRequestStream, 128)), expected);
}

TEST(Requests, Request1004HasClass6AndNoPayload) {
  RequestBuilder builder;
  const Bytes expected = {0xBA, 0xAB, 0x00, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00,
                          0x00, 0xEC, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01};
  EXPECT_EQ(BytesOf(builder.Build(kMsgRequestInfo)), expected);
}

TEST(Requests, Requests115And1025CarryOneZeroByte) {
  for (const std::uint16_t id : {kMsgRequestVars, kMsgRequestVars4}) {
    RequestBuilder builder;
    const Request r = builder.Build(id);
    ASSERT_EQ(r.length, 23u) << id;
    EXPECT_EQ(GetU16(&r.bytes[kOffDataLength]), 13);
    EXPECT_EQ(GetU32(&r.bytes[kOffMsgClass]), 4u);
    EXPECT_EQ(GetU32(&r.bytes[kOffMsgId]), id);
    EXPECT_EQ(GetU16(&r.bytes[kOffPayloadLength]), 1);
    EXPECT_EQ(r.bytes[kOffPayload], 0);
    EXPECT_EQ(GetU16(&r.bytes[21]), PacketChecksum(r.bytes.data(), 21)) << "directly behind the odd data";
  }
}

TEST(Requests, StopRequestsAre22BytesWithSequenceZero) {
  for (const std::uint16_t id : {kMsgStopStream, kMsgStopVars}) {
    RequestBuilder builder;
    builder.Build(kMsgRequestInfo);  // the request counter is now 1
    const Request r = builder.Build(id);
    ASSERT_EQ(r.length, 22u);
    EXPECT_EQ(GetU32(&r.bytes[kOffMsgClass]), 4u);
    EXPECT_EQ(GetU32(&r.bytes[kOffMsgId]), id);
    EXPECT_EQ(GetU16(&r.bytes[kOffMsgSeq]), 0);
    EXPECT_EQ(GetU16(&r.bytes[kOffPayloadLength]), 0);
    EXPECT_EQ(GetU16(&r.bytes[20]), PacketChecksum(r.bytes.data(), 20));
  }
}

TEST(Requests, TheTwoCountersAcrossAStartAndStopSequence) {
  RequestBuilder builder;
  const std::uint16_t ids[] = {kMsgRequestInfo, kMsgRequestVars, kMsgRequestStream, kMsgStopStream,
                               kMsgStopVars,    kMsgRequestInfo, kMsgRequestVars4,  kMsgRequestStream};
  const std::uint16_t packetCounter[] = {0, 1, 2, 3, 4, 5, 6, 7};
  const std::uint16_t requestCounter[] = {0, 1, 2, 0, 0, 3, 4, 5};
  for (std::size_t i = 0; i < std::size(ids); ++i) {
    const Request r = builder.Build(ids[i], 256);
    EXPECT_EQ(GetU16(&r.bytes[kOffPacketSeq]), packetCounter[i]) << "request " << i;
    EXPECT_EQ(GetU16(&r.bytes[kOffMsgSeq]), requestCounter[i]) << "request " << i;
  }
}

TEST(Requests, UnknownIdYieldsAnEmptyRequestAndTakesNoNumber) {
  RequestBuilder builder;
  EXPECT_EQ(builder.Build(50).length, 0u);
  EXPECT_EQ(builder.Build(0).length, 0u);
  const Request r = builder.Build(kMsgRequestInfo);
  EXPECT_EQ(GetU16(&r.bytes[kOffPacketSeq]), 0);
  EXPECT_EQ(GetU16(&r.bytes[kOffMsgSeq]), 0);
}

TEST(Requests, CountersWrapAt16Bits) {
  RequestBuilder builder;
  for (int i = 0; i < 65536; ++i) builder.Build(kMsgRequestVars);
  const Request r = builder.Build(kMsgRequestVars);
  EXPECT_EQ(GetU16(&r.bytes[kOffPacketSeq]), 0);
  EXPECT_EQ(GetU16(&r.bytes[kOffMsgSeq]), 0);
  EXPECT_EQ(GetU16(&r.bytes[21]), PacketChecksum(r.bytes.data(), 21));
}

TEST(Requests, EveryRequestIsAValidPacketForTheParser) {
  RequestBuilder builder;
  auto rx = test::Receiver::Make();
  for (const std::uint16_t id : {kMsgRequestInfo, kMsgRequestVars, kMsgRequestVars4, kMsgRequestStream,
                                 kMsgStopStream, kMsgStopVars}) {
    const Request r = builder.Build(id, 256);
    const auto parsed = rx->ParseWhole(Bytes(r.bytes.begin(), r.bytes.begin() + r.length));
    ASSERT_EQ(parsed.size(), 1u) << id;
    EXPECT_EQ(parsed[0].id, id);
    EXPECT_EQ(parsed[0].bytes.size(), r.length);
  }
}

}  // namespace
}  // namespace qs
