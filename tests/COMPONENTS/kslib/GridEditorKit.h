// The grid editor tests' steps: the editor opened over a cell with the
// focus in it, characters typed into it, and whether a popup shows.
#pragma once

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"
#include "FormsTestKit.h"
#include "KsTestKit.h"
#include "forms/Forms.h"

// Shows the form and the editor over the column's cell of the current
// record, with the focus in it.
inline TDBGridInplaceEdit* EditGridCell(TForm* Form, TDBGridKs* Grid, int DataCol) {
  Form->Show();
  SetForegroundWindow(Form->Handle());
  Grid->SetFocus();
  PumpUntilFocused(Grid->Handle());
  Grid->SetSelectedIndex(DataCol);
  Grid->SetEditorMode(true);
  auto* Editor = static_cast<TDBGridInplaceEdit*>(Grid->InplaceEditor());
  PumpUntilFocused(Editor->Handle());
  return Editor;
}

// Characters as the window gets them, whatever the keyboard layout.
inline void PostChars(HWND Wnd, const AnsiString& Chars) {
  for (char C : Chars) PostMessageA(Wnd, WM_CHAR, static_cast<uint8_t>(C), 1);
  PumpFor(40);
}

inline bool PopupShown(TWinControl* Popup) {
  return Popup && Popup->HandleAllocated() && IsWindowVisible(Popup->Handle());
}
