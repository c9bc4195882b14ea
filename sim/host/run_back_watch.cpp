#include "host/run_back_watch.h"

#include <fmt/format.h>

#include <algorithm>

#include "host/handles_text.h"

namespace {

constexpr double kRunBackAllowed = 5;  // m: a start on a rise may give back this much, and go on

}  // namespace

std::optional<std::string> RunBackWatch::Watch(const TrainMotion& m, const ATS_HANDLES& handles) {
  if (m.speed >= 0 || handles.reverser < 0) {  // forwards, standing, or meant to go back
    from_ = NAN;
    fastest_ = 0;
    return std::nullopt;
  }
  if (std::isnan(from_)) from_ = m.location;
  fastest_ = std::max(fastest_, -m.speed);
  if (from_ - m.location <= kRunBackAllowed) return std::nullopt;
  return fmt::format("ran back from {:.1f} m to {:.1f} m at up to {:.1f} km/h, {}", from_,
                     m.location, fastest_, HandlesText(handles));
}
