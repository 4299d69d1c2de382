#include <gtest/gtest.h>

#include <vector>

#include "protocol/ProtocolTestSupport.h"
#include "protocol/Requests.h"

namespace qs {
namespace {

using test::Bytes;

Bytes BytesOf(const Request& r) {
  return Bytes(r.bytes.begin(), r.bytes.begin() + static_cast<std::ptrdiff_t>(r.length));
}

TEST(Requests, Request111At256HzAnd1004ByteForByte) {
  const Bytes request111 = {
      0xBA, 0xAB, 0x00, 0x00, 0x0E, 0x00, 0x01, 0x00,  // sync, packet counter, L = 14, type 1
      0x04, 0x00, 0x00, 0x00, 0x6F, 0x00, 0x00, 0x00,  // class 4, id 111
      0x00, 0x00, 0x02, 0x00, 0x00, 0x01,              // request counter, P = 2, 256
      0x85, 0x00,                                      // 14 + 1 + 4 + 111 + 2 + 1 = 133
  };
  const Bytes request1004 = {0xBA, 0xAB, 0x00, 0x00, 0x0C, 0x00, 0x01, 0x00, 0x06, 0x00, 0x00,
                             0x00, 0xEC, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01};
  EXPECT_EQ(BytesOf(RequestBuilder().Build(kMsgRequestStream, 256)), request111);
  EXPECT_EQ(BytesOf(RequestBuilder().Build(kMsgRequestInfo)), request1004) << "class 6, no payload";
}

TEST(Requests, EveryRequestIsAValidPacketOfItsShape) {
  const struct {
    std::uint16_t id;
    std::size_t length;
    int payload;  // P; a payload of 1 is one byte 0
    bool numbered;
  } cases[] = {{kMsgRequestVars, 23, 1, true},   {kMsgRequestVars4, 23, 1, true},
               {kMsgRequestStream, 24, 2, true}, {kMsgStopStream, 22, 0, false},
               {kMsgStopVars, 22, 0, false},     {kMsgRequestInfo, 22, 0, true}};
  for (const auto& c : cases) {
    RequestBuilder builder;
    builder.Build(kMsgRequestInfo);  // the request counter is now 1
    const Request r = builder.Build(c.id, 128);
    ASSERT_EQ(r.length, c.length) << c.id;
    EXPECT_EQ(GetU32(&r.bytes[kOffMsgClass]), c.id == kMsgRequestInfo ? 6u : 4u) << c.id;
    EXPECT_EQ(GetU16(&r.bytes[kOffMsgSeq]), c.numbered ? 1 : 0) << c.id;
    EXPECT_EQ(GetU16(&r.bytes[kOffPayloadLength]), c.payload) << c.id;
    if (c.payload == 1) {
      EXPECT_EQ(r.bytes[kOffPayload], 0);
    }
    const auto parsed = test::Receiver::Make()->ParseWhole(BytesOf(r));
    ASSERT_EQ(test::Ids(parsed), std::vector<std::uint16_t>{c.id}) << "checksum directly behind the data";
  }
}

TEST(Requests, PacketCounterNumbersEveryRequestAndRequestCounterTheStartRequests) {
  RequestBuilder builder;
  EXPECT_EQ(builder.Build(50).length, 0u) << "not a request: empty, and takes no number";
  const std::uint16_t ids[] = {kMsgRequestInfo, kMsgRequestVars, kMsgRequestStream, kMsgStopStream,
                               kMsgStopVars,    kMsgRequestInfo, kMsgRequestVars4,  kMsgRequestStream};
  const std::uint16_t requestCounter[] = {0, 1, 2, 0, 0, 3, 4, 5};
  for (std::size_t i = 0; i < std::size(ids); ++i) {
    const Request r = builder.Build(ids[i], 256);
    EXPECT_EQ(GetU16(&r.bytes[kOffPacketSeq]), i) << "request " << i;
    EXPECT_EQ(GetU16(&r.bytes[kOffMsgSeq]), requestCounter[i]) << "request " << i;
  }
}

}  // namespace
}  // namespace qs
