#include "lint/speed_envelope.h"

#include <algorithm>
#include <cmath>

#include "model/beacon_codes.h"
#include "model/cab.h"
#include "model/units.h"

namespace {

// m past a stand the train's gain is followed; farther on it is taken as unbounded.
constexpr double kFarthestGain = 20000;

}  // namespace

// Twice: the gain followed first as if nothing held the train back, then
// from the envelope that gives, so that a train held low gains from there.
SpeedEnvelope::SpeedEnvelope(const Scenario& s, const TrainModel& train) : s_(s), train_(train) {
  gains_ = GainsUnder([](double) { return INFINITY; });
  Build();
  gains_ = GainsUnder([this](double x) { return SpeedAt(x); });
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

double SpeedEnvelope::SpeedAt(double x) const {
  const EnvelopePiece& p = PieceAt(x);
  const double beacons = p.flat() ? std::max(p.v0, p.floor)
                                  : std::max(p.floor, SpeedAfterBraking(p.v0, p.decel, x - p.from));
  return std::min(beacons, GainedAt(x));
}

// From where the train starts, and from each stop it is aimed at, where it stands.
std::vector<Reach> SpeedEnvelope::GainsUnder(const std::function<double(double)>& limitAt) const {
  std::vector<std::pair<double, double>> stands = {{s_.startLocation, s_.startSpeed}};
  for (const RouteBeacon& b : s_.beacons) {
    const double stop = beacon::StoppingPointsOf(b.data.optional).thisStop;
    const bool aimed = b.data.type == kBeaconStoppingPoint && b.location <= stop;
    if (aimed && stop > s_.startLocation && stop <= s_.endLocation) stands.push_back({stop, 0});
  }
  std::sort(stands.begin(), stands.end());
  std::vector<Reach> gains;
  for (size_t i = 0; i < stands.size(); ++i) {
    const auto [from, kmh] = stands[i];
    if (i > 0 && from == stands[i - 1].first) continue;
    const double next = i + 1 < stands.size() ? stands[i + 1].first : s_.endLocation;
    gains.emplace_back(s_.dynamics, s_.gradients, from, std::min(next, from + kFarthestGain), kmh,
                       limitAt);
  }
  return gains;
}

double SpeedEnvelope::GainedAt(double x) const {
  // A stand's own gain starts past it: up to the stop, the train comes to it.
  const auto after = std::lower_bound(gains_.begin(), gains_.end(), x,
                                      [](const Reach& r, double at) { return r.From() < at; });
  if (after == gains_.begin() || x > std::prev(after)->To() + 1) return INFINITY;
  return std::prev(after)->At(x);
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
