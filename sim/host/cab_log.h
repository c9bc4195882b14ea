// What the cab shows, in the timeline as it changes: the plug-in's brake and
// power (a run of flips between two settings folded into one line), the
// mode, the message and each sound played.
#pragma once

#include <cstdint>
#include <optional>

#include "atsplugin.h"
#include "host/timeline.h"

// The cab as it was before a frame.
struct CabBefore {
  ATS_HANDLES handles;
  int32_t mode, message;
};

class CabLog {
 public:
  explicit CabLog(Timeline& timeline) : timeline_(timeline) {}

  // After the frame: the changes from `before`; each sound played is logged
  // and marked as started.
  void Frame(const CabBefore& before, const ATS_HANDLES& handles, const int32_t* panel,
             int32_t* sound);
  // At the end of the run: a fold still open is written out.
  void Finish();

 private:
  void Handles(const ATS_HANDLES& from, const ATS_HANDLES& to);
  void CloseFold();

  struct Fold {
    ATS_HANDLES a, b;  // the two settings flipped between, a first
    int flips;
    double from, to;  // m
    RunEvent first;   // the first flip's line, logged in its place if it stays alone
    size_t at;
  };
  Timeline& timeline_;
  bool first_ = true;
  ATS_HANDLES previous_{};  // the setting before the last change
  int flipsBack_ = 0;       // changes in a row back to the setting before
  std::optional<Fold> fold_;
};

// "chime", "start key down", or "sound N" for a channel without a name.
std::string SoundName(int index);
