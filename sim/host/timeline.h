// Where the run stands (the host's clock and the train's motion), and the
// timeline of what happened, each line stamped with where the run stood.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/dynamics.h"

struct RunClock {
  int32_t timeMs = 0;       // the host's time of day, as the plug-in is given it
  double elapsed = 0;       // seconds since the start of the run
  TrainMotion motion;       // now
  double lastLocation = 0;  // before the last move; NaN before the first
};

struct RunEvent {
  int32_t timeMs;
  double location;
  double speed;
  std::string text;
};

class Timeline {
 public:
  explicit Timeline(const RunClock& now) : now_(now) {}

  void Log(std::string text) { events_.push_back(Stamped(std::move(text))); }
  // A line stamped now, to be logged later in its place.
  RunEvent Stamped(std::string text) const {
    const double speed = now_.motion.speed == 0 ? 0.0 : now_.motion.speed;  // no "-0.0"
    return {now_.timeMs, now_.motion.location, speed, std::move(text)};
  }
  size_t Size() const { return events_.size(); }
  void Insert(size_t at, RunEvent event) { events_.insert(events_.begin() + at, std::move(event)); }
  std::vector<RunEvent> Take() { return std::move(events_); }
  const RunClock& Now() const { return now_; }

 private:
  const RunClock& now_;
  std::vector<RunEvent> events_;
};
