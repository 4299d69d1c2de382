#include "exchange/VitalInflate.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace qs {

std::optional<std::vector<std::uint8_t>> InflateGzip(const std::uint8_t* data, std::size_t size,
                                                     std::size_t cap, std::string* error) {
  if (size < 18 || data[0] != 0x1F || data[1] != 0x8B || data[2] != 8) {
    *error = "not a gzip stream (a Vital file starts with the bytes 1F 8B 08)";
    return std::nullopt;
  }
  z_stream z{};
  // 16 + MAX_WBITS: a gzip header and trailer, checked by zlib (CRC, length).
  if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
    *error = "zlib cannot start decompressing";
    return std::nullopt;
  }
  std::vector<std::uint8_t> out;
  constexpr std::size_t kStep = std::size_t{1} << 20;
  std::size_t consumed = 0;
  bool ended = false;
  const auto fail = [&](const std::string& what) {
    *error = what;
    inflateEnd(&z);
    return std::nullopt;
  };
  while (true) {
    if (z.avail_in == 0 && consumed < size) {
      const std::size_t chunk = std::min<std::size_t>(size - consumed, std::numeric_limits<uInt>::max());
      z.next_in = const_cast<Bytef*>(data + consumed);
      z.avail_in = static_cast<uInt>(chunk);
      consumed += chunk;
    }
    if (out.size() >= cap)
      return fail("the decompressed data exceed " + std::to_string(cap >> 20) + " MiB (at byte " +
                  std::to_string(consumed - z.avail_in) + " of the file); refused as too large");
    const std::size_t room = std::min(kStep, cap - out.size());
    const std::size_t before = out.size();
    out.resize(before + room);
    z.next_out = out.data() + before;
    z.avail_out = static_cast<uInt>(room);
    const int rc = inflate(&z, Z_NO_FLUSH);
    out.resize(before + (room - z.avail_out));
    if (rc == Z_STREAM_END) {
      ended = true;
      // Another gzip member may follow; anything else behind the stream is ignored.
      const std::size_t at = consumed - z.avail_in;
      if (at + 2 < size && data[at] == 0x1F && data[at + 1] == 0x8B) {
        if (inflateReset(&z) != Z_OK) return fail("zlib cannot restart after a gzip member");
        ended = false;
        continue;
      }
      break;
    }
    if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT)
      return fail("the gzip data are damaged at byte " + std::to_string(consumed - z.avail_in) +
                  " of the file (" + (z.msg != nullptr ? z.msg : "zlib data error") + ")");
    if (rc == Z_MEM_ERROR) return fail("zlib ran out of memory");
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && consumed >= size) break;  // input used up: truncated
    if (rc != Z_OK && rc != Z_BUF_ERROR) return fail("zlib error " + std::to_string(rc));
  }
  inflateEnd(&z);
  if (!ended) {
    *error = "the gzip stream is truncated: the file ends after " + std::to_string(size) + " bytes (" +
             std::to_string(out.size()) + " bytes decompressed) before the stream does";
    return std::nullopt;
  }
  return out;
}

}  // namespace qs
