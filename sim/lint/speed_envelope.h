// The fastest the train can be anywhere along the line under its beacons:
// the beacons' limits, the braking curves as far as its brakes follow them,
// a lowered limit shed by the overspeed brake (notch 4), and no faster than
// its power gains from the run's start and from each stop a stopping-point
// beacon gives. The stations' own stopping curves are not in it: callers
// add them.
#pragma once

#include <functional>
#include <vector>

#include "model/dynamics.h"
#include "model/gain.h"
#include "scenario/scenario.h"

// From a location on until the next piece: v0 at the start, falling at
// decel down to the floor (flat when decel is 0).
struct EnvelopePiece {
  double from;    // m
  double v0;      // km/h
  double floor;   // km/h
  double decel;   // m/s², the most the train sheds
  size_t beacon;  // index of the beacon that starts it
  bool flat() const { return decel == 0 || v0 <= floor; }
};

class SpeedEnvelope {
 public:
  SpeedEnvelope(const Scenario& s, const TrainModel& train);

  double SpeedAt(double location) const;  // km/h
  const EnvelopePiece& PieceAt(double location) const;
  const std::vector<EnvelopePiece>& Pieces() const { return pieces_; }
  // Where the train gains from a stand: there it may be fastest anywhere
  // in a piece, not only where the piece starts.
  const std::vector<Gain>& Gains() const { return gains_; }
  // m/s² a notch sheds on the mean grade from one location to another, as
  // the train model has it, the running resistance aside.
  double Decel(int notch, double from, double to) const;

 private:
  void Limit(size_t beacon, double kmh);
  void Station(size_t beacon, bool curveRuns, double& beforeCurve);
  void Curve(size_t beacon);
  void Build();
  std::vector<double> AimedStops() const;
  double BeaconsAt(double location) const;  // km/h, the pieces' alone
  double StillGaining(double location, double kmh) const;
  std::vector<Gain> GainsUnder(const std::function<double(double)>& limitAt) const;
  double GainedAt(double location) const;

  const Scenario& s_;
  const TrainModel& train_;
  std::vector<EnvelopePiece> pieces_;  // in location order
  std::vector<Gain> gains_;            // from the start and each stop, in location order
};
