#include "COMPONENTS/kslib/DBGridKsInplaceEdit.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <cmath>

#include "COMPONENTS/kslib/DBGridKs.h"
#include "COMPONENTS/kslib/DBGridKsCellText.h"
#include "COMPONENTS/kslib/DBLookupGridsKs.h"
#include "COMPONENTS/kslib/DbUtilsKs.h"
#include "SDS.h"
#include "forms/Clipbrd.h"
#include "forms/Ime.h"
#include "rtl/AnsiText.h"
#include "rtl/SysUtils.h"

namespace {

bool KeyFieldsModifiable(TField* Field, bool Designing) {
  if (Field->KeyFields().empty() || !Field->DataSet()) return false;
  std::vector<TField*> Keys;
  Field->DataSet()->GetFieldList(Keys, Field->KeyFields());
  return !Keys.empty() && std::all_of(Keys.begin(), Keys.end(), [Designing](TField* Key) {
    return Key->CanModify() || Designing;
  });
}

// The style for a column whose ButtonStyle is automatic. The editor's own
// decision also asks the grid's allowed operations and, for pick lists,
// whether the grid may be edited at all.
TInplaceEditStyleKs AutoEditStyle(TColumnKs* Column, bool ForEditor) {
  TField* Field = Column->GetField();
  if (!Field) return iesSimple;
  TCustomDBGridKs* Grid = Column->GetGrid();
  bool GridEditable =
      Grid && !Grid->ReadOnly() && Grid->DataLink()->Active() && !Grid->DataLink()->ReadOnly();
  if (Field->Lookup()) {
    bool Designing = !ForEditor && Grid && Grid->Designing();
    bool ColumnReadOnly = Column->ExplicitValues().Contains(cvReadOnly) && Column->ReadOnly();
    bool OnlyDelete =
        ForEditor && Grid && Grid->AllowedOperations() == TDBGridKsAllowedOperations{alopDeleteKs};
    return KeyFieldsModifiable(Field, Designing) && !ColumnReadOnly && GridEditable && !OnlyDelete
               ? iesDataList
               : iesSimple;
  }
  if (Column->PickList()->Count() > 0 && !Column->ReadOnly() && (!ForEditor || GridEditable))
    return iesPickList;
  if ((Field->DataType() == ftDate || Field->DataType() == ftDateTime) && !Column->ReadOnly()) {
    if (ForEditor) Column->SetAutoDropDown(false);
    return iesDateCalendar;
  }
  return iesSimple;
}

TInplaceEditStyleKs StyleOfButton(TColumnKs* Column, bool ForEditor) {
  switch (Column->ButtonStyle()) {
    case cbsEllipsis:
      return iesEllipsis;
    case cbsNone:
      return iesSimple;
    case cbsUpDown:
      return iesUpDown;
    case cbsDropDown:
      return iesDropDown;
    case cbsAuto:
      break;
  }
  return AutoEditStyle(Column, ForEditor);
}

bool OverWindow(TWinControl* Control, POINT Screen) {
  RECT R;
  return Control->HandleAllocated() && GetWindowRect(Control->Handle(), &R) && PtInRect(&R, Screen);
}

bool IsNumberVariant(const Variant& Value) {
  TVarType Type = VarType(Value);
  return Type >= varSmallint && Type <= varCurrency;
}

WPARAM MouseKeys(TShiftState Shift) {
  return (Shift.Contains(ssShift) ? MK_SHIFT : 0) | (Shift.Contains(ssCtrl) ? MK_CONTROL : 0) |
         (Shift.Contains(ssLeft) ? MK_LBUTTON : 0) | (Shift.Contains(ssRight) ? MK_RBUTTON : 0) |
         (Shift.Contains(ssMiddle) ? MK_MBUTTON : 0);
}

}  // namespace

TDBGridInplaceEdit::TDBGridInplaceEdit(TComponent* AOwner)
    : TInplaceEdit(AOwner), FListSource(std::make_unique<TDataSource>(nullptr)) {
  FButtons.push_back(CreateEditButtonControl());
}

TDBGridInplaceEdit::~TDBGridInplaceEdit() {
  if (FDataList) {
    FDataList->RemoveFreeNotification(this);
    FDataList->SetEditor(nullptr);
  }
}

TCustomDBGridKs* TDBGridInplaceEdit::DBGrid() const {
  return dynamic_cast<TCustomDBGridKs*>(Grid());
}

TColumnKs* TDBGridInplaceEdit::Column() const {
  TCustomDBGridKs* G = DBGrid();
  if (!G) return nullptr;
  int DataCol = G->SelectedIndex();
  return DataCol >= 0 && DataCol < G->Columns()->Count() ? G->Columns()->Items(DataCol) : nullptr;
}

bool TDBGridInplaceEdit::RightToLeft() const {
  TCustomDBGridKs* G = DBGrid();
  return G && G->BiDiMode() == bdRightToLeft;
}

// Right to left a list hangs from the cell's right edge.
TDropDownAlign TDBGridInplaceEdit::ListAlign() const { return RightToLeft() ? daRight : daLeft; }

int TDBGridInplaceEdit::TreeIndent() const {
  TCustomDBGridKs* G = DBGrid();
  return G && G->IsTreeColumn(G->SelectedIndex()) ? G->TreeIndentWidth() : 0;
}

TInplaceEditStyleKs TDBGridInplaceEdit::GetEditStyle(TColumnKs* Column) {
  return StyleOfButton(Column, false);
}

void TDBGridInplaceEdit::CreateParams(TCreateParams& Params) {
  TInplaceEdit::CreateParams(Params);
  if (FMultiLine) Params.Style = (Params.Style | ES_MULTILINE) & ~ES_AUTOHSCROLL;
  // Right to left the text starts at the right edge and reads that way.
  if (FMirrored) {
    Params.Style |= ES_RIGHT;
    Params.ExStyle |= WS_EX_RTLREADING;
  }
}

void TDBGridInplaceEdit::AfterCreateWnd() {
  TInplaceEdit::AfterCreateWnd();
  TCustomDBGridKs* G = DBGrid();
  FButtonsWidth = G && G->Flat() ? FlatEditButtonWidth + 1 : GetSystemMetrics(SM_CXVSCROLL);
  ApplyEditRect();
}

// --- Style and contents

void TDBGridInplaceEdit::SetEditStyle(TInplaceEditStyleKs Value) {
  FEditStyle = Value;
  TColumnKs* Col = Column();
  switch (Value) {
    case iesPickList:
      if (!FPickList) {
        FPickList = new TPopupListboxKs(this);
        FPickList->SetVisible(false);
        FPickList->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int X, int Y) {
          RECT Client = FPickList->ClientRect();
          CloseUp(PtInRect(&Client, POINT{X, Y}) != 0);
        };
      }
      FPickList->SetImages(Col ? Col->ImageList() : nullptr);
      FPickList->SetItemHeight(FPickList->ListboxTextHeight());
      FActiveList = FPickList;
      break;
    case iesDateCalendar:
      if (!FCalendar) {
        FCalendar = new TPopupMonthCalendarKs(this);
        FCalendar->SetVisible(false);
      }
      FActiveList = FCalendar;
      break;
    case iesDropDown:
      FActiveList =
          Col && dynamic_cast<TNumericField*>(Col->GetField()) ? GetPopupCalculator() : nullptr;
      break;
    case iesDataList:
      SetDataList(Col ? Col->GetPopupDataGrid() : nullptr);
      FActiveList = FDataList;
      break;
    default:
      FActiveList = nullptr;
      break;
  }
  if (Col) SetReadOnly(Col->ReadOnly());
  LayoutButtons();
  Invalidate();
}

void TDBGridInplaceEdit::SetDataList(TPopupDataGridKs* List) {
  if (List == FDataList) return;
  if (FDataList) {
    FDataList->RemoveFreeNotification(this);
    FDataList->SetEditor(nullptr);
  }
  FDataList = List;
  if (!List) return;
  List->SetVisible(false);
  List->SetEditor(this);
  List->OnMouseCloseUp = [this](TObject*, bool Accept) { CloseUp(Accept); };
  List->FreeNotification(this);
}

TPopupCalculatorKs* TDBGridInplaceEdit::GetPopupCalculator() {
  if (!FCalculator) {
    FCalculator = new TPopupCalculatorKs(this);
    FCalculator->SetVisible(false);
  }
  return FCalculator;
}

void TDBGridInplaceEdit::UpdateContents() {
  TCustomDBGridKs* G = DBGrid();
  TColumnKs* Col = Column();
  bool MultiLine = Col && G && Col->WordWrap() && G->RowsTallerThanText();
  if (MultiLine != FMultiLine || RightToLeft() != FMirrored) {
    FMultiLine = MultiLine;
    FMirrored = RightToLeft();
    if (HandleAllocated()) RecreateWnd();
  }
  TInplaceEditStyleKs Style = Col ? StyleOfButton(Col, true) : iesSimple;
  // An open list stays through a refresh of its own cell only.
  if (FListVisible && (Style != FEditStyle || Col != FListColumn)) CloseUp(false);
  SetEditStyle(Style);
  {
    TFlagScope Loading(FLoading);
    if (Col) ApplyCellParams(Col);
    TInplaceEdit::UpdateContents();
  }
  FMRUList = Col ? Col->MRUList() : nullptr;
  if (FMRUListbox) FMRUListbox->SetMRUListboxField(reinterpret_cast<intptr_t>(FMRUList));
  FTextChanged = false;
  if (G) G->UpdateIme();
}

// The cell's colours, font and image as the grid and the column's events
// paint the focused cell.
void TDBGridInplaceEdit::ApplyCellParams(TColumnKs* Col) {
  TCustomDBGridKs* G = DBGrid();
  Font()->Assign(Col->Font());
  TColCellParamsKs Params;
  Col->FillColCellParams(&Params);
  Params.Background = Col->Color();
  Params.Font = Font();
  Params.State = static_cast<int>(SetToBits(TGridDrawState{gdFocused}));
  bool CannotModify = !Col->CanModify(false);
  Params.ReadOnly = CannotModify;
  G->GetCellParams(Col, Params.Font, Params.Background, TGridDrawState{gdFocused});
  Col->GetColCellParams(true, &Params);
  SetColor(Params.Background);
  FImageIndex = Params.ImageIndex;
  if (Params.ReadOnly != CannotModify) SetReadOnly(true);
}

// --- Buttons and the edit rectangle

TEditButtonControlKs* TDBGridInplaceEdit::CreateEditButtonControl() {
  auto* Control = new TEditButtonControlKs(this);
  Control->SetBounds(0, 0, 10, 17);
  Control->SetParent(this);
  Control->OnClick = [this](TObject* Sender) { EditButtonClick(Sender); };
  Control->OnDown = [this](TObject* Sender, bool Top, bool& AutoRepeat, bool& Handled) {
    EditButtonMouseDown(Sender, Top, AutoRepeat, Handled);
  };
  Control->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
    ButtonMouseMove(Sender, Shift, X, Y);
  };
  Control->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                              int Y) { ButtonMouseLeave(Sender, Button, Shift, X, Y); };
  return Control;
}

void TDBGridInplaceEdit::LayoutButtons() {
  TCustomDBGridKs* G = DBGrid();
  TColumnKs* Col = Column();
  TEditButtonsKs* Extra = Col ? Col->EditButtons() : nullptr;
  int Count = 1 + (Extra ? Extra->Count() : 0);
  while (ButtonControlCount() > Count) {
    delete FButtons.back();
    FButtons.pop_back();
  }
  while (ButtonControlCount() < Count) FButtons.push_back(CreateEditButtonControl());
  bool Flat = G && G->Flat();
  int DefaultWidth = Flat ? FlatEditButtonWidth : GetSystemMetrics(SM_CXVSCROLL);
  int ClientWidth = HandleAllocated() ? ClientRect().right : Width();
  int ClientHeight = HandleAllocated() ? ClientRect().bottom : Height();
  FButtonHeight = ClientHeight <= std::lround(DefaultWidth * 1.5) ? ClientHeight : DefaultWidth;
  // Right to left the buttons stand at the left edge, the first outermost.
  bool Mirrored = RightToLeft();
  int X = Mirrored ? 0 : ClientWidth, Total = 0;
  for (int I = 0; I < Count; ++I) {
    TEditButtonControlKs* Control = FButtons[I];
    Control->Tag = I;
    Control->SetFlat(Flat);
    bool Visible;
    int ButtonWidth = DefaultWidth;
    if (I == 0) {
      Visible = FEditStyle != iesSimple && FEditStyle != iesDateCalendar;
      Control->SetStyle(FEditStyle == iesEllipsis ? ebsEllipsisKs
                        : FEditStyle == iesUpDown ? ebsUpDownKs
                                                  : ebsDropDownKs);
    } else {
      TEditButtonKs* Button = Extra->EditButtonsItem(I - 1);
      Visible = Button->Visible();
      Control->SetStyle(Button->Style());
      Control->Glyph()->SetHandle(
          Button->Glyph()->Handle()
              ? static_cast<HBITMAP>(CopyImage(Button->Glyph()->Handle(), IMAGE_BITMAP, 0, 0, 0))
              : nullptr);
      Control->SetNumGlyphs(Button->NumGlyphs());
      Control->SetHint(Button->Hint());
      if (Button->Width() >= 1) ButtonWidth = Button->Width();
    }
    Control->SetVisible(Visible);
    if (!Visible) continue;
    // A flat button keeps a line to the text side of it (painted over).
    int Room = ButtonWidth + (Flat ? 1 : 0);
    if (!Mirrored) X -= Room;
    Total += Room;
    Control->SetBounds(Mirrored ? X : X + Room - ButtonWidth, 0, ButtonWidth, FButtonHeight);
    if (Mirrored) X += Room;
  }
  FButtonsWidth = Total;
}

// The line between a flat button and the text, in the buttons' colour.
void TDBGridInplaceEdit::PaintButtonLines(HDC DC) {
  TCustomDBGridKs* G = DBGrid();
  if (!G || !G->Flat()) return;
  TGdiHandle<HBRUSH> Face(CreateSolidBrush(ColorToRGB(clBtnFace)));
  for (TEditButtonControlKs* Control : FButtons) {
    if (!Control->Visible()) continue;
    int X = RightToLeft() ? Control->Left() + Control->Width() : Control->Left() - 1;
    RECT Line{X, 0, X + 1, Control->Height()};
    FillRect(DC, &Line, Face.Get());
  }
}

RECT TDBGridInplaceEdit::GetEditRect() {
  TCustomDBGridKs* G = DBGrid();
  int W = Width(), H = Height();
  RECT R = G && G->Flat() ? RECT{2, 1, W - 2, H - 1} : RECT{2, 2, W - 2, H};
  if (MeasureFontKs(Font()).TextHeight > R.bottom - R.top && R.bottom < H) ++R.bottom;
  TColumnKs* Col = Column();
  int Image = Col && Col->ShowImageAndText() && Col->ImageList() ? Col->ImageList()->Width() + 5 : 0;
  if (int Indent = TreeIndent()) Image += Indent + 1;
  if (RightToLeft()) {
    R.left += FButtonsWidth;
    R.right -= Image;
  } else {
    R.right -= FButtonsWidth;
    R.left += Image;
  }
  return R;
}

// A single-line edit keeps its text clear of the buttons and the image
// through its margins; a multi-line one through its formatting rectangle.
void TDBGridInplaceEdit::ApplyEditRect() {
  if (!HandleAllocated()) return;
  RECT R = GetEditRect();
  if (FMultiLine) {
    SendMessageA(Handle(), EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&R));
  } else {
    SendMessageA(Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 MAKELPARAM(R.left, std::max<int>(0, Width() - R.right)));
  }
  SendMessageA(Handle(), EM_SCROLLCARET, 0, 0);
}

void TDBGridInplaceEdit::Resize() {
  TInplaceEdit::Resize();
  if (FInBoundsChange) return;
  TFlagScope Changing(FInBoundsChange);
  if (HandleAllocated()) KillMessage(Handle(), WM_EDITBUTTONMENUKS);
  LayoutButtons();
  ApplyEditRect();
  PlaceCompositionWindow();
}

// An input method composes over the text area.
void TDBGridInplaceEdit::PlaceCompositionWindow() {
  if (!HandleAllocated() || !SysLocaleFarEast()) return;
  HIMC Context = ImmGetContext(Handle());
  if (!Context) return;
  RECT R = GetEditRect();
  COMPOSITIONFORM Form{CFS_RECT, POINT{R.left, R.top}, R};
  ImmSetCompositionWindow(Context, &Form);
  ImmReleaseContext(Handle(), Context);
}

void TDBGridInplaceEdit::Notification(TComponent* AComponent, TOperation Operation) {
  TInplaceEdit::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FPickList) FPickList = nullptr;
  if (AComponent == FCalendar) FCalendar = nullptr;
  if (AComponent == FCalculator) FCalculator = nullptr;
  if (AComponent == FMRUListbox) FMRUListbox = nullptr;
  if (AComponent == FActiveList) FActiveList = nullptr;
  if (AComponent == FDataList) {
    FDataList = nullptr;
    FEditStyle = iesSimple;
  }
}

void TDBGridInplaceEdit::UpdateEditImage() {
  TColumnKs* Col = Column();
  if (!Col || !Col->ImageList()) return;
  int Index = -1;
  if (Col->PickList()->Count() > 0) {
    Index = Col->PickList()->IndexOf(Text());
  } else if (TField* F = Col->GetField();
             F && (F->DataType() == ftSmallint || F->DataType() == ftInteger ||
                   F->DataType() == ftWord)) {
    Index = F->IsNull() ? -1 : F->AsInteger();
  }
  if (Index == -1) Index = Col->NotInKeyListIndex();
  if (Index == FImageIndex) return;
  FImageIndex = Index;
  Invalidate();
}

// --- Buttons

void TDBGridInplaceEdit::ButtonDown(bool IsDownButton) {
  if (FEditStyle == iesUpDown) {
    TColumnKs* Col = Column();
    TField* F = Col ? Col->GetField() : nullptr;
    if (!F || !Col->CanModify(true)) return;
    // A typed text goes into the field before the step.
    if (Text() != F->DisplayText()) F->SetText(Text());
    Col->ApplyNextValue(IsDownButton ? -Col->Increment() : Col->Increment());
    return;
  }
  if (FButtonPressed) return;
  DropDown();
  FTracking = FListVisible;
}

void TDBGridInplaceEdit::EditButtonClick(TObject* Sender) {
  auto* Control = dynamic_cast<TEditButtonControlKs*>(Sender);
  TColumnKs* Col = Column();
  if (!Control || !Col) return;
  bool Handled = false;
  if (Control->Tag == 0) {
    if (FEditStyle == iesEllipsis || FEditStyle == iesDropDown) {
      TCustomDBGridKs* G = DBGrid();
      if (G && G->OnEditButtonClick) G->OnEditButtonClick(G);
    }
    if (Col->OnEditButtonClick) Col->OnEditButtonClick(Col, Handled);
    return;
  }
  TEditButtonKs* Button = Col->EditButtons()->EditButtonsItem(static_cast<int>(Control->Tag) - 1);
  if (Button->OnClick) Button->OnClick(Control, Handled);
}

void TDBGridInplaceEdit::EditButtonMouseDown(TObject* Sender, bool TopButton, bool& AutoRepeat,
                                             bool& Handled) {
  auto* Control = dynamic_cast<TEditButtonControlKs*>(Sender);
  TColumnKs* Col = Column();
  if (!Control || !Col) return;
  if (HandleAllocated() && GetFocus() != Handle() && CanFocus()) SetFocus();
  if (Control->Tag == 0) {
    if (Col->OnEditButtonDown) Col->OnEditButtonDown(Col, TopButton, AutoRepeat, Handled);
    if (Handled) return;
    if (FListVisible) {
      CloseUp(false);
    } else {
      ButtonDown(!TopButton);
    }
    Handled = true;
    return;
  }
  TEditButtonKs* Button = Col->EditButtons()->EditButtonsItem(static_cast<int>(Control->Tag) - 1);
  if (Button->OnDown) Button->OnDown(Control, TopButton, AutoRepeat, Handled);
  if (Handled || !Button->DropdownMenu()) return;
  PostMessageA(Handle(), WM_EDITBUTTONMENUKS, static_cast<WPARAM>(Control->Tag), 0);
  Handled = true;
}

void TDBGridInplaceEdit::ButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  auto* Control = dynamic_cast<TControl*>(Sender);
  TWinControl* List = FActiveList;
  if (!FTracking || !FListVisible || !Shift.Contains(ssLeft) || !Control || !List ||
      (List != FPickList && List != FDataList))
    return;
  POINT Screen = Control->ClientToScreen(POINT{X, Y});
  if (!OverWindow(List, Screen)) return;
  POINT InList = List->ScreenToClient(Screen);
  if (List == FPickList) {
    // A press would give the list box the focus: it follows the mouse as
    // it does with no button held, and the release picks.
    SendMessageA(List->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(InList.x, InList.y));
    return;
  }
  // The data list takes the press over, scrolling past its edges and
  // opening nodes as its own press does. The button lets go without a
  // click, and the editor its capture.
  FTracking = false;
  Perform(WM_LBUTTONUP, 0, MAKELPARAM(-1, -1));
  SendMessageA(List->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(InList.x, InList.y));
}

void TDBGridInplaceEdit::ButtonMouseLeave(TObject* Sender, TMouseButton, TShiftState, int X,
                                          int Y) {
  auto* Control = dynamic_cast<TControl*>(Sender);
  if (!Control || (X >= 0 && Y >= 0 && X < Control->Width() && Y < Control->Height())) return;
  bool WasTracking = FTracking;
  FTracking = false;
  if (!WasTracking || !FListVisible) return;
  POINT Screen = Control->ClientToScreen(POINT{X, Y});
  if (FActiveList == FPickList && OverWindow(FPickList, Screen)) {
    CloseUp(true);
  } else if (OverWindow(this, Screen)) {
    CloseUp(false);
  }
}

void TDBGridInplaceEdit::PopupButtonMenu(int Index) {
  TColumnKs* Col = Column();
  if (!Col || Index < 1 || Index >= ButtonControlCount()) return;
  TEditButtonKs* Button = Col->EditButtons()->EditButtonsItem(Index - 1);
  TEditButtonControlKs* Control = FButtons[Index];
  // The button lets go before the menu takes the mouse.
  Control->Perform(WM_LBUTTONUP, 0, MAKELPARAM(-1, -1));
  if (TPopupMenu* Menu = Button->DropdownMenu()) {
    POINT Corner = Control->ClientToScreen(POINT{0, Control->Height()});
    Menu->Popup(Corner.x, Corner.y);
  }
}

bool TDBGridInplaceEdit::EditButtonShortCut(uint16_t Key, TShiftState Shift) {
  TColumnKs* Col = Column();
  if (!Col) return false;
  TShortCut Pressed = ShortCutKs(Key, Shift);
  for (int I = 0; I < Col->EditButtons()->Count(); ++I) {
    TEditButtonKs* Button = Col->EditButtons()->EditButtonsItem(I);
    if (Button->ShortCut() != Pressed || I + 1 >= ButtonControlCount()) continue;
    EditButtonClick(FButtons[I + 1]);
    return true;
  }
  return false;
}

// --- Painting

void TDBGridInplaceEdit::DrawRequiredState(HDC DC) {
  TCustomDBGridKs* G = DBGrid();
  TColumnKs* Col = Column();
  TField* F = Col ? Col->GetField() : nullptr;
  TDataSet* Data = G && G->DataLink()->Active() ? G->DataLink()->DataSet() : nullptr;
  bool Draw = Col && Col->HighlightRequired() && Data && Data->State() == dsInsert && F &&
              F->Required() && F->IsNull();
  if (Col && Col->OnCheckDrawRequiredState) Col->OnCheckDrawRequiredState(G, Text(), Draw);
  if (!Draw) return;
  RECT R = GetEditRect();
  int Y = ClientRect().bottom - 1;
  HPEN Pen = CreatePen(PS_DOT, 1, ColorToRGB(clRed));
  HGDIOBJ Old = SelectObject(DC, Pen);
  int OldMode = SetBkMode(DC, TRANSPARENT);
  MoveToEx(DC, R.left + 2, Y, nullptr);
  LineTo(DC, R.right - 3, Y);
  SetBkMode(DC, OldMode);
  SelectObject(DC, Old);
  DeleteObject(Pen);
}

void TDBGridInplaceEdit::PaintOverlay(HDC DC) {
  if (int Indent = TreeIndent()) {
    // Right to left the tree part stands at the right edge, mirrored as
    // the grid's cells show it.
    RECT Client = ClientRect();
    bool Mirrored = RightToLeft();
    if (Mirrored) MirrorDC(DC, Client.right, Client.bottom, true);
    TCanvas Canvas;
    Canvas.SetHandle(DC);
    DBGrid()->DrawTreeCell(&Canvas, RECT{0, 0, Indent, Client.bottom}, Color());
    Canvas.SetHandle(nullptr);
    if (Mirrored) MirrorDC(DC, Client.right, Client.bottom, false);
  }
  DrawRequiredState(DC);
  PaintButtonLines(DC);
  TColumnKs* Col = Column();
  if (Col && Col->ShowImageAndText() && Col->ImageList() && FImageIndex >= 0) {
    TImageList* List = Col->ImageList();
    RECT R = GetEditRect();
    int X = RightToLeft() ? R.right + 3 : R.left - List->Width() - 3;
    int Y = (ClientRect().bottom - List->Height()) / 2;
    ImageList_Draw(List->Handle(), FImageIndex, DC, X, Y, ILD_NORMAL);
  }
  PaintControls(DC);
}

// --- Keys

bool TDBGridInplaceEdit::ListStyleActive() const {
  return FEditStyle == iesPickList || FEditStyle == iesDataList || FEditStyle == iesDateCalendar ||
         (FActiveList && FActiveList == FCalculator);
}

void TDBGridInplaceEdit::PassToGrid(uint16_t& Key, TShiftState Shift) {
  if (TCustomDBGridKs* G = DBGrid()) G->KeyDown(Key, Shift);
  Key = 0;
}

bool TDBGridInplaceEdit::KeyPickListColumn() {
  TColumnKs* Col = Column();
  return Col && Col->KeyList()->Count() > 0 && Col->PickList()->Count() > 0;
}

void TDBGridInplaceEdit::ListKeyDown(uint16_t& Key, TShiftState Shift) {
  bool Alt = Shift.Contains(ssAlt);
  bool ExactlyCtrl = Shift == TShiftState{ssCtrl};
  if ((Key == VK_UP || Key == VK_DOWN) && Alt) {
    if (FListVisible) {
      CloseUp(true);
    } else {
      DropDown();
    }
    Key = 0;
    return;
  }
  if (Key == VK_RETURN && ExactlyCtrl && !FListVisible) {
    DropDown();
    KillMessage(Handle(), WM_CHAR);
    Key = 0;
    return;
  }
  bool ListOpen = FListVisible && FActiveList != FCalculator;
  if (!ListOpen) return;
  TSDS* Tree = FActiveList == FDataList ? dynamic_cast<TSDS*>(FListSource->DataSet()) : nullptr;
  if (Tree && !Alt && (Key == VK_RETURN || Key == VK_ESCAPE || Key == VK_F3 || Key == VK_F4))
    DropTypedFilter(Tree);
  if (Tree && (Key == VK_F3 || Key == VK_F4)) {
    if (Key == VK_F4) {
      FFilterMode = !FFilterMode;
    } else if (Tree->Options().Contains(dsoLevels)) {
      Tree->SetLevelMode(Tree->LevelMode() == dslmShowOnlyLeaf ? dslmDefault : dslmShowOnlyLeaf);
      FollowListRecord(Tree);
    }
    Key = 0;
    return;
  }
  if (Key != VK_RETURN && Key != VK_ESCAPE) return;
  bool Stepping = Tree && Tree->Options().Contains(dsoLevels) &&
                  (Tree->LevelMode() == dslmDefault || Tree->LevelMode() == dslmShowOnlyLeveled);
  if (Stepping && (Key == VK_ESCAPE || !Shift.Contains(ssCtrl)) &&
      (Key == VK_RETURN ? Tree->LevelDown() : Tree->LevelUp())) {
    // A level down or up: the list stays open on its new current record.
    FollowListRecord(Tree);
  } else {
    CloseUp(Key == VK_RETURN);
  }
  if (FActiveList == FPickList || FActiveList == FDataList) {
    // The character that follows must not reach the grid.
    KillMessage(Handle(), WM_CHAR);
    Key = 0;
  }
}

// Unfiltered, the list would stand on its first record: it goes back to
// the one chosen, which the key steps from.
void TDBGridInplaceEdit::DropTypedFilter(TSDS* Tree) {
  if (Tree->ExtraFilterText().empty()) return;
  Tree->SetExtraFilterText("");
  if (!FDataList->KeyValue().IsNull())
    Tree->Locate(FDataList->KeyFieldNames(), FDataList->KeyValue(), {});
}

// Keys for an open list go to it; true when the message went there.
bool TDBGridInplaceEdit::ForwardListKey(TMessage& Message) {
  auto Code = static_cast<uint16_t>(Message.WParam);
  bool Char = Message.Msg == WM_CHAR;
  if (FActiveList == FCalculator) {
    if (Code == VK_RETURN || Code == VK_ESCAPE || (Code >= 32 && Code <= 126)) {
      SendMessageA(FCalculator->Handle(), Message.Msg, Message.WParam, Message.LParam);
      // Closed by the key: its character stays out of the editor and the grid.
      if (!FListVisible) KillMessage(Handle(), WM_CHAR);
      return true;
    }
    return false;
  }
  if (Char || !FActiveList->HandleAllocated()) return false;
  bool Ctrl = GetKeyState(VK_CONTROL) < 0, Shift = GetKeyState(VK_SHIFT) < 0;
  bool Moving =
      ((Code == VK_PRIOR || Code == VK_NEXT || Code == VK_UP || Code == VK_DOWN) && !Shift) ||
      ((Code == VK_HOME || Code == VK_END) && Ctrl) ||
      (FActiveList == FCalendar && (Code == VK_LEFT || Code == VK_RIGHT));
  if (!Moving) return false;
  SendMessageA(FActiveList->Handle(), Message.Msg, Message.WParam, Message.LParam);
  // The record goes into edit before the text changes, as typing does.
  AnsiString Shown = Text();
  if (FActiveList == FDataList) {
    Shown = FDataList->DisplayText();
  } else if (FActiveList == FPickList && FPickList->ItemIndex() >= 0) {
    Shown = FPickList->Items()->Strings(FPickList->ItemIndex());
  }
  if (Shown != Text() && CellModifiable()) SetText(Shown);
  return true;
}

void TDBGridInplaceEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomDBGridKs* G = DBGrid();
  TColumnKs* Col = Column();
  if (!G || !Col) {
    TInplaceEdit::KeyDown(Key, Shift);
    return;
  }
  bool Alt = Shift.Contains(ssAlt), NoShift = Shift.Empty();
  auto DropPendingChars = [this] {
    KillMessage(Handle(), WM_CHAR);
    KillMessage(Handle(), WM_SYSCHAR);
  };
  int Pressed = ShortCutKs(Key, Shift);
  if (Key == VK_RETURN && Shift == TShiftState{ssCtrl} &&
      (FEditStyle == iesEllipsis || FEditStyle == iesDropDown)) {
    KillMessage(Handle(), WM_CHAR);
    if (G->OnEditButtonClick) G->OnEditButtonClick(G);
    Key = 0;
  } else if (Key == VK_DELETE && NoShift && (FEditStyle == iesDataList || KeyPickListColumn()) &&
             Col->CanModify(false)) {
    if (SelLength() == static_cast<int>(Text().size())) {
      ClearLookupText();
      Key = 0;
    } else if (!Col->OnNotInList) {
      // A part of a listed text would leave a text no entry has.
      Key = 0;
    }
  } else if (Key == VK_BACK && Alt) {
    SendMessageA(Handle(), EM_UNDO, 0, 0);
    KillMessage(Handle(), WM_SYSCHAR);
    Key = 0;
  } else if ((Key == VK_UP || Key == VK_DOWN) && FMultiLine) {
    auto Line = [this](LPARAM Pos) {
      return static_cast<int>(SendMessageA(Handle(), EM_LINEFROMCHAR, Pos, 0));
    };
    int Lines = static_cast<int>(SendMessageA(Handle(), EM_GETLINECOUNT, 0, 0));
    bool AtEdge = Key == VK_UP ? Line(-1) == 0 : Line(-1) == Lines - 1;
    bool WholeSelected = SelLength() == static_cast<int>(Text().size());
    if (G->Options().Contains(dgAlwaysShowEditor) && (AtEdge || WholeSelected)) {
      PassToGrid(Key, Shift);
    } else {
      TCustomMaskEdit::KeyDown(Key, Shift);
    }
  } else if (Key == VK_RETURN && FEditStyle == iesPickList && Col->CanModify(false)) {
    G->DataLink()->Edit();
    G->SetEditText(G->Col(), G->Row(), Text());
    PassToGrid(Key, Shift);
  } else if (Key == VK_RETURN && G->OptionsKs().Contains(dghEnterAsTab) && !MRUListOpen()) {
    PassToGrid(Key, Shift);
  } else if (Pressed == DBGridKsUnit.CopyAboveShortCut ||
             (Pressed == DBGridKsUnit.IncSearchShortCut && G->OptionsKs().Contains(dghIncSearch)) ||
             (Pressed == DBGridKsUnit.FindDialogShortCut &&
              G->OptionsKs().Contains(dghDialogFind))) {
    PassToGrid(Key, Shift);
  } else if (FEditStyle == iesDataList && FDataList && FDataList->SpecRow()->Visible() &&
             Pressed == FDataList->SpecRow()->ShortCut() && CellModifiable()) {
    TSpecRowKs* Spec = FDataList->SpecRow();
    G->FEditValue = Spec->Value();
    SetText(Spec->CellText(FDataList->ListFieldIndex()));
    FDataList->SetKeyValue(G->FEditValue);
    SelectAll();
    Key = 0;
  } else if (EditButtonShortCut(Key, Shift)) {
    Key = 0;
  } else if (Key >= VK_F1 && Key <= VK_F12) {
    DropPendingChars();
    PassToGrid(Key, Shift);
  } else if (Alt &&
             (Key == '8' || Key == VK_MULTIPLY || Key == VK_ADD || Key == VK_SEPARATOR ||
              Key == VK_SUBTRACT || Key == VK_DIVIDE || Key == VK_OEM_MINUS || Key == VK_OEM_2)) {
    DropPendingChars();
    PassToGrid(Key, Shift);
  }
  if (Key) TInplaceEdit::KeyDown(Key, Shift);
}

void TDBGridInplaceEdit::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (Key == VK_CONTROL && FListVisible && FActiveList == FDataList)
    SendMessageA(FDataList->Handle(), WM_KEYUP, Key, 0);
  TInplaceEdit::KeyUp(Key, Shift);
}

void TDBGridInplaceEdit::KeyPress(char& Key) {
  // A double-byte character is typed whole: its trail byte waits as the
  // next character message, and comes on its own when the lead went on.
  if (FTrailNext) {
    FTrailNext = false;
    TInplaceEdit::KeyPress(Key);
    return;
  }
  AnsiString Typed(1, Key);
  MSG Trail;
  if (SysLocaleFarEast() && IsLeadByte(Key) &&
      PeekMessageA(&Trail, Handle(), WM_CHAR, WM_CHAR, PM_NOREMOVE) && Trail.message == WM_CHAR)
    Typed += static_cast<char>(Trail.wParam);
  bool Pair = Typed.size() == 2;
  IncrementalFilter(Typed);
  if (Typed.empty()) {
    Key = 0;
    if (Pair) KillMessage(Handle(), WM_CHAR);
    return;
  }
  FTrailNext = Pair;
  if (Key == '\n' && !FMultiLine) {
    Key = 0;
    return;
  }
  TInplaceEdit::KeyPress(Key);
}

void TDBGridInplaceEdit::IncrementalFilter(AnsiString& Typed) {
  if (Typed.size() == 1 && static_cast<uint8_t>(Typed[0]) < 32 && Typed[0] != '\b') return;
  AnsiString Before = Text().substr(0, static_cast<size_t>(std::max(0, SelStart())));
  AnsiString NewText = Typed == "\b" ? WithoutLastChar(Before) : Before + Typed;
  if (FEditStyle == iesDataList) {
    if (!CellModifiable() || !DBGrid()->AllowedOperationsPermitEdit() ||
        !Column()->GetLookupListDataSet())
      return;
    LookupText(NewText, true);
    Typed.clear();
    return;
  }
  if (FEditStyle != iesPickList || !KeyPickListColumn() || !CellModifiable()) return;
  if (!PickListLookup(NewText)) Typed.clear();
}

// The first pick-list entry that starts with the text, completed; true
// when none does and the column keeps texts outside its list.
bool TDBGridInplaceEdit::PickListLookup(const AnsiString& NewText) {
  TColumnKs* Col = Column();
  TStrings* Picks = Col->PickList();
  int Count = std::min(Picks->Count(), Col->KeyList()->Count());
  AnsiString Wanted = AnsiUpperCase(NewText);
  for (int I = 0; I < Count; ++I) {
    if (AnsiUpperCase(Picks->Strings(I)).compare(0, Wanted.size(), Wanted) != 0) continue;
    PickListText(NewText, I);
    return false;
  }
  return static_cast<bool>(Col->OnNotInList);
}

// A text typed or pasted into a lookup cell: the list record whose display
// text starts with it gives the text and the key; with no such record only
// a column with a not-in-list handler keeps the text, without a key.
void TDBGridInplaceEdit::LookupText(const AnsiString& NewText, bool SelectRest) {
  TCustomDBGridKs* G = DBGrid();
  TColumnKs* Col = Column();
  TField* F = Col->GetField();
  TDataSet* List = Col->GetLookupListDataSet();
  auto* Tree = dynamic_cast<TSDS*>(List);
  // Only an open list is filtered: its close-up puts the filter back.
  if (Tree && FFilterMode && FListVisible && FActiveList == FDataList) {
    AnsiString Saved = Tree->ExtraFilterText();
    Tree->SetExtraFilterText(LookupLikeFilter(F->LookupResultField(), NewText));
    if (Tree->IsEmpty()) {
      Tree->SetExtraFilterText(Saved);
      return;
    }
    TakeListRecord(List, SelectRest ? static_cast<int>(NewText.size()) : -1);
    return;
  }
  if (List->Locate(F->LookupResultField(), Variant(NewText),
                   TLocateOptions{loCaseInsensitive, loPartialKey})) {
    TakeListRecord(List, SelectRest ? static_cast<int>(NewText.size()) : -1);
    return;
  }
  if (!Col->OnNotInList) return;
  // Not listed: the column's not-in-list handler gets the text, without a key.
  G->DataLink()->Edit();
  G->DataLink()->Modified();
  G->FEditValue = Variant::Null();
  SetText(NewText);
  SetSelStart(static_cast<int>(NewText.size()));
  if (FDataList && FListVisible) FDataList->SetKeyValue(G->FEditValue);
}

// The list's current record gives the cell its key and text; the text from
// SelectFrom on is selected (-1: the caret at its end).
void TDBGridInplaceEdit::TakeListRecord(TDataSet* List, int SelectFrom) {
  TCustomDBGridKs* G = DBGrid();
  TField* F = Column()->GetField();
  G->DataLink()->Edit();
  G->DataLink()->Modified();
  G->FEditValue = List->FieldValues(F->LookupKeyFields());
  SetText(VarToStr(List->FieldByName(F->LookupResultField())->Value()));
  int Size = static_cast<int>(Text().size());
  int From = SelectFrom < 0 ? Size : std::min(SelectFrom, Size);
  SetSelStart(From);
  SetSelLength(Size - From);
  if (FDataList && FListVisible) FDataList->SetKeyValue(G->FEditValue);
}

// A level step or a new level mode moved the open list: the key and the
// text follow its current record where the cell may change.
void TDBGridInplaceEdit::FollowListRecord(TDataSet* List) {
  if (!List->IsEmpty() && CellModifiable()) TakeListRecord(List, 0);
}

// Delete over the whole text: the cell loses its key.
void TDBGridInplaceEdit::ClearLookupText() {
  if (!CellModifiable()) return;
  if (FEditStyle == iesDataList) {
    DBGrid()->FEditValue = Variant::Null();
    if (FDataList) FDataList->SetKeyValue(Variant::Null());
  }
  SetText("");
}

// A paste into a lookup or key-list cell takes a listed text or, with a
// not-in-list handler, the text as pasted; anything else is refused.
void TDBGridInplaceEdit::PasteIntoList() {
  AnsiString Current = Text();
  auto Start = static_cast<size_t>(std::max(0, SelStart()));
  auto Length = static_cast<size_t>(std::max(0, SelLength()));
  AnsiString NewText = Current.substr(0, Start) + Clipboard()->AsText() +
                       Current.substr(std::min(Current.size(), Start + Length));
  if (FEditStyle == iesDataList) {
    if (Column()->GetLookupListDataSet()) LookupText(NewText, false);
  } else if (PickListLookup(NewText)) {
    SetText(NewText);
    SetSelStart(static_cast<int>(NewText.size()));
  }
}

// The entry completes the typed text; the completion stays selected.
void TDBGridInplaceEdit::PickListText(const AnsiString& NewText, int Index) {
  AnsiString Entry = Column()->PickList()->Strings(Index);
  SetText(Entry);
  SetSelStart(static_cast<int>(NewText.size()));
  SetSelLength(static_cast<int>(Entry.size() - NewText.size()));
  if (FListVisible && FActiveList == FPickList) FPickList->SetItemIndex(Index);
  UpdateEditImage();
}

// --- Drop-downs

void TDBGridInplaceEdit::FillPickList(TColumnKs* Col) {
  TStrings* Items = FPickList->Items();
  Items->BeginUpdate();
  Items->Clear();
  bool Keyed = Col->KeyList()->Count() > 0;
  int Count = Keyed ? std::min(Col->KeyList()->Count(), Col->PickList()->Count())
                    : Col->PickList()->Count();
  for (int I = 0; I < Count; ++I) Items->Add(Col->PickList()->Strings(I));
  Items->EndUpdate();
  FPickList->SetRowCount(std::max(1, std::min(Col->DropDownRows(), Count)));
  TField* F = Col->GetField();
  FPickList->SetItemIndex(!F || F->IsNull() ? -1 : Items->IndexOf(Text()));
  int Widest = WidestItemWidth(Items, Count, Font());
  FPickList->SetWidth(std::max<int>(Widest + FPickList->NonClientSize().cx, Width()));
}

// The data list over the column's list dataset; false without one.
bool TDBGridInplaceEdit::PrepareDataList(TColumnKs* Col) {
  TDataSet* ListData = Col->GetLookupListDataSet();
  TField* F = Col->GetField();
  if (!ListData || !F) return false;
  TCustomDBGridKs* G = DBGrid();
  G->DoDropDown(Col);
  FDataList->Font()->Assign(Font());
  FDataList->SetColor(Color());
  // The lists read as their grid does.
  FDataList->SetBiDiMode(G->BiDiMode());
  int Count = ListData->IsSequenced() ? ListData->RecordCount() : 0;
  int Rows = Count >= 1 && Count < Col->DropDownRows() ? Count : Col->DropDownRows();
  if (auto* Tree = dynamic_cast<TSDS*>(ListData)) {
    // Typed text filters the list; what the program filtered comes back
    // at every close-up.
    FFilterMode = true;
    FSavedExtraFilter = Tree->ExtraFilterText();
    Tree->SetExtraFilterText("");
    if (Tree->Options().Contains(dsoLevels)) Tree->SetLevelMode(dslmShowOnlyLeaf);
  } else {
    FFilterMode = false;
  }
  FListSource->SetDataSet(ListData);
  FDataList->SetListSource(FListSource.get());
  FDataList->SetKeyFieldNames(F->LookupKeyFields());
  FDataList->SetListFieldNames(Col->LookupDisplayFields());
  FDataList->SetShowTitles(Col->DropDownShowTitles());
  FDataList->SetSpecRow(Col->DropDownSpecRow());
  FDataList->SetUseMultiTitle(Col->DropDownBox()->UseMultiTitle());
  FDataList->SetAutoFitColWidths(Col->DropDownBox()->AutoFitColWidths());
  FDataList->SetRowCount(Rows);
  int ListWidth = Col->DropDownWidth();
  if (ListWidth == -1) {
    ListWidth = 2 * 2 + GetSystemMetrics(SM_CXVSCROLL);
    for (TColumnKs* Shown : FDataList->VisibleColumns()) ListWidth += Shown->Width() + 1;
  } else if (ListWidth <= 0) {
    ListWidth = Width();
  }
  FDataList->SetWidth(std::max<int>(ListWidth, Width()));
  FDataList->SetKeyValue(G->FEditValue);
  FListColumnsMoved = false;
  FDataList->OnColumnMoved = [this](TObject*, int, int) { FListColumnsMoved = true; };
  return true;
}

void TDBGridInplaceEdit::DropDown() {
  TCustomDBGridKs* G = DBGrid();
  TColumnKs* Col = Column();
  if (FListVisible || !FActiveList || !G || !Col) return;
  POINT At;
  if (FActiveList == FCalendar) {
    FCalendar->Font()->Assign(Font());
    FCalendar->SetColor(Color());
    FCalendar->SetDate(Trim(Text()).empty() ? Date() : StrToDate(Text()));
  } else if (FActiveList == FCalculator) {
    FCalculator->SetValue(Text().empty() ? Variant::Null() : Variant(StrToFloat(Text())));
    FCalculator->SetFlat(G->Flat());
  } else if (FActiveList == FDataList) {
    if (!PrepareDataList(Col)) return;
  } else {
    G->DoDropDown(Col);
    FPickList->Font()->Assign(Font());
    FPickList->SetColor(Color());
    FPickList->SetBiDiMode(G->BiDiMode());
    FillPickList(Col);
  }
  if (MRUListOpen()) MRUListCloseUp(false);
  FDroppedText = Text();
  At = DropDownUnderControl(this, FActiveList, ListAlign());
  if (FActiveList == FCalendar) {
    FCalendar->ShowAt(At);
  } else if (FActiveList == FCalculator) {
    FCalculator->ShowAt(At);
    HideCaret(Handle());
    Deselect();
  } else if (FActiveList == FDataList) {
    FDataList->ShowAt(At);
    FDataList->SizeGrip()->ShowSizeGripWindow(Col->DropDownSizing());
    FDataList->SetSizedByUser(false);
  } else {
    FPickList->ShowAt(At);
    FPickList->SizeGrip()->ShowSizeGripWindow(Col->DropDownSizing());
    FPickList->SetSizedByUser(false);
  }
  FListVisible = true;
  FListColumn = Col;
  Invalidate();
  if (GetFocus() != Handle() && CanFocus()) SetFocus();
  if (!FButtons.empty()) SetSpeedButtonToggle(FButtons[0], true);
  FButtonPressed = true;
}

void TDBGridInplaceEdit::CloseUp(bool Accept) {
  TWinControl* List = FActiveList;
  HWND Focus = GetFocus();
  if (List && List->HandleAllocated() && Focus &&
      (Focus == List->Handle() || IsChild(List->Handle(), Focus)) && CanFocus())
    SetFocus();
  TColumnKs* Col = Column();
  if (FListVisible && List && !FClosing) {
    if (!FButtons.empty()) SetSpeedButtonToggle(FButtons[0], false);
    TFlagScope Closing(FClosing);
    if (HWND Capture = GetCapture()) SendMessageA(Capture, WM_CANCELMODE, 0, 0);
    int PickIndex = -1;
    if (List == FDataList) {
      if (FDataList->SizedByUser() && Col) {
        Col->SetDropDownRows(FDataList->RowCount());
        Col->SetDropDownWidth(FDataList->Width());
      }
      // The special row's texts follow the columns' new order.
      if (FListColumnsMoved && Col)
        Col->DropDownSpecRow()->SetCellsText(FDataList->SpecRow()->CellsText());
      if (Col) DBGrid()->DoCloseUp(Col);
      if (Accept) PostMessageA(DBGrid()->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    } else if (List == FPickList) {
      PickIndex = FPickList->ItemIndex();
      if (FPickList->SizedByUser() && Col) {
        Col->SetDropDownRows(FPickList->RowCount());
        Col->SetDropDownWidth(FPickList->Width());
      }
    }
    List->SetVisible(false);
    if (auto* Tree = List == FDataList ? dynamic_cast<TSDS*>(FListSource->DataSet()) : nullptr)
      Tree->SetExtraFilterText(FSavedExtraFilter);
    FButtonPressed = FListVisible = FTracking = false;
    Invalidate();
    if (List == FCalculator && HandleAllocated()) ShowCaret(Handle());
    if (Accept) {
      AcceptList(Col, List, PickIndex);
    } else if (List == FPickList || List == FDataList) {
      // Moving in the list changed the text, and the grid's edit text with
      // it; the text the list opened on goes with the key that stays.
      if (Text() != FDroppedText && CellModifiable()) SetText(FDroppedText);
    }
    FListSource->SetDataSet(nullptr);
  }
  if (List && List == FPickList && Col) DBGrid()->DoCloseUp(Col);
}

void TDBGridInplaceEdit::AcceptList(TColumnKs* Col, TWinControl* List, int PickIndex) {
  TCustomDBGridKs* G = DBGrid();
  if (!Col || !G) return;
  if (List == FDataList) {
    if (!Col->CanModify(true)) return;
    G->FEditValue = FDataList->KeyValue();
    SetText(FDataList->DisplayText());
    SelectAll();
  } else if (List == FCalendar) {
    // Through the column, as the other lists write: a browsing record goes
    // into edit, and read-only cells and the column's handler are heeded.
    if (Col->CanModify(true)) Col->UpdateData("", VarFromDateTime(FCalendar->Date()), false);
  } else if (List == FCalculator) {
    Variant Value = FCalculator->GetValue();
    if (!IsNumberVariant(Value) || !CellModifiable()) return;
    SetText(FloatToStr(Value.AsDouble()));
    SelectAll();
  } else if (PickIndex >= 0 && CellModifiable()) {
    SetText(FPickList->Items()->Strings(PickIndex));
    UpdateEditImage();
    PostMessageA(G->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  }
}

// --- Recently used values

TMRUListboxKs* TDBGridInplaceEdit::CreateMRUListbox() {
  auto* List = new TMRUListboxKs(this);
  List->SetVisible(false);
  List->SetCtl3D(false);
  List->SetSorted(true);
  List->OnMouseUp = [this, List](TObject*, TMouseButton, TShiftState, int X, int Y) {
    RECT Client = List->ClientRect();
    MRUListCloseUp(PtInRect(&Client, POINT{X, Y}) != 0);
  };
  return List;
}

void TDBGridInplaceEdit::UpdateMRUList() {
  if (Trim(Text()).empty()) {
    if (MRUListOpen()) MRUListCloseUp(false);
    return;
  }
  // The value just chosen does not open the list again.
  bool Chosen = !FMRUChosen.empty() && Text() == FMRUChosen;
  FMRUChosen.clear();
  if (Chosen || !FMRUList || !FMRUList->Active() || !Showing() || FButtonPressed) return;
  if (!FMRUListbox) {
    FMRUListbox = CreateMRUListbox();
    FMRUListbox->SetMRUListboxField(reinterpret_cast<intptr_t>(FMRUList));
  }
  if (!FMRUList->FilterMRUItems(Text(), FMRUListbox->Items())) return;
  int Count = FMRUListbox->Items()->Count();
  if (Count == 0) {
    if (MRUListOpen()) MRUListCloseUp(false);
    return;
  }
  FMRUListbox->Font()->Assign(Font());
  FMRUListbox->SetBiDiMode(RightToLeft() ? bdRightToLeft : bdLeftToRight);
  FMRUListbox->SetItemHeight(FMRUListbox->ListboxTextHeight());
  FMRUListbox->SetWidth(FMRUList->Width() > 0 ? FMRUList->Width() : Width());
  FMRUListbox->SetRowCount(std::min(Count, FMRUList->Rows()));
  FMRUListbox->ShowAt(DropDownUnderControl(this, FMRUListbox, ListAlign()));
  FMRUListbox->SizeGrip()->ShowSizeGripWindow(true);
  FMRUListbox->SetSizedByUser(false);
  FMRUList->SetDroppedDown(true);
}

void TDBGridInplaceEdit::SaveMRUListSize() {
  FMRUList->SetRows(FMRUListbox->RowCount());
  FMRUList->SetWidth(FMRUListbox->Width());
}

void TDBGridInplaceEdit::MRUListCloseUp(bool Accept) {
  if (!FMRUListbox || !FMRUList) return;
  if (HWND Capture = GetCapture()) SendMessageA(Capture, WM_CANCELMODE, 0, 0);
  bool HadFocus = FMRUListbox->HandleAllocated() && GetFocus() == FMRUListbox->Handle();
  FMRUListbox->SetVisible(false);
  if (HadFocus && CanFocus()) SetFocus();
  FMRUList->SetDroppedDown(false);
  if (FMRUListbox->SizedByUser()) SaveMRUListSize();
  int Index = FMRUListbox->ItemIndex();
  if (Accept && Index >= 0 && CellModifiable()) {
    FMRUChosen = FMRUListbox->Items()->Strings(Index);
    SetText(FMRUChosen);
    SelectAll();
  }
}

// --- Messages

void TDBGridInplaceEdit::Change() {
  TInplaceEdit::Change();
  if (!FLoading) EditTextChanged();
}

void TDBGridInplaceEdit::EditTextChanged() {
  FTextChanged = true;
  UpdateEditImage();
}

void TDBGridInplaceEdit::WndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
      if (MRUListOpen() && FMRUListbox) {
        auto Code = static_cast<uint16_t>(Message.WParam);
        bool Alt = GetKeyState(VK_MENU) < 0, Ctrl = GetKeyState(VK_CONTROL) < 0;
        if (Message.Msg == WM_CHAR && (Code == '\r' || Code == 27)) {
          MRUListCloseUp(Code == '\r');
          return;
        }
        if (Message.Msg != WM_CHAR &&
            (((Code == VK_PRIOR || Code == VK_NEXT || Code == VK_UP || Code == VK_DOWN) && !Alt) ||
             ((Code == VK_HOME || Code == VK_END) && Ctrl))) {
          SendMessageA(FMRUListbox->Handle(), Message.Msg, Message.WParam, Message.LParam);
          return;
        }
      }
      if (ListStyleActive()) {
        if (Message.Msg != WM_CHAR) {
          auto Key = static_cast<uint16_t>(Message.WParam);
          ListKeyDown(Key, KeyboardShiftState());
          if (!Key) return;
        }
        if (Message.Msg == WM_CHAR && Message.WParam >= 32 && !FListVisible) {
          TColumnKs* Col = Column();
          if (Col && Col->AutoDropDown()) DropDown();
        }
        if (FListVisible && ForwardListKey(Message)) return;
      }
      break;
    case WM_KILLFOCUS: {
      auto To = reinterpret_cast<HWND>(Message.WParam);
      auto Outside = [To](TWinControl* Popup) {
        return !Popup || !Popup->HandleAllocated() ||
               (To != Popup->Handle() && !IsChild(Popup->Handle(), To));
      };
      if (FListVisible && Outside(FActiveList)) CloseUp(false);
      if (MRUListOpen() && Outside(FMRUListbox)) MRUListCloseUp(false);
      // The input method in use comes back with the focus; other windows
      // type on the program's own keyboard.
      TCustomDBGridKs* G = DBGrid();
      if (SysLocaleFarEast()) {
        SetImeName(CurrentImeName());
        if (!G || !G->HandleAllocated() || To != G->Handle()) RestoreDefaultKeyboardLayout();
      }
      TInplaceEdit::WndProc(Message);
      // The grid's selection shows whether the grid or its editor has the
      // focus; the editor's own moves do not reach the grid.
      if (G) G->RepaintSelectionOnFocusChange();
      return;
    }
    case WM_SETFOCUS:
      TInplaceEdit::WndProc(Message);
      if (TCustomDBGridKs* G = DBGrid()) G->RepaintSelectionOnFocusChange();
      return;
    case CM_CANCELMODE: {
      // A press on another control of the form: its lists close.
      auto* Sender = reinterpret_cast<TControl*>(Message.WParam);
      auto Outside = [Sender](TWinControl* Popup) {
        return !Popup || (Sender != Popup && !Popup->ContainsControl(Sender));
      };
      if (Sender != this && !ContainsControl(Sender)) {
        if (FListVisible && Outside(FActiveList)) CloseUp(false);
        if (MRUListOpen() && Outside(FMRUListbox)) MRUListCloseUp(false);
      }
      break;
    }
    case WM_PASTE:
      if ((FEditStyle == iesDataList || KeyPickListColumn()) && CellModifiable() &&
          Column()->CanModify(false)) {
        PasteIntoList();
        return;
      }
      break;
    case WM_EDITBUTTONMENUKS:
      PopupButtonMenu(static_cast<int>(Message.WParam));
      return;
    case WM_PAINT: {
      TInplaceEdit::WndProc(Message);
      HDC DC = GetDC(Handle());
      PaintOverlay(DC);
      ReleaseDC(Handle(), DC);
      return;
    }
    case WM_PRINTCLIENT: {
      auto DC = reinterpret_cast<HDC>(Message.WParam);
      int Saved = SaveDC(DC);
      TInplaceEdit::WndProc(Message);
      RestoreDC(DC, Saved);
      PaintOverlay(DC);
      return;
    }
    case WM_SETCURSOR:
      if (LOWORD(Message.LParam) == HTCLIENT) {
        POINT P;
        GetCursorPos(&P);
        P = ScreenToClient(P);
        RECT R = GetEditRect();
        if (P.x < R.left || P.x >= R.right) {
          ::SetCursor(LoadCursorA(nullptr, IDC_ARROW));
          Message.Result = 1;
          return;
        }
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK: {
      // Over the image and the buttons' strip the caret stays where it is.
      POINT P{static_cast<short>(LOWORD(Message.LParam)),
              static_cast<short>(HIWORD(Message.LParam))};
      RECT R = GetEditRect();
      bool InText = P.x >= R.left && P.x < R.right;
      // A click on the tree part opens or closes the current row's node.
      int TreeX = RightToLeft() ? ClientWidth() - 1 - P.x : P.x;
      if (Message.Msg == WM_LBUTTONDOWN && TreeX < TreeIndent()) {
        TCustomDBGridKs* G = DBGrid();
        G->MemTableIntf()->ExpandRow(G->Row() - G->TitleOffset(), TTreeExpandKs::Toggle);
        return;
      }
      if (!InText && GetCapture() != Handle() && !ControlAtPos(P)) return;
      TColumnKs* Col = Column();
      if (Message.Msg == WM_LBUTTONDBLCLK && InText && Col && Col->DblClickNextVal()) {
        long double Step = FEditStyle == iesUpDown ? Col->Increment() : 1.0L;
        Col->ApplyNextValue(GetKeyState(VK_SHIFT) < 0 ? -Step : Step);
        return;
      }
      break;
    }
    default:
      break;
  }
  TInplaceEdit::WndProc(Message);
  if (FTextChanged) {
    FTextChanged = false;
    UpdateMRUList();
  }
}

bool TDBGridInplaceEdit::DoMouseWheelDown(TShiftState Shift, POINT MousePos) {
  return WheelToList(true, Shift, MousePos);
}

bool TDBGridInplaceEdit::DoMouseWheelUp(TShiftState Shift, POINT MousePos) {
  return WheelToList(false, Shift, MousePos);
}

// The open list moves a notch; the grid under it stays.
bool TDBGridInplaceEdit::WheelToList(bool Down, TShiftState Shift, POINT MousePos) {
  if (!FListVisible) return false;
  if (FActiveList && FActiveList->HandleAllocated())
    SendMessageA(FActiveList->Handle(), WM_MOUSEWHEEL,
                 MAKEWPARAM(MouseKeys(Shift), Down ? -WHEEL_DELTA : WHEEL_DELTA),
                 MAKELPARAM(MousePos.x, MousePos.y));
  return true;
}
