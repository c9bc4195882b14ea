// A fresh train control for each scenario. ctest runs every case in its own
// process, so the library's other load-time state is fresh as well.
#pragma once

#include <gtest/gtest.h>

#include "corvane.h"
#include "train_host.h"
#include "windshield.h"

class PluginTest : public ::testing::Test {
 protected:
  PluginTest() {
    atc = AtcState{};
    windshield = WindshieldState{};
    gHandles = ATS_HANDLES{};
    gState = ATS_VEHICLESTATE{};
  }

  TrainHost host{LinkedApi()};
};
