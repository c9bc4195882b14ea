#include "lint/speed_envelope.h"

#include <algorithm>
#include <cmath>

#include "model/beacon_codes.h"
#include "model/cab.h"
#include "model/units.h"

SpeedEnvelope::SpeedEnvelope(const Scenario& s, const TrainModel& train) : s_(s), train_(train) {
  pieces_.push_back({-INFINITY, 0, 0, 0, 0});
  double beforeCurve = 0, curveEnd = -INFINITY;
  for (size_t i = 0; i < s.beacons.size(); ++i) {
    const RouteBeacon& b = s.beacons[i];
    if (b.location < s.startLocation) continue;  // behind the train: never passed
    const bool curveRuns = b.location < curveEnd;
    switch (b.data.type) {
      case kBeaconSpeedLimit: Limit(i, b.data.optional); break;
      case kBeaconStation: Station(i, curveRuns, beforeCurve); break;
      case kBeaconStoppingPoint:
        if (curveRuns) Limit(i, beforeCurve);  // the curve ends; its limit never comes
        break;
      case kBeaconBraking:
        beforeCurve = curveRuns ? beforeCurve : pieces_.back().floor;
        curveEnd = beacon::BrakingOf(b.data.optional).end;
        Curve(i);
        break;
      default: break;
    }
    if (b.data.type == kBeaconSpeedLimit || b.data.type == kBeaconStoppingPoint) {
      curveEnd = -INFINITY;
    }
  }
}

const EnvelopePiece& SpeedEnvelope::PieceAt(double x) const {
  const auto after =
      std::upper_bound(pieces_.begin(), pieces_.end(), x,
                       [](double at, const EnvelopePiece& p) { return at < p.from; });
  return *std::prev(after);
}

double SpeedEnvelope::SpeedAt(double x) const {
  const EnvelopePiece& p = PieceAt(x);
  if (p.flat()) return std::max(p.v0, p.floor);
  return std::max(p.floor, SpeedAfterBraking(p.v0, p.decel, x - p.from));
}

double SpeedEnvelope::Decel(int notch, double from, double to) const {
  return Ms(train_.Braking(notch) + TrainModel::GradeDrag(train_.MeanPermille(from, to)));
}

// The limit changes at a beacon: at once upward, shed by notch 4 downward.
void SpeedEnvelope::Limit(size_t i, double kmh) {
  const double x = s_.beacons[i].location, u = SpeedAt(x);
  const double length = s_.dynamics.lengthMetres;
  const double shed = std::max(0.0, Decel(notch::kOverspeed, x - length, x + length));
  pieces_.push_back({x, std::max(u, kmh), kmh, u > kmh ? shed : 0.0, i});
}

// A station's limit at once, but not over a braking curve that runs: the
// curve governs below it and leaves its own final speed as the limit; the
// station's comes back only if a stopping point ends the curve first.
void SpeedEnvelope::Station(size_t i, bool curveRuns, double& beforeCurve) {
  const double kmh = beacon::StationOf(s_.beacons[i].data.optional).limit;
  if (!curveRuns) return Limit(i, kmh);
  beforeCurve = kmh;
  if (kmh < SpeedAt(s_.beacons[i].location)) Limit(i, kmh);  // sheds to it, then holds it
}

// A braking curve from the speed at its beacon down to its final speed at
// its end, as steep as the curve or as the service brake allows.
void SpeedEnvelope::Curve(size_t i) {
  const double x = s_.beacons[i].location, u = SpeedAt(x);
  const beacon::Braking c = beacon::BrakingOf(s_.beacons[i].data.optional);
  if (c.end <= x) return;
  const double asked = DecelerationToSlow(u, c.finalSpeed, c.end - x);
  const double can = std::max(0.0, Decel(notch::kFullService, x - s_.dynamics.lengthMetres, c.end));
  pieces_.push_back({x, u, static_cast<double>(c.finalSpeed), std::min(asked, can), i});
}
