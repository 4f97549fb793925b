// The server's dates (days since 1858-11-17) and times (1/10000 s since
// midnight) to and from TDateTime, exact to the millisecond.
#pragma once

#include <ibase.h>

#include "rtl/Types.h"

struct TIBDateTimeParts {
  ISC_DATE Date;
  ISC_TIME Time;
};

// The time is rounded to the millisecond.
TIBDateTimeParts SplitDateTime(TDateTime Value);
TDateTime JoinDateTime(ISC_DATE Date, ISC_TIME Time);
