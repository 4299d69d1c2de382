#include "protocol/Requests.h"

#include <gtest/gtest.h>

#include <string>

namespace qs {
namespace {

std::string Hex(const Request& r) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < r.length; ++i) out += {kDigits[r.bytes[i] >> 4], kDigits[r.bytes[i] & 15]};
  return out;
}

// Byte for byte: the packet counter numbers every request, the request counter
// only the start requests; class 6 for 1004, else 4; a 115 or 1025 carries one
// byte 0, a 111 the rate; the checksum sits right behind the data.
TEST(Requests, EveryRequestByteForByteWithItsCounters) {
  RequestBuilder builder;
  EXPECT_EQ(builder.Build(50).length, 0u) << "not a request: empty, and takes no number";
  const struct {
    std::uint16_t id, rateHz;
    const char* bytes;
  } requests[] = {
      // sync, packet counter, L = 12, type 1 | class 6, id 1004 | request counter, P = 0 | checksum
      {kMsgRequestInfo, 256, "baab" "0000" "0c00" "0100" "06000000" "ec030000" "0000" "0000" "0201"},
      {kMsgRequestVars, 256, "baab01000d000100040000007300000001000100008800"},
      {kMsgRequestStream, 256, "baab02000e000100040000006f0000000200020000018900"},
      {kMsgStopStream, 256, "baab03000c0001000400000070000000000000008400"},
      {kMsgStopVars, 256, "baab04000c0001000400000074000000000000008900"},
      {kMsgRequestInfo, 256, "baab05000c00010006000000ec030000030000000a01"},
      {kMsgRequestVars4, 256, "baab06000d000100040000000104000004000100002200"},
      {kMsgRequestStream, 128, "baab07000e000100040000006f0000000500020080001001"},
  };
  for (const auto& r : requests) EXPECT_EQ(Hex(builder.Build(r.id, r.rateHz)), r.bytes) << r.id;
}

}  // namespace
}  // namespace qs
