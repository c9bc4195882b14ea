#include "report/sweep_summary.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <nlohmann/json.hpp>
#include <tuple>

#include "model/cab.h"
#include "sweep/worker_pool.h"

namespace {

constexpr size_t kMostListed = 10;  // lines of each kind before "and N more"

bool Clean(const SweptRun& r) {
  return r.failure.empty() && r.stall.empty() && r.overspeeds.empty() &&
         std::all_of(r.stops.begin(), r.stops.end(),
                     [](const SweptStop& s) { return s.made || s.behind; });
}

// How bad a stop was: one never made at rest is worse than any error, and
// one behind the run's start is nothing.
long Badness(const SweptStop& s) {
  if (s.behind) return 0;
  return s.errorCm ? std::labs(*s.errorCm) : 1L << 40;
}

// A text field quoted, its quotes doubled: commas, quotes and line breaks
// within stay in the field.
std::string CsvField(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string Signed(long cm) { return cm == 0 ? "0" : fmt::format("{:+}", cm); }

void Listed(std::FILE* out, const std::vector<std::string>& lines) {
  for (size_t i = 0; i < lines.size() && i < kMostListed; ++i) fmt::print(out, "{}\n", lines[i]);
  if (lines.size() > kMostListed) fmt::print(out, "and {} more\n", lines.size() - kMostListed);
}

void StationRow(std::FILE* out, const Scenario& s, const std::vector<SweptRun>& runs, size_t k) {
  std::vector<long> errors;
  int made = 0, ran = 0;
  const SweptRun* worst = nullptr;
  for (const SweptRun& r : runs) {
    if (k >= r.stops.size()) continue;
    const SweptStop& stop = r.stops[k];
    if (stop.behind) continue;
    ++ran;
    made += stop.made;
    if (stop.errorCm) errors.push_back(*stop.errorCm);
    if (worst == nullptr || Badness(stop) > Badness(worst->stops[k])) worst = &r;
  }
  std::sort(errors.begin(), errors.end());
  const auto cell = [&](size_t i) { return errors.empty() ? std::string("-") : Signed(errors[i]); };
  fmt::print(out, "{:<16} {:>5} {:>6} {:>7} {:>7} {:>7}  {}\n", s.stations[k].name, ran, made,
             cell(0), cell(errors.size() / 2), cell(errors.size() - 1),
             worst ? Describe(s.sweep, worst->point) : "");
}

}  // namespace

void PrintSweepSummary(std::FILE* out, const Scenario& s, const std::vector<SweptRun>& all) {
  std::vector<SweptRun> runs;  // those that finished: an interruption's are no misses
  std::copy_if(all.begin(), all.end(), std::back_inserter(runs),
               [](const SweptRun& r) { return r.failure != kInterrupted; });
  fmt::print(out, "{:<16} {:>5} {:>6} {:>7} {:>7} {:>7}  {}\n", "station", "runs", "docked",
             "min cm", "median", "max cm", "worst");
  for (size_t k = 0; k < s.stations.size(); ++k) StationRow(out, s, runs, k);
  std::vector<std::string> missed, over, stalls, failed;
  for (const SweptRun& r : runs) {
    const std::string where = Describe(s.sweep, r.point);
    for (size_t k = 0; k < r.stops.size() && k < s.stations.size(); ++k) {
      if (!r.stops[k].made && !r.stops[k].behind) {
        missed.push_back(
            fmt::format("missed {}: {} ({})", s.stations[k].name, r.stops[k].why, where));
      }
    }
    for (const std::string& o : r.overspeeds) over.push_back(fmt::format("{} ({})", o, where));
    if (!r.stall.empty()) stalls.push_back(fmt::format("{} ({})", r.stall, where));
    if (!r.failure.empty()) failed.push_back(fmt::format("failed: {} ({})", r.failure, where));
  }
  for (const std::vector<std::string>* lines : {&missed, &over, &stalls, &failed})
    Listed(out, *lines);
  const auto clean = std::count_if(runs.begin(), runs.end(), Clean);
  if (runs.size() < all.size()) {
    fmt::print(out,
               "\ninterrupted: {} of {} runs finished; {} of them docked every stop with no "
               "limit broken\n",
               runs.size(), all.size(), clean);
    return;
  }
  fmt::print(out, "\n{} of {} runs docked every stop with no limit broken\n", clean, runs.size());
}

const SweptRun& WorstRun(const std::vector<SweptRun>& runs) {
  const auto rank = [](const SweptRun& r) {
    long worst = 0;
    for (const SweptStop& stop : r.stops) worst = std::max(worst, Badness(stop));
    return std::make_tuple(!r.failure.empty(), !r.stall.empty(), !r.overspeeds.empty(), worst);
  };
  return *std::max_element(runs.begin(), runs.end(),
                           [&](const SweptRun& a, const SweptRun& b) { return rank(a) < rank(b); });
}

std::string SweepReportData(const Scenario& s, const std::vector<SweptRun>& runs) {
  nlohmann::json stations = nlohmann::json::array();
  for (size_t k = 0; k < s.stations.size(); ++k) {
    nlohmann::json errors = nlohmann::json::array(), combinations = errors;
    for (const SweptRun& r : runs) {
      if (k >= r.stops.size()) continue;
      errors.push_back(r.stops[k].errorCm ? nlohmann::json(*r.stops[k].errorCm) : nlohmann::json());
      combinations.push_back(Describe(s.sweep, r.point));
    }
    stations.push_back({{"name", s.stations[k].name}, {"errors", errors}, {"runs", combinations}});
  }
  return nlohmann::json{{"window", kDockedWindow * 100},
                        {"worst", Describe(s.sweep, WorstRun(runs).point)},
                        {"runs", runs.size()},
                        {"stations", stations}}
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool SweepFailed(const std::vector<SweptRun>& runs) {
  return !std::all_of(runs.begin(), runs.end(), Clean);
}

std::string SweepCsv(const Scenario& s, const std::vector<SweptRun>& runs) {
  std::string csv = "run";
  for (const SweepAxis& a : s.sweep) csv += "," + a.name;
  csv += ",station,error_cm,docked,failure,first_error_cm\n";
  for (size_t i = 0; i < runs.size(); ++i) {
    std::string head = std::to_string(i + 1);
    for (size_t a = 0; a < s.sweep.size(); ++a) {
      head += fmt::format(",{}", s.sweep[a].values[runs[i].point[a]]);
    }
    const SweptRun& r = runs[i];
    for (size_t k = 0; k < s.stations.size(); ++k) {
      const SweptStop* stop = k < r.stops.size() ? &r.stops[k] : nullptr;
      // Where it first stood, before the driver closed it up: as the layout judges.
      const std::optional<long> first = stop && stop->corrections > 0 && stop->firstErrorCm
                                            ? stop->firstErrorCm
                                        : stop ? stop->errorCm
                                               : std::nullopt;
      csv += fmt::format("{},{},{},{},{},{}\n", head, CsvField(s.stations[k].name),
                         stop && stop->errorCm ? std::to_string(*stop->errorCm) : "",
                         !stop          ? "no"
                         : stop->behind ? "behind"
                         : stop->made   ? "yes"
                                        : "no",
                         CsvField(r.failure), first ? std::to_string(*first) : "");
    }
  }
  return csv;
}
