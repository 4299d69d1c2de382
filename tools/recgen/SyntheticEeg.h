#pragma once
// Synthetic EEG with known content, in microvolts, for the recording generator.
//
// Everything here is deterministic for a given seed on every platform: the
// random numbers come from our own xoshiro256** (seeded through splitmix64),
// normal deviates from our own Box-Muller, and the few transcendental
// functions from our own polynomial versions (DetMath below) rather than the C
// library, whose last bits differ between implementations. The build keeps
// -ffp-contract=off, so the arithmetic itself is plain IEEE double.
//
// Signal models (the amplitudes are those of a segment with scale=1):
//
//   awake       alpha rhythm (narrow-band resonance at alphaHz, default 10 Hz,
//               RMS 14 uV, so ~20-30 uV waves), beta (broad 15-25 Hz, RMS
//               4 uV) and a 1/f background (RMS 6 uV).
//   deep        delta (around 1.5 Hz, RMS 32 uV) and theta (5 Hz, RMS 12 uV),
//               i.e. 40-80 uV slow waves, 1/f background (RMS 5 uV) and sleep
//               spindles: Hann-shaped 11.5-13.5 Hz bursts of 0.7-1.3 s, 20 uV
//               peak, with onsets 3-7 s apart. With falpha (RMS uV, default
//               0) it adds the frontal alpha of a stable anaesthetic: a
//               narrow-band resonance at alphaHz (default 10 Hz), from its
//               own random stream, so a deep segment without it is unchanged.
//   bs          burst suppression. The segment is cut into cycles of 8-15 whole
//               seconds; each cycle is first burst seconds, then suppressed
//               seconds. The number of suppressed seconds is chosen so that,
//               at the end of every cycle, the suppressed seconds so far are
//               round(fraction x seconds so far): over the segment the count
//               is exactly round(fraction x length), and within any cycle it
//               is off by at most one second. Suppressed seconds hold only
//               low noise (sigma 1 uV, clipped to +-4 uV) on every channel;
//               burst seconds hold deep-like activity at twice the amplitude,
//               faded in and out over 0.1 s inside the burst. Which seconds
//               are suppressed, and which cycle each belongs to, is in
//               Truth().
//   qpc         quadratic phase coupling: three cosines of 20 uV at f1, f2 and
//               f1 + f2 (default 4 and 6 Hz) with phases p1, p2 and exactly
//               p1 + p2, plus a 1/f background (RMS 4 uV). p1 and p2 drift as
//               random walks (0.5 rad^2/s each), so every 2-s epoch sees other
//               phases but the bispectral phase p1 + p2 - p3 stays 0.
//   qpc-random  the same spectrum without coupling: identical f1 and f2
//               components (same random streams as qpc), but p3 is an
//               independent random walk with the drift of p1 + p2 (1 rad^2/s).
//
// Channels: channel 0 is the model's signal; channel c = 1..3 is that signal
// times 0.8, 1.15 or 0.65 plus its own 1/f noise (RMS 3 uV x scale), so the
// channels are correlated but never equal. Suppressed seconds are the
// exception: there every channel holds only its own low noise.
//
// Each segment draws from its own random streams, derived from the seed and
// the segment's index, so changing one segment leaves the signal of the others
// as it was. Filters are run for a few seconds before a segment starts so that
// its first second already has the full amplitude.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qs::recgen {

// Transcendental functions computed by our own code, identical everywhere.
namespace detmath {
inline constexpr double kPi = 3.141592653589793238462643383279502884;
inline constexpr double kTwoPi = 2.0 * kPi;
double Sin(double x);  // any finite x; accurate to a few ulp for |x| < 1e6
double Cos(double x);
double Exp(double x);  // x in about [-700, 700]
double Log(double x);  // x > 0
}  // namespace detmath

// xoshiro256** with splitmix64 seeding.
class Rng {
 public:
  explicit Rng(std::uint64_t seed);
  std::uint64_t Next();
  double Uniform();  // [0, 1), 53 random bits
  double Uniform(double lo, double hi);
  double Gaussian();  // standard normal, Box-Muller

 private:
  std::uint64_t s_[4] = {};
  double spare_ = 0.0;
  bool hasSpare_ = false;
};

// A seed for stream `stream` of the generator seeded with `seed`; different
// streams give unrelated sequences.
std::uint64_t DeriveSeed(std::uint64_t seed, std::uint64_t stream);

enum class SegmentKind { Awake, Deep, BurstSuppression, Qpc, QpcRandom };

// "awake", "deep", "bs", "qpc", "qpc-random".
const char* SegmentKindName(SegmentKind kind);
bool SegmentKindFromName(std::string_view name, SegmentKind* kind);

// Seconds [from, to) of one signal model.
struct Segment {
  int from = 0;
  int to = 0;
  SegmentKind kind = SegmentKind::Awake;
  double scale = 1.0;     // amplitude factor of the whole model
  double alphaHz = 10.0;  // awake; deep with frontalAlpha
  double fraction = 0.5;  // bs: suppressed share, 0..1
  double f1 = 4.0;        // qpc, qpc-random
  double f2 = 6.0;
  double frontalAlpha = 0.0;  // deep: RMS uV of a frontal alpha at alphaHz, 0 for none
};

// What a second contains.
struct SecondTruth {
  SegmentKind kind = SegmentKind::Awake;
  int segment = 0;          // index into the segment list
  bool suppressed = false;  // bs only: a suppressed second
  int burstCycle = -1;      // bs only: the cycle (0, 1, ... within the segment)
};

// Empty when the segments cover 0..seconds in order without gap or overlap and
// every parameter is usable at the sampling rate; otherwise what is wrong.
std::string CheckSegments(const std::vector<Segment>& segments, int seconds, int sampleRate);

class SyntheticEeg {
 public:
  // sampleRate 128 or 256, channels 1..4; segments as CheckSegments accepts
  // (throws std::invalid_argument otherwise).
  SyntheticEeg(int sampleRate, int channels, std::vector<Segment> segments, std::uint64_t seed);
  ~SyntheticEeg();
  SyntheticEeg(const SyntheticEeg&) = delete;
  SyntheticEeg& operator=(const SyntheticEeg&) = delete;

  int SampleRate() const { return rate_; }
  int Channels() const { return channels_; }
  int Seconds() const { return static_cast<int>(truth_.size()); }
  // Known in advance for every second.
  const std::vector<SecondTruth>& Truth() const { return truth_; }

  // The next second: out[c] is resized to SampleRate() microvolt values for
  // each channel c. Returns false (out untouched) after the last second.
  bool NextSecond(std::vector<std::vector<double>>& out);

 private:
  class SegmentSource;
  int rate_;
  int channels_;
  std::uint64_t seed_;
  std::vector<Segment> segments_;
  std::vector<SecondTruth> truth_;
  int next_ = 0;
  int currentSegment_ = -1;
  std::unique_ptr<SegmentSource> source_;
};

// The whole signal at once: result[c] holds seconds x sampleRate values.
std::vector<std::vector<double>> GenerateMicrovolts(int sampleRate, int channels,
                                                    const std::vector<Segment>& segments, std::uint64_t seed);

}  // namespace qs::recgen
