#include "lint/run_forecast.h"

#include <algorithm>
#include <cmath>

#include "model/auto_driving.h"
#include "model/beacon_codes.h"
#include "model/cab.h"
#include "model/dynamics.h"
#include "model/units.h"

namespace {

constexpr double kCountdown = 10;  // s: the cab's countdown runs at least this long from the doors
constexpr double kModeSteps = 6;   // frames the host takes to step the mode down at the start
constexpr double kFarPast = 500;   // m beyond a stop: a train still running there never stops
constexpr double kStuck = 600;     // s on a section: the train is not expected to get there
constexpr double kUnderWay = 5;    // km/h: the train has left, and its next stand is a stop

class RunForecast {
 public:
  explicit RunForecast(const Scenario& s) : s_(s), train_(s.dynamics, s.gradients) {
    Pass();  // the beacons at the start
  }

  ForecastedRun Run() {
    std::vector<StationTime> times;
    // Standing on open line, the driver keys once the host has stepped the
    // mode down and his delay has passed; a train running needs no key.
    double key = motion_.speed != 0
                     ? NAN
                     : now_ + std::max(s_.doors.startKey ? s_.doors.startDelaySeconds : 0,
                                       kModeSteps * s_.timeStep);
    for (const Station& st : s_.stations) {
      if (st.stop < s_.startLocation - kDockedWindow || st.stop > s_.endLocation) continue;
      const bool atStart = times.empty() && motion_.speed == 0 &&
                           std::fabs(st.stop - s_.startLocation) <= s_.doors.window;
      if (!atStart) {
        corrections_ = 0;
        if (!Depart(key)) break;
        if (!times.empty()) times.back().leaves = left_;
        if (!RunTo(st)) {
          times.push_back({&st, NAN, NAN, NAN, stood_});  // where it stood, if anywhere
          break;
        }
      }
      times.push_back({&st, now_, Ready(), NAN, atStart ? motion_.location : stood_});
      // The cab shows its countdown's end a frame before the driver acts.
      key = std::max(times.back().ready, st.departureMs.value_or(0) / 1000.0 + s_.timeStep);
    }
    return {std::move(times), limits_.Take()};
  }

 private:
  // When the start key could go down at a station the train arrived at now:
  // the doors' dwell and the driver's delay after they close, and the cab's
  // countdown from the doors, the departure time aside.
  double Ready() const {
    const double dwell = s_.doors.automatic ? s_.doors.dwellSeconds : 0;
    const double delay = s_.doors.startKey ? s_.doors.startDelaySeconds : 0;
    return now_ + std::max(dwell + delay, s_.doors.automatic ? kCountdown + s_.timeStep : 0);
  }

  // The start key in the first frame at or after `at`, before the plug-in's
  // part of it, leaving the station or closing up to its stop; then frames
  // until the train moves on. Whether it does.
  bool Depart(double at, bool leaving = true) {
    if (std::isnan(at)) return true;  // running already
    while (now_ + s_.timeStep < at - 1e-6) Frame();
    Move();
    if (leaving) pending_ = false;  // the countdown has ended
    driving_.StartKey();
    Drive();
    // Released on a rise, the train may roll back a little before it pulls away.
    while (motion_.speed <= 0 && Frame() < kStuck + at) {
    }
    left_ = now_;
    return motion_.speed > 0;
  }

  // Frames until the train stands again, near the station's stop.
  bool RunTo(const Station& st) {
    const double from = now_;
    stood_ = NAN;
    bool underWay = false;  // a stand while still starting off is no stop
    while (Frame() < from + kStuck && motion_.location < st.stop + kFarPast) {
      underWay |= motion_.speed > kUnderWay;
      if (motion_.speed != 0) continue;
      if (std::isnan(stood_) && underWay) stood_ = motion_.location;
      if (!CloseUp(st)) return std::fabs(motion_.location - st.stop) < kFarPast;
    }
    return false;
  }

  // The driver moves a train that stopped short of the doors' reach up to
  // the stop with the start key, his delay after it came to rest, as long
  // as the cab's target lets the start key act. Whether the train moved.
  bool CloseUp(const Station& st) {
    const double shortBy = st.stop - motion_.location;
    const double target = beacon::StoppingCurveOf(style_).SpeedAt(shortBy);
    if (!s_.doors.startKey || !s_.doors.correctShortStops || shortBy <= s_.doors.window ||
        corrections_ >= kMaxCorrections || target < kStartKeyTarget) {
      return false;
    }
    ++corrections_;
    return Depart(now_ + s_.doors.startDelaySeconds, false);
  }

  // One frame: the train moves under the last handles, then automatic
  // driving reads the cab. The time after it.
  double Frame() {
    Move();
    Drive();
    return now_;
  }
  void Move() {
    train_.Frame(motion_, handles_, s_.timeStep);
    now_ += s_.timeStep;
    limits_.Watch(motion_.location, motion_.speed);
    Pass();
  }
  void Drive() {
    handles_ = driving_.Frame(View());
    handles_.power = std::min(handles_.power, s_.vehicle.powerNotchCount);
  }

  // What automatic driving reads: the limit, under a braking curve while
  // one runs (until the train falls below its final speed or reaches its
  // end, when its final speed becomes the limit), else under the stopping
  // curve, which aims at the stop announced while a dwell is pending, else
  // at the stop after, and past it rises with the overrun.
  auto_driving::View View() {
    const double x = motion_.location, v = motion_.speed;
    const double toStop = (pending_ ? thisStop_ : nextStop_) - x;
    if (braking_) {
      // The curve ends below its final speed or at its end, in this frame:
      // the frame's target is still the curve's, its final speed the limit after.
      const bool ends = v > 1 && (v < curve_.finalSpeed || x >= curve_.end);
      const double radicand =
          Ms(curve_.finalSpeed) * Ms(curve_.finalSpeed) + 2 * curve_.decel * (curve_.end - x);
      const double speed = radicand >= 0 ? Kmh(std::sqrt(radicand)) : limit_;
      const auto_driving::View view{
          v, std::min(limit_, speed), curve_.decel, false, style_, toStop, ends, x, neutral_};
      if (ends) {
        braking_ = false;
        limit_ = curve_.finalSpeed;
      }
      return view;
    }
    const double stopping = beacon::StoppingCurveOf(style_).Aim(toStop);
    return {v,       std::min(limit_, stopping), 0.0, limit_ >= stopping, style_, toStop, false, x,
            neutral_};
  }

  // The beacons up to the train's front, as the plug-in takes them: the
  // stops they give, a dwell announced, the final-braking style (held while
  // a dwell is pending).
  void Pass() {
    for (; beacon_ < s_.beacons.size() && s_.beacons[beacon_].location <= motion_.location;
         ++beacon_) {
      const RouteBeacon& b = s_.beacons[beacon_];
      if (b.location < s_.startLocation) continue;
      switch (b.data.type) {
        case kBeaconStoppingPoint: {
          const beacon::StoppingPoints p = beacon::StoppingPointsOf(b.data.optional);
          thisStop_ = p.thisStop;
          nextStop_ = p.nextStop;
          braking_ = false;
          break;
        }
        case kBeaconStation:
          pending_ = true;
          limit_ = beacon::StationOf(b.data.optional).limit;
          break;
        case kBeaconSpeedLimit:
          limit_ = b.data.optional;
          braking_ = false;
          break;
        case kBeaconLocation: finbak_ = beacon::FinalBrakingStyle(b.data.optional); break;
        case kBeaconDrivingOption:
          if (b.data.optional == beacon::kNeutralSection) neutral_ = motion_.location;
          if (b.data.optional >= 0 && b.data.optional < beacon::kNeutralSection)
            driving_.Hold(b.data.optional);
          break;
        case kBeaconBraking: Curve(b); break;
        default: break;
      }
    }
    if (!pending_) style_ = finbak_;
  }

  // A braking curve from the train's speed at its beacon down to its final
  // speed at its end.
  void Curve(const RouteBeacon& b) {
    const beacon::Braking c = beacon::BrakingOf(b.data.optional);
    const double u = motion_.speed;
    curve_ = {static_cast<double>(c.finalSpeed), static_cast<double>(c.end),
              (Ms(u) * Ms(u) - Ms(c.finalSpeed) * Ms(c.finalSpeed)) / (2 * (c.end - b.location))};
    braking_ = true;
    driving_.BrakingBeacon();
  }

  struct BrakingCurve {
    double finalSpeed, end;  // km/h, m
    double decel;            // m/s²
  };

  const Scenario& s_;
  TrainModel train_;
  LimitWatch limits_{s_.limits, s_.dynamics.lengthMetres, s_.overspeedMarginKmh};
  auto_driving::Driving driving_;
  TrainMotion motion_{s_.startLocation, s_.startSpeed};
  ATS_HANDLES handles_{notch::kHolding, 0, 1, 0};
  double now_ = s_.startTimeMs / 1000.0;
  double left_ = NAN;
  size_t beacon_ = 0;  // the next beacon to pass
  double thisStop_ = 0, nextStop_ = 0;
  bool pending_ = false;  // a dwell announced and not ended
  int finbak_ = 0, style_ = 0;
  double limit_ = 0;    // km/h, the line limit the beacons gave
  double neutral_ = 0;  // m, where the last neutral section began, as the plug-in starts
  bool braking_ = false;
  BrakingCurve curve_{};
  int corrections_ = 0;  // at the stop run to
  double stood_ = NAN;   // where the train first stood there
};

}  // namespace

ForecastedRun ForecastRun(const Scenario& s) { return RunForecast(s).Run(); }
