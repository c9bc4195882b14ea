// The simulated driver from a hand-made cab alone: it sees nothing of the
// plug-in. On lines through the real plug-in it is tested by the files in
// lines/: a careful driver runs clean, careless ones meet each rule of the
// supervision.
#include "model/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>

#include "channels.h"
#include "model/cab.h"

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

// One mode key a frame, only at a stand, toward the mode wanted.
TEST(DriverModel, StepsTheModeOnlyAtAStand) {
  const struct {
    DriverMode wanted;
    int32_t shown;
    double speed;
    std::optional<int32_t> key;
  } cases[] = {
      {DriverMode::Automatic, kModeUnattended, 0, key::kModeDown},
      {DriverMode::Reverse, kModeAutomatic, 0, key::kModeUp},
      {DriverMode::Automatic, kModeUnattended, 0.1, std::nullopt},  // moving
      {DriverMode::Automatic, kModeUnattended, -0.1, std::nullopt},
      {DriverMode::Supervised, kModeSupervisedManual, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ModeKeyToward(c.wanted, c.shown, c.speed), c.key)
        << static_cast<int32_t>(c.wanted) << " from " << c.shown << " at " << c.speed;
  }
}

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

}  // namespace
