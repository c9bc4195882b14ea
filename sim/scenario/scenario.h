// The scenario file: a train, its dynamics, a route of beacons and
// platforms, the run's start and the driver's timeline.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "atsplugin.h"
#include "model/driver.h"
#include "model/dynamics.h"
#include "model/line_limits.h"

// One setting swept and its values, in the order given.
struct SweepAxis {
  std::string name;  // a key a sweep may vary: see scenario/keys.h
  std::vector<double> values;
  int line;  // in the scenario file
};

// A frame in which the host stops calling, as while it loads scenery.
struct Pause {
  double atSeconds;  // from the start of the run
  double seconds;    // how long the frame lasts
  int line;
};

struct RouteBeacon {
  double location;
  ATS_BEACONDATA data;
  int line;  // in the scenario file, for warnings
};

struct Station {
  std::string name;
  double stop;                         // stopping point, metres
  int32_t doorSide;                    // -1, 0 or +1
  std::optional<int32_t> departureMs;  // schedule, for the summary
  int line;
};

enum class ActionKind { Key, Power, Brake, Reverser, OpenDoors, CloseDoors };

struct Action {
  std::optional<double> atSeconds;   // from the start of the run
  std::optional<double> atLocation;  // when the train reaches it
  ActionKind kind;
  int32_t value = 0;
  int line;
};

struct DoorBehaviour {
  bool automatic = true;     // open when stopped at a platform, close after the dwell
  double dwellSeconds = 20;  // doors open this long
  double window = 1.0;       // metres either side of the stopping point
  bool startKey = true;      // the driver presses the start key when ready
  double startDelaySeconds = 2;
  // The driver moves a train that stopped short up to the stopping point
  // with the start key, at most this many times a stop.
  bool correctShortStops = true;
};

constexpr int kMaxCorrections = 3;

// How `layout` may lay the line out.
struct LayoutSettings {
  bool allowOtherSide = false;  // a location code of the other door side may be written
};

struct Scenario {
  std::string path;
  std::shared_ptr<const std::string> source;  // the text it was read from
  ATS_VEHICLESPEC vehicle{8, 5, 2, 3, 6};
  double carLengthMetres = 20;  // the train is vehicle.carCount of them long
  Dynamics dynamics;            // its length set from the cars
  double timeStep = 1.0 / 60;
  double timeStepJitter = 0;  // each step drawn from timeStep × [1 - j, 1 + j]
  uint64_t seed = 1;          // of that draw
  std::vector<Pause> pauses;  // in time order
  double startLocation = 0;
  int startLine = 0;  // of run.start_location (of [run] when not given), for warnings
  int32_t startTimeMs = 0;
  double startSpeed = 0;
  double endLocation = 0;
  double maxSeconds = 3600;
  double stallAfterSeconds = 120;    // standing with nothing pending ends the run
  std::vector<Gradient> gradients;   // in location order
  std::vector<RouteBeacon> beacons;  // in location order
  std::vector<Station> stations;     // in location order
  std::vector<LineLimit> limits;     // in location order
  double overspeedMarginKmh = 3;     // above a line limit by more is reported
  std::vector<Action> timeline;
  DoorBehaviour doors;
  DriverStyle driver;
  std::vector<SweepAxis> sweep;  // for --sweep, in the order of scenario/keys.h
  LayoutSettings layout;
};
