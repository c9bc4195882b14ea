// The run-back watch: a train that runs backwards while the plug-in drives
// it forwards has rolled away, on a rise it cannot climb or hold; the run
// ends there, as a driver would stop it.
#pragma once

#include <cmath>
#include <optional>
#include <string>

#include "atsplugin.h"
#include "model/dynamics.h"

class RunBackWatch {
 public:
  // After each move: why the run ends, once the train has run back farther
  // than a start on a rise lets it.
  std::optional<std::string> Watch(const TrainMotion& m, const ATS_HANDLES& handles);

 private:
  double from_ = NAN;   // m where it began to run back
  double fastest_ = 0;  // km/h backwards since
};
