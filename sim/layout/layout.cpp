// The layout of a line: each station's section chosen by the search and
// told by its verdict, the line's limits past the last stop, and the
// author's kept beacons, in location order; and the sweep the choices are
// judged by.
#include "layout/layout.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <optional>

#include "layout/search.h"
#include "layout/verdict.h"
#include "lint/warning.h"
#include "model/auto_driving.h"
#include "model/beacon_codes.h"
#include "model/line_limits.h"

namespace {

// m the run goes on past a stop it lays out: as far as a stop may overrun and dock.
constexpr double kRunOnPastTheLast = 1;

// An author's beacon the layout keeps, every field of it: by name where
// the named form reads back the same.
std::string Raw(const RouteBeacon& b) {
  const ATS_BEACONDATA& d = b.data;
  const bool plain = d.signal == 0 && d.distance == 0 && d.optional >= 0;
  if (plain && d.type == kBeaconRain) return fmt::format("rain = {}", d.optional);
  if (plain && d.type == kBeaconDrivingOption && d.optional <= beacon::kNeutralSection)
    return fmt::format("option = \"{}\"", beacon::kOptions[d.optional]);
  if (plain && d.type == kBeaconDrivingOption && d.optional <= beacon::kFastestShown)
    return fmt::format("option = {{ show_speed = {} }}", d.optional);
  return fmt::format("type = {}, optional = {}, signal = {}, distance = {}", d.type, d.optional,
                     d.signal, d.distance);
}

// m a frame carries the train at 1 km/h, at the sweep's longest frame.
double FrameMetresPerKmh(const Scenario& s, const std::vector<SweepAxis>& sweep) {
  double step = s.timeStep, jitter = s.timeStepJitter;
  for (const SweepAxis& axis : sweep) {
    for (const double v : axis.values) {
      if (axis.name == "time_step") step = std::max(step, v);
      if (axis.name == "time_step_jitter") jitter = std::max(jitter, v);
    }
  }
  return Ms(1) * step * (1 + jitter);
}

// The train of the runs that gains speed fastest: each axis at the value
// that gives it the most traction, less resistance, at a middling speed.
Dynamics FastestGaining(const Scenario& s, const std::vector<SweepAxis>& sweep) {
  constexpr double kAtKmh = 40;
  const auto gain = [&](const SweepPoint& p) {
    const TrainModel train(Apply(s, sweep, p).dynamics);
    return train.Traction(auto_driving::PowerNotch(kAtKmh, INFINITY), kAtKmh) -
           train.Resistance(kAtKmh);
  };
  return Apply(s, sweep, MostScoring(sweep, gain)).dynamics;
}

// The chosen candidate as the line's runs went at station k.
void Describe(const Scenario& s, size_t k, const Candidate& c, StationLayout& out) {
  // The median of the runs that came to rest there, as the sweep gives it.
  std::vector<long> sorted;
  std::copy_if(c.errors.begin(), c.errors.end(), std::back_inserter(sorted),
               [](long e) { return std::labs(e) < kRanThrough; });
  if (sorted.empty()) sorted = c.errors;
  std::sort(sorted.begin(), sorted.end());
  out.code = c.approach.code;
  out.approach = c.approach.kmh;
  out.curveEnd = c.section.curveEnd;
  out.stoppingPoint = s.stations[k].stop - c.approach.before;
  out.errors = c.errors;
  out.worstCm = *std::max_element(c.errors.begin(), c.errors.end(),
                                  [](long a, long b) { return std::labs(a) < std::labs(b); });
  out.medianCm = sorted[sorted.size() / 2];
  out.closedUp = c.closedUp;
  out.docks = Docks(c);
  const std::string runs =
      c.errors.size() == 1 ? "the one run" : fmt::format("the {} runs", c.errors.size());
  out.why = fmt::format("{}: {}: over {} of the sweep above it {}", s.stations[k].name,
                        Choice(s, k, c), runs, Range(c));
}

int RunsOf(const std::vector<Candidate>& all) {
  int n = 0;
  for (const Candidate& c : all) n += static_cast<int>(c.errors.size());
  return n;
}

// A station's choice, and why it does not dock where its trials said so.
struct Chosen {
  size_t k;
  Candidate candidate;
  std::string verdict;  // empty where it docks
  int runs;             // every candidate's
};

class LineLayout {
 public:
  LineLayout(const Scenario& s, const SweepOptions& o, const std::vector<SweepAxis>& sweep)
      : s_(s),
        o_(o),
        line_(s, FrameMetresPerKmh(s, sweep), FastestGaining(s, sweep)),
        trials_(line_, sweep, o) {}

  Layout Run() {
    Layout out;
    out.sweep = trials_.Sweep();
    const size_t combinations = CombinationCount(out.sweep);
    for (size_t k = 0; k < s_.stations.size(); ++k) CheckStation(k);
    if (combinations > kMostCombinations) {
      throw ScenarioError(
          fmt::format("{}: the sweep to write, with the midpoints between its values, has {} "
                      "combinations, more than the {} a sweep may have: give its axes fewer values",
                      s_.path, combinations, kMostCombinations));
    }
    for (size_t k = 0; k < s_.stations.size() && Stop(k) <= s_.endLocation; ++k) {
      if (o_.progress) o_.progress(k, s_.stations.size());
      if (Stop(k) > s_.startLocation + kAtTheStart) {
        Choose(k);
      } else if (Stop(k) >= s_.startLocation - kAtTheStart) {
        start_ = k;
      }
    }
    const std::vector<std::pair<Placed, std::optional<size_t>>> placed = Assemble();
    Scenario written = s_;
    written.beacons.clear();
    for (const auto& p : placed) written.beacons.push_back(p.first.beacon);
    written.sweep = trials_.Sweep();
    Judge(LineRuns(written), out);
    for (const auto& [p, station] : placed) {
      out.beacons.push_back(p.beacon);
      out.texts.push_back(p.text.empty() ? Raw(p.beacon) : p.text);
      out.comments.push_back(station ? out.stations[*station].why : "");
    }
    return out;
  }

 private:
  double Stop(size_t k) const { return s_.stations[k].stop; }

  void Choose(size_t k) {
    const Station& st = s_.stations[k];
    const double floor = chosen_.empty() ? 0 : chosen_.back().candidate.approach.kmh;
    std::vector<Candidate> own =
        Search(line_, trials_, k, floor, Codes(st.doorSide), true, Enough::kSettled);
    if (own.empty()) throw NoApproach(k, floor);
    Candidate& best = own[Best(own, trials_)];
    Finish(trials_, k, best);
    std::vector<Candidate> other;
    const Candidate* otherBest = nullptr;
    const size_t n = trials_.Count();
    if (!Sure(best, n) && st.doorSide != 0) {
      // Enough to tell what the other side's code would do, unless it may be written.
      const Enough enough = s_.layout.allowOtherSide ? Enough::kSettled : Enough::kDocked;
      other = Search(line_, trials_, k, floor, OtherSidesStyles(st.doorSide), false, enough);
      if (!other.empty()) {
        Candidate& nearest = other[Best(other, trials_)];
        Finish(trials_, k, nearest);
        otherBest = &nearest;
      }
    }
    const bool otherSide = s_.layout.allowOtherSide && otherBest != nullptr && Sure(*otherBest, n);
    Chosen c{k, otherSide ? *otherBest : best, "", RunsOf(own) + RunsOf(other)};
    if (!Sure(c.candidate, n)) {
      c.verdict = fmt::format("{}; {}", Cause(line_, trials_, k, own),
                              Remedy(trials_, k, own, otherBest, line_, floor));
    }
    line_.Chose(k, c.candidate.approach);
    chosen_.push_back(std::move(c));
  }

  // A station ahead of the run's start, which the train stops at by the
  // layout's beacons: one the beacons can give, the run going on past it.
  void CheckStation(size_t k) const {
    if (Stop(k) <= s_.startLocation + kAtTheStart) return;
    line_.Check(k);
    const Station& st = s_.stations[k];
    if (s_.endLocation - Stop(k) < kRunOnPastTheLast) {
      throw ScenarioError(fmt::format(
          "{}:{}: station {} stops at {} m, and the run ends at {} m: the run would end before "
          "the train stands; end it at least {:.0f} m past the stop",
          s_.path, st.line, st.name, Stop(k), s_.endLocation, kRunOnPastTheLast));
    }
  }

  ScenarioError NoApproach(size_t k, double floor) const {
    const Station& st = s_.stations[k];
    const LineLimit* low = LowestOver(s_.limits, line_.Previous(k), Stop(k));
    if (low != nullptr && Creeps(low->kmh)) {
      return ScenarioError(fmt::format(
          "{}:{}: station {}: the line's limit of {:g} km/h from {:g} m ({}) is below the {:.0f} "
          "km/h the layout's braking curves come down to: raise it to {:.0f} km/h or more",
          s_.path, st.line, st.name, low->kmh, low->from, LineName(low->line), kSlowestCurve,
          kSlowestCurve));
    }
    return ScenarioError(fmt::format(
        "{}:{}: station {}: no approach fits the {:.0f} m from {} at {:.0f} km/h or more to its "
        "stop under the line's limits there",
        s_.path, st.line, st.name, Stop(k) - line_.Previous(k), StopBeforeName(s_, k), floor));
  }

  // Every beacon in location order, with the station whose group it leads.
  std::vector<std::pair<Placed, std::optional<size_t>>> Assemble() const {
    std::vector<std::pair<Placed, std::optional<size_t>>> all;
    const auto add = [&](const std::vector<Placed>& beacons, std::optional<size_t> station) {
      for (size_t i = 0; i < beacons.size(); ++i)
        all.push_back({beacons[i], i == 0 ? station : std::nullopt});
    };
    for (size_t i = 0; i < chosen_.size(); ++i) {
      const Section& section = chosen_[i].candidate.section;
      if (i > 0 && section.departure != chosen_[i - 1].candidate.approach.kmh)
        all.push_back({line_.DepartureLimit(chosen_[i - 1].k, section.departure,
                                            chosen_[i - 1].candidate.approach.departureBefore),
                       std::nullopt});
      add(section.beacons, chosen_[i].k);
    }
    if (!chosen_.empty()) {
      const Chosen& last = chosen_.back();
      const Section tail = line_.Tail(last.k, last.candidate.approach.kmh);
      if (tail.departure != last.candidate.approach.kmh)
        all.push_back(
            {line_.DepartureLimit(last.k, tail.departure, last.candidate.approach.departureBefore),
             std::nullopt});
      add(tail.beacons, std::nullopt);
    }
    if (start_) {
      const Section tail = line_.Tail(*start_, 0);
      add(line_.StartGroup(*start_, chosen_.empty() ? tail.departure
                                                    : chosen_.front().candidate.section.departure),
          *start_);
      if (chosen_.empty()) add(tail.beacons, std::nullopt);
    } else if (!chosen_.empty()) {
      const Candidate& first = chosen_.front().candidate;
      add(line_.OpenLineStart(chosen_.front().k, first.approach.code, first.section.departure),
          std::nullopt);
    }
    for (const RouteBeacon& b : s_.beacons) {
      if (!Laid(b.data)) all.push_back({{b, ""}, std::nullopt});
    }
    std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
      return a.first.beacon.location < b.first.beacon.location;
    });
    return all;
  }

  // The written line over its sweep, each stop judged on its own (the host
  // moves a train that missed one on): the runs `sweep --keep-going` makes.
  std::vector<SweptRun> LineRuns(const Scenario& written) const {
    SweepOptions o = o_;
    o.keepGoing = true;
    o.progress = nullptr;  // the layout's progress counts stations, not runs
    const std::vector<SweptRun> runs = RunSweep(written, o);
    // Runs cut short by an interruption failed for it, not for the line.
    if (o.interrupted != nullptr && *o.interrupted != 0) throw LayoutInterrupted();
    for (const SweptRun& run : runs) {
      if (!run.failure.empty())
        throw TrialFailed(
            fmt::format("a run of the written line ({})", Describe(written.sweep, run.point)),
            run.failure);
    }
    return runs;
  }

  // Each station as the line's runs show it.
  void Judge(const std::vector<SweptRun>& runs, Layout& out) const {
    size_t next = 0;
    for (size_t k = 0; k < s_.stations.size() && Stop(k) <= s_.endLocation; ++k) {
      StationLayout st{&s_.stations[k]};
      st.stoppingPoint = Stop(k);
      st.docks = true;
      if (next < chosen_.size() && chosen_[next].k == k) {
        Tell(runs, chosen_[next++], st);
      } else {
        if (start_ && *start_ == k) st.code = Codes(s_.stations[k].doorSide).front();
        st.why =
            fmt::format("{}: {}", s_.stations[k].name,
                        start_ && *start_ == k ? "the run starts here" : "behind the run's start");
      }
      out.stations.push_back(st);
    }
    for (size_t k = 0; k + 1 < out.stations.size(); ++k) {
      if (out.stations[k].code != 0) NeverOnTo(out.stations[k], out.stations[k + 1]);
    }
    for (const SweptRun& run : runs) out.runsAboveALimit += !run.overspeeds.empty();
  }

  void Tell(const std::vector<SweptRun>& runs, const Chosen& chosen, StationLayout& st) const {
    const size_t k = chosen.k;
    Candidate line = chosen.candidate;
    line.errors.clear();
    line.missed = line.overspeeds = line.closedUp = 0;
    line.stall.clear();
    for (size_t i = 0; i < runs.size(); ++i) {
      const SweptRun& run = runs[i];
      const bool over =
          std::any_of(run.overspeedsFrom.begin(), run.overspeedsFrom.end(),
                      [&](double x) { return x > line_.Previous(k) && x <= Stop(k); });
      Tally(line, k < run.stops.size() ? &run.stops[k] : nullptr, Stop(k) - line_.Previous(k), over,
            run.failure.empty() ? run.stall : run.failure, i);
    }
    Describe(s_, k, line, st);
    if (chosen.candidate.approach.kmh < line_.FastestApproach(k))
      st.why += fmt::format("; no approach faster than {:.0f} km/h did as well in its trials",
                            chosen.candidate.approach.kmh);
    st.runs = chosen.runs;
    if (s_.layout.allowOtherSide && !chosen.candidate.sideMatches && s_.stations[k].doorSide != 0)
      st.why += " (the other side's style, as [layout] allow_other_side asks)";
    if (st.docks) return Tight(line, chosen, st);
    st.why += "; it does NOT dock: ";
    st.why +=
        chosen.verdict.empty()
            ? fmt::format(
                  "on the whole line's runs, though from {} it docked in every run{}",
                  StopBeforeName(s_, k),
                  line.stall.empty() ? "" : "; a line's run that did not come there: " + line.stall)
            : chosen.verdict;
  }

  // Runs that never got from a station to the next: the next station's
  // verdict tells why, and the station, which may dock itself, says so too.
  static void NeverOnTo(StationLayout& st, const StationLayout& next) {
    const auto never = std::count(next.errors.begin(), next.errors.end(), kNeverReached);
    if (never > 0)
      st.why += fmt::format("; in {} of the {} runs the train never gets from it to {}", never,
                            next.errors.size(), next.station->name);
  }

  // A station that docks, but not within kTightCm of its stop in every run.
  void Tight(const Candidate& line, const Chosen& chosen, StationLayout& st) const {
    if (Worst(line) <= kTightCm) return;
    const auto within = std::count_if(line.errors.begin(), line.errors.end(),
                                      [](long e) { return std::labs(e) <= kTightCm; });
    st.why += fmt::format("; it ends within ±{} cm of the stop in {} of the {} runs", kTightCm,
                          within, line.errors.size());
    const Candidate& trial = chosen.candidate;
    st.why += Worst(trial) <= kTightCm
                  ? fmt::format(", though in every trial from {}", StopBeforeName(s_, chosen.k))
                  : ": " + Loose(line_, trials_, chosen.k, trial);
  }

  const Scenario& s_;
  const SweepOptions& o_;
  Placement line_;  // the codes chosen so far with it
  const Trials trials_;
  std::optional<size_t> start_;
  std::vector<Chosen> chosen_;  // the stations laid out, in order
};

}  // namespace

std::string StopErrorText(long cm) {
  if (cm == kRanThrough) return "through";
  return cm == kNeverReached ? "never" : fmt::format("{:+}", cm);
}

std::vector<SweepAxis> LayoutConditions(const Scenario& s) {
  if (!s.sweep.empty()) return s.sweep;
  std::vector<SweepAxis> axes = {{"brake_scale", {0.95, 1.0, 1.05}, 0},
                                 {"time_step", {1.0 / 30, 1.0 / 60, 1.0 / 120}, 0},
                                 {"time_step_jitter", {0.2}, 0},
                                 {"seed", {1, 2}, 0}};
  if (s.dynamics.loadMass > 0) axes.push_back({"load", {0, 1}, 0});
  return axes;
}

Layout LayOut(const Scenario& s, const SweepOptions& o) {
  return LineLayout(s, o, WithMidpoints(LayoutConditions(s))).Run();
}
