#include "host/simulator.h"

#include <fmt/format.h>

#include <cmath>

#include "channels.h"
#include "host/beacon_pass.h"
#include "host/cab_log.h"
#include "host/driver_seat.h"
#include "host/frame_clock.h"
#include "host/platform_crew.h"
#include "host/run_back_watch.h"
#include "host/stall_watch.h"
#include "host/stop_mender.h"
#include "host/vehicle_limits.h"
#include "model/cab.h"
#include "model/dynamics.h"

namespace {

constexpr int kProgressFrames = 6000;

// How far the run has come: along the line, or toward its time limit.
double Progress(const Scenario& s, const RunClock& now) {
  const double along = (now.motion.location - s.startLocation) / (s.endLocation - s.startLocation);
  return std::max(along, now.elapsed / s.maxSeconds);
}

// The host: each frame the world moves, the beacons passed, the timeline's
// actions, the driver, the platform crew, then the plug-in's frame and what
// the host watches of it.
class Host {
 public:
  Host(const Scenario& s, const PluginApi& api, const RunHooks& hooks)
      : s_(s),
        api_(api),
        hooks_(hooks),
        model_(s.dynamics, s.gradients),
        beacons_(s, api, model_, timeline_),
        limits_(s.vehicle),
        clock_(s),
        // What happens before the first frame happens at the start, where
        // the train has come from nowhere: standing at a platform there, it
        // has arrived, wherever the start lies.
        now_{s.startTimeMs, 0, {s.startLocation, s.startSpeed}, NAN},
        timeline_(now_),
        stops_(s.stations, s.startLocation, s.driver.mode == DriverMode::Reverse),
        crew_(s, api, stops_, now_, timeline_),
        cabLog_(timeline_),
        stall_(s.stallAfterSeconds),
        mender_(s, stops_, timeline_),
        limitWatch_(s.limits, s.dynamics.lengthMetres, s.overspeedMarginKmh),
        seat_(s, api, now_, timeline_) {}

  RunResult Run() {
    api_.Load();
    api_.SetVehicleSpec(s_.vehicle);
    api_.Initialize(1);
    crew_.DoorsAtTheStart();
    for (long n = 0; !(end_ = Ended()); ++n) {
      if (n > 0) Move();
      now_.timeMs = s_.startTimeMs + static_cast<int32_t>(std::lround(now_.elapsed * 1000));
      beacons_.Pass(now_.motion.location);
      RunTimeline();
      seat_.Drive(n, panel_, crew_.DoorsOpen());
      stops_.Follow(now_, timeline_);
      crew_.Work(panel_);
      limitWatch_.Watch(now_.motion.location, now_.motion.speed);
      Frame();
      stops_.WatchRunIn(now_, panel_[panel::kTargetSpeed]);
      WatchForStall();
      WatchForRunBack();
      if (hooks_.progress && n % kProgressFrames == 0)
        hooks_.progress(Progress(s_, now_), now_.timeMs);
    }
    api_.Dispose();
    cabLog_.Finish();
    return {timeline_.Take(),      stops_.Take(),        frames_, s_.startTimeMs,
            now_.timeMs,           now_.motion.location, *end_,   stallLine_,
            seat_.Interventions(), limitWatch_.Take()};
  }

 private:
  // The world moves on under the last handles.
  void Move() {
    bool paused = false;
    const double step = clock_.NextStep(now_.elapsed, paused);
    if (paused)
      timeline_.Log(fmt::format("host pauses: the next frame comes {:.3f} s later", step));
    now_.lastLocation = now_.motion.location;
    now_.elapsed += step;
    if (mender_.Moving()) return mender_.Move(now_.motion, step);
    model_.Frame(now_.motion, limits_.Applied(handles_, timeline_), step);
  }

  void RunTimeline() {
    while (nextAction_ < s_.timeline.size()) {
      const Action& a = s_.timeline[nextAction_];
      const bool due = a.atSeconds ? now_.timeMs - s_.startTimeMs >= *a.atSeconds * 1000
                                   : now_.motion.location >= *a.atLocation;
      if (!due) return;
      ++nextAction_;
      if (a.kind == ActionKind::OpenDoors) crew_.OpenDoors();
      if (a.kind == ActionKind::CloseDoors) crew_.CloseDoors();
      seat_.Apply(a);
      somethingHappened_ = true;
    }
  }

  void Frame() {
    const ATS_VEHICLESTATE state{now_.motion.location, static_cast<float>(now_.motion.speed),
                                 now_.timeMs};
    const CabBefore before{handles_, panel_[panel::kTrainMode], panel_[panel::kMessage]};
    const int32_t target = panel_[panel::kTargetSpeed];
    handles_ = api_.Elapse(state, panel_, sound_);
    ++frames_;
    const Intervention* counted =
        seat_.Watch({now_.timeMs, now_.motion.location, now_.motion.speed, target, panel_, handles_,
                     seat_.Handles(), crew_.DoorsOpen(), sound_[sound::kOverspeed] == 1,
                     stops_.StoppingPoint(now_.motion.location)});
    cabLog_.Frame(before, handles_, panel_, sound_);
    if (hooks_.frame) {
      hooks_.frame({now_.timeMs, now_.motion.location, now_.motion.speed,
                    model_.PermilleUnder(now_.motion.location), limitWatch_.InForce(), handles_,
                    panel_, counted});
    }
  }

  void WatchForStall() {
    const bool happened = std::exchange(somethingHappened_, false) | crew_.TakeDoorsWorked();
    if (!stall_.Stalled(now_, handles_, panel_, happened, SomethingPending())) return;
    if (hooks_.keepGoing && mender_.Begin(now_, handles_)) return;
    stallLine_ = fmt::format("stalled at {:.1f} m: {}", now_.motion.location,
                             StallWatch::WhyStill(now_, stops_, crew_.DoorsOpen(), handles_));
    timeline_.Log(stallLine_);
  }

  // The plug-in's forward run lost to a rise: the run ends there. The
  // host's own move back to a stop overrun is no such thing.
  void WatchForRunBack() {
    if (!stallLine_.empty() || mender_.Moving()) return;
    if (const std::optional<std::string> why = runBack_.Watch(now_.motion, handles_)) {
      stallLine_ = *why;
      timeline_.Log(stallLine_);
    }
  }

  // A timed action, the doors closing after the dwell, or a departure time.
  bool SomethingPending() const {
    if (nextAction_ < s_.timeline.size() && s_.timeline[nextAction_].atSeconds) return true;
    return stops_.Waiting(now_, s_.doors.automatic);
  }

  // Why the run ends before the next frame, if it does.
  std::optional<RunEnd> Ended() const {
    if (!stallLine_.empty()) return RunEnd::Stalled;
    if (hooks_.interrupted && *hooks_.interrupted) return RunEnd::Interrupted;
    if (now_.motion.location >= s_.endLocation) return RunEnd::EndOfLine;
    // The next frame would come at or after the end of the run.
    if (now_.elapsed + s_.timeStep >= s_.maxSeconds - 1e-9) return RunEnd::MaxDuration;
    const bool reverse = s_.driver.mode == DriverMode::Reverse;
    if (stops_.DoneAtTheLast(now_, reverse)) return RunEnd::Terminus;
    if (hooks_.untilTheLastDoors && stops_.DoorsOpenedAtTheLast(reverse)) return RunEnd::Terminus;
    return std::nullopt;
  }

  const Scenario& s_;
  PluginApi api_;
  const RunHooks& hooks_;
  TrainModel model_;
  BeaconPass beacons_;
  VehicleLimits limits_;
  FrameClock clock_;
  RunClock now_;
  Timeline timeline_;
  StopBook stops_;
  PlatformCrew crew_;
  CabLog cabLog_;
  StallWatch stall_;
  StopMender mender_;
  LimitWatch limitWatch_;
  RunBackWatch runBack_;
  DriverSeat seat_;
  ATS_HANDLES handles_{};
  int32_t panel_[kChannelCount] = {};
  int32_t sound_[kChannelCount] = {};
  size_t nextAction_ = 0;
  bool somethingHappened_ = false;  // an action in this frame
  long frames_ = 0;
  std::optional<RunEnd> end_;
  std::string stallLine_;
};

}  // namespace

RunResult RunScenario(const Scenario& scenario, const PluginApi& api, const RunHooks& hooks) {
  return Host(scenario, api, hooks).Run();
}
