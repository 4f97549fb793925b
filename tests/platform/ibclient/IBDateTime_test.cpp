#include "ibclient/IBDateTime.h"

#include <gtest/gtest.h>

#include "rtl/SysUtils.h"

namespace {

TEST(IBDateTime, SplitsAndJoinsExactlyToTheMillisecond) {
  const struct {
    int Year, Month, Day, Hour, Minute, Second, Ms;
  } cases[] = {
      {1858, 11, 17, 0, 0, 0, 0},     {1899, 12, 30, 0, 0, 0, 0},   {1899, 12, 29, 6, 0, 0, 0},
      {1, 1, 1, 0, 0, 0, 1},          {9999, 12, 31, 23, 59, 59, 999}, {2024, 2, 29, 12, 34, 56, 789},
      {1700, 3, 1, 23, 59, 59, 999},  {1899, 12, 30, 23, 59, 59, 999},
  };
  for (const auto& c : cases) {
    const TDateTime value =
        ComposeDateTime(EncodeDate(c.Year, c.Month, c.Day), EncodeTime(c.Hour, c.Minute, c.Second, c.Ms));
    const TIBDateTimeParts parts = SplitDateTime(value);
    EXPECT_EQ(parts.Time, static_cast<ISC_TIME>(((c.Hour * 60 + c.Minute) * 60 + c.Second) * 10000 + c.Ms * 10))
        << c.Year;
    const TDateTime back = JoinDateTime(parts.Date, parts.Time);
    int y, m, d, h, n, s, ms;
    DecodeDate(back, y, m, d);
    DecodeTime(back, h, n, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h, n, s, ms}),
              (std::vector<int>{c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second, c.Ms}));
  }
  // The server's day zero.
  EXPECT_EQ(SplitDateTime(EncodeDate(1858, 11, 17)).Date, 0);
}

TEST(IBDateTime, RoundsHalfAMillisecondUpIntoTheNextDay) {
  const TDateTime almostMidnight = EncodeDate(2020, 1, 1) + (86400000.0 - 0.4) / 86400000.0;
  const TIBDateTimeParts parts = SplitDateTime(almostMidnight);
  EXPECT_EQ(parts.Time, 0u);
  EXPECT_EQ(parts.Date, SplitDateTime(EncodeDate(2020, 1, 2)).Date);
}

}  // namespace
