#include "layout/trials.h"

#include <algorithm>

#include "layout/layout.h"
#include "layout/segment.h"
#include "lint/line_check.h"

void Record(Candidate& c, const SweptRun& run) {
  const SweptStop* stop = run.stops.size() > 1 ? &run.stops[1] : nullptr;
  c.missed += stop == nullptr || !stop->made;
  if (stop == nullptr || !stop->errorCm) {
    c.errors.push_back(stop != nullptr && stop->ranThrough ? kRanThrough : kNeverReached);
    return;
  }
  c.errors.push_back(*stop->errorCm);
  c.overspeeds += !run.overspeeds.empty();  // on the way to a stop it stood at
}

bool Docks(const Candidate& c) { return c.missed == 0 && c.overspeeds == 0; }

Trials::Trials(const Placement& line, const std::vector<SweepAxis>& conditions,
               const std::vector<SweepAxis>& corners, const std::vector<SweepAxis>& between,
               const SweepOptions& o)
    : line_(line), conditions_(conditions), corners_(corners), between_(between), options_(o) {
  options_.keepGoing = false;  // the train's own stop is judged, not the host's mending
  for (const SweepPoint& p : Combinations(corners_)) trials_.push_back({&corners_, p});
  atCorners_ = trials_.size();
  for (const SweepPoint& p : Combinations(conditions_)) {
    if (!AtACorner(p)) trials_.push_back({&conditions_, p});
  }
  trials_.push_back({&asTheFileHasIt_, {}});
  for (const SweepPoint& p : Combinations(between_)) trials_.push_back({&between_, p});
}

bool Trials::AtACorner(const SweepPoint& p) const {
  for (size_t i = 0; i < p.size(); ++i) {
    const std::vector<double>& ends = corners_[i].values;
    if (std::find(ends.begin(), ends.end(), conditions_[i].values[p[i]]) == ends.end())
      return false;
  }
  return true;
}

void Trials::Run(size_t k, const std::vector<Candidate*>& candidates, size_t from,
                 size_t to) const {
  if (options_.interrupted != nullptr && *options_.interrupted != 0) throw LayoutInterrupted();
  if (candidates.empty() || from >= to) return;
  std::vector<Scenario> segments;
  for (Candidate* c : candidates) {
    segments.push_back(Segment(line_, k, c->group, conditions_));
    if (c->platform) segments.back().gradients = WithPlatform(line_.Line(), k, *c->platform);
    if (from == 0) c->warned = StopWarned(segments.back(), segments.back().stations[1]);
  }
  const size_t n = to - from;
  RunInWorkers(
      candidates.size() * n, options_,
      [&](size_t job) {
        const Trial& trial = trials_[from + job % n];
        return RunPoint(segments[job / n], *trial.axes, trial.point, options_);
      },
      [&](size_t job, const SweptRun& run) { Record(*candidates[job / n], run); });
}
