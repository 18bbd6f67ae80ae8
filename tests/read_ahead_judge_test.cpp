#include "pass/read_ahead_judge.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Duration = ReadAheadJudge::Duration;
using Verdict = ReadAheadJudge::Verdict;

// A stretch of a walk: what a listing costs the walk alone, and what it costs when the directory
// was listed ahead; and every so many of those, a wait for the threads to catch up.
struct Stretch {
  std::size_t listings;
  double alone;  // microseconds
  double ahead;
  std::size_t waitEvery = 0;
  double wait = 0;
};

// What the judge made of a walk: listings made while reading ahead, per stretch.
struct Outcome {
  std::vector<std::size_t> engaged;
  std::size_t probes = 0;
};

// The walk as the judge sees it. Reading ahead lists directories once the threads have had a few
// listings to get going; after a pause the walk still finds what was read before it.
Outcome Walk(const std::vector<Stretch>& stretches, std::uint32_t run) {
  constexpr std::size_t kStartUp = 4;
  constexpr std::size_t kLeftAfterPause = 64;
  std::mt19937 random(run);
  std::uniform_real_distribution<double> noise(0.6, 1.4);
  ReadAheadJudge judge;
  Outcome outcome;
  bool engaged = false;
  std::size_t sinceEngaged = 0;
  std::size_t leftAhead = 0;
  std::size_t found = 0;
  for (const Stretch& stretch : stretches) {
    outcome.engaged.push_back(0);
    for (std::size_t i = 0; i < stretch.listings; ++i) {
      const bool listedAhead = engaged ? sinceEngaged++ >= kStartUp : leftAhead > 0;
      if (!engaged && leftAhead > 0) --leftAhead;
      const bool waits = listedAhead && stretch.waitEvery > 0 && ++found % stretch.waitEvery == 0;
      const double cost = (waits         ? stretch.wait
                           : listedAhead ? stretch.ahead
                                         : stretch.alone) *
                          noise(random);
      if (engaged) ++outcome.engaged.back();
      switch (judge.Listed(Duration(cost), engaged, listedAhead)) {
        case Verdict::kGoOn:
        case Verdict::kConfirm:
          break;
        case Verdict::kTry:
          ++outcome.probes;
          [[fallthrough]];
        case Verdict::kResume:
          engaged = true;
          sinceEngaged = 0;
          break;
        case Verdict::kStop:
          engaged = false;
          leftAhead = kLeftAfterPause;
          break;
      }
    }
  }
  return outcome;
}

// Reading ahead is on where it shortens the walk's listings and off where it does not, whatever
// a listing costs: a slow file system that gains nothing (one busy server) loses no more than a
// few short probes, and a cached one never starts the threads.
TEST(ReadAheadJudgeTest, ReadsAheadWhereItPaysAndOnlyProbesWhereItDoesNot) {
  struct Case {
    std::string name;
    std::vector<Stretch> stretches;
    std::vector<double> engagedAtLeast;  // share of each stretch's listings
    std::vector<double> engagedAtMost;
    std::size_t probesAtMost;
  };
  const std::vector<Case> cases = {
      {"cold disk", {{50000, 400, 15}}, {0.97}, {1}, 1},
      {"network share", {{50000, 2000, 40}}, {0.97}, {1}, 1},
      {"cached", {{50000, 4, 4}}, {0}, {0}, 0},
      {"slow, nothing to gain", {{50000, 150, 160}}, {0}, {0.01}, 10},
      {"slow, and slower with it", {{50000, 150, 600}}, {0}, {0.01}, 10},
      {"cold disk, waiting for the threads now and then",
       {{50000, 400, 15, 8, 600}},
       {0.97},
       {1},
       1},
      // Under Wine most directories are found listed and a few waits undo it all.
      {"slow, with long waits for the threads", {{50000, 150, 5, 8, 1200}}, {0}, {0.01}, 10},
      {"gain, then none", {{20000, 400, 15}, {50000, 150, 160}}, {0.95, 0}, {1, 0.2}, 8},
      {"none, then gain", {{20000, 150, 160}, {50000, 400, 15}}, {0, 0.9}, {0.02, 1}, 8},
      // Tried again after waiting, though listings did not become slower.
      {"none, then gain at much the same speed",
       {{20000, 150, 160}, {50000, 180, 15}},
       {0, 0.5},
       {0.02, 1},
       8},
      {"cached, then cold", {{20000, 4, 4}, {50000, 400, 15}}, {0, 0.97}, {0, 1}, 1},
  };
  for (const Case& c : cases) {
    for (std::uint32_t run = 1; run <= 5; ++run) {
      SCOPED_TRACE(c.name + ", run " + std::to_string(run));
      const Outcome outcome = Walk(c.stretches, run);
      for (std::size_t i = 0; i < c.stretches.size(); ++i) {
        const double share =
            static_cast<double>(outcome.engaged[i]) / static_cast<double>(c.stretches[i].listings);
        EXPECT_GE(share, c.engagedAtLeast[i]) << "stretch " << i;
        EXPECT_LE(share, c.engagedAtMost[i]) << "stretch " << i;
      }
      EXPECT_LE(outcome.probes, c.probesAtMost);
    }
  }
}

// Threads that stop by themselves (what they read was cached) leave the judge off, and it tries
// again only after waiting.
TEST(ReadAheadJudgeTest, ThreadsThatStoppedAreTriedAgainOnlyAfterAWait) {
  ReadAheadJudge judge;
  std::size_t listings = 0;
  while (judge.Listed(Duration(400), false, false) != Verdict::kTry) ++listings;
  EXPECT_EQ(listings + 1, ReadAheadJudge::kSample);
  // The threads stop before the probe is over: the walk sees read-ahead off.
  listings = 0;
  while (judge.Listed(Duration(400), false, false) != Verdict::kTry) ++listings;
  EXPECT_EQ(listings + 1, ReadAheadJudge::kFirstBackoff);
}

}  // namespace
