// A freshly loaded library for each scenario.
#pragma once

#include <gtest/gtest.h>

#include "fresh_library.h"
#include "train_host.h"

class PluginTest : public ::testing::Test {
 protected:
  PluginTest() { FreshLibrary(); }

  TrainHost host{LinkedApi()};
};
