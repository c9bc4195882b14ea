// The train as the host moves it, along the line, in km/h per second. A
// change of notch takes effect after a dead time, then through a first-order
// lag. Traction is the notch's acceleration of the empty train, falling as
// base_speed / v above base_speed (constant power) and with the load's mass;
// the brakes are load-weighed, giving their deceleration at any load; both
// are capped by adhesion (wet while it rains). The grade pulls with its mean
// under the train's whole length. Running resistance A + B|v| + C v² and the
// brakes act like friction: they oppose the motion, never reverse it, and at
// a stand hold the train against what they can. A braked train at a stand is
// held whatever the grade. The host's constant-speed control holds the speed
// at which it was engaged, with no more traction than the power notch gives.
#pragma once

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "atsplugin.h"
#include "model/units.h"

struct Dynamics {
  double accelPerNotch = 0.9;  // km/h per second, per power notch, empty train
  // km/h per second by brake notch 0..9; the last is the emergency brake.
  std::array<double, 10> decelByNotch{0, 0.4, 0.8, 1.2, 1.6, 2.0, 2.6, 3.2, 3.8, 4.5};
  double resistance = 0.05;        // km/h per second while moving: the constant term A
  double resistanceLinear = 0;     // B, km/h per second per km/h
  double resistanceQuadratic = 0;  // C, km/h per second per (km/h)²
  double baseSpeed = INFINITY;     // km/h: traction fades above it; none by default
  double lagSeconds = 0.6;         // first-order lag of the notch response
  double brakeDelaySeconds = 0;    // dead time before a brake change acts
  double powerDelaySeconds = 0;    // dead time before a power change acts
  double lengthMetres = 0;         // the train's length; 0: a point
  double load = 0;                 // 0 empty to 1 full
  double loadMass = 0.5;           // what a full load adds, as a share of the empty mass
  double adhesion = INFINITY;      // the most the wheels transmit, as a share of g
  double wetAdhesion = INFINITY;   // the same while it rains
};

// The grade from a location on, until the next one; level before the first.
struct Gradient {
  double from;      // m
  double permille;  // positive rising in the running direction
  int line;
};

struct TrainMotion {
  double location = 0;  // m, of the train's front
  double speed = 0;     // km/h, negative backwards
};

class TrainModel {
 public:
  explicit TrainModel(const Dynamics& d, std::vector<Gradient> gradients = {});

  // Moves the train by dt seconds under the handles.
  void Step(TrainMotion& m, const ATS_HANDLES& h, double dt);
  // Moves the train through one of the host's frames: a long one in steps
  // of at most kLongestStep.
  void Frame(TrainMotion& m, const ATS_HANDLES& h, double seconds);
  static constexpr double kLongestStep = 0.05;  // s
  // The notch response that holds the train's speed where it runs, as of a
  // train found running steadily: traction up a rise, the brakes down a fall.
  void Settle(const TrainMotion& m);
  // Rain from a rain beacon of non-zero intensity until one of zero.
  void SetRaining(bool raining) { raining_ = raining; }

  // What Step applies, in km/h per second: a brake notch as far as the
  // rails' grip allows, the running resistance and a power notch's traction
  // at a speed, and a grade's pull back (negative on a fall).
  double Braking(int notch) const;
  double Resistance(double kmh) const;
  double Traction(int notch, double kmh) const;
  static constexpr double GradeDrag(double permille) {
    return kGradeKmhPerSecondPerPermille * permille;
  }
  // ‰: the rise on which a standing train's power notch just balances the
  // grade's pull back and the running resistance: on a steeper one it cannot start.
  double SteepestStart(int notch) const {
    return (Traction(notch, 0) - Resistance(0)) / kGradeKmhPerSecondPerPermille;
  }

  // The grade at a location, ‰, positive rising in the running direction.
  double PermilleAt(double location) const;
  // The mean grade under a train whose front is at the location.
  double PermilleUnder(double front) const;
  // The mean grade from one location to another.
  double MeanPermille(double from, double to) const;

 private:
  double NotchEffort(const TrainMotion& m, const ATS_HANDLES& h);
  double Delayed(double asked);
  void Act();                          // the oldest pending change takes effect
  double Rise(double location) const;  // ∫ grade dx from the first gradient: metres × ‰
  double Grip() const;                 // km/h per second the wheels transmit
  double Fade(double kmh) const;  // traction's share left at a speed: constant power above the base
  double Mass() const;            // of the loaded train, in empty trains
  double Pulled(double effort, double kmh) const;  // traction for a positive effort

  Dynamics d_;
  std::vector<Gradient> gradients_;  // in location order
  std::vector<double> rises_;        // Rise at each gradient's start
  double clock_ = 0;                 // seconds the model has run
  double asked_ = 0;                 // the effort the notches last asked for
  double applied_ = 0;               // the effort past the dead time
  // (when, effort) still in the dead time, oldest first: a ring that never
  // allocates; past its size the oldest change acts at once.
  std::array<std::pair<double, double>, 256> pending_{};
  size_t first_ = 0, count_ = 0;
  double effort_ =
      0;  // km/h per second after the lag: traction when positive, braking when negative
  bool holding_ = false;  // constant-speed control engaged
  double heldSpeed_ = 0;
  bool raining_ = false;
};
