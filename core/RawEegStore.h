#pragma once
// Storing one raw EEG message (50) of the selected channel into the sample
// rings: the one piece of code that the receive thread (online, under
// WaveLock, with the overflow test) and the replay (without either) share.
//
//  * 128 Hz, two channels: 16 samples with a stride of 2 into Wave128.
//  * four channels (engine kind 2): 16 samples with a stride of 4 into Wave128.
//  * 256 Hz: 32 samples with a stride of 2 into Wave256, and into Wave128 the
//    16 pair means (a + b) / 2 truncated toward zero.
// The channel index is taken modulo the layout's channel count, so a channel
// the message does not carry never reads outside its samples.
#include <cstdint>

#include "core/RawWaveBuffer.h"
#include "core/MonitorValues.h"
#include "protocol/MonitorMessages.h"

namespace qs {

enum class StoreResult { Stored, Overflow };

// packet: a whole message 50 of the layout's length. With checkOverflow, a
// message that would push the pending count past the ring's size is not stored
// at all (nothing unread is overwritten) and Overflow is returned. When
// firstOfSecond, the second number (sequence / 8) is appended to seconds.
StoreResult StoreRawEeg(const std::uint8_t* packet, RawLayout layout, int channel, bool checkOverflow,
                        bool firstOfSecond, RawWaveBuffer& wave, PacketSecondRing& seconds);

// Whether one more message of the layout would push a pending count past its
// ring's size (the test StoreRawEeg makes with checkOverflow). Only the
// storing side adds to the counts, so a "no" holds until it stores.
bool RawStoreWouldOverflow(RawLayout layout, const RawWaveBuffer& wave);

// The monitor's latest variables of the EEG channel in use, as a variables
// message gives them; online and in replay alike.
inline void StoreMonitorValues(const ChannelVariables& v, MonitorValues& m) {
  m.MonBsr = v.bsr;
  m.MonSef = v.sef;
  m.MonBis = v.bis;
  m.MonEmg = v.emgLow;
  m.MonSqi = v.sqi;
  m.BisBits = v.bisBits;
  m.MonFlags = v.artifactFlags;
}

}  // namespace qs
