#include "lint/speed_envelope.h"

#include <algorithm>
#include <cmath>

#include "model/auto_driving.h"
#include "model/beacon_codes.h"
#include "model/cab.h"
#include "model/units.h"

// Twice: the gain followed first as if nothing held the train back, then
// under the beacons' limits that gives, so that a train held low gains from there.
SpeedEnvelope::SpeedEnvelope(const Scenario& s, const TrainModel& train) : s_(s), train_(train) {
  gains_ = GainsUnder([](double) { return INFINITY; });
  Build();
  gains_ = GainsUnder([this](double x) { return BeaconsAt(x); });
  Build();
}

void SpeedEnvelope::Build() {
  const Scenario& s = s_;
  pieces_.assign(1, {-INFINITY, 0, 0, 0, 0});
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

double SpeedEnvelope::SpeedAt(double x) const { return std::min(BeaconsAt(x), GainedAt(x)); }

double SpeedEnvelope::BeaconsAt(double x) const {
  const EnvelopePiece& p = PieceAt(x);
  if (p.flat()) return std::max(p.v0, p.floor);
  return std::max(p.floor, SpeedAfterBraking(p.v0, p.decel, x - p.from));
}

// The stops the train comes to a stand at: each one the last stopping-point
// beacon before it aims at.
std::vector<double> SpeedEnvelope::AimedStops() const {
  std::vector<std::pair<double, double>> points;  // (location, stop aimed at)
  for (const RouteBeacon& b : s_.beacons) {
    if (b.data.type == kBeaconStoppingPoint)
      points.push_back({b.location, beacon::StoppingPointsOf(b.data.optional).thisStop});
  }
  std::stable_sort(points.begin(), points.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<double> stops;
  for (const auto& point : points) {
    const double stop = point.second;
    const auto after = std::upper_bound(points.begin(), points.end(), stop,
                                        [](double at, const auto& p) { return at < p.first; });
    if (point.first <= stop && std::prev(after)->second == stop) stops.push_back(stop);
  }
  return stops;
}

// From where the train starts, and from each stop it stands at.
std::vector<Gain> SpeedEnvelope::GainsUnder(const std::function<double(double)>& limitAt) const {
  std::vector<std::pair<double, double>> stands = {{s_.startLocation, s_.startSpeed}};
  for (const double stop : AimedStops()) {
    if (stop > s_.startLocation && stop <= s_.endLocation) stands.push_back({stop, 0});
  }
  std::sort(stands.begin(), stands.end());
  std::vector<Gain> gains;
  for (size_t i = 0; i < stands.size(); ++i) {
    const auto [from, kmh] = stands[i];
    if (i > 0 && from == stands[i - 1].first) continue;
    const double next = i + 1 < stands.size() ? stands[i + 1].first : s_.endLocation;
    gains.emplace_back(s_.dynamics, s_.gradients, from, next, kmh, limitAt);
  }
  return gains;
}

double SpeedEnvelope::GainedAt(double x) const {
  // A stand's own gain starts past it: up to the stop, the train comes to it.
  const auto after = std::lower_bound(gains_.begin(), gains_.end(), x,
                                      [](const Gain& r, double at) { return r.From() < at; });
  return after == gains_.begin() ? INFINITY : std::prev(after)->At(x);
}

double SpeedEnvelope::Decel(int notch, double from, double to) const {
  return Ms(train_.Braking(notch) + TrainModel::GradeDrag(train_.MeanPermille(from, to)));
}

// The limit changes at a beacon: at once upward, shed by notch 4 downward.
void SpeedEnvelope::Limit(size_t i, double kmh) {
  const double x = s_.beacons[i].location, reached = SpeedAt(x);
  const double u = reached > kmh ? reached + StillGaining(x, reached) : reached;
  const double length = s_.dynamics.lengthMetres;
  const double shed = std::max(0.0, Decel(notch::kOverspeed, x - length, x + length));
  pieces_.push_back({x, std::max(u, kmh), kmh, u > kmh ? shed : 0.0, i});
}

// km/h a train at u gains on before the overspeed brake acts: under power
// while it still gains from a stand, through the brake's dead time and lag.
double SpeedEnvelope::StillGaining(double x, double u) const {
  const int power = GainedAt(x) < BeaconsAt(x) ? auto_driving::PowerNotch(u, INFINITY) : 0;
  const double gain = train_.Traction(power, u) - train_.Resistance(u) -
                      TrainModel::GradeDrag(train_.PermilleUnder(x));
  const Dynamics& d = s_.dynamics;
  return std::max(0.0, gain) * (d.brakeDelaySeconds + d.lagSeconds);
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
