#include "ibclient/IBDateTime.h"

#include <cmath>

namespace {
// 1858-11-17 is day -15018 of TDateTime.
constexpr int32_t DateOffset = 15018;
constexpr int64_t MsPerDay = 86400000;
}  // namespace

TIBDateTimeParts SplitDateTime(TDateTime Value) {
  // Before 1899-12-30 the integer part is negative and the fraction still
  // counts forward from midnight.
  double day = std::trunc(Value);
  int64_t ms = std::llround(std::fabs(Value - day) * MsPerDay);
  if (ms >= MsPerDay) {
    ms -= MsPerDay;
    day += 1;
  }
  return {static_cast<ISC_DATE>(static_cast<int32_t>(day) + DateOffset),
          static_cast<ISC_TIME>(ms * 10)};
}

TDateTime JoinDateTime(ISC_DATE Date, ISC_TIME Time) {
  const double day = static_cast<int32_t>(Date) - DateOffset;
  // Milliseconds, as TDateTime carries no finer time.
  const double fraction = static_cast<double>(Time / 10) / MsPerDay;
  return day < 0 ? day - fraction : day + fraction;
}
