// The layout of a line: each station's group chosen by the search and told
// by its verdict, the line's limit beacons and the author's kept ones, in
// location order; and the conditions the choices are run over.
#include "layout/layout.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>

#include "layout/search.h"
#include "layout/verdict.h"

namespace {

// An author's beacon the layout keeps, every field of it.
std::string Raw(const RouteBeacon& b) {
  const ATS_BEACONDATA& d = b.data;
  if (d.type == kBeaconRain && d.signal == 0 && d.distance == 0) {
    return fmt::format("rain = {}", d.optional);
  }
  return fmt::format("type = {}, optional = {}, signal = {}, distance = {}", d.type, d.optional,
                     d.signal, d.distance);
}

// The train starts here: the group at the stop itself.
std::vector<Placed> Start(const Placement& line, size_t k, StationLayout& chosen) {
  const Station& st = line.Line().stations[k];
  chosen.code = Codes(st.doorSide).front();
  chosen.docks = true;
  chosen.why = fmt::format("{}: the run starts here", st.name);
  return line.StartGroup(k);
}

// What was chosen for station k and how its runs went.
void Describe(const Scenario& s, size_t k, const Candidate& best, const std::vector<Candidate>& all,
              const std::optional<std::string>& advice, StationLayout& chosen) {
  std::vector<long> sorted = best.errors;
  std::sort(sorted.begin(), sorted.end());
  chosen.code = best.code;
  chosen.approach = best.approach;
  chosen.stoppingPoint = std::find_if(best.group.begin(), best.group.end(), [](const Placed& p) {
                           return p.beacon.data.type == kBeaconStoppingPoint;
                         })->beacon.location;
  chosen.worstCm = *std::max_element(best.errors.begin(), best.errors.end(),
                                     [](long a, long b) { return std::labs(a) < std::labs(b); });
  chosen.medianCm = sorted[sorted.size() / 2];
  chosen.runs = 0;
  for (const Candidate& c : all) chosen.runs += static_cast<int>(c.errors.size());
  chosen.docks = Docks(best);
  chosen.why = Why(s, k, best, all, advice);
}

std::vector<Placed> Choose(const Placement& line, const Trials& trials, size_t k,
                           StationLayout& chosen) {
  const std::vector<Candidate> candidates = Search(line, trials, k);
  const Candidate& best = candidates[Best(candidates)];
  const std::optional<std::string> advice =
      Docks(best) ? std::nullopt : PlatformThatDocks(trials, k, best);
  Describe(line.Line(), k, best, candidates, advice, chosen);
  return best.group;
}

// Every beacon in location order, a station group's comment on its first.
void Assemble(const Scenario& s, const Placement& line,
              const std::vector<std::vector<Placed>>& groups, Layout& out) {
  std::vector<std::pair<Placed, std::string>> all;
  for (const Placed& p : line.Limits()) all.push_back({p, ""});
  for (size_t k = 0; k < groups.size(); ++k) {
    for (size_t i = 0; i < groups[k].size(); ++i) {
      all.push_back({groups[k][i], i == 0 ? out.stations[k].why : ""});
    }
  }
  for (const RouteBeacon& b : s.beacons) {
    if (!Laid(b.data.type)) all.push_back({{b, ""}, ""});
  }
  std::stable_sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
    return a.first.beacon.location < b.first.beacon.location;
  });
  for (auto& [placed, comment] : all) {
    out.beacons.push_back(placed.beacon);
    out.texts.push_back(placed.text.empty() ? Raw(placed.beacon) : placed.text);
    out.comments.push_back(comment);
  }
}

// Each axis of numbers as `pick` takes it from its sorted values; one seed
// and one jitter, the first given.
std::vector<SweepAxis> Reduced(const std::vector<SweepAxis>& axes,
                               std::vector<double> (*pick)(const std::vector<double>&)) {
  std::vector<SweepAxis> out;
  for (const SweepAxis& axis : axes) {
    std::vector<double> v = axis.values;
    std::sort(v.begin(), v.end());
    const bool one = v.size() < 2 || axis.name == "seed" || axis.name == "time_step_jitter";
    out.push_back({axis.name, one ? std::vector<double>{axis.values.front()} : pick(v), axis.line});
  }
  return out;
}

std::vector<double> Ends(const std::vector<double>& v) { return {v.front(), v.back()}; }

std::vector<double> MidpointsNextToTheEnds(const std::vector<double>& v) {
  std::vector<double> mids = {(v[0] + v[1]) / 2};
  if (v.size() > 2) mids.push_back((v[v.size() - 2] + v.back()) / 2);
  return mids;
}

}  // namespace

std::string StopErrorText(long cm) {
  if (cm == kRanThrough) return "through";
  return cm == kNeverReached ? "never" : fmt::format("{:+}", cm);
}

std::vector<SweepAxis> Corners(const std::vector<SweepAxis>& axes) { return Reduced(axes, Ends); }

std::vector<SweepAxis> Between(const std::vector<SweepAxis>& axes) {
  return Reduced(axes, MidpointsNextToTheEnds);
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
  const Placement line(s);
  const std::vector<SweepAxis> conditions = LayoutConditions(s);
  const Trials trials(line, conditions, Corners(conditions), Between(conditions), o);
  std::vector<std::vector<Placed>> groups;
  Layout out;
  for (size_t k = 0; k < s.stations.size(); ++k) {
    if (s.stations[k].stop > s.endLocation) break;
    StationLayout chosen{&s.stations[k], 0, 0, s.stations[k].stop};
    groups.push_back(s.stations[k].stop <= s.startLocation ? Start(line, k, chosen)
                                                           : Choose(line, trials, k, chosen));
    out.stations.push_back(chosen);
  }
  Assemble(s, line, groups, out);
  return out;
}
