#include "layout/trials.h"

#include <algorithm>
#include <cstdlib>

#include "host/stops.h"
#include "layout/segment.h"
#include "lint/line_check.h"

namespace {

bool OneValue(const SweepAxis& axis) {
  return axis.values.size() < 2 || axis.name == "seed" || axis.name == "time_step_jitter";
}

std::vector<double> Sorted(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  v.erase(std::unique(v.begin(), v.end()), v.end());
  return v;
}

// The weakest braking corner: every axis at its least, the load at its most.
SweepPoint Weakest(const std::vector<SweepAxis>& corners) {
  SweepPoint p;
  for (const SweepAxis& axis : corners)
    p.push_back(axis.name == "load" ? axis.values.size() - 1 : 0);
  return p;
}

SweepPoint Opposite(const std::vector<SweepAxis>& corners, SweepPoint p) {
  for (size_t i = 0; i < p.size(); ++i) p[i] = corners[i].values.size() - 1 - p[i];
  return p;
}

// The brakes varying `share` as much about ×1.
std::vector<SweepAxis> Steadier(std::vector<SweepAxis> axes, double share) {
  for (SweepAxis& axis : axes) {
    if (axis.name != "brake_scale") continue;
    for (double& v : axis.values) v = 1 + (v - 1) * share;
  }
  return axes;
}

}  // namespace

std::vector<SweepAxis> Corners(const std::vector<SweepAxis>& axes) {
  std::vector<SweepAxis> out;
  for (const SweepAxis& axis : axes) {
    const std::vector<double> v = Sorted(axis.values);
    out.push_back({axis.name,
                   OneValue(axis) ? std::vector<double>{axis.values.front()}
                                  : std::vector<double>{v.front(), v.back()},
                   axis.line});
  }
  return out;
}

std::vector<SweepAxis> WithMidpoints(const std::vector<SweepAxis>& axes) {
  std::vector<SweepAxis> out = axes;
  // Rounded to a millionth, as an author would write the value.
  const auto midpoint = [](double a, double b) { return std::round((a + b) / 2 * 1e6) / 1e6; };
  for (SweepAxis& axis : out) {
    const std::vector<double> v = Sorted(axis.values);
    if (axis.name == "seed" || axis.name == "time_step_jitter" || v.size() < 2 ||
        v.size() >= kDenseAxis)
      continue;
    std::vector<double> with = v;
    with.push_back(midpoint(v[0], v[1]));
    if (v.size() > 2) with.push_back(midpoint(v[v.size() - 2], v.back()));
    axis.values = Sorted(with);
  }
  return out;
}

void Tally(Candidate& c, const SweptStop* stop, double section, bool over, const std::string& ended,
           size_t index) {
  c.overspeeds += over;
  if (c.errors.size() <= index) c.errors.resize(index + 1, kNeverReached);
  const bool closedUp = stop != nullptr && stop->corrections > 0 && stop->firstErrorCm;
  // Standing first at the stop before, or behind it, the train never got away;
  // standing farther short than a stop is looked for, it never came there
  // by itself: the host moved it on (--keep-going).
  const bool neverLeft = stop != nullptr && stop->errorCm &&
                         (closedUp ? *stop->firstErrorCm : *stop->errorCm) <=
                             -std::lround((section - kDockedWindow) * 100);
  const bool neverCame = stop != nullptr && stop->errorCm && !closedUp &&
                         *stop->errorCm <= -std::lround(kStopSearch * 100);
  // A stop the train stood at: within reach of it, not moved on by the host.
  if (stop == nullptr || !stop->errorCm || std::labs(*stop->errorCm) >= kRanThrough || neverLeft ||
      neverCame) {
    c.errors[index] = stop != nullptr && stop->ranThrough ? kRanThrough : kNeverReached;
    ++c.missed;
    if (c.stall.empty()) c.stall = !ended.empty() || stop == nullptr ? ended : stop->why;
    return;
  }
  c.closedUp += closedUp;
  c.errors[index] = closedUp ? *stop->firstErrorCm : *stop->errorCm;
  c.missed += !stop->made || closedUp;
}

void Record(Candidate& c, const SweptRun& run, double section, size_t index) {
  if (c.failure.empty()) c.failure = run.failure;
  Tally(c, run.stops.size() > 1 ? &run.stops[1] : nullptr, section, !run.overspeeds.empty(),
        run.failure.empty() ? run.stall : run.failure, index);
}

bool Docks(const Candidate& c) { return !c.errors.empty() && c.missed == 0 && c.overspeeds == 0; }

Trials::Trials(const Placement& line, const std::vector<SweepAxis>& sweep, const SweepOptions& o)
    : line_(line), sweep_(sweep), corners_(Corners(sweep)), options_(o) {
  options_.keepGoing = false;         // the train's own stop is judged, not the host's mending
  options_.untilTheLastDoors = true;  // nothing after that changes how the stop went
  const SweepPoint weakest = Weakest(corners_), strongest = Opposite(corners_, weakest);
  trials_ = {{&corners_, weakest}};
  if (strongest != weakest) trials_.push_back({&corners_, strongest});
  for (const SweepPoint& p : Combinations(corners_)) {
    if (p != weakest && p != strongest) trials_.push_back({&corners_, p});
  }
  atCorners_ = trials_.size();
  const auto atACorner = [&](const SweepPoint& p) {
    for (size_t i = 0; i < p.size(); ++i) {
      const std::vector<double>& ends = corners_[i].values;
      if (std::find(ends.begin(), ends.end(), sweep_[i].values[p[i]]) == ends.end()) return false;
    }
    return true;
  };
  for (const SweepPoint& p : Combinations(sweep_)) {
    if (!atACorner(p)) trials_.push_back({&sweep_, p});
  }
  trials_.push_back({&asTheFileHasIt_, {}});
}

Scenario Trials::Changed(size_t k, const Candidate& c) const {
  Scenario seg = Segment(line_, k, c.approach, c.section);
  const double stop = line_.Stop(k), before = line_.Previous(k);
  Dynamics& d = seg.dynamics;
  switch (c.change.kind) {
    case Change::kPlatform:
      seg.gradients =
          WithGrade(seg.gradients, stop - kPlatformMetres, kPlatformMetres, c.change.value);
      break;
    case Change::kStopBefore:
      seg.gradients = WithGrade(seg.gradients, before - d.lengthMetres,
                                d.lengthMetres + kStopBeforeMetres, c.change.value);
      break;
    case Change::kBrakes:
      for (double& decel : d.decelByNotch) decel *= c.change.value;
      break;
    case Change::kPower: d.accelPerNotch *= c.change.value; break;
    case Change::kNone:
    case Change::kSteadierBrakes: break;
  }
  return seg;
}

void Trials::Run(size_t k, const std::vector<Candidate*>& candidates, size_t from,
                 size_t to) const {
  if (options_.interrupted != nullptr && *options_.interrupted != 0) throw LayoutInterrupted();
  if (candidates.empty() || from >= to) return;
  std::vector<Scenario> segments;
  for (Candidate* c : candidates) {
    segments.push_back(Changed(k, *c));
    if (from == 0) c->warned = StopWarned(segments.back(), segments.back().stations[1]);
  }
  const size_t n = to - from;
  RunInWorkers(
      candidates.size() * n, options_,
      [&](size_t job) {
        const Trial& trial = trials_[from + job % n];
        const Change& change = candidates[job / n]->change;
        if (change.kind != Change::kSteadierBrakes)
          return RunPoint(segments[job / n], *trial.axes, trial.point, options_);
        return RunPoint(segments[job / n], Steadier(*trial.axes, change.value), trial.point,
                        options_);
      },
      [&](size_t job, const SweptRun& run) {
        const std::vector<Station>& stations = segments[job / n].stations;
        Record(*candidates[job / n], run, stations[1].stop - stations[0].stop, from + job % n);
      });
  if (options_.interrupted != nullptr && *options_.interrupted != 0) throw LayoutInterrupted();
  for (const Candidate* c : candidates) {
    if (!c->failure.empty())
      throw TrialFailed("a trial run into station " + line_.Line().stations[k].name, c->failure);
  }
}
