#pragma once

#include <array>
#include <chrono>
#include <cstddef>

// Decides from the walk's own listings whether reading directories ahead makes them shorter.
// It does not judge by how long a listing takes: a file system can be slow and gain nothing from
// many requests at once (every listing a round trip through one busy server), or gain much. So it
// tries: after a stretch of listings without read-ahead that leaves something to gain, a short
// probe with it; read-ahead stays on while the walk's listings take clearly less time with it than
// without, which a short pause checks now and then. A probe that gains nothing is tried again
// later, less often each time, or at once when listings become much slower.
class ReadAheadJudge {
 public:
  using Duration = std::chrono::duration<double, std::micro>;

  enum class Verdict {
    kGoOn,
    kTry,      // start reading ahead, a little, to see whether it pays
    kConfirm,  // it pays: read ahead fully
    kResume,   // it still pays after a pause: read ahead fully again
    kStop,
  };

  // Listings measured for a median without read-ahead and a mean with it: a median is not moved
  // by the few listings that a big directory or another program taking the processor makes slow.
  static constexpr std::size_t kSample = 32;
  // Listings of a probe left out of its mean while the threads get ahead of the walk.
  static constexpr std::size_t kSettle = 8;
  // Below this a listing came from the cache: nothing to gain.
  static constexpr Duration kWorthTrying{20};
  // Read-ahead must bring the walk's mean time a directory down to this share of the median
  // without it. A mean, since with read-ahead most directories cost nothing and a few make the walk
  // wait for the threads: where those waits are long, as under Wine, the median would hide them.
  static constexpr double kWorthKeeping = 0.75;
  // Listings before a probe that gained nothing is tried again, doubling up to the last.
  static constexpr std::size_t kFirstBackoff = 256;
  static constexpr std::size_t kLastBackoff = 16384;
  // Unless listings become this many times slower than when it last gained nothing.
  static constexpr double kMuchSlower = 2;
  // Listings with read-ahead before the gain is checked again, doubling while it holds.
  static constexpr std::size_t kFirstCheck = 4096;
  static constexpr std::size_t kLastCheck = 16384;

  // The walk spent `took` on one directory, its listing included. `engaged`: read-ahead was on;
  // `listedAhead`: the directory had been listed ahead, so its listing tells nothing of the
  // cost without read-ahead. What to do with read-ahead from the next listing on.
  Verdict Listed(Duration took, bool engaged, bool listedAhead);

  // The threads stopped reading ahead of their own accord (what they read was all cached).
  void StoppedByThreads();

 private:
  enum class State { kOff, kProbing, kOn, kPaused };

  // Adds a listing to the current sample; true when the sample is whole.
  bool Sampled(Duration took);
  Duration SampleMedian();
  Verdict GiveUp();

  State m_state = State::kOff;
  std::array<Duration, kSample> m_sample{};
  std::size_t m_count = 0;
  Duration m_sum{};              // of the sample so far
  Duration m_mean{};             // of the last whole sample
  std::size_t m_skip = 0;        // listings of a probe still to leave out
  std::size_t m_wait = 0;        // listings before the next probe
  std::size_t m_untilCheck = 0;  // listings with read-ahead before the next pause
  std::size_t m_backoff = kFirstBackoff;
  std::size_t m_checkEvery = kFirstCheck;
  Duration m_without{};  // the walk's median listing without read-ahead, last measured
  Duration m_with{};     // the walk's mean time a directory with it
};
