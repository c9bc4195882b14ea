// Everything the library holds, put back to what it is when the library is
// loaded, so a test, benchmark or fuzz input starts as after a real load.
#pragma once

#include <algorithm>

#include "atsplugin.h"
#include "confload.h"
#include "corvane.h"
#include "traincontrol.h"
#include "windshield.h"

inline void FreshLibrary() {
  Dispose();  // releases the lock tables of an earlier run
  gTrainspecs = ATS_VEHICLESPEC{};
  trainspecsSet = false;
  gState = ATS_VEHICLESTATE{};
  gHandles = ATS_HANDLES{};
  initBrake = 1;
  std::fill(std::begin(memPanelReserve), std::end(memPanelReserve), 0);
  std::fill(std::begin(memSoundReserve), std::end(memSoundReserve), 0);
  gPanel = memPanelReserve;
  gSound = memSoundReserve;
  std::fill(std::begin(gOpts), std::end(gOpts), OptEntry{});
  pointersNullified = false;
  gDriver = DriverHandles{};
  std::fill(std::begin(reverserLock), std::end(reverserLock), 0);
  tractionInterlock = false;
  initialized = false;
  atc = AtcState{};
  windshield = WindshieldState{};
}
