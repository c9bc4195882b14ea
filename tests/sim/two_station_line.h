// A two-station line for the simulator's tests, laid out by a few fields,
// and its run through the real plug-in.
#pragma once

#include <fmt/format.h>

#include <algorithm>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "call_log.h"
#include "fresh_library.h"
#include "simulator.h"

// Standing at Alder (500 m), bound for Birchfield: in automatic mode, or
// handed to the simulated driver.
struct Line {
  int alderCode = 12, code = 12;  // location codes
  int limit = 60, stationLimit = 60;
  int stop = 1800, platform = 0;  // the beacons' stopping point, the platform (0: there)
  double start = 500, stoppingPoint = 1400, locationBeacon = 1450, stationBeacon = 1500;
  std::string run, doors, tables;                    // more keys of [run] and [doors], more tables
  std::vector<std::pair<double, std::string>> more;  // more beacons: location, fields
  std::string driver;  // keys of [driver]; with them the host steps the mode itself

  std::string Text() const {
    std::vector<std::pair<double, std::string>> beacons = {
        {500, fmt::format("location_code = {}", alderCode)},
        {500, fmt::format("stopping_point = {{ this = 500, next = {} }}", stop)},
        {500, fmt::format("speed_limit = {}", limit)},
        {500, fmt::format("station = {{ limit = {}, departure = \"08:00:30\" }}", limit)},
        {stoppingPoint,
         fmt::format("stopping_point = {{ this = {}, next = {} }}", stop, stop + 2000)},
        {locationBeacon, fmt::format("location_code = {}", code)},
        {stationBeacon,
         fmt::format("station = {{ limit = {}, departure = \"08:03:00\" }}", stationLimit)}};
    beacons.insert(beacons.end(), more.begin(), more.end());
    std::stable_sort(beacons.begin(), beacons.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string text = fmt::format(
        "[run]\nstart_location = {}\nstart_time = \"08:00:00\"\nend_location = {}\n{}\n"
        "[doors]\n{}\n[[station]]\nname = \"Alder\"\nstop = 500\ndeparture = \"08:00:30\"\n"
        "[[station]]\nname = \"Birchfield\"\nstop = {}\n",
        start, stop + 200, run, doors, platform != 0 ? platform : stop);
    if (!driver.empty()) {
      text += "[driver]\n" + driver + "\n";
    } else {  // brake handle to the interlock, then down to automatic mode
      text += "[[action]]\ntime = 0\nbrake = 8\n";
      for (int i = 1; i <= 5; ++i) text += fmt::format("[[action]]\ntime = {}\nkey = 2\n", i * 0.1);
    }
    for (const auto& [at, fields] : beacons) {
      text += fmt::format("[[beacon]]\nlocation = {}\n{}\n", at, fields);
    }
    return text + tables;
  }
};

inline RunResult Drive(const Line& line, std::vector<std::string>* log = nullptr) {
  FreshLibrary();
  static std::list<Scenario> kept;  // results point at their stations
  const Scenario& s = kept.emplace_back(ParseScenario(line.Text(), "line.toml"));
  PluginApi api = LinkedApi();
  if (log) api = RecordingApi(api, [&](const HostCall& c) { log->push_back(FormatCall(c)); });
  return RunScenario(s, api);
}

inline double Error(const RunResult& run) {
  const StopRecord& stop = run.stops.at(1);
  return stop.stoppedAt.value_or(1e9) - stop.station->stop;
}
