// The run report: one self-contained HTML page with the speed plot, the cab
// at any moment and the stop table.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/simulator.h"
#include "scenario/scenario.h"

// What the page shows of one frame.
struct ReportFrame {
  int32_t timeMs;
  double location, speed, permille;
  int32_t brake, power;
  std::vector<int32_t> cab;  // the panels of kReportPanels, in that order
};

// The cab panels a report shows.
extern const std::vector<int32_t> kReportPanels;

// What the report keeps of a run, bounded whatever its length: an overview
// of a frame every tenth of a second, thinned by half whenever it grows past
// a bound, and each stop's approach (its last 60 m, running) whole.
struct ReportFrames {
  std::vector<ReportFrame> overview, approaches;
};

class ReportRecorder {
 public:
  static constexpr size_t kMostOverview = 20000;
  static constexpr double kApproachMetres = 60;

  explicit ReportRecorder(const Scenario& s);
  void Frame(const FrameRow& row);
  // The frames kept, with the run's last frame at the end of the overview.
  ReportFrames Finish();

 private:
  bool OnApproach(const FrameRow& row) const;

  long everyNth_;
  long seen_ = 0;
  std::vector<double> stops_;
  ReportFrame last_{};
  ReportFrames kept_;
};

// A page with the charting library and `data` inlined: nothing is fetched,
// and the data can neither end nor hide its script element.
std::string InlinedPage(std::string page, const nlohmann::json& data);

// The page as text; the charting library is inlined, nothing is fetched.
// `sweep` is a sweep's stops as JSON (SweepReportData), shown above the run
// of its worst combination; empty for a single run.
std::string RenderReport(const Scenario& scenario, const RunResult& run, const ReportFrames& frames,
                         const std::string& sweep = "");
