#include "lint/reach_check.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "lint/warning.h"
#include "model/beacon_codes.h"
#include "model/cab.h"
#include "model/dynamics.h"
#include "scenario/sweep_axes.h"

namespace {

constexpr double kReadyAbove = 10;  // km/h: the cab shows ready to depart only above this target

// The notch the train leaves a stand with: the start ramp's notch 1 in
// automatic driving, the driver's own by hand.
int StartNotch(const Scenario& s) { return DrivesByHand(s.driver.mode) ? s.driver.powerNotch : 1; }

// The train of the file's sweep that leaves a stand on the gentlest rise:
// each axis where it starts weakest. With the settings that make it so,
// "load 1"; none where the file's own train is that one.
struct WeakestStart {
  Dynamics dynamics;
  std::string settings;
};

WeakestStart WeakestOf(const Scenario& s) {
  const auto steepest = [&](const SweepPoint& p) {
    return TrainModel(Apply(s, s.sweep, p).dynamics).SteepestStart(StartNotch(s));
  };
  const SweepPoint weakest =
      MostScoring(s.sweep, [&](const SweepPoint& p) { return -steepest(p); });
  std::vector<std::string> settings;
  const double own = TrainModel(s.dynamics).SteepestStart(StartNotch(s));
  const double least = steepest(weakest);
  for (size_t i = 0; i < s.sweep.size(); ++i) {
    SweepPoint p = weakest;
    p[i] = 0;
    bool matters = false;
    for (; p[i] < s.sweep[i].values.size(); ++p[i]) matters |= steepest(p) != least;
    if (matters)
      settings.push_back(fmt::format("{} {}", s.sweep[i].name, s.sweep[i].values[weakest[i]]));
  }
  if (least >= own) return {s.dynamics, ""};
  return {Apply(s, s.sweep, weakest).dynamics, fmt::format("{}", fmt::join(settings, ", "))};
}

class ReachCheck {
 public:
  explicit ReachCheck(const Scenario& s)
      : s_(s),
        train_(s.dynamics, s.gradients),
        weakest_(WeakestOf(s)),
        starter_(weakest_.dynamics, s.gradients) {}

  std::vector<std::string> Run() {
    // Running backwards, the stations behind the start are the run's own.
    if (s_.driver.mode == DriverMode::Reverse) return {};
    if (s_.startSpeed == 0) Start();
    for (size_t k = 0; k < s_.stations.size(); ++k) {
      const Station& st = s_.stations[k];
      if (st.stop - s_.startLocation <= kDockedWindow) continue;  // behind or at the start
      if (k + 1 < s_.stations.size()) {
        Rise(st.stop, st.line, fmt::format("station {}: the train stands at its stop", st.name),
             "leave it, nor close up to it from short", "lay the platform");
      }
      End(st);
    }
    return std::move(warnings_);
  }

 private:
  void Warn(int line, const std::string& message) {
    warnings_.push_back(Warning(s_, line, message));
  }

  bool AtTheLastStation() const {
    const auto at = [&](const Station& st) {
      return std::fabs(st.stop - s_.startLocation) <= kDockedWindow;
    };
    const auto ahead = [&](const Station& st) {
      return st.stop - s_.startLocation > kDockedWindow;
    };
    return std::any_of(s_.stations.begin(), s_.stations.end(), at) &&
           std::none_of(s_.stations.begin(), s_.stations.end(), ahead);
  }

  // Before it moves the train passes the beacons at its start and no others:
  // the cab's target there must let it go.
  void Start() {
    const DriverMode mode = s_.driver.mode;
    const bool keyed = mode == DriverMode::Automatic;
    if (!s_.timeline.empty()) return;  // the author's own actions may move it
    if (AtTheLastStation()) return;    // there is nowhere to leave for
    if (keyed && !s_.doors.startKey) {
      Warn(s_.startLine,
           fmt::format("the train cannot leave its start at {:.0f} m: in automatic mode only the "
                       "start key moves it, and doors.start_key is false with no action to press "
                       "it: set doors.start_key = true",
                       s_.startLocation));
      return;
    }
    Rise(s_.startLocation, s_.startLine,
         fmt::format("the train stands at its start, {:.0f} m,", s_.startLocation), "leave it",
         "start the run where it stands");
    if (keyed || mode == DriverMode::Supervised) StartTarget();
  }

  void StartTarget() {
    const double at = s_.startLocation;
    double limit = 0;
    std::optional<double> next;
    int style = 0;  // none before a location beacon
    std::optional<int32_t> code;
    for (const RouteBeacon& b : s_.beacons) {
      if (b.location != at) continue;
      switch (b.data.type) {
        case kBeaconSpeedLimit: limit = b.data.optional; break;
        case kBeaconStation: limit = beacon::StationOf(b.data.optional).limit; break;
        case kBeaconStoppingPoint: next = beacon::StoppingPointsOf(b.data.optional).nextStop; break;
        case kBeaconLocation:
          style = beacon::FinalBrakingStyle(b.data.optional);
          code = b.data.optional;
          break;
        default: break;
      }
    }
    const std::string ready = fmt::format(
        "the cab shows ready to depart, which the departure waits for, only above {:.0f} km/h",
        kReadyAbove);
    const double aim = next.value_or(0);  // the stop the cab aims at: none given is 0 m
    const double target =
        std::min(limit, beacon::StoppingCurveOf(style).SpeedAt(std::max(0.0, aim - at)));
    std::string why;
    if (limit <= kReadyAbove) {
      why = fmt::format(
          "{}, so the cab's target is {:.0f} km/h, and {}: put a station or speed-limit "
          "beacon at {:.0f} m{}",
          limit == 0 ? "no station or speed-limit beacon lies there"
                     : fmt::format("the limit set there is {:.0f} km/h", limit),
          target, ready, at, NearestLimit());
    } else if (at - aim > kOverrunMetres || target <= kReadyAbove) {
      const std::string given =
          next ? fmt::format("the stopping-point beacon there gives the next stop at {:.0f} m", aim)
               : std::string("no stopping-point beacon lies there, so the cab aims at 0 m");
      const std::string held =
          at - aim > kOverrunMetres
              ? fmt::format("{:.0f} m behind the train, and the overrun protection holds it",
                            at - aim)
              : fmt::format("so the cab's target is {:.0f} km/h, and {}", target, ready);
      why = fmt::format("{}, {}: put a stopping-point beacon at {:.0f} m that gives the next stop",
                        given, held, at);
    } else if (!code || !beacon::OffersDeparture(*code)) {
      const std::string none = code ? fmt::format("its location code, {} ({}), is one", *code,
                                                  beacon::DescribeLocation(*code))
                                    : "no location-code beacon lies there";
      why = fmt::format(
          "{}, so the cab never shows ready to depart, which the departure waits for: put a "
          "location-code beacon of location group 1 or 2 at {:.0f} m",
          none, at);
    } else {
      return;
    }
    Warn(s_.startLine, fmt::format("the train cannot leave its start at {:.0f} m: {}", at, why));
  }

  // ", or start the run at 500 m, where the station beacon of line 12
  // lies": the nearest beacon that sets a limit to leave by.
  std::string NearestLimit() const {
    const RouteBeacon* nearest = nullptr;
    for (const RouteBeacon& b : s_.beacons) {
      const int32_t type = b.data.type;
      const double limit = type == kBeaconStation      ? beacon::StationOf(b.data.optional).limit
                           : type == kBeaconSpeedLimit ? b.data.optional
                                                       : 0;
      const double away = std::fabs(b.location - s_.startLocation);
      if (limit > kReadyAbove && b.location < s_.endLocation &&
          (nearest == nullptr || away < std::fabs(nearest->location - s_.startLocation))) {
        nearest = &b;
      }
    }
    if (nearest == nullptr) return "";
    return fmt::format(
        ", or start the run at {:.0f} m, where the {} beacon of {} lies", nearest->location,
        nearest->data.type == kBeaconStation ? "station" : "speed-limit", LineName(nearest->line));
  }

  // A rise that pulls the standing train back harder than the first notch
  // of its departure pulls it on: the start ramp's notch 1 in automatic
  // driving, the driver's own notch by hand.
  void Rise(double at, int line, const std::string& who, const std::string& what,
            const std::string& fix) {
    const int notch = StartNotch(s_);
    const double permille = starter_.PermilleUnder(at), steepest = starter_.SteepestStart(notch);
    if (permille < steepest) return;
    const double traction = starter_.Traction(notch, 0), resistance = starter_.Resistance(0);
    const double back = TrainModel::GradeDrag(permille);
    Warn(line,
         fmt::format(
             "{} on a rise of {:.1f} ‰ under its {:.0f} m, which pulls it back {:.2f} "
             "km/h/s, and {} notch {} gives {:.2f} less {:.2f} of running resistance: the "
             "train cannot {}{}: {} on a rise of less than {:.1f} ‰",
             who, permille, s_.dynamics.lengthMetres, back,
             DrivesByHand(s_.driver.mode) ? "the driver's" : "the start ramp's", notch, traction,
             resistance, what,
             weakest_.settings.empty()
                 ? ""
                 : fmt::format(" in the sweep's runs, judged for its weakest-starting train ({})",
                               weakest_.settings),
             fix, steepest));
  }

  // The run ends when the train's front reaches its end: a stop's docked
  // window must lie before it, or the train may still be moving there.
  void End(const Station& st) {
    const double far = st.stop + kDockedWindow;
    if (s_.endLocation >= far) return;
    Warn(st.line, fmt::format("station {} stops at {} m, but the run ends when the train's front "
                              "reaches {} m, {}: set run.end_location beyond {} m, the far end of "
                              "the stop's docked window",
                              st.name, st.stop, s_.endLocation,
                              s_.endLocation <= st.stop
                                  ? "before the stop"
                                  : "within its docked window, where the train may still move",
                              far));
  }

  const Scenario& s_;
  TrainModel train_;  // for its queries only
  const WeakestStart weakest_;
  const TrainModel starter_;  // the sweep's train that leaves a stand on the gentlest rise
  std::vector<std::string> warnings_;
};

}  // namespace

std::vector<std::string> CheckReach(const Scenario& s) { return ReachCheck(s).Run(); }
