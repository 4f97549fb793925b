#include "COMPONENTS/kslib/DBEditKs.h"

#include <algorithm>
#include <cmath>

#include "forms/Forms.h"
#include "forms/Menus.h"

namespace {

// Posted by a button that popped its menu up: the press that closes the
// menu on the button must not open it again.
constexpr UINT CM_SWALLOWBUTTONKS = CM_BASE + 0x112;

bool IsMouseButtonMessage(UINT Msg) {
  return Msg >= WM_LBUTTONDOWN && Msg <= WM_MBUTTONDBLCLK;
}

POINT PointOf(LPARAM LParam) {
  return POINT{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
}

}  // namespace

// --- TEditButtonSeparatorKs

TEditButtonSeparatorKs::TEditButtonSeparatorKs(TCustomDBEditKs* Editor)
    : TGraphicControl(Editor), FEditor(Editor) {
  FWidth = 1;
}

void TEditButtonSeparatorKs::Paint() {
  Canvas()->Brush()->SetColor(FEditor->FBorderActive ? clBtnFace : FEditor->Color());
  Canvas()->FillRect(RECT{0, 0, Width(), Height()});
}

// --- TCustomDBEditKs

TCustomDBEditKs::TCustomDBEditKs(TComponent* AOwner) : TCustomMaskEdit(AOwner) {
  FDataLink = CreateDataLink();
  FDataLink->SetControl(this);
  FDataLink->OnDataChange = [this](TObject*) { DataChanged(); };
  FDataLink->OnEditingChange = [this](TObject*) { EditingChanged(); };
  FDataLink->OnUpdateData = [this](TObject*) { LinkUpdateData(); };
  FDataLink->OnActiveChange = [this](TObject*) { ActiveChanged(); };
  FEditButton = CreateEditButton();
  FEditButton->OnChanged = [this](TObject*) { UpdateEditButtons(); };
  FEditButtons = CreateEditButtons();
  FEditButtons->OnChanged = [this](TObject*) { UpdateEditButtons(); };
  FEditImage = CreateEditImage();
  FMRUList = new TMRUListKs(this);
  FMRUList->OnSetDropDownEvent = [this](TObject*) { MRUListDropDown(); };
  FMRUList->OnSetCloseUpEvent = [this](TObject*, bool Accept) { MRUListCloseUp(Accept); };
  UpdateReadOnly();
  UpdateImageIndex();
  UpdateHeight();
  UpdateEditButtons();
}

TCustomDBEditKs::~TCustomDBEditKs() {
  DestroyHandle();
  // The link tells the control nothing more while it goes.
  FDataLink->OnDataChange = FDataLink->OnEditingChange = nullptr;
  FDataLink->OnUpdateData = FDataLink->OnActiveChange = nullptr;
  delete FDataLink;
  FDataLink = nullptr;
  FEditButton->OnChanged = FEditButtons->OnChanged = nullptr;
  delete FEditButton;
  delete FEditButtons;
  delete FEditImage;
  delete FMRUList;
  FButtonControls.clear();
}

void TCustomDBEditKs::RecreateEditButton() {
  TEditButtonKs* Old = FEditButton;
  FEditButton = CreateEditButton();
  FEditButton->OnChanged = [this](TObject*) { UpdateEditButtons(); };
  delete Old;
  UpdateEditButtons();
}

TFieldDataLinkKs* TCustomDBEditKs::CreateDataLink() { return new TFieldDataLinkKs; }

TEditButtonKs* TCustomDBEditKs::CreateEditButton() { return new TEditButtonKs(this); }

TEditButtonControlKs* TCustomDBEditKs::CreateEditButtonControl(TEditButtonKs* Button) {
  return Button->CreateEditButtonControl();
}

TEditButtonsKs* TCustomDBEditKs::CreateEditButtons() {
  return new TEditButtonsKs(this, CollectionItemClass<TVisibleEditButtonKs>());
}

TEditImageKs* TCustomDBEditKs::CreateEditImage() { return new TEditImageKs(this); }

TMRUListboxKs* TCustomDBEditKs::CreateMRUListbox() {
  auto* List = new TMRUListboxKs(this);
  List->SetCtl3D(false);
  List->OnMouseUp = [this, List](TObject*, TMouseButton, TShiftState, int X, int Y) {
    RECT Client = List->ClientRect();
    FMRUList->CloseUp(PtInRect(&Client, POINT{X, Y}) != 0);
  };
  List->SizeGrip()->OnParentResized = [this](TObject*) { UpdateMRUListRows(); };
  return List;
}

// --- Value

void TCustomDBEditKs::SetEditText(const AnsiString& Value) {
  TFlagScope Setting(FSettingText);
  TCustomMaskEdit::SetEditText(Value);
}

void TCustomDBEditKs::InternalSetText(const AnsiString& AText) { SetEditText(AText); }

void TCustomDBEditKs::InternalSetValue(const Variant& AValue) {
  InternalSetText(VarToTextKs(AValue));
}

void TCustomDBEditKs::SetTextValue(const std::function<void()>& SetIt) {
  if (!IsDataIndependent()) FDataLink->Edit();
  SetIt();
  if (FInUpdateData) return;
  try {
    CommitValue();
  } catch (...) {
    FDataLink->Reset();
    throw;
  }
}

void TCustomDBEditKs::SetText(const AnsiString& Value) {
  SetTextValue([&] { InternalSetText(Value); });
}

void TCustomDBEditKs::AssignValue(const Variant& AValue) {
  SetTextValue([&] { InternalSetValue(AValue); });
}

Variant TCustomDBEditKs::GetVariantValue() { return Variant(Text()); }

void TCustomDBEditKs::CommitValue() {
  if (FFocused) ValidateEdit();
  bool Handled = false;
  if (OnUpdateData) {
    TFlagScope InUpdate(FInUpdateData);
    OnUpdateData(this, Handled);
  }
  if (!Handled) UpdateData();
  if (HandleAllocated()) SetModified(false);
  if (FMRUList->AutoAdd() && FMRUList->Active() && HandleAllocated())
    FMRUList->AddMRUItem(Text());
}

// Data-independent, the value keeps the mask's literals and blanks.
void TCustomDBEditKs::UpdateData() {
  FDataLink->SetText(IsDataIndependent() ? EditText() : Text());
}

// A value the field rejects leaves the field's own value in the control.
void TCustomDBEditKs::LinkUpdateData() {
  try {
    CommitValue();
  } catch (...) {
    FDataLink->Reset();
    throw;
  }
}

void TCustomDBEditKs::Reset() {
  FDataLink->Reset();
  SelectAll();
}

bool TCustomDBEditKs::EditCanModify() {
  if (!FReadOnly) FDataLink->Edit();
  return FDataLink->Editing();
}

bool TCustomDBEditKs::IsDataLinkActive() { return Enabled() && FDataLink->Active(); }

bool TCustomDBEditKs::IsDataIndependent() { return FDataLink->DataIndependent(); }

bool TCustomDBEditKs::IsValidChar(char Key) { return !Field() || Field()->IsValidChar(Key); }

// --- Data link events

void TCustomDBEditKs::DataChanged() {
  AnsiString Value;
  if (TField* F = Field()) {
    if (F->Alignment() != Alignment()) Invalidate();
    if (!FEditMaskSet) TCustomMaskEdit::SetEditMask(F->EditMask());
    bool Text = F->DataType() == ftString || F->DataType() == ftWideString;
    if (Text && MaxLength() == 0) SetMaxLength(F->Size());
    bool Memo = F->DataType() == ftMemo;
    if (FFocused && FDataLink->CanModify()) {
      InternalSetText(Memo ? F->AsString() : F->Text());
      UpdateReadOnly();
      if (HandleAllocated()) SetModified(false);
      return;
    }
    Value = Memo ? F->AsString() : F->DisplayText();
  } else if (IsDataIndependent()) {
    if (!FEditMaskSet) TCustomMaskEdit::SetEditMask("");
    Value = VarToTextKs(FDataLink->DataIndependentValue());
  }
  SetEditText(Value);
  UpdateReadOnly();
  if (HandleAllocated()) SetModified(false);
}

void TCustomDBEditKs::EditingChanged() { UpdateReadOnly(); }

void TCustomDBEditKs::ActiveChanged() {
  ResetMaxLength();
  // The field's size is taken again, so the length follows the field.
  if (FDataLink->Active() && Field()) DataChanged();
  UpdateEditButtons();
}

void TCustomDBEditKs::ResetMaxLength() {
  if (MaxLength() <= 0 || !DataSource() || !DataSource()->DataSet()) return;
  TField* F = DataSource()->DataSet()->FindField(DataField());
  if (F && (F->DataType() == ftString || F->DataType() == ftWideString) && F->Size() == MaxLength())
    SetMaxLength(0);
}

void TCustomDBEditKs::UpdateReadOnly() {
  bool Value = FReadOnly || (!FDataLink->Editing() && !OnUpdateData);
  if (!Value && FHolder) Value = !FHolder->InplaceEditCanModify(this);
  TCustomMaskEdit::SetReadOnly(Value);
}

void TCustomDBEditKs::SetDataField(const AnsiString& Value) { FDataLink->SetFieldName(Value); }

void TCustomDBEditKs::SetDataSource(TDataSource* Value) {
  FDataLink->SetDataSource(Value);
  if (Value) Value->FreeNotification(this);
}

// --- Properties

TAlignment TCustomDBEditKs::DefaultAlignment() {
  return Field() ? Field()->Alignment() : taLeftJustify;
}

TAlignment TCustomDBEditKs::Alignment() { return FAlignmentSet ? FAlignment : DefaultAlignment(); }

void TCustomDBEditKs::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  FAlignmentSet = true;
  if (FWordWrap) {
    RecreateWnd();
  } else {
    Invalidate();
  }
}

AnsiString TCustomDBEditKs::DefaultEditMask() { return Field() ? Field()->EditMask() : ""; }

void TCustomDBEditKs::SetEditMask(const AnsiString& Value) {
  if (Value == EditMask() && FEditMaskSet) return;
  TCustomMaskEdit::SetEditMask(Value);
  FEditMaskSet = true;
  if (IsDataIndependent()) {
    UpdateData();
  } else {
    DataChanged();
    UpdateEditButtons();
  }
}

void TCustomDBEditKs::SetAlwaysShowBorder(bool Value) {
  FAlwaysShowBorder = Value;
  UpdateBorderState();
}

void TCustomDBEditKs::SetAutoSize(bool Value) {
  FAutoSize = Value;
  UpdateHeight();
}

void TCustomDBEditKs::SetFlat(bool Value) {
  if (FFlat == Value) return;
  FFlat = Value;
  UpdateHeight();
  RecreateWnd();
  UpdateEditButtons();
}

void TCustomDBEditKs::SetWordWrap(bool Value) {
  if (FWordWrap == Value) return;
  FWordWrap = Value;
  RecreateWnd();
}

void TCustomDBEditKs::SetHighlightRequired(bool Value) {
  if (FHighlightRequired == Value) return;
  FHighlightRequired = Value;
  Invalidate();
}

void TCustomDBEditKs::SetImages(TImageList* Value) {
  FEditImage->SetImages(Value);
  if (Value) FEditImage->SetVisible(true);
}

void TCustomDBEditKs::SetReadOnly(bool Value) {
  FReadOnly = Value;
  UpdateReadOnly();
}

void TCustomDBEditKs::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomMaskEdit::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (FEditImage && AComponent == FEditImage->Images()) FEditImage->SetImages(nullptr);
  if (FDataLink && AComponent == DataSource()) SetDataSource(nullptr);
  if (AComponent == FInplaceHolder) {
    FInplaceHolder = nullptr;
    FHolder = nullptr;
  }
  if (AComponent == FMRUListbox) FMRUListbox = nullptr;
  if (!FEditButton || !FEditButtons) return;
  for (int I = 0; I <= FEditButtons->Count(); ++I) {
    TEditButtonKs* Button = I == 0 ? FEditButton : FEditButtons->EditButtonsItem(I - 1);
    if (Button->DropdownMenu() == AComponent) Button->SetDropdownMenu(nullptr);
  }
}

// --- In-place holder

void TCustomDBEditKs::SetInplaceEditHolder(TWinControl* Value) {
  IInplaceEditHolderKs* Holder = nullptr;
  if (Value) {
    Holder = dynamic_cast<IInplaceEditHolderKs*>(Value);
    if (!Holder) throw Exception("InplaceEditHolder have to support IInplaceEditHolderKs interface");
    Value->FreeNotification(this);
  }
  FInplaceHolder = Value;
  FHolder = Holder;
  UpdateReadOnly();
}

void TCustomDBEditKs::SetVisible(bool Value) {
  if (!FHolder) {
    TCustomMaskEdit::SetVisible(Value);
    return;
  }
  FVisible = Value;
  if (!HandleAllocated()) return;
  if (Value) {
    ShowWindow(FHandle, SW_SHOWNOACTIVATE);
    return;
  }
  bool HadFocus = GetFocus() == FHandle;
  SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
               SWP_HIDEWINDOW | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  if (HadFocus && FInplaceHolder->CanFocus()) FInplaceHolder->SetFocus();
}

void TCustomDBEditKs::SetBoundsWithButtons(const RECT& Rect) {
  if (!FHolder) {
    SetBounds(Rect.left, Rect.top, Rect.right - Rect.left, Rect.bottom - Rect.top);
    return;
  }
  FInplaceHolder->Perform(CM_CANCELMODE, reinterpret_cast<WPARAM>(this));
  if (IsRectEmpty(&Rect)) {
    SetVisible(false);
    return;
  }
  FVisible = true;
  SetWindowPos(Handle(), nullptr, Rect.left, Rect.top, Rect.right - Rect.left,
               Rect.bottom - Rect.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

// --- Buttons

TEditButtonKs* TCustomDBEditKs::ButtonOf(TObject* Control) {
  auto* Button = dynamic_cast<TEditButtonControlKs*>(Control);
  if (!Button) return nullptr;
  auto Index = static_cast<int>(Button->Tag);
  if (Index == 0) return FEditButton;
  return Index <= FEditButtons->Count() ? FEditButtons->EditButtonsItem(Index - 1) : nullptr;
}

void TCustomDBEditKs::UpdateEditButtons() {
  if (FUpdatingButtons || !FEditButton || !FEditButtons) return;
  TFlagScope Updating(FUpdatingButtons);
  int Count = 1 + FEditButtons->Count();
  while (static_cast<int>(FButtonControls.size()) > Count) {
    delete FButtonControls.back().Button;
    delete FButtonControls.back().Line;
    FButtonControls.pop_back();
  }
  auto ButtonAt = [&](int I) { return I == 0 ? FEditButton : FEditButtons->EditButtonsItem(I - 1); };
  while (static_cast<int>(FButtonControls.size()) < Count) {
    auto* Line = new TEditButtonSeparatorKs(this);
    Line->SetParent(this);
    TEditButtonControlKs* Control = CreateEditButtonControl(ButtonAt(static_cast<int>(FButtonControls.size())));
    Control->OnClick = [this](TObject* Sender) { EditButtonClick(Sender); };
    Control->OnDown = [this](TObject* Sender, bool Top, bool& AutoRepeat, bool& Handled) {
      EditButtonMouseDown(Sender, Top, AutoRepeat, Handled);
    };
    Control->OnMouseMove = [this](TObject* Sender, TShiftState Shift, int X, int Y) {
      EditButtonMouseMove(Sender, Shift, X, Y);
    };
    Control->OnMouseUp = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X,
                                int Y) { EditButtonMouseUp(Sender, Button, Shift, X, Y); };
    FButtonControls.push_back(TButtonPair{Line, Control});
  }
  RECT Client = ClientRect();
  int ClientHeight = Client.bottom;
  std::vector<int> Widths(Count);
  int Height = ClientHeight;
  for (int I = 0; I < Count; ++I) {
    TEditButtonKs* Button = ButtonAt(I);
    TEditButtonControlKs* Control = FButtonControls[I].Button;
    Control->Tag = I;
    Control->SetStyle(Button->Style());
    Control->Glyph()->SetHandle(Button->Glyph()->Handle() ? static_cast<HBITMAP>(CopyImage(
                                    Button->Glyph()->Handle(), IMAGE_BITMAP, 0, 0, 0))
                                                         : nullptr);
    Control->SetNumGlyphs(Button->NumGlyphs());
    Control->SetHint(Button->Hint());
    Control->SetFlat(FFlat);
    Control->SetEnabled(Enabled());
    Control->SetActive(FBorderActive);
    if (!Button->Visible()) continue;
    int Width = Button->Width() >= 1
                    ? Button->Width()
                    : (FFlat ? FlatEditButtonWidth : GetSystemMetrics(SM_CXVSCROLL));
    Widths[I] = Width;
    int ButtonHeight = ClientHeight > std::lround(Width * 1.5) ? WideEditButtonWidth(Width, FFlat)
                                                               : ClientHeight;
    Height = std::min(Height, ButtonHeight);
  }
  // From the right edge leftwards: the last item first, the main button
  // last, each with its line on the text side; right to left the same
  // mirrored, from the left edge.
  bool Mirrored = UseRightToLeftAlignment();
  int Taken = 0;
  auto Place = [&](TControl* Control, int Width) {
    Taken += Width;
    Control->SetBounds(Mirrored ? Taken - Width : Client.right - Taken, 0, Width, Height);
  };
  for (int I = Count - 1; I >= 0; --I) {
    TButtonPair& Pair = FButtonControls[I];
    bool Visible = ButtonAt(I)->Visible();
    Pair.Button->SetVisible(Visible);
    Pair.Line->SetVisible(Visible && FFlat);
    if (!Visible) continue;
    Place(Pair.Button, Widths[I]);
    if (FFlat) Place(Pair.Line, 1);
  }
  FButtonWidth = Taken;
  UpdateEditRect();
}

void TCustomDBEditKs::UpdateImageWidth() {
  TImageList* List = FEditImage->Images();
  if (!FEditImage->Visible() || !List) {
    FImageWidth = 0;
  } else {
    FImageWidth = (FEditImage->Width() >= 1 ? FEditImage->Width() : List->Width()) + 4;
  }
}

RECT TCustomDBEditKs::CalcEditRect() {
  RECT R = ClientRect();
  if (UseRightToLeftAlignment()) {
    R.left += FButtonWidth;
    R.right -= FImageWidth;
  } else {
    R.right -= FButtonWidth;
    R.left += FImageWidth;
  }
  return R;
}

bool TCustomDBEditKs::UseRightToLeftAlignment() {
  // As other data controls: a text that keeps to the left turns to the
  // right; numbers and what the field aligns itself keep their side.
  return TCustomMaskEdit::UseRightToLeftAlignment() &&
         (!Field() || Field()->Alignment() == taLeftJustify);
}

// Keeps the typed text clear of the buttons and the image: a multi-line
// edit through its formatting rectangle, a single-line one through margins
// added to those its font gives.
void TCustomDBEditKs::UpdateEditRect() {
  if (!HandleAllocated()) return;
  RECT R = CalcEditRect();
  if (GetWindowLongA(FHandle, GWL_STYLE) & ES_MULTILINE) {
    FFontMargins = static_cast<DWORD>(SendMessageA(FHandle, EM_GETMARGINS, 0, 0));
    SendMessageA(FHandle, EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&R));
  } else {
    WPARAM Both = EC_LEFTMARGIN | EC_RIGHTMARGIN;
    SendMessageA(FHandle, EM_SETMARGINS, Both, MAKELPARAM(EC_USEFONTINFO, EC_USEFONTINFO));
    FFontMargins = static_cast<DWORD>(SendMessageA(FHandle, EM_GETMARGINS, 0, 0));
    int Left = LOWORD(FFontMargins) + R.left,
        Right = HIWORD(FFontMargins) + ClientWidth() - R.right;
    SendMessageA(FHandle, EM_SETMARGINS, Both, MAKELPARAM(Left, Right));
  }
  SendMessageA(FHandle, EM_SCROLLCARET, 0, 0);
  Invalidate();
}

void TCustomDBEditKs::ButtonDown(bool) {
  if (FEditButton->Style() == ebsUpDownKs || FDroppedDown) return;
  DropDown();
  FDroppedByMouse = true;
}

void TCustomDBEditKs::DropDown() {
  if (TEditButtonControlKs* Main = MainButtonControl()) SetSpeedButtonToggle(Main, true);
  FDroppedDown = true;
  if (MRUListOpen()) FMRUList->CloseUp(false);
}

void TCustomDBEditKs::CloseUp(bool) {
  if (TEditButtonControlKs* Main = MainButtonControl()) SetSpeedButtonToggle(Main, false);
  FDroppedDown = false;
}

void TCustomDBEditKs::EditButtonClick(TObject* Sender) {
  bool Handled = false;
  TEditButtonKs* Button = ButtonOf(Sender);
  if (Button == FEditButton) {
    if (OnButtonClick) OnButtonClick(Sender, Handled);
  } else if (Button && Button->OnClick) {
    Button->OnClick(Sender, Handled);
  }
  if (!Handled && FDroppedDown && !FDroppedByMouse) CloseUp(false);
  FDroppedByMouse = false;
}

void TCustomDBEditKs::EditButtonMouseDown(TObject* Sender, bool TopButton, bool& AutoRepeat,
                                          bool& Handled) {
  if (!Focused() && CanFocus()) SetFocus();
  Handled = false;
  auto* Control = dynamic_cast<TEditButtonControlKs*>(Sender);
  TEditButtonKs* Button = ButtonOf(Sender);
  if (!Control || !Button) return;
  MSG Swallow;
  if (HandleAllocated() &&
      PeekMessageA(&Swallow, FHandle, CM_SWALLOWBUTTONKS, CM_SWALLOWBUTTONKS, PM_REMOVE)) {
    if (static_cast<intptr_t>(Swallow.wParam) == Control->Tag) return;
  }
  if (Button == FEditButton) {
    if (OnButtonDown) OnButtonDown(Sender, TopButton, AutoRepeat, Handled);
  } else if (Button->OnDown) {
    Button->OnDown(Sender, TopButton, AutoRepeat, Handled);
  }
  if (Handled) return;
  if (TPopupMenu* Menu = Button->DropdownMenu()) {
    POINT Corner = Control->ClientToScreen(POINT{0, Control->Height()});
    Menu->Popup(Corner.x, Corner.y);
    PostMessageA(Handle(), CM_SWALLOWBUTTONKS, static_cast<WPARAM>(Control->Tag), 0);
    // The release happened inside the menu; the button lets go without a click.
    Perform(WM_LBUTTONUP, 0, MAKELPARAM(-1, -1));
  } else if (Button == FEditButton) {
    ButtonDown(!TopButton);
  }
}

void TCustomDBEditKs::EditButtonMouseMove(TObject*, TShiftState, int, int) {}

void TCustomDBEditKs::EditButtonMouseUp(TObject* Sender, TMouseButton, TShiftState, int X, int Y) {
  auto* Control = dynamic_cast<TControl*>(Sender);
  if (!Control) return;
  if (X < 0 || Y < 0 || X >= Control->Width() || Y >= Control->Height()) FDroppedByMouse = false;
}

// --- MRU list

TDropDownAlign TCustomDBEditKs::PrepareDropDown(TPopupListboxKs* List, TDropDownAlign Align) {
  List->SetColor(Color());
  List->Font()->Assign(Font());
  List->SetBiDiMode(BiDiMode());
  if (!UseRightToLeftAlignment() || Align == daCenter) return Align;
  return Align == daLeft ? daRight : daLeft;
}

void TCustomDBEditKs::MRUListDropDown() {
  if (!FMRUListbox) FMRUListbox = CreateMRUListbox();
  TMRUListboxKs* List = FMRUListbox;
  bool Completed = FMRUList->FilterMRUItems(Text(), List->Items());
  if (!Completed || List->Items()->Count() == 0) {
    if (MRUListOpen()) FMRUList->CloseUp(false);
    return;
  }
  TDropDownAlign Align = PrepareDropDown(List, daLeft);
  List->SetItemHeight(List->ListboxTextHeight());
  List->SetItemIndex(-1);
  RECT R{};
  SendMessageA(Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&R));
  MapWindowPoints(FHandle, nullptr, reinterpret_cast<POINT*>(&R), 2);
  if (!MRUListOpen() || !List->SizedByUser()) {
    List->SetWidth(R.right - R.left);
    List->SetRowCount(std::min(FMRUList->Rows(), List->Items()->Count()));
  }
  POINT P = AlignDropDownWindow(R, List, Align);
  List->ShowAt(P);
  List->SizeGrip()->ShowSizeGripWindow(true);
  FMRUList->SetDroppedDown(true);
  List->SetSizedByUser(false);
}

void TCustomDBEditKs::MRUListCloseUp(bool Accept) {
  TMRUListboxKs* List = FMRUListbox;
  if (!List || !MRUListOpen()) return;
  if (GetCapture() == List->Handle()) ReleaseCapture();
  bool HadFocus = GetFocus() == List->Handle();
  int Index = List->ItemIndex();
  AnsiString Chosen = Index >= 0 ? List->Items()->Strings(Index) : AnsiString();
  List->SetVisible(false);
  if (HadFocus && CanFocus()) SetFocus();
  FMRUList->SetDroppedDown(false);
  if (Accept && Index >= 0 && !FReadOnly && FDataLink->Edit()) {
    SetText(Chosen);
    if (Focused()) SelectAll();
  }
}

void TCustomDBEditKs::UpdateMRUListRows() {
  if (MRUListOpen() && FMRUListbox) FMRUList->SetRows(FMRUListbox->RowCount());
}

void TCustomDBEditKs::UserTextChanged() {
  if (MRUListOpen() && Text().empty()) {
    FMRUList->CloseUp(false);
    return;
  }
  if (FMRUList->Active() && HandleAllocated() && !FDroppedDown && !Text().empty())
    FMRUList->DropDown();
}

// While the MRU list is open it takes the keys that move in it; Enter and
// Esc close it.
bool TCustomDBEditKs::HandleMRUKeys(TMessage& Message) {
  if (!MRUListOpen() || !FMRUListbox) return false;
  auto Key = static_cast<uint16_t>(Message.WParam);
  if (Message.Msg == WM_KEYDOWN && (Key == VK_RETURN || Key == VK_ESCAPE)) {
    FMRUList->CloseUp(Key == VK_RETURN);
    MSG Char;
    PeekMessageA(&Char, FHandle, WM_CHAR, WM_CHAR, PM_REMOVE);
    return true;
  }
  bool Moves = Key == VK_UP || Key == VK_DOWN || Key == VK_PRIOR || Key == VK_NEXT;
  if (Message.Msg == WM_CHAR || !Moves || GetKeyState(VK_MENU) < 0) return false;
  Message.Result = SendMessageA(FMRUListbox->Handle(), Message.Msg, Message.WParam, Message.LParam);
  return true;
}

// --- Keyboard

void TCustomDBEditKs::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (FHolder) {
    FHolder->InplaceEditKeyDown(this, Key, Shift);
    if (!Key) return;
  }
  TCustomMaskEdit::KeyDown(Key, Shift);
  if (!Key) return;
  TShortCut Pressed = ShortCutKs(Key, Shift);
  for (size_t I = 0; I < FButtonControls.size() && Pressed; ++I) {
    TEditButtonKs* Button = ButtonOf(FButtonControls[I].Button);
    if (!Button || !Button->Visible() || Button->ShortCut() != Pressed) continue;
    TEditButtonControlKs* Control = FButtonControls[I].Button;
    if (!FireEditButtonEvent(Control)) Control->Click();
    Key = 0;
    return;
  }
  if (Key == VK_DELETE && !FReadOnly) FDataLink->Edit();
}

void TCustomDBEditKs::KeyPress(char& Key) {
  if (FHolder) {
    FHolder->InplaceEditKeyPress(this, Key);
    if (!Key) return;
  }
  TCustomMaskEdit::KeyPress(Key);
  if (!Key) return;
  auto Code = static_cast<uint8_t>(Key);
  if (Field() && Code >= ' ' && !IsValidChar(Key)) {
    MessageBeep(0);
    Key = 0;
    return;
  }
  if (Key == VK_ESCAPE) {
    Reset();
    Key = 0;
    return;
  }
  // Backspace, Ctrl+V, Ctrl+X, Ctrl+Z and the characters change the text.
  bool Edits = Code == VK_BACK || Code == 22 || Code == 24 || Code == 26 || Code >= ' ';
  if (Edits && !FReadOnly) FDataLink->Edit();
}

void TCustomDBEditKs::KeyUp(uint16_t& Key, TShiftState Shift) {
  if (FHolder) {
    FHolder->InplaceEditKeyUp(this, Key, Shift);
    if (!Key) return;
  }
  TCustomMaskEdit::KeyUp(Key, Shift);
}

// Enter and Tab reach the text only when wanted; a line feed never does.
bool TCustomDBEditKs::HandleChar(TMessage& Message) {
  if (DoKeyPress(Message)) return false;
  auto Char = static_cast<char>(Message.WParam);
  if ((Char == '\r' && !FWantReturns) || (Char == '\t' && !FWantTabs) || Char == '\n') return false;
  DefaultHandler(Message);
  return true;
}

// --- Focus

void TCustomDBEditKs::SetFocused(bool Value) {
  if (FFocused == Value) return;
  FFocused = Value;
  if (Alignment() != taLeftJustify && EditMask().empty()) Invalidate();
  FDataLink->Reset();
  UpdateBorderState();
}

void TCustomDBEditKs::DoEnter() {
  SetFocused(true);
  TCustomMaskEdit::DoEnter();
  if (FAutoSelect && GetKeyState(VK_LBUTTON) >= 0) SelectAll();
}

void TCustomDBEditKs::DoExit() {
  TCustomMaskEdit::DoExit();
  try {
    FDataLink->UpdateRecord();
  } catch (...) {
    SelectAll();
    if (CanFocus()) SetFocus();
    throw;
  }
  SetFocused(false);
}

// --- Changes

void TCustomDBEditKs::Change() {
  FDataLink->Modified();
  if (HandleAllocated()) SetModified(true);
  TCustomMaskEdit::Change();
  UpdateImageIndex();
  InvalidateRequiredRow();
  if (!FSettingText) UserTextChanged();
}

int TCustomDBEditKs::DefaultImageIndex() { return -1; }

void TCustomDBEditKs::UpdateImageIndex() {
  if (!FEditImage || !FEditImage->Visible() || !FEditImage->Images()) return;
  int Index = DefaultImageIndex();
  Variant V = Value();
  switch (V.VarType()) {
    case varSmallint:
    case varInteger:
    case varSingle:
    case varDouble:
    case varCurrency:
      Index = static_cast<int>(std::lround(V.AsDouble()));
      break;
    default:
      break;
  }
  if (OnGetImageIndex) OnGetImageIndex(this, Index);
  FEditImage->SetImageIndex(Index);
}

// --- Size and look

void TCustomDBEditKs::UpdateHeight() {
  if (FAutoSize && BorderStyle() == bsSingle) AdjustHeight();
}

void TCustomDBEditKs::AdjustHeight() {
  TWindowDC DC;
  TSelectObject Font(DC.Get(), this->Font()->Handle());
  TEXTMETRICA Metrics{};
  GetTextMetricsA(DC.Get(), &Metrics);
  int Extra = (8 - (FFlat ? 2 : 0)) * GetSystemMetrics(SM_CYBORDER);
  int Height = Metrics.tmHeight + Extra;
  TImageList* List = FEditImage ? FEditImage->Images() : nullptr;
  if (List && FEditImage->UseImageHeight() && List->Height() > Metrics.tmHeight)
    Height = List->Height() + Extra;
  SetHeight(Height);
}

void TCustomDBEditKs::Resize() {
  TCustomMaskEdit::Resize();
  UpdateEditButtons();
}

void TCustomDBEditKs::CreateParams(TCreateParams& Params) {
  TCustomMaskEdit::CreateParams(Params);
  // Single-line unless wrapping: a pasted line break then ends the text.
  if (FWordWrap) Params.Style = (Params.Style | ES_MULTILINE) & ~ES_AUTOHSCROLL;
}

void TCustomDBEditKs::AfterCreateWnd() {
  TCustomMaskEdit::AfterCreateWnd();
  UpdateImageWidth();
  UpdateHeight();
  UpdateEditButtons();
}

void TCustomDBEditKs::MouseEnter() {
  TCustomMaskEdit::MouseEnter();
  UpdateBorderState();
}

void TCustomDBEditKs::MouseLeave() {
  TCustomMaskEdit::MouseLeave();
  UpdateBorderState();
}

void TCustomDBEditKs::UpdateBorderState() {
  bool Value = FFocused || FMouseInControl || FAlwaysShowBorder;
  if (FBorderActive == Value) return;
  FBorderActive = Value;
  for (TButtonPair& Pair : FButtonControls) {
    Pair.Button->SetActive(Value);
    Pair.Line->Invalidate();
  }
  if (FFlat && HandleAllocated())
    RedrawWindow(FHandle, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_NOCHILDREN);
}

void TCustomDBEditKs::PaintFlatBorder() {
  HDC DC = GetWindowDC(FHandle);
  RECT R;
  GetWindowRect(FHandle, &R);
  OffsetRect(&R, -R.left, -R.top);
  TGdiHandle<HBRUSH> Face(CreateSolidBrush(ColorToRGB(clBtnFace)));
  if (FBorderActive) {
    DrawEdge(DC, &R, BDR_SUNKENOUTER, BF_RECT);
  } else {
    FrameRect(DC, &R, Face.Get());
  }
  InflateRect(&R, -1, -1);
  FrameRect(DC, &R, Face.Get());
  ReleaseDC(FHandle, DC);
}

bool TCustomDBEditKs::UseStandardPaint() {
  return Alignment() == taLeftJustify || FFocused || FWordWrap;
}

AnsiString TCustomDBEditKs::GetDisplayTextForPaintCopy() { return Text(); }

void TCustomDBEditKs::PaintCustom(HDC DC) {
  RECT Client = ClientRect();
  TGdiHandle<HBRUSH> Back(CreateSolidBrush(ColorToRGB(Color())));
  FillRect(DC, &Client, Back.Get());
  TSelectObject SelectedFont(DC, Font()->Handle());
  SetTextColor(DC, ColorToRGB(Enabled() ? Font()->Color() : clGrayText));
  SetBkMode(DC, TRANSPARENT);
  AnsiString Shown = GetDisplayTextForPaintCopy();
  if (PasswordChar()) Shown.assign(Shown.size(), PasswordChar());
  int Margin = LOWORD(FFontMargins) + 1;
  RECT R = CalcEditRect();
  SIZE Extent{};
  GetTextExtentPoint32A(DC, Shown.c_str(), static_cast<int>(Shown.size()), &Extent);
  // Right to left a right-justified text stands at the left, as the
  // window shows a left-justified one at the right.
  TAlignment Side = Alignment();
  if (UseRightToLeftAlignment() && Side != taCenter)
    Side = Side == taRightJustify ? taLeftJustify : taRightJustify;
  int X = R.left + Margin;
  if (Side == taRightJustify) {
    X = R.right - Extent.cx - Margin;
  } else if (Side == taCenter) {
    X = (R.right - Extent.cx) / 2;
  }
  UINT Options = ETO_CLIPPED | (UseRightToLeftReading() ? ETO_RTLREADING : 0);
  ExtTextOutA(DC, X, Margin, Options, &R, Shown.c_str(), static_cast<UINT>(Shown.size()),
              nullptr);
}

// What the control draws over the edit: the image, the buttons, the mark.
void TCustomDBEditKs::PaintOverlay(HDC DC) {
  TImageList* List = FEditImage->Images();
  if (FImageWidth > 0 && List) {
    RECT Area{0, 0, FImageWidth, ClientHeight()};
    if (UseRightToLeftAlignment()) OffsetRect(&Area, ClientWidth() - FImageWidth, 0);
    TGdiHandle<HBRUSH> Back(CreateSolidBrush(ColorToRGB(Color())));
    FillRect(DC, &Area, Back.Get());
    if (FEditImage->ImageIndex() >= 0)
      DrawImageCentered(DC, Area, List, FEditImage->ImageIndex(), false);
  }
  PaintControls(DC);
  DrawRequiredState(DC);
}

void TCustomDBEditKs::DrawRequiredState(HDC DC) {
  TDataSet* Set = DataSource() ? DataSource()->DataSet() : nullptr;
  TField* F = Field();
  bool DrawState = FHighlightRequired && FDataLink->Active() && Set && Set->State() == dsInsert &&
                   F && F->Required() && F->IsNull();
  if (OnCheckDrawRequiredState) OnCheckDrawRequiredState(this, DrawState);
  if (!DrawState) return;
  RECT R = CalcEditRect();
  int Y = ClientHeight() - 1;
  TGdiHandle<HPEN> Pen(CreatePen(PS_DOT, 1, ColorToRGB(clRed)));
  TSelectObject Selected(DC, Pen.Get());
  int OldMode = SetBkMode(DC, TRANSPARENT);
  MoveToEx(DC, R.left + 2, Y, nullptr);
  LineTo(DC, R.right - 3, Y);
  SetBkMode(DC, OldMode);
}

// The mark may come or go with any change of the text.
void TCustomDBEditKs::InvalidateRequiredRow() {
  if (!HandleAllocated()) return;
  RECT Client = ClientRect();
  RECT Row{0, Client.bottom - 1, Client.right, Client.bottom};
  InvalidateRect(FHandle, &Row, TRUE);
}

bool TCustomDBEditKs::OverButtonsOrImage(POINT Client) {
  RECT R = CalcEditRect();
  return Client.x < R.left || Client.x >= R.right;
}

// --- Messages

void TCustomDBEditKs::WndProc(TMessage& Message) {
  if (FHolder && FHolder->InplaceEditWndProc(this, Message)) return;
  if ((Message.Msg == WM_KEYDOWN || Message.Msg == WM_KEYUP || Message.Msg == WM_CHAR) &&
      HandleMRUKeys(Message))
    return;
  if (IsMouseButtonMessage(Message.Msg) && HandleAllocated()) {
    POINT P = PointOf(Message.LParam);
    if (!ControlAtPos(P) && OverButtonsOrImage(P) && GetCapture() != FHandle) return;
    if (Message.Msg == WM_LBUTTONDOWN && FHolder) {
      POINT Last;
      DWORD Time;
      FHolder->GetMouseDownInfo(Last, Time);
      if (IsDoubleClickPoint(Last, ClientToScreen(P), GetMessageTime() - Time))
        Message.Msg = WM_LBUTTONDBLCLK;
    }
  }
  EditWndProc(Message);
}

void TCustomDBEditKs::EditWndProc(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CHAR:
      HandleChar(Message);
      return;
    case WM_GETDLGCODE: {
      LRESULT Code = DLGC_WANTARROWS | DLGC_HASSETSEL | DLGC_WANTCHARS;
      bool HolderWantsTabs =
          FInplaceHolder && (FInplaceHolder->Perform(WM_GETDLGCODE) & DLGC_WANTTAB);
      if (FWantTabs || HolderWantsTabs) Code |= DLGC_WANTTAB;
      if (FWantReturns) Code |= DLGC_WANTALLKEYS;
      Message.Result = Code;
      return;
    }
    case CM_WANTSPECIALKEY: {
      bool CloseKey = Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE;
      // An open list takes Enter and Esc to close, as a system combo box's
      // does, whether or not an entry is highlighted.
      if (MRUListOpen() && FMRUListbox && CloseKey) {
        Message.Result = 1;
        return;
      }
      Message.Result = Message.WParam == VK_ESCAPE && HandleAllocated() && Modified();
      return;
    }
    case WM_PAINT:
      if (UseStandardPaint()) {
        // The window shows its text by the styles it was made with.
        if (!RightToLeftStylesAgree()) PostMessageA(FHandle, CM_RECREATEWND, 0, 0);
        TCustomMaskEdit::WndProc(Message);
        TWindowDC DC(FHandle);
        PaintOverlay(DC.Get());
      } else {
        TPaintDC DC(FHandle);
        PaintCustom(DC.Get());
        PaintOverlay(DC.Get());
      }
      return;
    case WM_PRINTCLIENT: {
      auto DC = reinterpret_cast<HDC>(Message.WParam);
      if (UseStandardPaint()) {
        // The edit leaves its own clipping on the context it was given.
        int Saved = SaveDC(DC);
        TCustomMaskEdit::WndProc(Message);
        RestoreDC(DC, Saved);
      } else {
        PaintCustom(DC);
      }
      PaintOverlay(DC);
      return;
    }
    case WM_NCPAINT:
      if (FFlat && BorderStyle() == bsSingle) {
        PaintFlatBorder();
        return;
      }
      break;
    case WM_SETCURSOR:
      if (LOWORD(Message.LParam) == HTCLIENT) {
        POINT P;
        GetCursorPos(&P);
        if (OverButtonsOrImage(ScreenToClient(P))) {
          ::SetCursor(LoadCursorA(nullptr, IDC_ARROW));
          Message.Result = 1;
          return;
        }
      }
      break;
    case WM_MOUSEWHEEL:
      if (MRUListOpen() && FMRUListbox) {
        Message.Result = SendMessageA(FMRUListbox->Handle(), Message.Msg, Message.WParam,
                                      Message.LParam);
        return;
      }
      break;
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    // A text put in for the selection, as a paste of the clipboard's text
    // with its locale does.
    case EM_REPLACESEL:
      if (!FReadOnly) FDataLink->Edit();
      break;
    case WM_CONTEXTMENU:
      // The edit's own menu greys what a read-only window refuses, and the
      // window is read-only until editing starts; each change the menu
      // makes starts it (above), so it is shown as for an edit under way.
      if (TCustomEdit::ReadOnly() && !FReadOnly && !FDataLink->ReadOnly() &&
          FDataLink->CanModify()) {
        SendMessageA(FHandle, EM_SETREADONLY, FALSE, 0);
        TCustomMaskEdit::WndProc(Message);
        UpdateReadOnly();
        return;
      }
      break;
    case WM_KILLFOCUS:
      if (MRUListOpen() && FMRUListbox &&
          reinterpret_cast<HWND>(Message.WParam) != FMRUListbox->Handle())
        FMRUList->CloseUp(false);
      break;
    case CM_EDITIMAGECHANGEDKS:
      UpdateImageWidth();
      UpdateHeight();
      RecreateWnd();
      UpdateEditButtons();
      return;
    case CM_SWALLOWBUTTONKS:
      return;
    case CM_GETDATALINK:
      Message.Result = reinterpret_cast<LRESULT>(FDataLink);
      return;
    case CM_CANCELMODE: {
      auto* From = reinterpret_cast<TControl*>(Message.WParam);
      if (MRUListOpen() && !ContainsControl(From) && From != FMRUListbox) FMRUList->CloseUp(false);
      return;
    }
    case CM_TEXTCHANGED:
      // A multi-line edit does not report text set in code; a single-line
      // one (a password) does, and so does no window.
      if (!HandleAllocated() || (GetWindowLongA(FHandle, GWL_STYLE) & ES_MULTILINE)) Change();
      return;
    case CM_VISIBLECHANGED:
      if (FHolder) return;
      break;
    case CM_FONTCHANGED:
    case CM_ENABLEDCHANGED:
      TCustomMaskEdit::WndProc(Message);
      UpdateHeight();
      UpdateEditButtons();
      return;
    default:
      break;
  }
  TCustomMaskEdit::WndProc(Message);
}
