#include "COMPONENTS/kslib/DBCheckBoxKs.h"

#include "COMPONENTS/kslib/DBToolsKs.h"
#include "forms/Forms.h"
#include "rtl/AnsiText.h"

namespace {

bool InList(const AnsiString& Text, const AnsiString& List) {
  for (const AnsiString& Entry : SplitNamesKs(List))
    if (AnsiSameText(Entry, Text)) return true;
  return false;
}

AnsiString FirstOf(const AnsiString& List) {
  std::vector<AnsiString> Entries = SplitNamesKs(List);
  return Entries.empty() ? AnsiString() : Entries[0];
}

}  // namespace

TCustomDBCheckBoxKs::TCustomDBCheckBoxKs(TComponent* AOwner)
    : TButtonControl(AOwner), FDataLink(new TFieldDataLinkKs) {
  FWidth = 97, FHeight = 17;
  SetParentColor(true);
  FDataLink->SetControl(this);
  FDataLink->OnDataChange = [this](TObject*) { DataChange(); };
  FDataLink->OnUpdateData = [this](TObject*) { LinkUpdateData(); };
  FDataLink->SetValue(Variant(false));
}

TCustomDBCheckBoxKs::~TCustomDBCheckBoxKs() {
  DestroyHandle();
  FDataLink->OnDataChange = FDataLink->OnUpdateData = nullptr;
  delete FDataLink;
  FDataLink = nullptr;
}

void TCustomDBCheckBoxKs::CreateParams(TCreateParams& Params) {
  TButtonControl::CreateParams(Params);
  // The button keeps its clicks and the space bar; the face is ours.
  Params.Style |= BS_OWNERDRAW;
}

void TCustomDBCheckBoxKs::SetDataSource(TDataSource* Value) {
  FDataLink->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
}

void TCustomDBCheckBoxKs::Notification(TComponent* AComponent, TOperation Operation) {
  TButtonControl::Notification(AComponent, Operation);
  if (Operation == opRemove && FDataLink && AComponent == DataSource()) SetDataSource(nullptr);
}

void TCustomDBCheckBoxKs::SetAlignment(TLeftRight Value) {
  if (FAlignment == Value) return;
  FAlignment = Value;
  RecreateWnd();
}

void TCustomDBCheckBoxKs::SetAlwaysShowBorder(bool Value) {
  FAlwaysShowBorder = Value;
  Invalidate();
}

void TCustomDBCheckBoxKs::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  RecreateWnd();
}

void TCustomDBCheckBoxKs::SetValueChecked(const AnsiString& Value) {
  FValueChecked = Value;
  DataChange();
}

void TCustomDBCheckBoxKs::SetValueUnchecked(const AnsiString& Value) {
  FValueUnchecked = Value;
  DataChange();
}

// --- State and value

TCheckBoxState TCustomDBCheckBoxKs::StateOfValue() {
  if (IsDataIndependent()) {
    const Variant& Value = FDataLink->DataIndependentValue();
    if (Value.VarType() != varBoolean) return cbGrayed;
    return Value.AsBoolean() ? cbChecked : cbUnchecked;
  }
  TField* F = Field();
  if (!F) return cbUnchecked;
  if (F->IsNull()) return cbGrayed;
  if (F->DataType() == ftBoolean) return F->AsBoolean() ? cbChecked : cbUnchecked;
  AnsiString Text = F->Text();
  if (InList(Text, FValueChecked)) return cbChecked;
  if (InList(Text, FValueUnchecked)) return cbUnchecked;
  return cbGrayed;
}

void TCustomDBCheckBoxKs::DataChange() {
  InternalSetState(StateOfValue());
  FModified = false;
}

void TCustomDBCheckBoxKs::InternalSetState(TCheckBoxState Value) {
  if (FState == Value) return;
  FState = Value;
  if (!FClicking) Click();
  Invalidate();
  FModified = true;
}

void TCustomDBCheckBoxKs::SetState(TCheckBoxState Value) {
  if (!IsDataIndependent()) FDataLink->Edit();
  InternalSetState(Value);
  if (FInUpdateData) return;
  try {
    UpdateData();
  } catch (...) {
    FDataLink->Reset();
    throw;
  }
}

void TCustomDBCheckBoxKs::StoreState() {
  if (IsDataIndependent()) {
    FDataLink->SetValue(FState == cbGrayed ? Variant::Null() : Variant(Checked()));
    return;
  }
  TField* F = Field();
  if (!F) return;
  if (FState == cbGrayed) {
    F->Clear();
  } else if (F->DataType() == ftBoolean) {
    F->SetAsBoolean(Checked());
  } else {
    F->SetText(FirstOf(Checked() ? FValueChecked : FValueUnchecked));
  }
}

void TCustomDBCheckBoxKs::UpdateData() {
  bool Handled = false;
  if (OnUpdateData) {
    FInUpdateData = true;
    try {
      OnUpdateData(this, Handled);
    } catch (...) {
      FInUpdateData = false;
      throw;
    }
    FInUpdateData = false;
  }
  if (!Handled) StoreState();
}

// A value the field rejects leaves the field's own state in the box.
void TCustomDBCheckBoxKs::LinkUpdateData() {
  try {
    UpdateData();
  } catch (...) {
    FDataLink->Reset();
    throw;
  }
}

void TCustomDBCheckBoxKs::Toggle() {
  if (!FDataLink->Edit()) return;
  switch (FState) {
    case cbUnchecked:
      InternalSetState(FAllowGrayed ? cbGrayed : cbChecked);
      break;
    case cbChecked:
      InternalSetState(cbUnchecked);
      break;
    case cbGrayed:
      InternalSetState(cbChecked);
      break;
  }
  FDataLink->Modified();
  Invalidate();
}

// --- Input

void TCustomDBCheckBoxKs::KeyPress(char& Key) {
  TButtonControl::KeyPress(Key);
  if (Key == VK_BACK || Key == ' ') {
    FDataLink->Edit();
  } else if (Key == VK_ESCAPE) {
    FDataLink->Reset();
  }
}

void TCustomDBCheckBoxKs::DoExit() {
  TButtonControl::DoExit();
  try {
    FDataLink->UpdateRecord();
  } catch (...) {
    if (CanFocus()) SetFocus();
    throw;
  }
}

void TCustomDBCheckBoxKs::MouseEnter() {
  TButtonControl::MouseEnter();
  Invalidate();
}

void TCustomDBCheckBoxKs::MouseLeave() {
  TButtonControl::MouseLeave();
  Invalidate();
}

// --- Painting

void TCustomDBCheckBoxKs::DrawCheckBox(HDC DC, const RECT& Rect, TCheckBoxState AState,
                                       bool Pressed, bool, bool Active) {
  PaintButtonControlKs(DC, Rect, Color(), AState, Enabled(), Active, FFlat, Pressed ? 1 : 0,
                       bcsCheckboxKs);
}

void TCustomDBCheckBoxKs::DrawCaption(HDC DC, RECT Rect, bool Focused) {
  AnsiString Caption = Text();
  TSelectObject SelectedFont(DC, Font()->Handle());
  SetBkMode(DC, TRANSPARENT);
  RECT Measured = Rect;
  DrawTextA(DC, Caption.c_str(), static_cast<int>(Caption.size()), &Measured,
            DT_SINGLELINE | DT_CALCRECT);
  int Height = Measured.bottom - Measured.top;
  RECT Place{Rect.left, Rect.top + (Rect.bottom - Rect.top - Height) / 2, Rect.right, 0};
  Place.bottom = Place.top + Height;
  Place.right = Place.left + (Measured.right - Measured.left);
  UINT Flags = DT_SINGLELINE;
  // Read from the right, the caption stands at the right of its area.
  if (UseRightToLeftReading()) {
    OffsetRect(&Place, Rect.right - Place.right, 0);
    Flags |= DT_RTLREADING;
  }
  if (Enabled()) {
    SetTextColor(DC, ColorToRGB(Font()->Color()));
    DrawTextA(DC, Caption.c_str(), static_cast<int>(Caption.size()), &Place, Flags);
  } else {
    RECT Emboss = Place;
    OffsetRect(&Emboss, 1, 1);
    SetTextColor(DC, ColorToRGB(clBtnHighlight));
    DrawTextA(DC, Caption.c_str(), static_cast<int>(Caption.size()), &Emboss, Flags);
    SetTextColor(DC, ColorToRGB(clGrayText));
    DrawTextA(DC, Caption.c_str(), static_cast<int>(Caption.size()), &Place, Flags);
  }
  if (!Focused) return;
  RECT Focus = Place;
  InflateRect(&Focus, 1, 1);
  RECT Client = ClientRect();
  IntersectRect(&Focus, &Focus, &Client);
  DrawFocusRect(DC, &Focus);
}

void TCustomDBCheckBoxKs::DrawCheckBoxAndCaption(const DRAWITEMSTRUCT& Item) {
  HDC DC = Item.hDC;
  RECT Client = Item.rcItem;
  TGdiHandle<HBRUSH> Back(CreateSolidBrush(ColorToRGB(Color())));
  FillRect(DC, &Client, Back.Get());
  // Right to left the sides change places.
  bool BoxLeft = (FAlignment == taRightJustify) != UseRightToLeftReading();
  RECT Box = FitRectToMaxSize(Client, BoxLeft ? 0 : 1, 1);
  bool Pressed = Item.itemState & ODS_SELECTED;
  bool Focused = Item.itemState & ODS_FOCUS;
  bool Active = FMouseInControl || Pressed || FAlwaysShowBorder;
  DrawCheckBox(DC, Box, FState, Pressed, Focused, Active);
  RECT Caption = Client;
  if (BoxLeft) {
    Caption.left = Box.right + 5;
  } else {
    Caption.right = Box.left - 5;
  }
  DrawCaption(DC, Caption, Focused);
}

void TCustomDBCheckBoxKs::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case CN_COMMAND:
      if (HIWORD(Message.WParam) == BN_CLICKED) Toggle();
      return;
    case CN_DRAWITEM:
      DrawCheckBoxAndCaption(*reinterpret_cast<DRAWITEMSTRUCT*>(Message.LParam));
      Message.Result = 1;
      return;
    case CM_BIDIMODECHANGED:
      RecreateWnd();
      return;
    case CM_DIALOGCHAR:
      if (IsOwnAccel(Message)) {
        SetFocus();
        Toggle();
      }
      return;
    case WM_LBUTTONDBLCLK:
      // A second press is a press like any other: each click toggles once.
      Message.Msg = WM_LBUTTONDOWN;
      break;
    case CM_WANTSPECIALKEY:
      Message.Result = Message.WParam == VK_ESCAPE && FModified;
      return;
    case WM_CANCELMODE:
      if (HandleAllocated() && GetCapture() == FHandle) {
        bool Down = SendMessageA(FHandle, BM_GETSTATE, 0, 0) & BST_PUSHED;
        ReleaseCapture();
        if (Down) Perform(WM_LBUTTONUP, 0, MAKELPARAM(-1, -1));
      }
      break;
    default:
      break;
  }
  if (Message.Msg == WM_LBUTTONDOWN && HandleAllocated() && !Focused()) {
    // The press first gives the focus; when it does not arrive, it is dropped.
    FClicking = true;
    if (CanFocus()) SetFocus();
    FClicking = false;
    if (!Focused()) return;
  }
  TButtonControl::WndProc(Message);
}
