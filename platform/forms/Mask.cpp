#include "forms/Mask.h"

#include "forms/Clipbrd.h"
#include "rtl/SysUtils.h"

namespace {

bool IsRequired(char Kind) { return Kind == '0' || Kind == 'L' || Kind == 'A' || Kind == 'C'; }

bool IsDigit(char Char) { return Char >= '0' && Char <= '9'; }

}  // namespace

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

void TCustomMaskEdit::SetEditMask(const AnsiString& Value) {
  AnsiString Typed = IsMasked() ? EditText() : TCustomEdit::Text();
  FEditMask = Value;
  ParseMask();
  SetEditText(Typed);
}

void TCustomMaskEdit::ParseMask() {
  FPositions.clear();
  FSaveLiterals = true;
  FBlank = '_';
  char Case = 0;
  size_t I = 0;
  for (; I < FEditMask.size() && FEditMask[I] != ';'; ++I) {
    char Char = FEditMask[I];
    TMaskPosition Pos;
    switch (Char) {
      case '!':
        continue;
      case '>':
        Case = '>';
        continue;
      case '<':
        if (I + 1 < FEditMask.size() && FEditMask[I + 1] == '>') {
          Case = 0;
          ++I;
        } else {
          Case = '<';
        }
        continue;
      case '\\':
        if (++I < FEditMask.size()) Pos.Literal = FEditMask[I];
        break;
      case ':':
        Pos.Literal = FormatSettings.TimeSeparator;
        break;
      case '/':
        Pos.Literal = FormatSettings.DateSeparator;
        break;
      case '0':
      case '9':
      case '#':
      case 'L':
      case 'l':
      case 'A':
      case 'a':
      case 'C':
      case 'c':
        Pos.Kind = Char;
        Pos.Case = Case;
        break;
      default:
        Pos.Literal = Char;
        break;
    }
    FPositions.push_back(Pos);
  }
  if (I >= FEditMask.size()) return;
  size_t Save = I + 1, Blank = FEditMask.find(';', Save);
  if (Save < FEditMask.size() && FEditMask[Save] != ';') FSaveLiterals = FEditMask[Save] != '0';
  if (Blank != AnsiString::npos && Blank + 1 < FEditMask.size()) FBlank = FEditMask[Blank + 1];
}

char TCustomMaskEdit::Fit(const TMaskPosition& Pos, char Char) const {
  auto Code = static_cast<uint8_t>(Char);
  bool Fits = false;
  switch (Pos.Kind) {
    case '0':
    case '9':
      Fits = IsDigit(Char);
      break;
    case '#':
      Fits = IsDigit(Char) || Char == '+' || Char == '-';
      break;
    case 'L':
    case 'l':
      Fits = IsCharAlphaA(Char) != 0;
      break;
    case 'A':
    case 'a':
      Fits = IsCharAlphaNumericA(Char) != 0;
      break;
    default:
      Fits = Code >= ' ';
      break;
  }
  if (!Fits) return 0;
  char Buf[2] = {Char, 0};
  if (Pos.Case == '>') CharUpperBuffA(Buf, 1);
  if (Pos.Case == '<') CharLowerBuffA(Buf, 1);
  return Buf[0];
}

// Literals in the value are matched to the mask's where they stand; any
// other character goes to the next input position, blanks and misfits
// leaving it empty.
AnsiString TCustomMaskEdit::Format(const AnsiString& Value) const {
  AnsiString Result;
  size_t J = 0;
  for (const TMaskPosition& Pos : FPositions) {
    if (!Pos.Kind) {
      Result += Pos.Literal;
      if (J < Value.size() && Value[J] == Pos.Literal) ++J;
      continue;
    }
    char Char = J < Value.size() ? Value[J++] : FBlank;
    char Fitted = Char == FBlank ? 0 : Fit(Pos, Char);
    Result += Fitted ? Fitted : FBlank;
  }
  return Result;
}

AnsiString TCustomMaskEdit::EditText() { return TCustomEdit::Text(); }

void TCustomMaskEdit::SetEditText(const AnsiString& Value) {
  FOldText = IsMasked() ? Format(Value) : Value;
  TCustomEdit::SetText(FOldText);
}

AnsiString TCustomMaskEdit::Text() {
  if (!IsMasked()) return TCustomEdit::Text();
  AnsiString Shown = EditText(), Result;
  bool Typed = false;
  for (size_t I = 0; I < FPositions.size() && I < Shown.size(); ++I) {
    if (!FPositions[I].Kind) {
      if (FSaveLiterals) Result += Shown[I];
    } else if (Shown[I] == FBlank) {
      Result += ' ';
    } else {
      Result += Shown[I];
      Typed = true;
    }
  }
  return Typed ? Result : AnsiString();
}

void TCustomMaskEdit::SetText(const AnsiString& Value) { SetEditText(Value); }

int TCustomMaskEdit::FirstEmptyRequired() {
  if (!IsMasked()) return -1;
  AnsiString Shown = EditText();
  bool Typed = false;
  int Empty = -1;
  for (size_t I = 0; I < FPositions.size() && I < Shown.size(); ++I) {
    if (!FPositions[I].Kind) continue;
    if (Shown[I] != FBlank) {
      Typed = true;
    } else if (Empty < 0 && IsRequired(FPositions[I].Kind)) {
      Empty = static_cast<int>(I);
    }
  }
  // An untouched field is left empty rather than refused.
  return Typed ? Empty : -1;
}

void TCustomMaskEdit::SelectEmptyRequired(int Pos) {
  if (!HandleAllocated()) return;
  SetSelStart(Pos);
  SetSelLength(1);
}

void TCustomMaskEdit::ValidateEdit() {
  int Empty = FirstEmptyRequired();
  if (Empty < 0) return;
  SelectEmptyRequired(Empty);
  throw EMaskError("Неверное значение. Нажмите Esc для отмены изменений");
}

void TCustomMaskEdit::Reset() {
  if (!IsMasked()) return;
  TCustomEdit::SetText(FOldText);
  if (HandleAllocated()) SetModified(false);
}

int TCustomMaskEdit::NextInput(int From) const {
  int Count = static_cast<int>(FPositions.size());
  while (From < Count && !FPositions[From].Kind) ++From;
  return From;
}

bool TCustomMaskEdit::Modify() { return EditCanModify() && !TCustomEdit::ReadOnly(); }

void TCustomMaskEdit::Apply(const AnsiString& Value, int Caret) {
  if (Value != EditText()) {
    TCustomEdit::SetText(Value);
    SetModified(true);
  }
  SendMessageA(Handle(), EM_SETSEL, Caret, Caret);
}

void TCustomMaskEdit::ClearSelection(AnsiString& Value, int& Caret) {
  Caret = SelStart();
  int End = Caret + SelLength();
  for (int I = Caret; I < End && I < static_cast<int>(FPositions.size()); ++I)
    if (FPositions[I].Kind) Value[I] = FBlank;
}

void TCustomMaskEdit::TypeChar(char Char) {
  int Caret = SelStart();
  int Pos = NextInput(Caret);
  char Fitted = Pos < static_cast<int>(FPositions.size()) ? Fit(FPositions[Pos], Char) : 0;
  if (!Fitted) {
    // Typing the literal that stands at the caret just steps over it.
    if (Caret < Pos && FPositions[Caret].Literal == Char) {
      Apply(EditText(), Pos);
    } else {
      MessageBeep(0);
    }
    return;
  }
  if (!Modify()) return;
  AnsiString Value = EditText();
  ClearSelection(Value, Caret);
  Value[Pos] = Fitted;
  Apply(Value, NextInput(Pos + 1));
}

void TCustomMaskEdit::DeleteChar(bool Back) {
  if (!Modify()) return;
  AnsiString Value = EditText();
  int Caret = 0;
  if (SelLength() > 0) {
    ClearSelection(Value, Caret);
  } else {
    Caret = SelStart();
    int Pos = Caret;
    if (Back) {
      while (Pos > 0 && !FPositions[Pos - 1].Kind) --Pos;
      if (Pos == 0) return;
      Caret = --Pos;
    }
    Pos = NextInput(Pos);
    if (Pos < static_cast<int>(FPositions.size())) Value[Pos] = FBlank;
  }
  Apply(Value, Caret);
}

// Pasted characters are typed one by one; those that don't fit are dropped.
void TCustomMaskEdit::PasteText(const AnsiString& Value) {
  if (!Modify()) return;
  AnsiString Shown = EditText();
  int Caret = 0;
  ClearSelection(Shown, Caret);
  int Count = static_cast<int>(FPositions.size());
  for (char Char : Value) {
    if (Caret < Count && !FPositions[Caret].Kind && FPositions[Caret].Literal == Char) {
      ++Caret;
      continue;
    }
    int Pos = NextInput(Caret);
    if (Pos >= Count) break;
    if (char Fitted = Fit(FPositions[Pos], Char)) {
      Shown[Pos] = Fitted;
      Caret = Pos + 1;
    }
  }
  Apply(Shown, NextInput(Caret));
}

void TCustomMaskEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomEdit::KeyDown(Key, Shift);
  if (!IsMasked()) return;
  if (Key == VK_DELETE) {
    if (Shift.Contains(ssShift)) {
      Perform(WM_CUT);
    } else {
      DeleteChar(false);
    }
    Key = 0;
  }
}

void TCustomMaskEdit::KeyPress(char& Key) {
  TCustomEdit::KeyPress(Key);
  if (!IsMasked() || !Key) return;
  auto Code = static_cast<uint8_t>(Key);
  if (Key == VK_ESCAPE) {
    Reset();
  } else if (Key == VK_BACK) {
    DeleteChar(true);
  } else if (Code >= ' ') {
    TypeChar(Key);
  } else {
    return;
  }
  Key = 0;
}

void TCustomMaskEdit::DoEnter() {
  if (IsMasked()) FOldText = EditText();
  TCustomEdit::DoEnter();
}

// Invalid input keeps the focus.
void TCustomMaskEdit::DoExit() {
  try {
    ValidateEdit();
  } catch (...) {
    // Taking the focus back selects all; the caret goes back to the gap.
    if (CanFocus()) SetFocus();
    SelectEmptyRequired(FirstEmptyRequired());
    throw;
  }
  TCustomEdit::DoExit();
}

void TCustomMaskEdit::WndProc(TMessage& Message) {
  if (IsMasked()) {
    switch (Message.Msg) {
      case WM_PASTE:
        PasteText(Clipboard()->AsText());
        return;
      case WM_CUT:
      case WM_CLEAR:
        if (SelLength() == 0 || !Modify()) return;
        if (Message.Msg == WM_CUT)
          Clipboard()->SetAsText(EditText().substr(SelStart(), SelLength()));
        DeleteChar(false);
        return;
      default:
        break;
    }
  }
  TCustomEdit::WndProc(Message);
}
