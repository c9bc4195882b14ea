#include "layout/segment.h"

#include <algorithm>

#include "model/beacon_codes.h"

namespace {

constexpr int32_t kSegmentDeparture = 8 * 3600 + 30;  // s of the day: the segment's start
// s: the doors' dwell at both ends, and how long before its departure the
// train stands at the start; the cab offers the departure 10 s after the doors.
constexpr double kSegmentDwell = 1;
constexpr int32_t kStandingBefore = 10;
constexpr int32_t kStartDoorSide = -1;  // of the stop the segment starts from

// The train stands at `from` for the departure under `code`, its target the stop.
std::vector<Placed> StartBeacons(double from, double stop, double departure, int32_t code) {
  const beacon::StoppingPoints p{static_cast<int32_t>(from), static_cast<int32_t>(stop)};
  const beacon::Station leave{static_cast<int32_t>(departure), kSegmentDeparture};
  return {CodeBeacon(from, code), Make(from, kBeaconStoppingPoint, beacon::Pack(p), ""),
          Make(from, kBeaconStation, beacon::Pack(leave), "")};
}

}  // namespace

Scenario Segment(const Placement& line, size_t k, const Approach& a, const Section& section) {
  const Scenario& s = line.Line();
  Scenario seg = s;
  const double from = line.Previous(k), stop = line.Stop(k);
  seg.startLocation = from;
  seg.startTimeMs = (kSegmentDeparture - kStandingBefore) * 1000;
  seg.doors.dwellSeconds = kSegmentDwell;
  seg.startSpeed = 0;
  seg.endLocation = stop + 150;
  seg.maxSeconds = 3600;
  seg.timeline.clear();
  seg.pauses.clear();
  const std::string before = StopBeforeName(s, k);
  seg.stations = {{before, from, kStartDoorSide, kSegmentDeparture * 1000, 0}, s.stations[k]};
  seg.stations[1].departureMs.reset();
  seg.beacons.clear();
  for (const Placed& b : StartBeacons(from, stop, section.departure, line.CodeLeavingFor(k, a)))
    seg.beacons.push_back(b.beacon);
  for (const Placed& b : section.beacons) seg.beacons.push_back(b.beacon);
  // The departure's limit, given just before the stop as on the line: a
  // train creeping in starts its final braking there.
  seg.beacons.push_back(line.DepartureLimit(k, line.FastestDeparture(k), a.departureBefore).beacon);
  for (const RouteBeacon& b : s.beacons) {
    if (!Laid(b.data) && b.location > from && b.location < seg.endLocation)
      seg.beacons.push_back(b);
  }
  std::stable_sort(
      seg.beacons.begin(), seg.beacons.end(),
      [](const RouteBeacon& a, const RouteBeacon& b) { return a.location < b.location; });
  seg.sweep.clear();
  return seg;
}

std::vector<Gradient> WithGrade(const std::vector<Gradient>& grades, double from, double metres,
                                double permille) {
  const double to = from + metres;
  std::vector<Gradient> out;
  double beyond = 0;  // the grade the line has at `to`, kept past it
  for (const Gradient& g : grades) {
    if (g.from <= to) beyond = g.permille;
    if (g.from < from) out.push_back(g);
  }
  out.push_back({from, permille, 0});
  out.push_back({to, beyond, 0});
  for (const Gradient& g : grades) {
    if (g.from > to) out.push_back(g);
  }
  return out;
}
