#include "cli/line_page_data.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "layout/trials.h"
#include "lint/speed_envelope.h"
#include "model/cab.h"
#include "scenario/sweep_axes.h"

namespace {

constexpr double kMostPoints = 8000;  // along the line

double Rounded(double v) { return std::round(v * 100) / 100; }

nlohmann::json Profile(const Scenario& s) {
  const TrainModel train(s.dynamics, s.gradients);
  const SpeedEnvelope envelope(s, train);
  const double length = s.dynamics.lengthMetres;
  const double from = std::max(0.0, s.startLocation - length), to = s.endLocation;
  const double step = std::max(1.0, std::ceil((to - from) / kMostPoints));
  nlohmann::json p{{"location", nlohmann::json::array()},   {"declared", nlohmann::json::array()},
                   {"underTrain", nlohmann::json::array()}, {"front", nlohmann::json::array()},
                   {"rear", nlohmann::json::array()},       {"height", nlohmann::json::array()},
                   {"gradient", nlohmann::json::array()}};
  const auto limit = [](const LineLimit* l) {
    return l == nullptr ? nlohmann::json() : nlohmann::json(l->kmh);
  };
  for (double x = from; x <= to; x += step) {
    p["location"].push_back(x);
    p["declared"].push_back(limit(LimitAt(s.limits, x)));
    p["underTrain"].push_back(limit(LowestOver(s.limits, x - length, x)));
    // Before the start no beacon has been passed: nothing to show.
    p["front"].push_back(x < s.startLocation ? nlohmann::json()
                                             : nlohmann::json(Rounded(envelope.SpeedAt(x))));
    p["rear"].push_back(Rounded(envelope.SpeedAt(x + length)));
    p["height"].push_back(Rounded(train.MeanPermille(from, x) * (x - from) / 1000));
    p["gradient"].push_back(train.PermilleAt(x));
  }
  return p;
}

nlohmann::json Stations(const Layout& layout) {
  nlohmann::json out = nlohmann::json::array();
  for (const StationLayout& st : layout.stations) {
    nlohmann::json errors = nlohmann::json::array();
    for (const long e : st.errors)
      errors.push_back(std::labs(e) >= kRanThrough ? nlohmann::json() : nlohmann::json(e));
    out.push_back({{"name", st.station->name},
                   {"stop", st.station->stop},
                   {"docks", st.docks},
                   {"why", st.why},
                   {"errors", errors}});
  }
  return out;
}

nlohmann::json Beacons(const Layout& layout) {
  nlohmann::json out = nlohmann::json::array();
  for (size_t i = 0; i < layout.beacons.size(); ++i) {
    out.push_back({{"location", layout.beacons[i].location},
                   {"text", layout.texts[i]},
                   {"comment", layout.comments[i]}});
  }
  return out;
}

}  // namespace

nlohmann::json LinePageData(const Scenario& written, const Layout& layout) {
  return {{"title", fmt::format("Layout of {}", written.path)},
          {"window", std::lround(kDockedWindow * 100)},
          {"runs", CombinationCount(layout.sweep)},
          {"runsAboveALimit", layout.runsAboveALimit},
          {"stations", Stations(layout)},
          {"beacons", Beacons(layout)},
          {"profile", Profile(written)}};
}
