#include "report/summary.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <cmath>
#include <map>
#include <vector>

void PrintTimeline(std::FILE* out, const RunResult& run) {
  for (const RunEvent& e : run.events) {
    fmt::print(out, "{}  {:9.1f} m  {:5.1f} km/h  {}\n", FormatTime(e.timeMs), e.location, e.speed,
               e.text);
  }
}

namespace {

std::string Optional(const std::optional<int32_t>& ms) { return ms ? FormatClock(*ms) : "-"; }

// "+21", "-3", and "0" rather than "+0" or "-0".
std::string Signed(const std::optional<long>& value) {
  if (!value) return "-";
  return *value == 0 ? "0" : fmt::format("{:+}", *value);
}

}  // namespace

void PrintInterventions(std::FILE* out, const RunResult& run) {
  if (run.interventions.empty()) return;
  std::map<InterventionKind, int> counts;
  for (const Intervention& i : run.interventions) ++counts[i.kind];
  std::vector<std::string> parts;
  for (const auto& [kind, n] : counts) parts.push_back(fmt::format("{} {}", NameOf(kind), n));
  fmt::print(out, "\n{} interventions of the supervision: {}\n", run.interventions.size(),
             fmt::join(parts, ", "));
  for (const Intervention& i : run.interventions) {
    fmt::print(out, "{}  {:9.1f} m  {:5.1f} km/h  target {:3} km/h  {}\n", FormatClock(i.timeMs),
               i.location, i.speed, i.target, i.text);
  }
}

void PrintStopSummary(std::FILE* out, const RunResult& run) {
  fmt::print(out, "\n{:<16} {:>9} {:>10} {:>9} {:>6} {:>5} {:>6} {:>9} {:>9} {:>7}\n", "station",
             "stop m", "stopped m", "error cm", "docked", "moves", "dwell", "departed", "schedule",
             "late s");
  for (const StopRecord& r : run.stops) {
    const std::string stopped = r.stoppedAt ? fmt::format("{:.2f}", *r.stoppedAt) : "-";
    const std::string dwell =
        r.doorsOpenMs && r.doorsClosedMs
            ? fmt::format("{:.0f}s", (*r.doorsClosedMs - *r.doorsOpenMs) / 1000.0)
            : "-";
    fmt::print(out, "{:<16} {:>9.1f} {:>10} {:>9} {:>6} {:>5} {:>6} {:>9} {:>9} {:>7}\n",
               r.station->name, r.station->stop, stopped, Signed(ErrorCm(r)), DockedText(r, "NO"),
               r.corrections, dwell, Optional(r.departureMs), Optional(r.station->departureMs),
               Signed(LateSeconds(r)));
  }
  for (const StopRecord& r : run.stops) {
    if (StopMissed(r)) {
      fmt::print(out, "missed {}: {}\n", r.station->name,
                 MissedBecause(r, run.stall, run.endLocation));
    } else if (const std::string closedUp = ClosedUp(r); !closedUp.empty()) {
      fmt::print(out, "closed up at {}: {}\n", r.station->name, closedUp);
    }
  }
  for (const Overspeed& o : run.overspeeds) fmt::print(out, "{}\n", Describe(o));
  if (!run.stall.empty()) fmt::print(out, "{}\n", run.stall);
  if (run.end == RunEnd::Interrupted) {
    fmt::print(out, "interrupted at {}, {:.1f} m\n", FormatClock(run.endTimeMs), run.endLocation);
  }
  PrintInterventions(out, run);
  fmt::print(out, "\n{} frames, {} of simulated time, ended at {:.1f} m\n", run.frames,
             FormatDuration(int64_t{run.endTimeMs} - run.startTimeMs), run.endLocation);
}
