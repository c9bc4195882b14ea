#include "host/cab_log.h"

#include <fmt/format.h>

#include "host/handles_text.h"
#include "host_call.h"
#include "model/cab.h"
#include "model/stretch_text.h"

namespace {

// A third flip in a row back to the setting before starts a fold.
constexpr int kFoldFrom = 2;

bool Same(const ATS_HANDLES& a, const ATS_HANDLES& b) {
  return a.brake == b.brake && a.power == b.power;
}

std::string Either(int32_t a, int32_t b) {
  return a == b ? fmt::format("{}", a) : fmt::format("{}/{}", a, b);
}

}  // namespace

std::string SoundName(int index) {
  struct Name {
    int index;
    const char* name;
  };
  static constexpr Name kNames[] = {
      {sound::kStartKeyDown, "start key down"},
      {sound::kStartKeyUp, "start key up"},
      {sound::kSwitchClick, "switch click"},
      {sound::kToUnattendedMode, "to unattended mode"},
      {sound::kChime, "chime"},
      {sound::kKey7DoorsOpen, "key 7, doors open"},
      {sound::kKey7DoorsClosed, "key 7, doors closed"},
      {sound::kKey9DoorsOpen, "key 9, doors open"},
      {sound::kKey9DoorsClosed, "key 9, doors closed"},
      {sound::kKey8, "key 8"},
      {sound::kKey5, "key 5"},
      {sound::kKey6, "key 6"},
      {sound::kOverspeed, "overspeed alarm"},
      {sound::kWiperSwitch, "wiper switch"},
      {sound::kModeChange, "mode change"},
  };
  for (const Name& n : kNames) {
    if (n.index == index) return n.name;
  }
  return fmt::format("sound {}", index);
}

void CabLog::Frame(const CabBefore& before, const ATS_HANDLES& handles, const int32_t* panel,
                   int32_t* sound) {
  if (!Same(handles, before.handles)) Handles(before.handles, handles);
  if (first_ || panel[panel::kTrainMode] != before.mode) {
    timeline_.Log(fmt::format("mode: {}", ModeShown(panel[panel::kTrainMode])));
  }
  if (panel[panel::kMessage] != before.message) {
    timeline_.Log(fmt::format("message: {}", MessageShown(panel[panel::kMessage])));
  }
  // Most frames request no sound: a count the compiler vectorises tells so.
  int requested = 0;
  for (int i = 0; i < kChannelCount; ++i) requested += sound[i] == 1;
  for (int i = 0; requested > 0 && i < kChannelCount; ++i) {
    if (sound[i] != 1) continue;
    timeline_.Log(fmt::format("sound: {}", SoundName(i)));
    sound[i] = kSoundStarted;
  }
  first_ = false;
}

void CabLog::Handles(const ATS_HANDLES& from, const ATS_HANDLES& to) {
  const double location = timeline_.Now().motion.location;
  if (fold_ && (Same(to, fold_->a) || Same(to, fold_->b))) {
    ++fold_->flips;
    fold_->to = location;
    previous_ = from;
    return;
  }
  CloseFold();
  flipsBack_ = Same(to, previous_) ? flipsBack_ + 1 : 0;
  previous_ = from;
  const std::string line = HandlesText(to);
  if (flipsBack_ >= kFoldFrom) {
    fold_ = Fold{to, from, 1, location, location, timeline_.Stamped(line), timeline_.Size()};
    return;
  }
  timeline_.Log(line);
}

void CabLog::CloseFold() {
  if (!fold_) return;
  Fold& f = *fold_;
  if (f.flips == 1) {
    timeline_.Insert(f.at, std::move(f.first));
  } else {
    timeline_.Log(fmt::format("brake {} power {} alternating {} more times {}",
                              Either(f.a.brake, f.b.brake), Either(f.a.power, f.b.power), f.flips,
                              StretchText(f.from, f.to)));
  }
  fold_.reset();
  flipsBack_ = 0;
}

void CabLog::Finish() { CloseFold(); }
