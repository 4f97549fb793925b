#include "app/uBusyStatus.h"

#include <windows.h>

#include "forms/ComCtrls.h"
#include "forms/Forms.h"

TBusyStatus::TBusyStatus(TStatusBar* Bar, const AnsiString& Text) : FBar(Bar) {
  Screen->SetCursor(crHourGlass);
  FBar->SetSimpleText(Text);
  Application->ProcessMessages();
  Sleep(0);
}

TBusyStatus::~TBusyStatus() {
  Screen->SetCursor(crDefault);
  FBar->SetSimpleText("");
}
