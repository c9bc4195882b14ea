#include "host/stops.h"

#include <fmt/format.h>

#include <cmath>

#include "model/stretch_text.h"

namespace {

// The cab shows the target truncated to whole km/h; above it by this much
// the train is really over the target.
constexpr double kOverTarget = 2.0;
// m: a stretch above the target that ends farther before the stop says so
constexpr double kNearTheStop = 10;
constexpr double kTerminusIdleSeconds = 30;  // the run ends this long after the last stop

std::string Corrections(int n) { return fmt::format("{} correction{}", n, n == 1 ? "" : "s"); }

std::string Offset(double off) {
  return fmt::format("{:.2f} m {}", std::fabs(off), off < 0 ? "short" : "beyond");
}

template <class Records>
auto* FirstNotLeft(Records& records, double location) {
  for (auto& r : records) {
    if (!r.departureMs && std::fabs(location - r.station->stop) < kStopSearch) return &r;
  }
  return static_cast<decltype(&records.front())>(nullptr);
}

// "above the cab's target from 2400 to 2800 m, by up to 37.7 km/h", with how
// far before the stop a stretch ended short of it.
std::string OverTarget(const StopRecord& r) {
  const double before = r.station->stop - *r.overTargetTo;
  return fmt::format(
      "above the cab's target {}{}, by up to {:.1f} km/h",
      StretchText(*r.overTargetFrom, *r.overTargetTo),
      before >= kNearTheStop ? fmt::format(" ({:.0f} m before the stop)", before) : "",
      r.overTargetBy);
}

}  // namespace

bool StopMade(const StopRecord& stop) {
  return stop.stoppedAt && !stop.mendedFrom &&
         WithinDockedWindow(*stop.stoppedAt - stop.station->stop);
}

bool StopMissed(const StopRecord& stop) { return !stop.behindTheStart && !StopMade(stop); }

std::string DockedText(const StopRecord& stop, const char* missed) {
  if (stop.behindTheStart) return "behind";
  return StopMade(stop) ? "yes" : missed;
}

std::optional<long> ErrorCm(const StopRecord& r) {
  if (!r.stoppedAt) return std::nullopt;
  return std::lround((*r.stoppedAt - r.station->stop) * 100);
}

std::optional<long> LateSeconds(const StopRecord& r) {
  if (!r.departureMs || !r.station->departureMs) return std::nullopt;
  return *r.departureMs / 1000 - *r.station->departureMs / 1000;
}

std::string MissedBecause(const StopRecord& r, const std::string& stall, double endLocation) {
  if (StopMade(r)) return "";
  if (r.mendedFrom) {
    StopRecord unmended = r;
    unmended.mendedFrom.reset();
    return fmt::format("{}{}; the host moved it {:.2f} m {} to the stopping point",
                       MissedBecause(unmended, "", endLocation),
                       r.stoodOnTheWay.empty() ? "" : ": " + r.stoodOnTheWay,
                       std::fabs(r.station->stop - *r.mendedFrom),
                       r.station->stop > *r.mendedFrom ? "forward" : "back");
  }
  if (!r.stoppedAt && r.crossedAtKmh) {
    return fmt::format("passed without stopping at {:.1f} km/h", *r.crossedAtKmh);
  }
  if (!r.stoppedAt) {
    return stall.empty() ? fmt::format("not reached: the run ended at {:.1f} m", endLocation)
                         : "not reached: the run " + stall;
  }
  const double off = *r.stoppedAt - r.station->stop;
  const std::string tries = r.corrections > 0
                                ? fmt::format(" after {} from {}", Corrections(r.corrections),
                                              Offset(*r.firstStoppedAt - r.station->stop))
                                : "";
  if (off < 0) return fmt::format("stopped {:.2f} m short{}", -off, tries);
  const std::string over = r.overTargetFrom ? OverTarget(r) : "never above the cab's target";
  return fmt::format("overran by {:.2f} m{}; {}", off, tries, over);
}

std::string ClosedUp(const StopRecord& r) {
  if (!StopMade(r) || r.corrections == 0) return "";
  return fmt::format("first stopped {}, closed up with {}",
                     Offset(*r.firstStoppedAt - r.station->stop), Corrections(r.corrections));
}

StopBook::StopBook(const std::vector<Station>& stations, double start, bool reverse) {
  for (const Station& st : stations) {
    records_.push_back({&st});
    records_.back().behindTheStart = (reverse ? st.stop - start : start - st.stop) > kDockedWindow;
  }
}

StopRecord* StopBook::Here(double location) { return FirstNotLeft(records_, location); }
const StopRecord* StopBook::Here(double location) const { return FirstNotLeft(records_, location); }

StopRecord* StopBook::Next(double location) {
  for (StopRecord& r : records_) {
    if (!r.departureMs && r.station->stop + kStopSearch > location) return &r;
  }
  return nullptr;
}

double StopBook::StoppingPoint(double location) const {
  for (const StopRecord& r : records_) {
    if (!r.departureMs && r.station->stop + kStopSearch > location) return r.station->stop;
  }
  return NAN;
}

bool StopBook::Waiting(const RunClock& now, bool automaticDoors) const {
  const StopRecord* stop = Here(now.motion.location);
  if (stop == nullptr) return false;
  const bool dwelling = automaticDoors && stop->doorsOpenMs && !stop->doorsClosedMs;
  return dwelling || (stop->station->departureMs && *stop->station->departureMs > now.timeMs);
}

bool StopBook::DoneAtTheLast(const RunClock& now, bool reverse) const {
  if (records_.empty()) return false;
  const StopRecord& last = reverse ? records_.front() : records_.back();
  return last.doorsClosedMs && now.motion.speed == 0 &&
         now.timeMs - *last.doorsClosedMs >= kTerminusIdleSeconds * 1000;
}

bool StopBook::DoorsOpenedAtTheLast(bool reverse) const {
  if (records_.empty()) return false;
  return (reverse ? records_.front() : records_.back()).doorsOpenMs.has_value();
}

void StopBook::Follow(const RunClock& now, Timeline& timeline) {
  const TrainMotion& motion = now.motion;
  StopRecord* stop = Here(motion.location);
  if (stop == nullptr) return;
  const bool standing = motion.speed == 0;
  const bool doorsWorked = stop->doorsOpenMs || stop->doorsClosedMs;
  if (standing && !doorsWorked && now.lastLocation != motion.location && !stop->mendedFrom) {
    stop->stoppedAt = motion.location;
    if (!stop->firstStoppedAt) stop->firstStoppedAt = motion.location;
    stop->arrivalMs = now.timeMs;
    timeline.Log(fmt::format("stopped at {} ({:+.0f} cm)", stop->station->name,
                             (motion.location - stop->station->stop) * 100));
  }
  if (!standing && stop->stoppedAt && stop->doorsClosedMs && !stop->departureMs) {
    stop->departureMs = now.timeMs;
    timeline.Log(fmt::format("departs from {}", stop->station->name));
  }
}

void StopBook::DoorsOpened(const RunClock& now) {
  StopRecord* stop = Here(now.motion.location);
  if (stop && stop->stoppedAt && !stop->doorsOpenMs) stop->doorsOpenMs = now.timeMs;
}

void StopBook::DoorsClosed(const RunClock& now) {
  StopRecord* stop = Here(now.motion.location);
  if (stop && stop->stoppedAt && !stop->doorsClosedMs) stop->doorsClosedMs = now.timeMs;
}

void StopBook::WatchRunIn(const RunClock& now, int32_t targetKmh) {
  const TrainMotion& motion = now.motion;
  for (StopRecord& r : records_) {
    if (r.stoppedAt || motion.location >= r.station->stop + kStopSearch) continue;
    if (r.crossedAtKmh) return;  // running past it: no stop's run-in
    if (now.lastLocation < r.station->stop && motion.location >= r.station->stop) {
      r.crossedAtKmh = motion.speed;
    }
    // The last stretch above the target is the one that tells.
    const double over = motion.speed - targetKmh;
    if (over >= kOverTarget) {
      if (!wasOverTarget_) {
        r.overTargetFrom = motion.location;
        r.overTargetBy = 0;
      }
      r.overTargetTo = motion.location;
      r.overTargetBy = std::max(r.overTargetBy, over);
    }
    wasOverTarget_ = over >= kOverTarget;
    return;
  }
}
