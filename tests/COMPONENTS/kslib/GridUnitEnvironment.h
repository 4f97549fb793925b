// The grid unit started once for a whole test program, as the program
// itself starts it before any form exists.
#pragma once

#include <gtest/gtest.h>

#include "COMPONENTS/kslib/DBGridKs.h"

class TGridUnitEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { InitDBGridKsUnit(); }
  void TearDown() override { DoneDBGridKsUnit(); }
};
