#include "layout/segment.h"

#include <algorithm>

#include "model/beacon_codes.h"

namespace {

constexpr int32_t kSegmentDeparture = 8 * 3600 + 30;  // s of the day: the segment's start
constexpr int32_t kStartDoorSide = -1;                // of the stop the segment starts from

// The train stands at `from` for the departure, its target the stop.
std::vector<Placed> StartBeacons(const Placement& line, double from, double stop) {
  const beacon::StoppingPoints p{static_cast<int32_t>(from), static_cast<int32_t>(stop)};
  const beacon::Station departure{static_cast<int32_t>(line.LimitAt(from)), kSegmentDeparture};
  return {CodeBeacon(from, Codes(kStartDoorSide).front()),
          Make(from, kBeaconStoppingPoint, beacon::Pack(p), ""),
          Make(from, kBeaconStation, beacon::Pack(departure), "")};
}

}  // namespace

Scenario Segment(const Placement& line, size_t k, const std::vector<Placed>& group,
                 const std::vector<SweepAxis>& conditions) {
  const Scenario& s = line.Line();
  Scenario seg = s;
  const double from = line.Previous(k), stop = line.Stop(k);
  seg.startLocation = from;
  seg.startTimeMs = (kSegmentDeparture - 30) * 1000;
  seg.startSpeed = 0;
  seg.endLocation = stop + 150;
  seg.maxSeconds = 3600;
  seg.timeline.clear();
  seg.pauses.clear();
  seg.stations = {{"from", from, kStartDoorSide, kSegmentDeparture * 1000, 0}, s.stations[k]};
  seg.stations[1].departureMs.reset();
  seg.beacons.clear();
  for (const Placed& b : StartBeacons(line, from, stop)) seg.beacons.push_back(b.beacon);
  for (const Placed& b : line.Limits()) {
    if (b.beacon.location > from && b.beacon.location < seg.endLocation)
      seg.beacons.push_back(b.beacon);
  }
  for (const Placed& b : group) seg.beacons.push_back(b.beacon);
  for (const RouteBeacon& b : s.beacons) {
    if (!Laid(b.data.type) && b.location > from && b.location < seg.endLocation)
      seg.beacons.push_back(b);
  }
  std::stable_sort(
      seg.beacons.begin(), seg.beacons.end(),
      [](const RouteBeacon& a, const RouteBeacon& b) { return a.location < b.location; });
  seg.sweep = conditions;
  return seg;
}

std::vector<Gradient> WithPlatform(const Scenario& s, size_t k, double permille) {
  const double stop = s.stations[k].stop, from = stop - kPlatformMetres;
  std::vector<Gradient> out;
  double beyond = 0;  // the grade the line has at the stop, kept past it
  for (const Gradient& g : s.gradients) {
    if (g.from <= stop) beyond = g.permille;
    if (g.from < from) out.push_back(g);
  }
  out.push_back({from, permille, 0});
  out.push_back({stop, beyond, 0});
  for (const Gradient& g : s.gradients) {
    if (g.from > stop) out.push_back(g);
  }
  return out;
}
