#pragma once
// The hourglass and a status text while the token works, both taken back
// however the work ends.

#include "rtl/Types.h"

class TStatusBar;

class TBusyStatus {
 public:
  // The status is painted (the message queue runs once and the thread
  // yields) before the work that follows holds the thread.
  TBusyStatus(TStatusBar* Bar, const AnsiString& Text);
  ~TBusyStatus();
  TBusyStatus(const TBusyStatus&) = delete;
  TBusyStatus& operator=(const TBusyStatus&) = delete;

 private:
  TStatusBar* FBar;
};
