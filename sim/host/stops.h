// The stop records and their judgement: for each station, how the train ran
// in, where it came to rest, when its doors were worked, when it left, and
// whether that was a stop made (docked) or a stop missed, and why.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/timeline.h"
#include "model/cab.h"
#include "scenario/scenario.h"

// A train that stands within this many metres of a stopping point stands at
// that station; one that runs this far past it has passed it.
constexpr double kStopSearch = 50.0;

struct StopRecord {
  const Station* station;
  std::optional<double> stoppedAt;       // where the train last came to rest there
  std::optional<double> firstStoppedAt;  // where it first came to rest, before any correction
  std::optional<int32_t> arrivalMs, doorsOpenMs, doorsClosedMs, departureMs;
  int corrections = 0;                 // start-key presses to close up to the stop
  std::optional<double> crossedAtKmh;  // speed as the train crossed the stopping point
  // The last stretch where the train ran faster than the cab's target on its way in.
  std::optional<double> overTargetFrom, overTargetTo;
  double overTargetBy = 0;  // km/h at most
  // Where it stood when the host moved it to the stopping point (--keep-going).
  std::optional<double> mendedFrom;
  std::string stoodOnTheWay;    // how it stood, where that was short of the stop's reach
  bool behindTheStart = false;  // the run starts past it: neither made nor missed
};

// A stop is made when the train came to rest within the docked window by
// itself; it is missed when it was not made and lies ahead of the run's start.
bool StopMade(const StopRecord& stop);
bool StopMissed(const StopRecord& stop);
// "yes", "NO" (or "no"), or "behind" the run's start, as a table shows a stop.
std::string DockedText(const StopRecord& stop, const char* missed);

// Why a stop was missed, in words; empty for a stop made. `stall` is the
// run's stall line, if it stalled; `endLocation` where the run ended.
std::string MissedBecause(const StopRecord& stop, const std::string& stall, double endLocation);

// Where the train came to rest, in whole centimetres beyond the stopping point.
std::optional<long> ErrorCm(const StopRecord& stop);
// How late the train left, in whole seconds of the clock as the summary
// shows it: on time is 0, whatever the power's response took.
std::optional<long> LateSeconds(const StopRecord& stop);

// How a stop made after corrections first came to rest; empty otherwise.
std::string ClosedUp(const StopRecord& stop);

class StopBook {
 public:
  // `start` is where the run starts; a station farther back than the
  // docked window, in the direction of travel, lies behind it.
  StopBook(const std::vector<Station>& stations, double start, bool reverse);

  // The stop the train stands at or runs through: the first within the
  // search distance that it has not left.
  StopRecord* Here(double location);
  const StopRecord* Here(double location) const;
  // The first stop not yet left that the train has not passed by more
  // than the search distance: the one it stands at or runs to.
  StopRecord* Next(double location);
  // The stopping point of the platform the train runs to or stands at; NaN past the last.
  double StoppingPoint(double location) const;

  // Arrivals (the train came to rest before its doors were worked) and
  // departures (it moves after they closed), as the frame shows them.
  void Follow(const RunClock& now, Timeline& timeline);
  // Doors worked at a stop are its door times, whoever worked them.
  void DoorsOpened(const RunClock& now);
  void DoorsClosed(const RunClock& now);
  // How the train runs in to the next stop: where it crossed the stopping
  // point and the last stretch above the cab's target.
  void WatchRunIn(const RunClock& now, int32_t targetKmh);

  // Whether the train stands at a stop that it will leave by itself: the
  // doors will close after the dwell, or the departure time is ahead.
  bool Waiting(const RunClock& now, bool automaticDoors) const;

  // Whether the train has stood at the last stop in its direction of travel
  // (the first, running in reverse) for a while since its doors closed.
  bool DoneAtTheLast(const RunClock& now, bool reverse) const;
  // Whether the doors have opened at that last stop.
  bool DoorsOpenedAtTheLast(bool reverse) const;

  const std::vector<StopRecord>& All() const { return records_; }
  std::vector<StopRecord> Take() { return std::move(records_); }

 private:
  std::vector<StopRecord> records_;
  bool wasOverTarget_ = false;
};
