// TDateTime arithmetic around 1899-12-30, formatting, parsing, DOS and Unix times.
#include <gtest/gtest.h>

#include <cmath>

#include "rtl/SysUtils.h"

namespace {

TFormatSettings Russian() { return TFormatSettings(); }

TEST(EncodeDate, DayNumbers) {
  struct {
    int y, m, d;
    double value;
  } cases[] = {{1899, 12, 30, 0},    {1899, 12, 29, -1},     {1900, 1, 1, 2},
               {1900, 3, 1, 61},     {2000, 2, 29, 36585},   {1970, 1, 1, 25569},
               {1, 1, 1, -693593},   {9999, 12, 31, 2958465}};
  for (auto c : cases) {
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.value) << c.y << "-" << c.m << "-" << c.d;
    int y, m, d;
    DecodeDate(c.value, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
  }
}

TEST(EncodeDate, RejectsInvalidDates) {
  int bad[][3] = {{1900, 2, 29}, {2001, 2, 29}, {2000, 13, 1}, {0, 1, 1},
                  {2000, 0, 1},  {2000, 1, 0},  {2000, 4, 31}, {10000, 1, 1}};
  for (auto& b : bad) {
    TDateTime d;
    EXPECT_FALSE(TryEncodeDate(b[0], b[1], b[2], d)) << b[0] << "-" << b[1] << "-" << b[2];
    EXPECT_THROW(EncodeDate(b[0], b[1], b[2]), EConvertError);
  }
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
}

TEST(EncodeDate, LeapYears) {
  struct {
    int year;
    bool leap;
  } cases[] = {{1900, false}, {2000, true}, {2004, true}, {2100, false}, {2023, false}, {1600, true}};
  for (auto c : cases) {
    EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
    EXPECT_EQ(DaysInMonth(c.year, 2), c.leap ? 29 : 28);
  }
}

TEST(EncodeDate, EveryDayRoundTrips) {
  for (int day = -693593; day <= 2958465; day += 97) {
    int y, m, d;
    DecodeDate(day, y, m, d);
    ASSERT_EQ(EncodeDate(y, m, d), day);
  }
}

TEST(DecodeDateTime, NegativeDatesCountTheTimeForward) {
  struct {
    double dt;
    int y, m, d, h, n, s, ms;
  } cases[] = {
      {-1.25, 1899, 12, 29, 6, 0, 0, 0},
      {-0.5, 1899, 12, 30, 12, 0, 0, 0},
      {2.75, 1900, 1, 1, 18, 0, 0, 0},
      {-2.999999999999, 1899, 12, 29, 0, 0, 0, 0},  // rounds up into the next day
      {0.999999999999, 1899, 12, 31, 0, 0, 0, 0},
      {45356.2973263889, 2024, 3, 5, 7, 8, 9, 0},
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.dt);
    int y, m, d, h, n, s, ms;
    DecodeDate(c.dt, y, m, d);
    DecodeTime(c.dt, h, n, s, ms);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + ms,
              c.h * 10000000 + c.n * 100000 + c.s * 1000 + c.ms);
  }
  EXPECT_EQ(ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0)), -1.25);
  EXPECT_EQ(ComposeDateTime(EncodeDate(1900, 1, 1), EncodeTime(18, 0, 0, 0)), 2.75);
}

TEST(DecodeDateTime, DayOfWeek) {
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);  // Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 1, 1)), 2);    // Monday
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 3, 10)), 1);   // Sunday
  EXPECT_EQ(DayOfWeek(-1.25), 6);                     // Friday 1899-12-29
}

TEST(FormatDateTime, Patterns) {
  const TFormatSettings ru = Russian();
  const TDateTime morning = EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 45);
  const TDateTime evening = EncodeDate(2024, 3, 5) + EncodeTime(19, 5, 0, 0);
  struct {
    const char* format;
    TDateTime dt;
    const char* text;
  } cases[] = {
      {"dd.mm.yyyy hh:nn:ss.zzz", morning, "05.03.2024 07:08:09.045"},
      {"d/m/yy", morning, "5.3.24"},
      {"h:mm", morning, "7:08"},
      {"hh:mm:ss", morning, "07:08:09"},
      {"mm", morning, "03"},
      {"H:NN", morning, "7:08"},
      {"dddd, d mmmm yyyy", morning, "вторник, 5 Март 2024"},
      {"ddd mmm", morning, "Вт мар"},
      {"hh:nn am/pm", morning, "07:08 am"},
      {"h:nn AM/PM", evening, "7:05 PM"},
      {"h a/p", evening, "7 p"},
      {"'yyyy' yyyy \"dd\"", morning, "yyyy 2024 dd"},
      {"c", morning, "05.03.2024 7:08:09"},
      {"c", EncodeDate(2024, 3, 5), "05.03.2024"},
      {"ddddd", morning, "05.03.2024"},
      {"dddddd", morning, "5 Март 2024 г."},
      {"t|tt", morning, "7:08|7:08:09"},
      {"yyyymmddhhnnss", morning, "20240305070809"},
      {"z", morning, "45"},
      {"dd.mm.yyyy hh:nn", -1.25, "29.12.1899 06:00"},
      {"", morning, "05.03.2024 7:08:09"},
  };
  for (auto c : cases) EXPECT_EQ(FormatDateTime(c.format, c.dt, ru), c.text) << c.format;
  TFormatSettings slash = ru;
  slash.DateSeparator = '/';
  slash.TimeSeparator = '-';
  EXPECT_EQ(FormatDateTime("dd/mm hh:nn", morning, slash), "05/03 07-08");
}

TEST(StrToDate, FollowsTheShortDateFormat) {
  const TFormatSettings ru = Russian();
  const int thisYear = LocalTimeNow().Year;
  struct {
    const char* s;
    bool ok;
    int y, m, d;
  } cases[] = {{"05.03.2024", true, 2024, 3, 5},  {" 5.3.2024 ", true, 2024, 3, 5},
               {"5.3.24", true, 2024, 3, 5},      {"5.3", true, thisYear, 3, 5},
               {"31.02.2024", false, 0, 0, 0},    {"05-03-2024", false, 0, 0, 0},
               {"05.03.2024x", false, 0, 0, 0},   {"", false, 0, 0, 0},
               {"5.", false, 0, 0, 0}};
  for (auto c : cases) {
    TDateTime v;
    EXPECT_EQ(TryStrToDate(c.s, v, ru), c.ok) << c.s;
    if (c.ok) {
      EXPECT_EQ(v, EncodeDate(c.y, c.m, c.d)) << c.s;
    }
  }
  EXPECT_THROW(StrToDate("x", ru), EConvertError);
  TFormatSettings us = ru;
  us.ShortDateFormat = "M/d/yyyy";
  us.DateSeparator = '/';
  EXPECT_EQ(StrToDate("3/5/2024", us), EncodeDate(2024, 3, 5));
  TFormatSettings iso = ru;
  iso.ShortDateFormat = "yyyy-MM-dd";
  iso.DateSeparator = '-';
  EXPECT_EQ(StrToDate("2024-03-05", iso), EncodeDate(2024, 3, 5));
}

TEST(StrToDate, TimesAndDateTimes) {
  const TFormatSettings ru = Russian();
  EXPECT_EQ(StrToTime("7:08", ru), EncodeTime(7, 8, 0, 0));
  EXPECT_EQ(StrToTime("07:08:09", ru), EncodeTime(7, 8, 9, 0));
  EXPECT_EQ(StrToTime("7:08 PM", ru), EncodeTime(19, 8, 0, 0));
  EXPECT_EQ(StrToTime("12:00 AM", ru), EncodeTime(0, 0, 0, 0));
  EXPECT_THROW(StrToTime("25:00", ru), EConvertError);
  EXPECT_THROW(StrToTime("7", ru), EConvertError);
  EXPECT_EQ(StrToDateTime("05.03.2024 7:08:09", ru),
            EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0));
  EXPECT_EQ(StrToDateTime("05.03.2024", ru), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDateTime("29.12.1899 06:00", ru), -1.25);
  EXPECT_THROW(StrToDateTime("05.03.2024 7:", ru), EConvertError);
}

TEST(FileDate, DosPacking) {
  const TDateTime dt = EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0);
  const int32_t packed = (44 << 25) | (3 << 21) | (5 << 16) | (7 << 11) | (8 << 5) | 4;
  EXPECT_EQ(DateTimeToFileDate(dt), packed);
  // Two-second resolution: the odd second is dropped.
  EXPECT_EQ(FileDateToDateTime(packed), EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 8, 0));
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(2108, 1, 1)), 0);
  const int32_t last = DateTimeToFileDate(EncodeDate(2107, 12, 31) + EncodeTime(23, 59, 58, 0));
  EXPECT_LT(last, 0);  // the year's top bit is the sign bit
  EXPECT_EQ(FileDateToDateTime(last), EncodeDate(2107, 12, 31) + EncodeTime(23, 59, 58, 0));
  EXPECT_THROW(FileDateToDateTime(0), EConvertError);  // month 0
  EXPECT_THROW(FileDateToDateTime((44 << 25) | (3 << 21) | (5 << 16) | 30), EConvertError);
}

TEST(UnixTime, RoundTripsAlsoBefore1899) {
  EXPECT_EQ(DateTimeToUnix(EncodeDate(1970, 1, 1)), 0);
  EXPECT_EQ(UnixToDateTime(0), 25569);
  const int64_t earlyMorning = -2209161600LL - 86400 + 6 * 3600;  // 1899-12-29 06:00
  EXPECT_EQ(DateTimeToUnix(-1.25), earlyMorning);
  EXPECT_EQ(UnixToDateTime(earlyMorning), -1.25);
  EXPECT_EQ(DateTimeToUnix(EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0)), 1709622489);
}

TEST(Now, IsTodayAndMovesForward) {
  // Stored, so x87 excess precision cannot make the later value compare lower.
  volatile TDateTime a = Now();
  volatile TDateTime b = Now();
  EXPECT_EQ(Date(), std::trunc(a));
  EXPECT_GE(b, a);
  EXPECT_GT(a, EncodeDate(2020, 1, 1));
}

}  // namespace
