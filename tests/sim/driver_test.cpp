// The simulated driver: from a hand-made cab alone (it sees nothing of the
// plug-in), and on small lines through the real plug-in, where a careful
// driver runs clean and careless ones meet each rule of the supervision.
#include "driver.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "channels.h"
#include "two_station_line.h"

namespace {

constexpr std::array<double, 10> kDecel{0, 0.4, 0.8, 1.2, 1.6, 2.0, 2.6, 3.2, 3.8, 4.5};

struct Cab {
  int32_t panel[256] = {};
  Cab(int32_t target, int32_t message = 0) {
    panel[panel::kTargetSpeed] = target;
    panel[panel::kMessage] = message;
    panel[panel::kDistanceUnit] = kUnitKilometres;
    std::fill_n(panel + panel::kTargetDigitHundreds, 3, kTargetDigitBlank);
  }
};

TEST(DriverModel, DrivesByTheCabAlone) {
  Driver driver({DriverMode::Supervised, 0.5, 3}, kDecel, {});
  Cab standing(0);
  EXPECT_EQ(driver.Drive({0, 0, 0, standing.panel, false}).brake, 7);  // waits for the cab
  Cab ready(60, 1);
  EXPECT_EQ(driver.Drive({1000, 0, 0, ready.panel, false}).power, 3);  // "ready to depart"
  Cab running(60);
  EXPECT_EQ(driver.Drive({2000, 50, 100, running.panel, false}).power, 3);
  const HandlePositions cruising = driver.Drive({3000, 56.5, 200, running.panel, false});
  EXPECT_EQ(cruising.power, 0);
  EXPECT_EQ(cruising.brake, 0);
  const HandlePositions over = driver.Drive({4000, 62, 300, running.panel, false});
  EXPECT_EQ(over.power, 0);
  EXPECT_GT(over.brake, 0);
  // In restricted mode the cab shows no target: the driver keeps under the
  // 26 km/h ceiling less his margin.
  Driver restricted({DriverMode::Restricted, 0.5, 3}, kDecel, {});
  Cab none(0);
  restricted.Drive({0, 0, 0, none.panel, false});
  EXPECT_GT(restricted.Drive({1000, 24.5, 100, none.panel, false}).brake, 0);
  EXPECT_EQ(restricted.Drive({2000, 22.5, 120, none.panel, false}).brake, 0);
  // Between looks the handles stay.
  EXPECT_EQ(driver.Drive({4100, 40, 310, running.panel, false}).brake, over.brake);
  // A falling target is anticipated: brake before the target is reached.
  Cab falling(50);
  driver.Drive({5000, 45, 400, falling.panel, false});
  Cab lower(46);
  EXPECT_GT(driver.Drive({6000, 41, 410, lower.panel, false}).brake, 0);
  // A driver without delay may look twice in one instant: no fall is read from that.
  Driver quick({DriverMode::Supervised, 0, 3}, kDecel, {});
  quick.Drive({0, 0, 0, ready.panel, false});
  quick.Drive({1000, 40, 100, falling.panel, false});
  EXPECT_EQ(quick.Drive({1000, 40, 100, lower.panel, false}).brake, 0);
}

// The two-station line handed to the driver; `beacons` adds to it.
RunResult DriveByHand(const std::string& driver,
                      std::vector<std::pair<double, std::string>> beacons = {}) {
  return Drive({.more = std::move(beacons), .driver = driver});
}

std::vector<InterventionKind> Kinds(const RunResult& run) {
  std::vector<InterventionKind> kinds;
  for (const Intervention& i : run.interventions) kinds.push_back(i.kind);
  return kinds;
}

TEST(DriverOnALine, ACarefulDriverRunsCleanAndStopsAtThePlatform) {
  for (const char* mode : {"supervised", "restricted"}) {
    const RunResult run = DriveByHand(fmt::format("mode = \"{}\"", mode));
    EXPECT_TRUE(run.interventions.empty()) << mode << ": " << run.interventions[0].text;
    EXPECT_NEAR(run.stops[1].stoppedAt.value_or(0), 1800, 1.0) << mode;
  }
}

TEST(DriverOnALine, SevenOverTheTargetTripsJustPastFiveAndAHalf) {
  const RunResult run = DriveByHand("mode = \"supervised\"\nmargin = -7");
  const std::vector<InterventionKind> kinds = Kinds(run);
  ASSERT_GE(kinds.size(), 3u);
  EXPECT_EQ(kinds[0], InterventionKind::SpeedTrip);
  EXPECT_EQ(kinds[1], InterventionKind::StopBraking);
  EXPECT_EQ(kinds[2], InterventionKind::BrakeNotice);
  const Intervention& trip = run.interventions[0];
  EXPECT_GT(trip.speed - trip.target, 5.5);
  EXPECT_LT(trip.speed - trip.target, 6.6);  // the cab shows the target truncated
  EXPECT_EQ(trip.target, 60);
  EXPECT_LT(trip.location, 1000);  // on the first stretch at the line limit
}

TEST(DriverOnALine, OverTheCeilingInRestrictedModeIsASpeedTrip) {
  const RunResult run = DriveByHand("mode = \"restricted\"\nmargin = -3");
  ASSERT_FALSE(run.interventions.empty());
  EXPECT_EQ(run.interventions[0].kind, InterventionKind::SpeedTrip);
  EXPECT_GE(run.interventions[0].speed, 26);
}

TEST(DriverOnALine, TheHostStepsDownToTheDriversMode) {
  for (const auto& [mode, shown] : {std::pair{"supervised", "mode: supervised manual"},
                                    std::pair{"restricted", "mode: restricted manual"},
                                    std::pair{"reverse", "mode: reverse"}}) {
    const RunResult run =
        Drive({.run = "max_duration = 10", .driver = fmt::format("mode = \"{}\"", mode)});
    std::string last;
    for (const RunEvent& e : run.events) {
      if (e.text.rfind("mode: ", 0) == 0) last = e.text;
    }
    EXPECT_EQ(last, shown) << mode;
  }
}

TEST(DriverOnALine, ALateBrakerOnABrakingCurveTripsThenGetsTheBrakeNotice) {
  const RunResult run =
      DriveByHand("mode = \"supervised\"\nmargin = 0\nbrake_early = 0\nreaction = 3",
                  {{900, "braking = { final_speed = 25, end = 1100 }"}});
  const auto trip = std::find_if(run.interventions.begin(), run.interventions.end(),
                                 [](auto& i) { return i.kind == InterventionKind::SpeedTrip; });
  ASSERT_NE(trip, run.interventions.end());
  EXPECT_GT(trip->location, 900);
  EXPECT_LT(trip->location, 1100);
  const auto notice = std::find_if(trip, run.interventions.end(),
                                   [](auto& i) { return i.kind == InterventionKind::BrakeNotice; });
  EXPECT_NE(notice, run.interventions.end());
}

TEST(DriverOnALine, ADriverWhoRunsPastTheStopMeetsTheOverrunProtection) {
  // Restricted mode shows no target; a driver who brakes with notch 2 at
  // most cannot stop from 23 km/h in the metres he plans for.
  const RunResult run = DriveByHand("mode = \"restricted\"\nbrake_notch = 2");
  const auto overrun =
      std::find_if(run.interventions.begin(), run.interventions.end(),
                   [](auto& i) { return i.kind == InterventionKind::OverrunProtection; });
  ASSERT_NE(overrun, run.interventions.end());
  EXPECT_GT(overrun->location, 1806.25);
  EXPECT_LT(overrun->location, 1807);
  EXPECT_GT(run.stops[1].stoppedAt.value_or(0), 1806.25);
}

}  // namespace
