// The service actions and the service grid unit started once for a test
// program, after the grid unit and ended before it.
#pragma once

#include <gtest/gtest.h>

#include "DBSGridKs.h"
#include "CommonInterface.h"

class TServiceEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    InitServiceActionsUnit();
    InitServiceGridUnit();
  }
  void TearDown() override {
    DoneServiceGridUnit();
    DoneServiceActionsUnit();
  }
};
