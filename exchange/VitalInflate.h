#pragma once
// The gzip container of a Vital file, decompressed with zlib into memory.
// The output is capped: a file that would decompress beyond the cap (a
// decompression bomb, or a case too large to hold) is refused with a message
// instead of filling the memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qs {

// The default cap: 2 GiB of decompressed data, beyond the longest case of the
// open dataset.
inline constexpr std::size_t kVitalInflateCap = std::size_t{2} << 30;

// The decompressed bytes of one gzip stream (further members are
// concatenated, as gunzip does). Nothing and a message when the data are no
// gzip stream, are damaged, end before the stream does, or would exceed cap.
std::optional<std::vector<std::uint8_t>> InflateGzip(const std::uint8_t* data, std::size_t size,
                                                     std::size_t cap, std::string* error);

}  // namespace qs
