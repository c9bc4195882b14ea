// traincontrol: the driver record and the handle-lock tables.
#include "traincontrol.h"

#include <cstdlib>

#include "atsplugin.h"
#include "tools.h"

DriverHandles gDriver{};
int32_t reverserLock[3]{};
int32_t* powerLock = nullptr;
int32_t* brakeLock = nullptr;
bool tractionInterlock = false;
bool initialized = false;

namespace {

constexpr int kInitBrakeFullService = 0;
constexpr int kInitBrakeEmergency = 1;

// No train has more notches than this; vehicle data beyond it is
// nonsense, and its table would take gigabytes.
constexpr int64_t kMaxLockEntries = 1024;

// A zeroed table; none for a nonsensical count.
int32_t* NewLockTable(int64_t count) {
  if (count < 1 || count > kMaxLockEntries) return nullptr;
  return static_cast<int32_t*>(std::calloc(static_cast<size_t>(count), sizeof(int32_t)));
}

}  // namespace

int InitTrainControl(int32_t mode) {
  gDriver = DriverHandles{};
  tractionInterlock = false;
  const int32_t notches = gTrainspecs.brakeNotchCount;
  if (mode == kInitBrakeEmergency) gDriver.brake = WrapAdd(notches, 1);
  if (mode == kInitBrakeFullService) gDriver.brake = notches;
  powerLock = NewLockTable(int64_t{gTrainspecs.powerNotchCount} + 1);
  brakeLock = NewLockTable(int64_t{notches} + 2);
  for (int32_t& lock : reverserLock) lock = 0;
  initialized = true;
  return 1;
}

// Resets the pointers so that a Dispose before another Initialize, or a
// second Dispose, cannot release the tables twice.
void DestroyTrainControl() {
  if (!initialized) return;
  std::free(powerLock);
  std::free(brakeLock);
  powerLock = nullptr;
  brakeLock = nullptr;
}
