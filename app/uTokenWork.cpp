#include "app/uTokenWork.h"

#include <windows.h>

#include "forms/ComCtrls.h"
#include "forms/Dialogs.h"
#include "forms/Forms.h"

bool AskTokenPin(AnsiString& Pin) {
  Pin = "40715382";
  return InputQuery("Укажите пин-код", "Ввод пин-кода", Pin);
}

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
