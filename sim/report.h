// The run report: one self-contained HTML page with the speed plot, the cab
// at any moment and the stop table.
#pragma once

#include <string>
#include <vector>

#include "scenario.h"
#include "simulator.h"

// What the page shows of one frame.
struct ReportFrame {
  int32_t timeMs;
  double location, speed, permille;
  int32_t brake, power;
  std::vector<int32_t> cab;  // the panels of kReportPanels, in that order
};

// The cab panels a report shows.
extern const std::vector<int32_t> kReportPanels;

// Keeps every n-th frame from the first, and the last.
class ReportRecorder {
 public:
  explicit ReportRecorder(int everyNth) : everyNth_(everyNth) {}
  void Frame(const FrameRow& row);
  // The frames kept, with the run's last frame at the end.
  std::vector<ReportFrame> Finish() {
    if (!last_.cab.empty()) frames_.push_back(last_);
    return std::move(frames_);
  }

 private:
  int everyNth_;
  long seen_ = 0;
  ReportFrame last_{};
  std::vector<ReportFrame> frames_;
};

// The page as text; the charting library is inlined, nothing is fetched.
std::string RenderReport(const Scenario& scenario, const RunResult& run,
                         const std::vector<ReportFrame>& frames);
