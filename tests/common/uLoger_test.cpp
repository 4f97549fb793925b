#include "common/uLoger.h"

#include <gtest/gtest.h>

namespace {

// The test runs with USER set to a name with a blank; both builds take the
// login name from the session.
TEST(Loger, StartUpUserNameHasBlanksReplaced) {
  EXPECT_EQ(GetWindowsUserName(), "Ivan Petrov");
  EXPECT_EQ(WindowsUserName, "Ivan_Petrov");
}

TEST(Loger, ComputerNameIsReadOnceAndWhole) {
  const AnsiString name = GetWindowsComputerName();
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(name.find('\0'), AnsiString::npos);
  EXPECT_EQ(WindowsComputerName, name);
}

}  // namespace
