#include "scenario/sweep_axes.h"

#include <fmt/format.h>

#include "scenario/scenario.h"

std::vector<SweepPoint> Combinations(const std::vector<SweepAxis>& axes) {
  std::vector<SweepPoint> all{SweepPoint{}};
  for (const SweepAxis& axis : axes) {
    std::vector<SweepPoint> longer;
    for (const SweepPoint& p : all) {
      for (size_t i = 0; i < axis.values.size(); ++i) {
        longer.push_back(p);
        longer.back().push_back(i);
      }
    }
    all = std::move(longer);
  }
  return all;
}

Scenario Apply(const Scenario& s, const std::vector<SweepAxis>& axes, const SweepPoint& p) {
  Scenario out = s;
  Dynamics& d = out.dynamics;
  for (size_t i = 0; i < axes.size(); ++i) {
    const std::string& name = axes[i].name;
    const double v = axes[i].values[p[i]];
    if (name == "brake_scale") {
      for (double& decel : d.decelByNotch) decel *= v;
    } else if (name == "accel_scale") {
      d.accelPerNotch *= v;
    } else if (name == "load") {
      d.load = v;
    } else if (name == "adhesion") {
      d.adhesion = d.wetAdhesion = v;
    } else if (name == "brake_delay") {
      d.brakeDelaySeconds = v;
    } else if (name == "lag") {
      d.lagSeconds = v;
    } else if (name == "time_step") {
      out.timeStep = v;
    } else if (name == "time_step_jitter") {
      out.timeStepJitter = v;
    } else if (name == "seed") {
      out.seed = static_cast<uint64_t>(v);
    }
  }
  return out;
}

std::string Describe(const std::vector<SweepAxis>& axes, const SweepPoint& p) {
  std::string text;
  for (size_t i = 0; i < axes.size(); ++i) {
    text += fmt::format("{}{} {:g}", i == 0 ? "" : ", ", axes[i].name, axes[i].values[p[i]]);
  }
  return text.empty() ? "as the file has it" : text;
}
