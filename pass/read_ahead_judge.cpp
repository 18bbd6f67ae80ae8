#include "pass/read_ahead_judge.h"

#include <algorithm>

bool ReadAheadJudge::Sampled(Duration took) {
  m_sample[m_count] = took;
  m_sum += took;
  if (++m_count < kSample) return false;
  m_mean = m_sum / static_cast<double>(kSample);
  m_sum = {};
  m_count = 0;
  return true;
}

ReadAheadJudge::Duration ReadAheadJudge::SampleMedian() {
  const auto middle = m_sample.begin() + kSample / 2;
  std::nth_element(m_sample.begin(), middle, m_sample.end());
  return *middle;
}

ReadAheadJudge::Verdict ReadAheadJudge::GiveUp() {
  m_state = State::kOff;
  m_wait = m_backoff;
  m_backoff = std::min(m_backoff * 2, kLastBackoff);
  m_count = 0;
  m_sum = {};
  return Verdict::kStop;
}

void ReadAheadJudge::StoppedByThreads() {
  if (m_state == State::kOff) return;
  GiveUp();
}

ReadAheadJudge::Verdict ReadAheadJudge::Listed(Duration took, bool engaged, bool listedAhead) {
  // Threads that stopped themselves leave the judge to find it out here.
  if (!engaged && (m_state == State::kProbing || m_state == State::kOn)) StoppedByThreads();
  switch (m_state) {
    case State::kOff: {
      if (m_wait > 0) --m_wait;
      if (listedAhead || !Sampled(took)) return Verdict::kGoOn;
      // A median is at most twice the mean: a cached walk's samples need no sorting.
      if (m_mean * 2 < kWorthTrying) return Verdict::kGoOn;
      const Duration median = SampleMedian();
      // Listings that became much slower than when reading ahead last gained nothing are worth
      // another try at once.
      const bool slower = median >= m_without * kMuchSlower;
      if ((m_wait > 0 && !slower) || median < kWorthTrying) return Verdict::kGoOn;
      m_without = median;
      m_state = State::kProbing;
      m_skip = kSettle;
      return Verdict::kTry;
    }
    case State::kProbing:
      if (m_skip > 0) {
        --m_skip;
        return Verdict::kGoOn;
      }
      if (!Sampled(took)) return Verdict::kGoOn;
      m_with = m_mean;
      if (m_with > m_without * kWorthKeeping) return GiveUp();
      m_state = State::kOn;
      m_backoff = kFirstBackoff;
      m_untilCheck = m_checkEvery;
      return Verdict::kConfirm;
    case State::kOn:
      if (Sampled(took)) m_with = m_mean;
      if (--m_untilCheck > 0) return Verdict::kGoOn;
      // A pause measures the walk alone again: the disk may have become cached, or the gain
      // may have gone with the part of the tree that gave it.
      m_state = State::kPaused;
      m_count = 0;
      m_sum = {};
      return Verdict::kStop;
    case State::kPaused:
      // What was read before the pause tells nothing of the walk alone.
      if (listedAhead || !Sampled(took)) return Verdict::kGoOn;
      m_without = SampleMedian();
      if (m_with > m_without * kWorthKeeping) {
        GiveUp();
        return Verdict::kGoOn;
      }
      m_state = State::kOn;
      m_checkEvery = std::min(m_checkEvery * 2, kLastCheck);
      m_untilCheck = m_checkEvery;
      return Verdict::kResume;
  }
  return Verdict::kGoOn;
}
