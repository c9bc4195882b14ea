// traincontrol: the driver record and the handle-lock tables set up at each
// initialisation. Nothing else in the plug-in reads them.
#pragma once

#include <cstdint>

struct DriverHandles {
  int32_t brake;
  int32_t power;
  int32_t reverser;
};

extern DriverHandles gDriver;
extern int32_t reverserLock[3];
extern int32_t* powerLock;  // powerNotchCount + 1 entries
extern int32_t* brakeLock;  // brakeNotchCount + 2 entries
extern bool tractionInterlock;
extern bool initialized;

int InitTrainControl(int32_t mode);
void DestroyTrainControl();
