#include "tools/recgen/SyntheticEeg.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace qs::recgen {

using detmath::kPi;
using detmath::kTwoPi;

// ---------------------------------------------------------------------------
const char* SegmentKindName(SegmentKind kind) {
  switch (kind) {
    case SegmentKind::Awake:
      return "awake";
    case SegmentKind::Deep:
      return "deep";
    case SegmentKind::BurstSuppression:
      return "bs";
    case SegmentKind::Qpc:
      return "qpc";
    case SegmentKind::QpcRandom:
      return "qpc-random";
  }
  return "?";
}

bool SegmentKindFromName(std::string_view name, SegmentKind* kind) {
  for (SegmentKind k : {SegmentKind::Awake, SegmentKind::Deep, SegmentKind::BurstSuppression,
                        SegmentKind::Qpc, SegmentKind::QpcRandom}) {
    if (name == SegmentKindName(k)) {
      *kind = k;
      return true;
    }
  }
  return false;
}

std::string CheckSegments(const std::vector<Segment>& segments, int seconds, int sampleRate) {
  std::ostringstream why;
  if (seconds < 0) return "the duration is negative";
  if (segments.empty()) {
    if (seconds == 0) return {};
    why << "no scenario segment covers seconds 0-" << seconds;
    return why.str();
  }
  const double nyquist = sampleRate / 2.0;
  int expectedFrom = 0;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const Segment& s = segments[i];
    const std::string name =
        std::string(SegmentKindName(s.kind)) + ":" + std::to_string(s.from) + "-" + std::to_string(s.to);
    if (s.from > expectedFrom) {
      why << "seconds " << expectedFrom << "-" << s.from << " are not covered by any scenario segment";
      return why.str();
    }
    if (s.from < expectedFrom) {
      why << "scenario segment " << name << " overlaps the one before it (which ends at " << expectedFrom
          << ")";
      return why.str();
    }
    if (s.to <= s.from) {
      why << "scenario segment " << name << " is empty (its end must be after its start)";
      return why.str();
    }
    if (!(s.scale > 0.0 && s.scale <= 20.0)) {
      why << "scenario segment " << name << ": scale must be above 0 and at most 20";
      return why.str();
    }
    if (s.kind == SegmentKind::Deep && !(s.frontalAlpha >= 0.0 && s.frontalAlpha <= 100.0)) {
      why << "scenario segment " << name << ": falpha must be between 0 and 100 uV";
      return why.str();
    }
    if ((s.kind == SegmentKind::Awake || s.kind == SegmentKind::Deep) &&
        !(s.alphaHz >= 1.0 && s.alphaHz < nyquist - 1.0)) {
      why << "scenario segment " << name << ": alpha must be at least 1 Hz and below " << nyquist - 1.0
          << " Hz";
      return why.str();
    }
    if (s.kind == SegmentKind::BurstSuppression && !(s.fraction >= 0.0 && s.fraction <= 1.0)) {
      why << "scenario segment " << name << ": fraction must be between 0 and 1";
      return why.str();
    }
    if ((s.kind == SegmentKind::Qpc || s.kind == SegmentKind::QpcRandom) &&
        !(s.f1 > 0.0 && s.f2 > 0.0 && s.f1 + s.f2 < nyquist)) {
      why << "scenario segment " << name << ": f1 and f2 must be above 0 Hz with f1 + f2 below " << nyquist
          << " Hz";
      return why.str();
    }
    expectedFrom = s.to;
  }
  if (expectedFrom < seconds) {
    why << "seconds " << expectedFrom << "-" << seconds << " are not covered by any scenario segment";
    return why.str();
  }
  if (expectedFrom > seconds) {
    why << "the scenario runs to second " << expectedFrom << ", beyond the duration of " << seconds << " s";
    return why.str();
  }
  return {};
}

// ---------------------------------------------------------------------------
// Signal building blocks. Each owns its random stream.
namespace {

// Narrow-band noise: white noise through a two-pole resonator,
// y[n] = a1 y[n-1] + a2 y[n-2] + sigma e[n], poles at radius r and angle w0.
// The innovation sigma is set from the closed-form variance of that process so
// that the output has the requested RMS.
class Resonator {
 public:
  Resonator(double rate, double centreHz, double bandwidthHz, double rms, std::uint64_t seed) : rng_(seed) {
    const double r = detmath::Exp(-kPi * bandwidthHz / rate);
    a1_ = 2.0 * r * detmath::Cos(kTwoPi * centreHz / rate);
    a2_ = -r * r;
    const double gain = (1.0 - a2_) / ((1.0 + a2_) * ((1.0 - a2_) * (1.0 - a2_) - a1_ * a1_));
    sigma_ = rms / std::sqrt(gain);
  }
  double Next() {
    const double y = a1_ * y1_ + a2_ * y2_ + sigma_ * rng_.Gaussian();
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  Rng rng_;
  double a1_, a2_, sigma_;
  double y1_ = 0.0, y2_ = 0.0;
};

// 1/f ("pink") background: independent one-pole low-pass sections with corners
// two octaves apart, each with a low-frequency level proportional to
// 1/corner, summed. Between 0.1 and about 30 Hz the density follows 1/f within
// a decibel or two, which is all an EEG background needs.
class PinkNoise {
 public:
  PinkNoise(double rate, double rms, std::uint64_t seed) : rng_(seed) {
    double variance = 0.0;
    for (int k = 0; k < kSections; ++k) {
      const double corner = kCorners[k];
      a_[k] = detmath::Exp(-kTwoPi * corner / rate);
      b_[k] = (1.0 - a_[k]) / std::sqrt(corner);
      variance += b_[k] * b_[k] / (1.0 - a_[k] * a_[k]);
    }
    scale_ = rms / std::sqrt(variance);
  }
  double Next() {
    double sum = 0.0;
    for (int k = 0; k < kSections; ++k) {
      y_[k] = a_[k] * y_[k] + b_[k] * rng_.Gaussian();
      sum += y_[k];
    }
    return scale_ * sum;
  }

 private:
  static constexpr int kSections = 5;
  static constexpr double kCorners[kSections] = {0.1, 0.4, 1.6, 6.4, 25.6};
  Rng rng_;
  double a_[kSections] = {}, b_[kSections] = {}, y_[kSections] = {};
  double scale_ = 0.0;
};

// Sleep spindles: Hann-shaped bursts of a sine at 11.5-13.5 Hz, 0.7-1.3 s
// long, with onsets 3-7 s apart.
class SpindleTrain {
 public:
  SpindleTrain(double rate, double peak, std::uint64_t seed)
      : rng_(seed), rate_(rate), peak_(peak), untilOnset_(static_cast<long>(rng_.Uniform(0.5, 4.0) * rate)) {}
  double Next() {
    if (untilOnset_-- <= 0) Start();
    if (position_ >= length_) return 0.0;
    const double envelope = 0.5 * (1.0 - detmath::Cos(kTwoPi * position_ / length_));
    const double v = peak_ * envelope * detmath::Sin(phase_);
    phase_ += step_;
    if (phase_ >= kTwoPi) phase_ -= kTwoPi;
    ++position_;
    return v;
  }

 private:
  void Start() {
    length_ = static_cast<long>(rng_.Uniform(0.7, 1.3) * rate_);
    position_ = 0;
    step_ = kTwoPi * rng_.Uniform(11.5, 13.5) / rate_;
    phase_ = rng_.Uniform(0.0, kTwoPi);
    untilOnset_ = static_cast<long>(rng_.Uniform(3.0, 7.0) * rate_);
  }
  Rng rng_;
  double rate_, peak_;
  long untilOnset_;
  long length_ = 0, position_ = 0;
  double step_ = 0.0, phase_ = 0.0;
};

// A phase that drifts as a random walk with the given diffusion (rad^2/s),
// kept within [-pi, pi).
class PhaseWalk {
 public:
  PhaseWalk(double rate, double diffusion, std::uint64_t seed)
      : rng_(seed), step_(std::sqrt(diffusion / rate)), phase_(rng_.Uniform(-kPi, kPi)) {}
  double Next() {
    phase_ += step_ * rng_.Gaussian();
    if (phase_ >= kPi) phase_ -= kTwoPi;
    if (phase_ < -kPi) phase_ += kTwoPi;
    return phase_;
  }

 private:
  Rng rng_;
  double step_;
  double phase_;
};

// A carrier phase 2 pi f n / rate, kept within [0, 2 pi).
class Carrier {
 public:
  Carrier(double rate, double hz) : step_(kTwoPi * hz / rate) {}
  double Next() {
    const double p = phase_;
    phase_ += step_;
    if (phase_ >= kTwoPi) phase_ -= kTwoPi;
    return p;
  }

 private:
  double step_;
  double phase_ = 0.0;
};

// Stream numbers within a segment's seed.
enum Stream : std::uint64_t {
  kStreamPlan = 1,
  kStreamAlpha,
  kStreamBeta,
  kStreamPink,
  kStreamDelta,
  kStreamTheta,
  kStreamSpindles,
  kStreamPhase1,
  kStreamPhase2,
  kStreamPhase3,
  kStreamBurst,
  kStreamFrontalAlpha,
  kStreamChannelNoise = 100,  // + channel
  kStreamSuppression = 200,   // + channel
};

struct DeepActivity {
  DeepActivity(double rate, double scale, std::uint64_t seed)
      : delta(rate, 1.5, 2.5, 32.0 * scale, DeriveSeed(seed, kStreamDelta)),
        theta(rate, 5.0, 2.0, 12.0 * scale, DeriveSeed(seed, kStreamTheta)),
        pink(rate, 5.0 * scale, DeriveSeed(seed, kStreamPink)),
        spindles(rate, 20.0 * scale, DeriveSeed(seed, kStreamSpindles)) {}
  double Next() { return delta.Next() + theta.Next() + pink.Next() + spindles.Next(); }
  Resonator delta, theta;
  PinkNoise pink;
  SpindleTrain spindles;
};

constexpr double kChannelGain[4] = {1.0, 0.8, 1.15, 0.65};
constexpr double kChannelNoiseRms = 3.0;
constexpr double kSuppressionSigma = 1.0;
constexpr double kSuppressionLimit = 4.0;
constexpr double kBurstFadeSeconds = 0.1;
constexpr double kQpcAmplitude = 20.0;
constexpr double kQpcDiffusion = 0.5;  // rad^2/s of p1 and of p2
constexpr int kWarmUpSeconds = 4;

}  // namespace

// The signal of one segment, second by second.
class SyntheticEeg::SegmentSource {
 public:
  SegmentSource(const Segment& segment, int rate, int channels, std::uint64_t seed)
      : segment_(segment), rate_(rate), channels_(channels) {
    const double fs = rate;
    const double scale = segment.scale;
    switch (segment.kind) {
      case SegmentKind::Awake:
        alpha_ = std::make_unique<Resonator>(fs, segment.alphaHz, 1.2, 14.0 * scale,
                                             DeriveSeed(seed, kStreamAlpha));
        beta_ = std::make_unique<Resonator>(fs, 20.0, 8.0, 4.0 * scale, DeriveSeed(seed, kStreamBeta));
        pink_ = std::make_unique<PinkNoise>(fs, 6.0 * scale, DeriveSeed(seed, kStreamPink));
        break;
      case SegmentKind::Deep:
        deep_ = std::make_unique<DeepActivity>(fs, scale, seed);
        if (segment.frontalAlpha > 0.0)
          alpha_ = std::make_unique<Resonator>(fs, segment.alphaHz, 1.2, segment.frontalAlpha * scale,
                                               DeriveSeed(seed, kStreamFrontalAlpha));
        break;
      case SegmentKind::BurstSuppression:
        deep_ = std::make_unique<DeepActivity>(fs, 2.0 * scale, DeriveSeed(seed, kStreamBurst));
        break;
      case SegmentKind::Qpc:
      case SegmentKind::QpcRandom:
        pink_ = std::make_unique<PinkNoise>(fs, 4.0 * scale, DeriveSeed(seed, kStreamPink));
        carrier1_ = std::make_unique<Carrier>(fs, segment.f1);
        carrier2_ = std::make_unique<Carrier>(fs, segment.f2);
        carrier3_ = std::make_unique<Carrier>(fs, segment.f1 + segment.f2);
        phase1_ = std::make_unique<PhaseWalk>(fs, kQpcDiffusion, DeriveSeed(seed, kStreamPhase1));
        phase2_ = std::make_unique<PhaseWalk>(fs, kQpcDiffusion, DeriveSeed(seed, kStreamPhase2));
        // Same drift as p1 + p2, so that both variants have the same spectrum.
        phase3_ = std::make_unique<PhaseWalk>(fs, 2.0 * kQpcDiffusion, DeriveSeed(seed, kStreamPhase3));
        break;
    }
    for (int c = 1; c < channels; ++c)
      channelNoise_[c] = std::make_unique<PinkNoise>(fs, kChannelNoiseRms * scale,
                                                     DeriveSeed(seed, kStreamChannelNoise + c));
    for (int c = 0; c < channels; ++c) suppression_[c] = Rng(DeriveSeed(seed, kStreamSuppression + c));
    // Let the filters reach their steady state before the first second.
    for (int i = 0; i < kWarmUpSeconds * rate; ++i) {
      ModelNext();
      for (int c = 1; c < channels; ++c) channelNoise_[c]->Next();
    }
  }

  // One second. For bs, `suppressed` says what this second is, and
  // burstStarts / burstEnds whether a burst begins or ends with it.
  void FillSecond(bool suppressed, bool burstStarts, bool burstEnds, std::vector<std::vector<double>>& out) {
    const int fade = static_cast<int>(kBurstFadeSeconds * rate_);
    for (int i = 0; i < rate_; ++i) {
      double v = ModelNext();
      if (segment_.kind == SegmentKind::BurstSuppression) {
        double envelope = 1.0;
        if (burstStarts && i < fade) envelope = 0.5 * (1.0 - detmath::Cos(kPi * i / fade));
        if (burstEnds && rate_ - 1 - i < fade)
          envelope = 0.5 * (1.0 - detmath::Cos(kPi * (rate_ - 1 - i) / fade));
        v *= envelope;
      }
      out[0][i] = v;
      for (int c = 1; c < channels_; ++c) out[c][i] = kChannelGain[c] * v + channelNoise_[c]->Next();
      // The suppression noise streams always advance, so that a second's
      // content depends only on its position, not on what came before.
      for (int c = 0; c < channels_; ++c) {
        const double quiet =
            std::clamp(kSuppressionSigma * suppression_[c].Gaussian(), -kSuppressionLimit, kSuppressionLimit);
        if (suppressed) out[c][i] = quiet;
      }
    }
  }

 private:
  double ModelNext() {
    switch (segment_.kind) {
      case SegmentKind::Awake:
        return alpha_->Next() + beta_->Next() + pink_->Next();
      case SegmentKind::Deep:
        return alpha_ ? deep_->Next() + alpha_->Next() : deep_->Next();
      case SegmentKind::BurstSuppression:
        return deep_->Next();
      case SegmentKind::Qpc:
      case SegmentKind::QpcRandom: {
        const double p1 = phase1_->Next();
        const double p2 = phase2_->Next();
        const double random3 = phase3_->Next();
        const double p3 = segment_.kind == SegmentKind::Qpc ? p1 + p2 : random3;
        const double a = kQpcAmplitude * segment_.scale;
        return a * (detmath::Cos(carrier1_->Next() + p1) + detmath::Cos(carrier2_->Next() + p2) +
                    detmath::Cos(carrier3_->Next() + p3)) +
               pink_->Next();
      }
    }
    return 0.0;
  }

  Segment segment_;
  int rate_;
  int channels_;
  std::unique_ptr<Resonator> alpha_, beta_;
  std::unique_ptr<PinkNoise> pink_;
  std::unique_ptr<DeepActivity> deep_;
  std::unique_ptr<Carrier> carrier1_, carrier2_, carrier3_;
  std::unique_ptr<PhaseWalk> phase1_, phase2_, phase3_;
  std::unique_ptr<PinkNoise> channelNoise_[4];
  Rng suppression_[4] = {Rng(0), Rng(0), Rng(0), Rng(0)};
};

SyntheticEeg::SyntheticEeg(int sampleRate, int channels, std::vector<Segment> segments, std::uint64_t seed)
    : rate_(sampleRate), channels_(channels), seed_(seed), segments_(std::move(segments)) {
  if (rate_ != 128 && rate_ != 256) throw std::invalid_argument("the sampling rate must be 128 or 256 Hz");
  if (channels_ < 1 || channels_ > 4) throw std::invalid_argument("the channel count must be 1 to 4");
  const int seconds = segments_.empty() ? 0 : segments_.back().to;
  if (const std::string why = CheckSegments(segments_, seconds, rate_); !why.empty())
    throw std::invalid_argument(why);

  truth_.resize(static_cast<std::size_t>(seconds));
  for (std::size_t i = 0; i < segments_.size(); ++i) {
    const Segment& s = segments_[i];
    for (int t = s.from; t < s.to; ++t) {
      truth_[t].kind = s.kind;
      truth_[t].segment = static_cast<int>(i);
    }
    if (s.kind != SegmentKind::BurstSuppression) continue;
    // Cycles of 8-15 s, bursts first; the suppressed count follows the running
    // target round(fraction x elapsed seconds).
    Rng plan(DeriveSeed(DeriveSeed(seed_, i), kStreamPlan));
    int position = s.from;
    int suppressedSoFar = 0;
    for (int cycle = 0; position < s.to; ++cycle) {
      const int length = std::min(8 + static_cast<int>(plan.Uniform() * 8.0), s.to - position);
      const int elapsed = position + length - s.from;
      const int target = static_cast<int>(std::floor(s.fraction * elapsed + 0.5));
      const int suppressed = std::clamp(target - suppressedSoFar, 0, length);
      for (int t = position; t < position + length; ++t) {
        truth_[t].burstCycle = cycle;
        truth_[t].suppressed = t >= position + length - suppressed;
      }
      suppressedSoFar += suppressed;
      position += length;
    }
  }
}

SyntheticEeg::~SyntheticEeg() = default;

bool SyntheticEeg::NextSecond(std::vector<std::vector<double>>& out) {
  if (next_ >= Seconds()) return false;
  const SecondTruth& now = truth_[next_];
  if (now.segment != currentSegment_) {
    currentSegment_ = now.segment;
    source_ = std::make_unique<SegmentSource>(segments_[currentSegment_], rate_, channels_,
                                              DeriveSeed(seed_, static_cast<std::uint64_t>(currentSegment_)));
  }
  out.resize(static_cast<std::size_t>(channels_));
  for (auto& channel : out) channel.assign(static_cast<std::size_t>(rate_), 0.0);

  const auto isBurst = [&](int t) {
    return t >= 0 && t < Seconds() && truth_[t].segment == currentSegment_ && !truth_[t].suppressed;
  };
  const bool burstStarts = !isBurst(next_ - 1);
  const bool burstEnds = !isBurst(next_ + 1);
  source_->FillSecond(now.suppressed, burstStarts, burstEnds, out);
  ++next_;
  return true;
}

std::vector<std::vector<double>> GenerateMicrovolts(int sampleRate, int channels,
                                                    const std::vector<Segment>& segments,
                                                    std::uint64_t seed) {
  SyntheticEeg eeg(sampleRate, channels, segments, seed);
  std::vector<std::vector<double>> all(static_cast<std::size_t>(channels));
  for (auto& channel : all) channel.reserve(static_cast<std::size_t>(eeg.Seconds()) * sampleRate);
  std::vector<std::vector<double>> second;
  while (eeg.NextSecond(second))
    for (int c = 0; c < channels; ++c) all[c].insert(all[c].end(), second[c].begin(), second[c].end());
  return all;
}

}  // namespace qs::recgen
