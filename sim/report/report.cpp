#include "report/report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "channels.h"
#include "model/beacon_codes.h"
#include "model/cab.h"
#include "report/summary.h"
#include "scenario/stop_style.h"

// Generated at build time from report_page.html and the charting library.
extern const char* const kReportPage;
extern const char* const kChartScript;
extern const char* const kChartStyle;

ReportRecorder::ReportRecorder(const Scenario& s)
    // A tenth of a second's frames apart, at most a million frames on the finest step.
    : everyNth_(static_cast<long>(std::clamp(std::round(0.1 / s.timeStep), 1.0, 1e6))) {
  for (const Station& st : s.stations) stops_.push_back(st.stop);
}

bool ReportRecorder::OnApproach(const FrameRow& row) const {
  if (row.speed == 0) return false;
  return std::any_of(stops_.begin(), stops_.end(), [&](double stop) {
    return row.location <= stop + 1 && row.location >= stop - kApproachMetres;
  });
}

void ReportRecorder::Frame(const FrameRow& row) {
  ReportFrame frame{row.timeMs,        row.location,      row.speed, row.permille,
                    row.handles.brake, row.handles.power, {}};
  for (int32_t p : kCabPanels) frame.cab.push_back(row.panel[p]);
  if (seen_++ % everyNth_ != 0) {
    last_ = std::move(frame);  // added by Finish unless a later frame is kept
    return;
  }
  if (OnApproach(row)) kept_.approaches.push_back(frame);
  std::vector<ReportFrame>& overview = kept_.overview;
  overview.push_back(std::move(frame));
  last_.cab.clear();
  if (overview.size() < kMostOverview) return;
  for (size_t i = 1; 2 * i < overview.size(); ++i) overview[i] = std::move(overview[2 * i]);
  overview.resize((overview.size() + 1) / 2);
  everyNth_ *= 2;
}

ReportFrames ReportRecorder::Finish() {
  if (!last_.cab.empty()) kept_.overview.push_back(last_);
  return std::move(kept_);
}

namespace {

// The line limit at each location: the last speed-limit or station limit passed.
std::vector<double> LineLimits(const Scenario& s, const std::vector<ReportFrame>& frames) {
  std::vector<double> limits;
  double limit = 0;
  size_t next = 0;
  for (const ReportFrame& f : frames) {
    for (; next < s.beacons.size() && s.beacons[next].location <= f.location; ++next) {
      const ATS_BEACONDATA& b = s.beacons[next].data;
      if (b.type == kBeaconSpeedLimit) limit = b.optional;
      if (b.type == kBeaconStation) limit = b.optional / 100000;
    }
    limits.push_back(limit);
  }
  return limits;
}

// The line's own limit at each frame's location; null where none holds.
nlohmann::json DeclaredLimits(const Scenario& s, const std::vector<ReportFrame>& frames) {
  nlohmann::json limits = nlohmann::json::array();
  for (const ReportFrame& f : frames) {
    const LineLimit* l = LimitAt(s.limits, f.location);
    limits.push_back(l ? nlohmann::json(l->kmh) : nlohmann::json());
  }
  return limits;
}

nlohmann::json Optional(const std::optional<int32_t>& ms) {
  return ms ? nlohmann::json(FormatClock(*ms)) : nlohmann::json();
}

nlohmann::json StopTable(const RunResult& run) {
  nlohmann::json stops = nlohmann::json::array();
  for (const StopRecord& r : run.stops) {
    nlohmann::json row{{"name", r.station->name},
                       {"stop", r.station->stop},
                       {"docked", DockedText(r, "no")},
                       {"departed", Optional(r.departureMs)},
                       {"schedule", Optional(r.station->departureMs)}};
    if (r.stoppedAt) {
      row["stopped"] = std::round(*r.stoppedAt * 100) / 100;
      row["error"] = *ErrorCm(r);
    }
    row["moves"] = r.corrections;
    if (const auto late = LateSeconds(r)) row["late"] = *late;
    if (r.doorsOpenMs && r.doorsClosedMs) row["dwell"] = (*r.doorsClosedMs - *r.doorsOpenMs) / 1000;
    stops.push_back(row);
  }
  return stops;
}

constexpr double kCloseUpMetres = 60;

// The last metres of each approach: speed and the stopping curve against
// the distance to the stopping point.
nlohmann::json CloseUps(const Scenario& s, const RunResult& run,
                        const std::vector<ReportFrame>& frames) {
  nlohmann::json closeUps = nlohmann::json::array();
  int32_t after = INT32_MIN;
  for (const StopRecord& r : run.stops) {
    if (!r.arrivalMs) continue;
    const int style = StyleOfStop(s, r.station->stop);
    const beacon::StoppingCurve curve = beacon::StoppingCurveOf(style);
    nlohmann::json distance = nlohmann::json::array(), speed = distance, limit = distance;
    for (const ReportFrame& f : frames) {
      const double to = f.location - r.station->stop;
      if (f.timeMs <= after || f.timeMs > *r.arrivalMs || to < -kCloseUpMetres) continue;
      distance.push_back(std::round(to * 1000) / 1000);
      speed.push_back(std::round(f.speed * 100) / 100);
      limit.push_back(std::round(curve.SpeedAt(-to) * 100) / 100);
    }
    after = r.departureMs.value_or(*r.arrivalMs);
    if (distance.size() < 2) continue;                   // started there: no approach
    const double rest = *r.stoppedAt - r.station->stop;  // the frames kept may end before it
    distance.push_back(std::round(rest * 1000) / 1000);
    speed.push_back(0);
    limit.push_back(std::round(curve.SpeedAt(-rest) * 100) / 100);
    closeUps.push_back({{"name", r.station->name},
                        {"style", style},
                        {"window", kDockedWindow},
                        {"distance", distance},
                        {"speed", speed},
                        {"curve", limit}});
  }
  return closeUps;
}

nlohmann::json Interventions(const RunResult& run) {
  nlohmann::json all = nlohmann::json::array();
  for (const Intervention& i : run.interventions) {
    all.push_back({{"location", std::round(i.location * 10) / 10},
                   {"speed", std::round(i.speed * 10) / 10},
                   {"kind", NameOf(i.kind)},
                   {"text", i.text}});
  }
  return all;
}

nlohmann::json Names(int32_t count, const char* (*name)(int32_t)) {
  nlohmann::json names = nlohmann::json::array();
  for (int32_t i = 0; i < count; ++i) names.push_back(name(i));
  return names;
}

nlohmann::json RunData(const Scenario& s, const RunResult& run, const ReportFrames& kept) {
  const std::vector<ReportFrame>& frames = kept.overview;
  nlohmann::json f{{"time", nlohmann::json::array()},     {"location", nlohmann::json::array()},
                   {"speed", nlohmann::json::array()},    {"target", nlohmann::json::array()},
                   {"gradient", nlohmann::json::array()}, {"brake", nlohmann::json::array()},
                   {"power", nlohmann::json::array()},    {"cab", nlohmann::json::array()},
                   {"limit", LineLimits(s, frames)},      {"declared", DeclaredLimits(s, frames)}};
  for (const ReportFrame& r : frames) {
    f["time"].push_back(r.timeMs);
    f["location"].push_back(std::round(r.location * 100) / 100);
    f["speed"].push_back(std::round(r.speed * 100) / 100);
    f["target"].push_back(r.cab[0]);
    f["gradient"].push_back(r.permille);
    f["brake"].push_back(r.brake);
    f["power"].push_back(r.power);
    f["cab"].push_back(r.cab);
  }
  nlohmann::json stations = nlohmann::json::array(), beacons = nlohmann::json::array(),
                 overspeeds = nlohmann::json::array();
  for (const Overspeed& o : run.overspeeds) overspeeds.push_back(Describe(o));
  for (const Station& st : s.stations) stations.push_back({{"name", st.name}, {"stop", st.stop}});
  for (const RouteBeacon& b : s.beacons) {
    beacons.push_back({{"location", b.location}, {"type", b.data.type}});
  }
  return {{"title", fmt::format("Run of {}", s.path)},
          {"panels", kCabPanels},
          {"modes", Names(kModeCount, ModeShown)},
          {"messages", Names(kMessageCount, MessageShown)},
          {"frames", f},
          {"stations", stations},
          {"beacons", beacons},
          {"stops", StopTable(run)},
          {"closeUps", CloseUps(s, run, kept.approaches)},
          {"interventions", Interventions(run)},
          {"overspeeds", overspeeds}};
}

// JSON to stand inside a script element: "<" and ">" occur only within its
// strings, where escaped they can neither end the element ("</script>") nor
// open a comment that hides its end ("<!--<script>").
std::string ScriptSafe(const std::string& json) {
  std::string out;
  for (const char c : json) {
    if (c == '<') {
      out += "\\u003c";
    } else if (c == '>') {
      out += "\\u003e";
    } else {
      out += c;
    }
  }
  return out;
}

void ReplaceOnce(std::string& text, std::string_view marker, const std::string& with) {
  const size_t at = text.find(marker);
  if (at != std::string::npos) text.replace(at, marker.size(), with);
}

}  // namespace

std::string InlinedPage(std::string page, const nlohmann::json& data) {
  // A name that is not UTF-8 (a file name, say) is shown with replacement characters.
  const std::string text =
      ScriptSafe(data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
  ReplaceOnce(page, "/*UPLOT_CSS*/", kChartStyle);
  ReplaceOnce(page, "/*UPLOT_JS*/", kChartScript);
  ReplaceOnce(page, "/*DATA*/", text);
  return page;
}

std::string RenderReport(const Scenario& s, const RunResult& run, const ReportFrames& frames,
                         const std::string& sweep) {
  nlohmann::json all = RunData(s, run, frames);
  if (!sweep.empty()) all["sweep"] = nlohmann::json::parse(sweep);
  return InlinedPage(kReportPage, all);
}
