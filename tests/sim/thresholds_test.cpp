// The host judges the plug-in with thresholds of its own (cab.h). Each is
// held to the plug-in's by a scan across it: wherever the host's value says
// yes, the plug-in acts, and nowhere else.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

#include "fixture.h"
#include "model/beacon_codes.h"
#include "model/cab.h"
#include "test_line.h"

namespace {

constexpr int32_t kStop = 2000;

class Thresholds : public PluginTest {
 protected:
  // A standing or moving train placed at `beyond` metres past the stop, in
  // the given mode, with the doors shut and the driver's brake handle as given.
  void Place(int32_t mode, double beyond, double speed, int32_t brakeHandle = 0) {
    FreshLibrary();
    host.moving = false;
    ReadyAtStart(host, mode, 60, kStop);
    host.SetBrake(brakeHandle);
    host.Place(kStop + beyond, speed, kEightAm + 1000);
    host.Frame();
  }

  // The host's and the plug-in's answer agree at every step of the scan.
  void Scan(double from, double to, double step, const std::function<bool(double)>& host,
            const std::function<bool(double)>& plugin) {
    int yes = 0, no = 0;
    for (double x = from; x <= to + 1e-9; x += step) {
      const bool acts = plugin(x);
      EXPECT_EQ(host(x), acts) << "at " << x;
      (acts ? yes : no)++;
    }
    EXPECT_GT(yes, 0);
    EXPECT_GT(no, 0);
  }
};

TEST_F(Thresholds, DockedWindowIsWhereTheDockedLampLights) {
  Scan(
      -1.0, 1.0, 0.01, [](double d) { return std::fabs(d) <= kDockedWindow + 1e-9; },
      [&](double d) {
        Place(kModeAutomatic, d, 0);
        return host.panel[panel::kDockedLamp] == 1;
      });
}

TEST_F(Thresholds, CeilingIsWhereRestrictedManualStopsTheTrain) {
  Scan(
      20, 30, 0.05, [](double v) { return v >= kCeilingKmh - 1e-6; },
      [&](double v) {
        Place(kModeRestrictedManual, -500, v);
        return atc.stopbrake != kStopNone;
      });
}

TEST_F(Thresholds, OverrunIsWhereTheOverrunProtectionBrakes) {
  Scan(
      5, 8, 0.05, [](double d) { return d > kOverrunMetres + 1e-9; },
      [&](double d) {
        Place(kModeSupervisedManual, d, 0);
        return host.handles.brake == notch::kFullService;
      });
}

TEST_F(Thresholds, StartKeyTargetIsWhereTheStartKeyIsTaken) {
  // Short of the stop the stopping curve's target grows with the distance;
  // the host presses where the cab shows the target, the plug-in takes the
  // key by its own. The driver's brake handle stays at 8, as in automatic mode.
  Scan(
      -1.5, -0.2, 0.01,
      [&](double d) {
        Place(kModeAutomatic, d, 0, notch::kFullService);
        return host.panel[panel::kTargetSpeed] >= kStartKeyTarget;
      },
      [&](double d) {
        Place(kModeAutomatic, d, 0, notch::kFullService);
        host.PressKey(key::kStart);
        return atc.startkey;
      });
}

// Lint's model of the final braking: the notch each style takes at e km/h
// below the stopping curve, the curve being the host's own reading too; and
// into the stop past the station beacon, the notch the last metres and the
// overrun take, by speed, for the notch held before.
TEST_F(Thresholds, FinalBrakingNotchIsThePluginsForEveryStyle) {
  constexpr double kToStop = 100;
  const auto placed = [&](int32_t code, double toStop, double kmh) {
    FreshLibrary();
    host.moving = false;
    ReadyAtStart(host, kModeAutomatic, 80, kStop, code);
    host.Beacon(kBeaconStation, beacon::Pack(beacon::Station{80, 9 * 3600}));
    const int32_t held = host.handles.brake;
    host.Place(kStop - toStop, kmh, kEightAm + 1000);
    host.Frame();
    return held;
  };
  for (const auto& [style, code] : {std::pair{1, 12}, {2, 11}, {3, 17}}) {
    SCOPED_TRACE(style);
    const double curve = beacon::StoppingCurveOf(style).SpeedAt(kToStop);
    std::set<int32_t> notches;
    for (double e = -1.025; e < 2.95; e += 0.05) {  // clear of each band's edge
      placed(code, kToStop, curve - e);
      EXPECT_EQ(host.handles.brake, beacon::FinalBrakingNotch(style, e)) << "e " << e;
      notches.insert(host.handles.brake);
    }
    EXPECT_GE(notches.size(), 4u);  // the scan crossed the style's bands
    for (double kmh : {0.5, 2.5}) {
      for (double toStop = 1.025; toStop > -7; toStop -= 0.05) {
        const int held = placed(code, toStop, kmh);
        EXPECT_EQ(host.handles.brake, beacon::StoppingNotch(style, toStop, kmh, held))
            << toStop << " m at " << kmh << " km/h";
      }
    }
  }
}

}  // namespace
