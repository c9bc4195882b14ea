// Candidates' trials: each choice of code and approach for a station, run
// over the layout's conditions in worker processes, and what each run says
// of the stop. A stop is docked as the run judged it, never by its
// rounded error.
#pragma once

#include <optional>
#include <vector>

#include "layout/placement.h"
#include "sweep/sweep_run.h"

// cm: a run that ran through the stop, or never reached it
constexpr long kRanThrough = 100000, kNeverReached = -kRanThrough;

struct Candidate {
  int32_t code;
  bool sideMatches;
  double approach;
  std::vector<Placed> group;
  std::vector<long> errors;                       // cm, one a trial run
  int missed = 0;                                 // runs whose stop the run judged missed
  int overspeeds = 0;                             // runs above a limit of the line: stops missed
  bool warned = false;                            // lint expects the stop missed
  std::optional<double> platform = std::nullopt;  // ‰ into the stop, where one is tried
};

// One run of a candidate's trial scenario, whose second stop is the station's.
void Record(Candidate& c, const SweptRun& run);

// Every run made and none above a limit of the line.
bool Docks(const Candidate& c);

// The runs each candidate is judged by, the sweep's corners first: the
// combinations there, the sweep's others, the file's own settings, and
// those between the sweep's.
class Trials {
 public:
  Trials(const Placement& line, const std::vector<SweepAxis>& conditions,
         const std::vector<SweepAxis>& corners, const std::vector<SweepAxis>& between,
         const SweepOptions& o);
  Trials(const Trials&) = delete;  // the trials point into its axes
  Trials& operator=(const Trials&) = delete;

  size_t Count() const { return trials_.size(); }
  size_t AtCorners() const { return atCorners_; }

  // Trials `from` to `to` of every candidate, station k's.
  void Run(size_t k, const std::vector<Candidate*>& candidates, size_t from, size_t to) const;

 private:
  struct Trial {
    const std::vector<SweepAxis>* axes;
    SweepPoint point;
  };

  bool AtACorner(const SweepPoint& p) const;

  const Placement& line_;
  std::vector<SweepAxis> conditions_, corners_, between_, asTheFileHasIt_;
  SweepOptions options_;
  std::vector<Trial> trials_;
  size_t atCorners_;
};
