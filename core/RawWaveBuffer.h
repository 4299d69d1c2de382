#pragma once
// The raw samples of the selected EEG channel on their way from the monitor
// (or the replayed file) to the calculation thread, guarded by WaveLock.
// Analysis always runs on the 128 Hz ring; at 256 Hz the 128 Hz ring receives
// the mean of each pair and the 256 Hz ring serves the wave export only.
#include <array>
#include <cstdint>

namespace qs {

struct RawWaveBuffer {
  static constexpr int kSize128 = 1024;  // 8 s at 128 Hz
  static constexpr int kSize256 = 2048;  // 8 s at 256 Hz

  std::array<std::int16_t, kSize128> Wave128{};
  int Wave128Write = 0;
  int Wave128Read = 0;
  int Wave128Pending = 0;
  std::array<std::int16_t, kSize256> Wave256{};
  int Wave256Write = 0;
  int Wave256Read = 0;
  int Wave256Pending = 0;

  // Positions and pending counts of both rings back to the start; the samples
  // themselves are overwritten before they are read again.
  void ResetPositions() {
    Wave128Write = Wave128Read = Wave128Pending = 0;
    Wave256Write = Wave256Read = Wave256Pending = 0;
  }
};

// The second numbers (raw EEG sequence number / 8) of the last eight seconds
// stored, in arrival order; written with the samples under the same lock.
struct PacketSecondRing {
  std::array<std::uint16_t, 8> seconds{};
  int position = 0;

  void Append(std::uint16_t second) {
    seconds[static_cast<std::size_t>(position)] = second;
    position = (position + 1) % 8;
  }
  void Reset() { position = 0; }
};

}  // namespace qs
