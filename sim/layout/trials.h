// Candidates' trials: each choice of approach for a station, run over the
// layout's conditions in worker processes, and what each run says of the
// stop. A stop is docked as the run judged it, never by its rounded error,
// and only where the train stood there by itself: one the driver closed up
// with the start key is not.
#pragma once

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "layout/placement.h"
#include "sweep/sweep_run.h"

// cm: a run that ran through the stop, or never reached it
constexpr long kRanThrough = 100000, kNeverReached = -kRanThrough;

// m past the stop before that a grade tried under it runs on
constexpr double kStopBeforeMetres = 150;

// What a remedy changes in a candidate's runs: the platform's grade, the
// grade under the stop before, or the train.
struct Change {
  enum Kind { kNone, kPlatform, kStopBefore, kBrakes, kPower, kSteadierBrakes };
  Kind kind = kNone;
  double value = 0;  // ‰ for a grade, a factor for the train
};

struct Candidate {
  Approach approach;
  bool sideMatches;
  Section section;
  std::vector<long> errors;  // cm where the train first came to rest, by trial, as far as run
  int missed = 0;            // runs whose stop the train did not make by itself
  int overspeeds = 0;        // runs above a limit of the line: stops missed
  int closedUp = 0;          // runs whose stop the driver closed up
  std::string stall;         // how a run that never reached the stop ended
  bool warned = false;       // lint expects the stop missed
  std::string failure;       // a run that did not finish: crashed, or over the run limit
  Change change = {};
};

// How the station's stop went in trial `index`: where the train first
// stood, whether it was made by the train itself, whether the run broke a
// limit of the line on the way (`over`), and how a run that never came
// there, or never left the stop `section` metres before, ended.
void Tally(Candidate& c, const SweptStop* stop, double section, bool over, const std::string& ended,
           size_t index);
// One run of a candidate's trial scenario, whose second stop is the
// station's, `section` metres after its first.
void Record(Candidate& c, const SweptRun& run, double section, size_t index);

// Every run made by the train itself and none above a limit of the line.
bool Docks(const Candidate& c);

// A trial run that did not finish (the plug-in crashed, or ran over the run
// limit): the stop it was to show is not known, and no verdict can stand.
struct TrialFailed : std::runtime_error {
  TrialFailed(const std::string& run, const std::string& failure)
      : std::runtime_error(run + " failed: " + failure) {}
};

// SIGINT or SIGTERM came during a layout: nothing is to be written.
struct LayoutInterrupted : std::runtime_error {
  LayoutInterrupted() : std::runtime_error("interrupted") {}
};

// The runs each candidate is judged by: every combination of the sweep
// written with the layout, the two opposite corners first (the weakest
// braking and the strongest), then the other corners, then the rest; and
// last the file's own settings.
class Trials {
 public:
  Trials(const Placement& line, const std::vector<SweepAxis>& sweep, const SweepOptions& o);
  Trials(const Trials&) = delete;  // the trials point into its axes
  Trials& operator=(const Trials&) = delete;

  size_t Count() const { return trials_.size(); }
  size_t AtCorners() const { return atCorners_; }
  const std::vector<SweepAxis>& Sweep() const { return sweep_; }

  // Trials `from` to `to` of every candidate, station k's. Throws
  // LayoutInterrupted once the options' flag is set.
  void Run(size_t k, const std::vector<Candidate*>& candidates, size_t from, size_t to) const;

 private:
  struct Trial {
    const std::vector<SweepAxis>* axes;
    SweepPoint point;
  };

  Scenario Changed(size_t k, const Candidate& c) const;

  const Placement& line_;
  std::vector<SweepAxis> sweep_, corners_, asTheFileHasIt_;
  SweepOptions options_;
  std::vector<Trial> trials_;
  size_t atCorners_;
};

// The sweep's corners: each axis of numbers at its least and greatest value,
// one seed and one jitter. A choice is run there first: the stops spread
// widest there, and one that misses a corner is not run further.
std::vector<SweepAxis> Corners(const std::vector<SweepAxis>& axes);
// The sweep with the midpoints next to the first and last values of each
// axis of numbers among its values, where it has fewer than five: a
// written sweep laid out again keeps its values. A choice that docks over
// the sweep only by the luck of its values misses some of these.
constexpr size_t kDenseAxis = 5;
std::vector<SweepAxis> WithMidpoints(const std::vector<SweepAxis>& axes);
