#pragma once
// What every token operation shows the user: the PIN box before it, and
// the hourglass with a status text while the token works.

#include "rtl/Types.h"

class TStatusBar;

// The PIN box, offered with the token's factory user PIN; false when the
// user cancels, and then nothing is to be done.
bool AskTokenPin(AnsiString& Pin);

// The hourglass and the status text, both taken back however the work ends.

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
