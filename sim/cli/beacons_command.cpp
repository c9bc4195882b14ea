// corvane-sim beacons: the line's beacons as the host's route file takes them.
#include <fmt/format.h>

#include "cli/commands.h"
#include "cli/session.h"
#include "model/beacon_codes.h"

namespace {

// Location, type, optional value and meaning, as an author copies them.
int PrintBeacons(const Options&, const Scenario& s) {
  fmt::print("{:>10}  {:>4}  {:>11}  {}\n", "location m", "type", "optional", "meaning");
  for (const RouteBeacon& b : s.beacons) {
    fmt::print("{:>10.1f}  {:>4}  {:>11}  {}\n", b.location, b.data.type, b.data.optional,
               beacon::Describe(b.data));
  }
  return FlushStdout() ? 0 : kExitCannotWrite;
}

}  // namespace

Command AddBeacons(CLI::App& app, Options& o) {
  CLI::App* beacons = app.add_subcommand(
      "beacons", "Print the beacons as the host's route file takes them, with their meaning");
  AddScenarioFile(*beacons, o);
  AddSet(*beacons, o);
  beacons->footer(
      "Exit status:\n"
      "  0      printed\n"
      "  2      a bad scenario or usage\n"
      "  3      the standard output cannot be written\n");
  return {beacons, PrintBeacons};
}
