#include "forms/StdCtrls.h"

#include <algorithm>

#include "forms/Clipbrd.h"
#include "forms/Forms.h"

// --- TCustomLabel

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FWidth = 65, FHeight = 17;
  SetParentColor(true);
}

UINT TCustomLabel::DrawFlags() const {
  static const UINT Alignments[] = {DT_LEFT, DT_RIGHT, DT_CENTER};
  return DT_EXPANDTABS | Alignments[FAlignment] | (FWordWrap ? DT_WORDBREAK : 0);
}

void TCustomLabel::SetFocusControl(TWinControl* Value) {
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = Value;
  if (Value) Value->FreeNotification(this);
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TCustomLabel::WndProc(TMessage& Message) {
  if (Message.Msg == CM_DIALOGCHAR && FFocusControl &&
      IsAccel(static_cast<char>(Message.WParam), Text()) && FFocusControl->CanFocus()) {
    FFocusControl->SetFocus();
    Message.Result = 1;
    return;
  }
  TGraphicControl::WndProc(Message);
}

void TCustomLabel::Paint() {
  TCanvas* C = Canvas();
  RECT R = ClientRect();
  if (!FTransparent) C->FillRect(R);
  C->Brush()->SetStyle(bsClear);
  if (!Enabled()) C->Font()->SetColor(clGrayText);
  AnsiString Content = Text();
  C->TextExtent("");  // selects the font
  DrawTextA(C->Handle(), Content.c_str(), static_cast<int>(Content.size()), &R, DrawFlags());
}

void TCustomLabel::AdjustSize() {
  if (!FAutoSize) return;
  TWindowDC DC;
  TSelectObject Font(DC.Get(), this->Font()->Handle());
  AnsiString Content = Text().empty() ? AnsiString(" ") : Text();
  RECT R{0, 0, FWordWrap ? FWidth : 0, 0};
  DrawTextA(DC.Get(), Content.c_str(), static_cast<int>(Content.size()), &R,
            DrawFlags() | DT_CALCRECT);
  int Left = FAlignment == taRightJustify ? FLeft + FWidth - R.right : FLeft;
  SetBounds(Left, FTop, R.right, R.bottom);
}

void TCustomLabel::SetAutoSize(bool Value) {
  FAutoSize = Value;
  AdjustSize();
}

void TCustomLabel::SetWordWrap(bool Value) {
  FWordWrap = Value;
  AdjustSize();
  Invalidate();
}

void TCustomLabel::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
  FTransparent = Value;
  Invalidate();
}

// --- Buttons

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) { SetTabStop(true); }

void TButtonControl::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = "BUTTON";
  Params.SystemClass = true;
}

bool TButtonControl::IsOwnAccel(TMessage& Message) {
  if (!IsAccel(static_cast<char>(Message.WParam), Text()) || !CanFocus()) return false;
  Message.Result = 1;
  return true;
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) { FWidth = 75, FHeight = 25; }

void TButton::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  Params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::SetDefault(bool Value) {
  FDefault = Value;
  if (FHandle) SendMessageA(FHandle, BM_SETSTYLE, Value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
  if (TCustomForm* Form = GetParentForm(this)) Form->SetModalResult(FModalResult);
  TButtonControl::Click();
}

void TButton::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      if (HIWORD(Message.WParam) == BN_CLICKED) Click();
      return;
    case CM_DIALOGCHAR:
      if (IsOwnAccel(Message)) Click();
      return;
    case CM_DIALOGKEY: {
      // Enter presses the focused button, or the default one when no
      // button has the focus; Esc presses the cancel button.
      TCustomForm* Form = GetParentForm(this);
      TWinControl* Focus = Form ? Form->ActiveControl() : nullptr;
      bool Active = dynamic_cast<TButton*>(Focus) ? Focus == this : FDefault;
      if (((Message.WParam == VK_RETURN && Active) || (Message.WParam == VK_ESCAPE && FCancel)) &&
          CanFocus()) {
        Click();
        Message.Result = 1;
      }
      return;
    }
    default:
      break;
  }
  TButtonControl::WndProc(Message);
}

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
  FWidth = 97, FHeight = 17;
  SetParentColor(true);
}

void TCustomCheckBox::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  Params.Style |= BS_3STATE;
}

void TCustomCheckBox::AfterCreateWnd() { SendMessageA(FHandle, BM_SETCHECK, FState, 0); }

void TCustomCheckBox::SetState(TCheckBoxState Value) {
  if (FState == Value) return;
  FState = Value;
  if (FHandle) SendMessageA(FHandle, BM_SETCHECK, Value, 0);
  Click();
}

void TCustomCheckBox::Toggle() {
  switch (FState) {
    case cbUnchecked:
      SetState(FAllowGrayed ? cbGrayed : cbChecked);
      break;
    case cbChecked:
      SetState(cbUnchecked);
      break;
    case cbGrayed:
      SetState(cbChecked);
      break;
  }
}

void TCustomCheckBox::WndProc(TMessage& Message) {
  if (Message.Msg == CN_COMMAND) {
    if (HIWORD(Message.WParam) == BN_CLICKED) Toggle();
    return;
  }
  if (Message.Msg == CM_DIALOGCHAR) {
    if (IsOwnAccel(Message)) {
      SetFocus();
      Toggle();
    }
    return;
  }
  TButtonControl::WndProc(Message);
}

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
  FWidth = 113, FHeight = 17;
  SetTabStop(false);
  SetParentColor(true);
}

void TRadioButton::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  Params.Style |= BS_RADIOBUTTON;
}

void TRadioButton::AfterCreateWnd() { SendMessageA(FHandle, BM_SETCHECK, FChecked, 0); }

void TRadioButton::SetChecked(bool Value) {
  if (FChecked == Value) return;
  FChecked = Value;
  SetTabStop(Value);
  if (FHandle) SendMessageA(FHandle, BM_SETCHECK, Value, 0);
  if (!Value) return;
  if (TWinControl* P = Parent()) {
    for (int I = 0; I < P->ControlCount(); ++I)
      if (auto* Sibling = dynamic_cast<TRadioButton*>(P->Controls(I)); Sibling && Sibling != this)
        Sibling->SetChecked(false);
  }
  Click();
}

void TRadioButton::WndProc(TMessage& Message) {
  if (Message.Msg == CM_DIALOGCHAR) {
    if (IsOwnAccel(Message)) {
      SetFocus();
      SetChecked(true);
    }
    return;
  }
  if (Message.Msg == CN_COMMAND) {
    switch (HIWORD(Message.WParam)) {
      case BN_CLICKED:
        SetChecked(true);
        break;
      case BN_DOUBLECLICKED:
        DblClick();
        break;
      default:
        break;
    }
    return;
  }
  TButtonControl::WndProc(Message);
}

// --- TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
  FWidth = 185, FHeight = 105;
  SetParentColor(true);
}

void TCustomGroupBox::Paint() {
  TCanvas* C = Canvas();
  AnsiString Content = Text();
  int H = C->TextHeight("0");
  RECT Frame{0, H / 2 - 1, Width(), Height()};
  DrawEdge(C->Handle(), &Frame, EDGE_ETCHED, BF_RECT);
  if (Content.empty()) return;
  RECT TextBox{8, 0, 0, H};
  DrawTextA(C->Handle(), Content.c_str(), static_cast<int>(Content.size()), &TextBox,
            DT_SINGLELINE | DT_CALCRECT);
  if (!Enabled()) C->Font()->SetColor(clGrayText);
  C->TextExtent("");
  DrawTextA(C->Handle(), Content.c_str(), static_cast<int>(Content.size()), &TextBox,
            DT_SINGLELINE);
}

// --- TCustomEdit

AnsiString ApplyCharCase(const AnsiString& Text, TEditCharCase CharCase) {
  switch (CharCase) {
    case ecUpperCase:
      return AnsiUpperCase(Text);
    case ecLowerCase:
      return AnsiLowerCase(Text);
    default:
      return Text;
  }
}

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  FWidth = 121, FHeight = 21;
  FClickOnMouseUp = true;
  SetTabStop(true);
  SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = "EDIT";
  Params.SystemClass = true;
  Params.Style |= ES_AUTOHSCROLL | ES_LEFT;
  if (FReadOnly) Params.Style |= ES_READONLY;
  if (FPasswordChar) Params.Style |= ES_PASSWORD;
  if (FCharCase == ecUpperCase) Params.Style |= ES_UPPERCASE;
  if (FCharCase == ecLowerCase) Params.Style |= ES_LOWERCASE;
  if (FBorderStyle == bsSingle) Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TCustomEdit::AfterCreateWnd() {
  SendMessageA(FHandle, EM_LIMITTEXT, FMaxLength, 0);
  if (FPasswordChar)
    SendMessageA(FHandle, EM_SETPASSWORDCHAR, static_cast<uint8_t>(FPasswordChar), 0);
}

void TCustomEdit::SetMaxLength(int Value) {
  FMaxLength = Value;
  if (FHandle) SendMessageA(FHandle, EM_LIMITTEXT, Value, 0);
}

void TCustomEdit::SetReadOnly(bool Value) {
  FReadOnly = Value;
  if (FHandle) SendMessageA(FHandle, EM_SETREADONLY, Value, 0);
}

void TCustomEdit::SetPasswordChar(char Value) {
  FPasswordChar = Value;
  RecreateWnd();
}

void TCustomEdit::SetCharCase(TEditCharCase Value) {
  if (FCharCase == Value) return;
  FCharCase = Value;
  // A new window turns the text it is made with.
  RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TBorderStyle Value) {
  FBorderStyle = Value;
  RecreateWnd();
}

int TCustomEdit::SelStart() {
  DWORD Start = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&Start), 0);
  return static_cast<int>(Start);
}

void TCustomEdit::SetSelStart(int Value) { SendMessageA(Handle(), EM_SETSEL, Value, Value); }

int TCustomEdit::SelLength() {
  DWORD Start = 0, End = 0;
  SendMessageA(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&Start),
               reinterpret_cast<LPARAM>(&End));
  return static_cast<int>(End - Start);
}

void TCustomEdit::SetSelLength(int Value) {
  int Start = SelStart();
  SendMessageA(Handle(), EM_SETSEL, Start, Start + Value);
}

AnsiString TCustomEdit::SelText() { return Text().substr(SelStart(), SelLength()); }

void TCustomEdit::SelectAll() { SendMessageA(Handle(), EM_SETSEL, 0, -1); }

bool TCustomEdit::Modified() { return FHandle && SendMessageA(FHandle, EM_GETMODIFY, 0, 0) != 0; }

void TCustomEdit::SetModified(bool Value) { SendMessageA(Handle(), EM_SETMODIFY, Value, 0); }

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

namespace {

bool IsSelectAllKey(uint16_t Key, TShiftState Shift) {
  return Key == 'A' && Shift == TShiftState{ssCtrl};
}

}  // namespace

void TCustomEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TWinControl::KeyDown(Key, Shift);
  if (IsSelectAllKey(Key, Shift)) {
    SelectAll();
    Key = 0;
  } else if (Key == VK_INSERT && Shift == TShiftState{ssShift}) {
    // The system edit pastes Shift+Ins without a WM_PASTE, past any filter.
    Perform(WM_PASTE);
    Key = 0;
  }
}

void TCustomEdit::PasteFiltered() {
  AnsiString Text = Clipboard()->AsText();
  // A single line: the paste ends at a line break, as the system's does.
  Text = Text.substr(0, Text.find_first_of("\r\n"));
  AnsiString Kept;
  for (char Char : Text) {
    OnKeyPress(this, Char);
    if (static_cast<uint8_t>(Char) >= ' ') Kept += Char;
  }
  // Nothing of it passes: the selection stays, as for a refused key.
  if (Kept.empty()) return;
  SendMessageA(Handle(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(Kept.c_str()));
}

void TCustomEdit::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_PASTE:
      if (OnKeyPress && !FReadOnly && FHandle) {
        PasteFiltered();
        return;
      }
      break;
    case CN_COMMAND:
      if (HIWORD(Message.WParam) == EN_CHANGE) Change();
      return;
    case CM_TEXTCHANGED:
      // With a window, the edit's own notification reports the change.
      if (!FHandle) Change();
      return;
    case CM_BIDIMODECHANGED:
      // The edit takes its reading order and alignment when it is made.
      RecreateWnd();
      return;
    default:
      break;
  }
  TWinControl::WndProc(Message);
}

// --- TCustomComboBox

namespace {

ATOM ComboEditAtom() {
  static const ATOM Atom = GlobalAddAtomA("KsComboEdit");
  return Atom;
}

}  // namespace

// The edit inside a drop-down combo box is the system's; its keys go
// through the combo box's handlers and the form's preview first.
LRESULT CALLBACK ComboEditWindowProc(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto* Combo = static_cast<TCustomComboBox*>(GetPropA(Wnd, MAKEINTATOM(ComboEditAtom())));
  TMessage Message{Msg, WParam, LParam, 0};
  try {
    switch (Msg) {
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (Combo->DoKeyDown(Message)) return 0;
        if (IsSelectAllKey(static_cast<uint16_t>(Message.WParam), KeyboardShiftState())) {
          SendMessageA(Wnd, EM_SETSEL, 0, -1);
          return 0;
        }
        break;
      case WM_KEYUP:
      case WM_SYSKEYUP:
        if (Combo->DoKeyUp(Message)) return 0;
        break;
      case WM_CHAR:
        if (Combo->DoKeyPress(Message)) return 0;
        break;
      case WM_SETFOCUS:
        if (TCustomForm* Form = GetParentForm(Combo)) Form->SetFocusedControl(Combo);
        break;
      default:
        break;
    }
  } catch (...) {
    Application->HandleException(Combo);
    return 0;
  }
  return CallWindowProcA(Combo->FEditDefWndProc, Wnd, Msg, Message.WParam, Message.LParam);
}

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner), FItems(new TStringList) {
  FWidth = 145, FHeight = 21;
  FClickOnMouseUp = true;
  SetTabStop(true);
  SetColor(clWindow);
  FItems->OnChange = [this](TObject* Sender) { ItemsChanged(Sender); };
}

TCustomComboBox::~TCustomComboBox() {
  DestroyHandle();
  delete FItems;
}

void TCustomComboBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = "COMBOBOX";
  Params.SystemClass = true;
  static const DWORD Styles[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST};
  Params.Style |= Styles[FStyle] | WS_VSCROLL | CBS_AUTOHSCROLL;
  Params.Height = FHeight + FDropDownCount * ItemHeight() + 2;
}

int TCustomComboBox::ItemHeight() { return std::max(1, -Font()->Height() + 5); }

void TCustomComboBox::FillList() {
  SendMessageA(FHandle, CB_RESETCONTENT, 0, 0);
  for (int I = 0; I < FItems->Count(); ++I)
    SendMessageA(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FItems->Strings(I).c_str()));
  SendMessageA(FHandle, CB_SETCURSEL, FItemIndex, 0);
}

void TCustomComboBox::AfterCreateWnd() {
  FillList();
  if (FStyle != csDropDownList) SetWindowTextA(FHandle, FText.c_str());
  SendMessageA(FHandle, CB_LIMITTEXT, FMaxLength, 0);
  RECT R;
  GetWindowRect(FHandle, &R);
  FHeight = R.bottom - R.top;
  COMBOBOXINFO Info{};
  Info.cbSize = sizeof Info;
  if (FStyle == csDropDown && GetComboBoxInfo(FHandle, &Info) && Info.hwndItem) {
    FEditHandle = Info.hwndItem;
    SetPropA(FEditHandle, MAKEINTATOM(ComboEditAtom()), this);
    FEditDefWndProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        FEditHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ComboEditWindowProc)));
  }
}

void TCustomComboBox::BeforeDestroyWnd() {
  FItemIndex = static_cast<int>(SendMessageA(FHandle, CB_GETCURSEL, 0, 0));
  TWinControl::BeforeDestroyWnd();
  if (FEditHandle) {
    SetWindowLongPtrA(FEditHandle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FEditDefWndProc));
    RemovePropA(FEditHandle, MAKEINTATOM(ComboEditAtom()));
    FEditHandle = nullptr;
  }
}

void TCustomComboBox::UpdateWindowBounds() {
  if (FHandle)
    SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight + FDropDownCount * ItemHeight() + 2,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TCustomComboBox::ItemsChanged(TObject*) {
  if (!FHandle) {
    if (FItemIndex >= FItems->Count()) FItemIndex = -1;
    return;
  }
  int Index = ItemIndex();
  AnsiString Content = Text();
  FItemIndex = Index < FItems->Count() ? Index : -1;
  FillList();
  if (FStyle != csDropDownList) SetWindowTextA(FHandle, Content.c_str());
}

int TCustomComboBox::ItemIndex() {
  return FHandle ? static_cast<int>(SendMessageA(FHandle, CB_GETCURSEL, 0, 0)) : FItemIndex;
}

void TCustomComboBox::SetItemIndex(int Value) {
  if (Value < -1 || Value >= FItems->Count()) Value = -1;
  FItemIndex = Value;
  FText = Value >= 0 ? FItems->Strings(Value) : AnsiString();
  if (FHandle) SendMessageA(FHandle, CB_SETCURSEL, Value, 0);
}

void TCustomComboBox::SetText(const AnsiString& Value) {
  if (FStyle == csDropDownList) {
    SetItemIndex(FItems->IndexOf(Value));
    return;
  }
  FItemIndex = -1;
  TWinControl::SetText(Value);
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
  FStyle = Value;
  RecreateWnd();
}

void TCustomComboBox::SetDropDownCount(int Value) {
  FDropDownCount = Value;
  UpdateWindowBounds();
}

void TCustomComboBox::SetMaxLength(int Value) {
  FMaxLength = Value;
  if (FHandle) SendMessageA(FHandle, CB_LIMITTEXT, Value, 0);
}

bool TCustomComboBox::DroppedDown() {
  return FHandle && SendMessageA(FHandle, CB_GETDROPPEDSTATE, 0, 0);
}

void TCustomComboBox::SetDroppedDown(bool Value) {
  SendMessageA(Handle(), CB_SHOWDROPDOWN, Value, 0);
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::Select() {
  if (OnSelect) {
    OnSelect(this);
  } else {
    Change();
  }
}

void TCustomComboBox::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      switch (HIWORD(Message.WParam)) {
        case CBN_SELCHANGE:
          FItemIndex = ItemIndex();
          if (FItemIndex >= 0) SetWindowTextA(FHandle, FItems->Strings(FItemIndex).c_str());
          Click();
          Select();
          break;
        case CBN_EDITCHANGE:
          Change();
          break;
        case CBN_DROPDOWN:
          if (OnDropDown) OnDropDown(this);
          break;
        case CBN_CLOSEUP:
          if (OnCloseUp) OnCloseUp(this);
          break;
        default:
          break;
      }
      return;
    case CM_TEXTCHANGED:
      if (!FHandle) Change();
      return;
    case CM_WANTSPECIALKEY:
      // While the list is open, Enter and Esc belong to the list.
      Message.Result =
          (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE) && DroppedDown();
      return;
    default:
      break;
  }
  TWinControl::WndProc(Message);
}

// ---- TCustomListBox ----------------------------------------------------------

TCustomListBox::TCustomListBox(TComponent* AOwner) : TWinControl(AOwner), FItems(new TStringList) {
  FWidth = 121, FHeight = 97;
  SetTabStop(true);
  SetColor(clWindow);
  FItems->OnChange = [this](TObject*) {
    if (FItemIndex >= FItems->Count()) FItemIndex = -1;
    if (FHandle) FillList();
  };
}

TCustomListBox::~TCustomListBox() {
  DestroyHandle();
  delete FItems;
}

void TCustomListBox::CreateParams(TCreateParams& Params) {
  TWinControl::CreateParams(Params);
  Params.WinClassName = "LISTBOX";
  Params.SystemClass = true;
  Params.Style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER;
}

void TCustomListBox::FillList() {
  SendMessageA(FHandle, LB_RESETCONTENT, 0, 0);
  for (int I = 0; I < FItems->Count(); ++I)
    SendMessageA(FHandle, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(FItems->Strings(I).c_str()));
  SendMessageA(FHandle, LB_SETCURSEL, FItemIndex, 0);
}

void TCustomListBox::AfterCreateWnd() { FillList(); }

int TCustomListBox::ItemIndex() {
  return FHandle ? static_cast<int>(SendMessageA(FHandle, LB_GETCURSEL, 0, 0)) : FItemIndex;
}

void TCustomListBox::SetItemIndex(int Value) {
  if (Value < -1 || Value >= FItems->Count()) Value = -1;
  FItemIndex = Value;
  if (FHandle) SendMessageA(FHandle, LB_SETCURSEL, Value, 0);
}

void TCustomListBox::WndProc(TMessage& Message) {
  if (Message.Msg == CN_COMMAND && HIWORD(Message.WParam) == LBN_SELCHANGE) {
    FItemIndex = ItemIndex();
    Click();
    return;
  }
  TWinControl::WndProc(Message);
}
