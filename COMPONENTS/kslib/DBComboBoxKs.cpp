#include "COMPONENTS/kslib/DBComboBoxKs.h"

#include <algorithm>

#include "forms/Clipbrd.h"
#include "rtl/AnsiText.h"

namespace {

POINT PointOf(LPARAM LParam) {
  return POINT{static_cast<short>(LOWORD(LParam)), static_cast<short>(HIWORD(LParam))};
}

}  // namespace

// --- TDropDownBoxKs

void TDropDownBoxKs::Assign(TPersistent* Source) {
  auto* Other = dynamic_cast<TDropDownBoxKs*>(Source);
  if (!Other) {
    TPersistent::Assign(Source);
    return;
  }
  FAlign = Other->FAlign;
  FAutoDrop = Other->FAutoDrop;
  FRows = Other->FRows;
  FSizable = Other->FSizable;
  FWidth = Other->FWidth;
}

// --- TCustomDBComboBoxKs

TCustomDBComboBoxKs::TCustomDBComboBoxKs(TComponent* AOwner)
    : TCustomDBEditKs(AOwner),
      FDropDownBox(new TDropDownBoxKs),
      FItems(new TStringList),
      FKeyItems(new TStringList) {
  FItems->OnChange = [this](TObject*) { ItemsChanged(false); };
  FKeyItems->OnChange = [this](TObject*) { ItemsChanged(true); };
  RecreateEditButton();
}

TCustomDBComboBoxKs::~TCustomDBComboBoxKs() {
  DestroyHandle();
  FItems->OnChange = FKeyItems->OnChange = nullptr;
  delete FDropDownBox;
  delete FItems;
  delete FKeyItems;
}

TEditButtonKs* TCustomDBComboBoxKs::CreateEditButton() { return new TVisibleEditButtonKs(this); }

TPopupListboxKs* TCustomDBComboBoxKs::PopupListbox() {
  if (FListbox) return FListbox;
  FListbox = ListboxClass ? ListboxClass(this) : new TPopupListboxKs(this);
  TPopupListboxKs* List = FListbox;
  List->OnMouseUp = [this, List](TObject*, TMouseButton, TShiftState, int X, int Y) {
    RECT Client = List->ClientRect();
    CloseUp(PtInRect(&Client, POINT{X, Y}) != 0);
  };
  List->OnGetItemImageIndex = [this](TObject*, int Index, int& Image) {
    if (OnGetItemImageIndex) OnGetItemImageIndex(this, Index, Image);
  };
  return List;
}

// --- Lists and the chosen item

void TCustomDBComboBoxKs::ItemsChanged(bool Keys) {
  FKeyMode = FKeyItems->Count() > 0;
  FItemCount = FKeyMode ? std::min(FItems->Count(), FKeyItems->Count()) : FItems->Count();
  if (FKeyMode) SetEditText("");
  UpdateReadOnly();
  SyncToText();
  ResetMaxLength();
  // Key mode shows the value's item again, from the changed lists.
  if (Keys || FKeyMode) DataChanged();
  if (Keys) UpdateImageIndex();
}

// Text mode: the item follows the text.
void TCustomDBComboBoxKs::SyncToText() {
  if (FKeyMode) return;
  int Found = FItems->IndexOf(Text());
  FItemIndex = Found < FItemCount ? Found : -1;
  ListFollows();
  UpdateImageIndex();
}

void TCustomDBComboBoxKs::ListFollows() {
  if (FListVisible && FListbox) FListbox->SetItemIndex(FItemIndex);
}

void TCustomDBComboBoxKs::SetItemIndex(int Index) {
  if (Index == FItemIndex) return;
  FillItems();
  if (Index < 0 || Index >= FItemCount) {
    FItemIndex = -1;
    FKeyValue = Variant::Null();
  } else {
    FItemIndex = Index;
    if (FKeyMode) FKeyValue = Variant(FKeyItems->Strings(Index));
  }
  UpdateImageIndex();
  ListFollows();
  SetEditText(FItemIndex >= 0 ? FItems->Strings(FItemIndex) : AnsiString());
  CommitValue();
}

void TCustomDBComboBoxKs::SetItemValue(int Index) {
  if (!IsDataIndependent()) DataLink()->Edit();
  try {
    SetItemIndex(Index);
  } catch (...) {
    DataLink()->Reset();
    throw;
  }
}

int TCustomDBComboBoxKs::FillItems() {
  if (FItems->Count() == 0 && OnItemsNeeded) OnItemsNeeded(this);
  return FItems->Count();
}

void TCustomDBComboBoxKs::Clear() {
  if (FKeyMode) {
    SetValue(Variant::Null());
  } else {
    SetText("");
  }
}

// --- Value

void TCustomDBComboBoxKs::InternalSetText(const AnsiString& AText) {
  if (!FKeyMode) {
    TCustomDBEditKs::InternalSetText(AText);
    SyncToText();
    return;
  }
  int Found = FItems->IndexOf(AText);
  if (Found < 0 || Found >= FItemCount) return;
  FItemIndex = Found;
  FKeyValue = Variant(FKeyItems->Strings(Found));
  UpdateImageIndex();
  ListFollows();
  SetEditText(AText);
}

void TCustomDBComboBoxKs::InternalSetValue(const Variant& AValue) {
  if (!FKeyMode) {
    TCustomDBEditKs::InternalSetValue(AValue);
    SyncToText();
    return;
  }
  FKeyValue = AValue;
  if (AValue.IsNull() || AValue.IsEmpty()) {
    FItemIndex = -1;
  } else {
    int Found = FKeyItems->IndexOf(VarToTextKs(AValue));
    FItemIndex = Found < FItemCount ? Found : -1;
  }
  SetEditText(FItemIndex >= 0 ? FItems->Strings(FItemIndex) : AnsiString());
  UpdateImageIndex();
  ListFollows();
}

Variant TCustomDBComboBoxKs::GetVariantValue() {
  return FKeyMode ? FKeyValue : TCustomDBEditKs::GetVariantValue();
}

void TCustomDBComboBoxKs::UpdateData() {
  if (!FKeyMode && IsDataIndependent()) {
    DataLink()->SetText(Text());
  } else if (IsDataIndependent()) {
    // The own value keeps the key as it is, Null included.
    DataLink()->SetValue(FKeyValue);
  } else {
    DataLink()->SetText(VarToTextKs(Value()));
  }
}

void TCustomDBComboBoxKs::CommitValue() {
  if (FItemIndex == -1 && OnNotInList) {
    bool Recheck = false;
    OnNotInList(this, Text(), Recheck);
  }
  TCustomDBEditKs::CommitValue();
}

void TCustomDBComboBoxKs::DataChanged() {
  if (!FKeyMode) {
    TCustomDBEditKs::DataChanged();
    SyncToText();
    return;
  }
  if (TField* F = Field()) {
    InternalSetValue(F->IsNull() ? Variant::Null() : Variant(F->Text()));
  } else if (IsDataIndependent()) {
    InternalSetValue(DataLink()->DataIndependentValue());
  } else {
    InternalSetValue(Variant::Null());
  }
  UpdateReadOnly();
  if (HandleAllocated()) SetModified(false);
}

void TCustomDBComboBoxKs::UpdateReadOnly() {
  TCustomEdit::SetReadOnly(!DataLink()->Editing() || ReadOnly() || FKeyMode);
}

void TCustomDBComboBoxKs::ResetMaxLength() {
  if (MaxLength() <= 0) return;
  if (FKeyMode) {
    SetMaxLength(0);
  } else {
    TCustomDBEditKs::ResetMaxLength();
  }
}

TAlignment TCustomDBComboBoxKs::DefaultAlignment() {
  return FKeyMode ? taLeftJustify : TCustomDBEditKs::DefaultAlignment();
}

bool TCustomDBComboBoxKs::IsValidChar(char Key) {
  return FKeyMode || TCustomDBEditKs::IsValidChar(Key);
}

AnsiString TCustomDBComboBoxKs::GetDisplayTextForPaintCopy() {
  if (!FKeyMode || !Field()) return TCustomDBEditKs::GetDisplayTextForPaintCopy();
  int Found = FKeyItems->IndexOf(Field()->Text());
  return Found >= 0 && Found < FItemCount ? ApplyCharCase(FItems->Strings(Found), CharCase())
                                          : AnsiString();
}

void TCustomDBComboBoxKs::UpdateImageIndex() {
  FImageIndex = FItemIndex;
  if (OnGetItemImageIndex) OnGetItemImageIndex(this, FItemIndex, FImageIndex);
  TCustomDBEditKs::UpdateImageIndex();
}

void TCustomDBComboBoxKs::Change() {
  TCustomDBEditKs::Change();
  SyncToText();
}

// --- Searching

bool TCustomDBComboBoxKs::LocateText(const AnsiString& AText, bool Partial) {
  if (!DataLink()->Edit()) return false;
  int Old = FItemIndex, Found = -1;
  for (int I = 0; I < FItemCount && Found < 0; ++I) {
    AnsiString Item = FItems->Strings(I);
    if (Partial) Item = Item.substr(0, AText.size());
    if (AnsiSameText(Item, AText)) Found = I;
  }
  if (Found < 0) {
    if (!FKeyMode) FItemIndex = -1;
    return Old != FItemIndex;
  }
  SetItemIndex(Found);
  // The completed tail stays selected, so typing goes on over it.
  auto Length = static_cast<WPARAM>(Text().size());
  SendMessageA(Handle(), EM_SETSEL, std::min<WPARAM>(AText.size(), Length), Length);
  return Old != FItemIndex;
}

// Typing, pasting and stepping are the user's changes: a read-only box
// refuses them.
bool TCustomDBComboBoxKs::ProcessSearchKey(const AnsiString& Key) {
  if (ReadOnly() || (!IsDataIndependent() && !Field())) return false;
  if (!DataLink()->Edit()) return false;
  if (Key != "\b") {
    AnsiString Search = Text().substr(0, SelStart()) + Key;
    FillItems();
    return LocateText(Search, true);
  }
  int Length = static_cast<int>(Text().size());
  int Selected = SelLength();
  int Start = Selected == Length ? Length - 1 : Length - Selected - 1;
  SendMessageA(Handle(), EM_SETSEL, std::max(Start, 0), Length);
  return false;
}

void TCustomDBComboBoxKs::SelectNextItem(bool Up) {
  if (ReadOnly() || !DataLink()->Edit()) return;
  FillItems();
  int Old = FItemIndex;
  if (Up) {
    if (FItemIndex >= 1) {
      SetItemValue(FItemIndex - 1);
    } else if (FItemIndex == -1 && FItemCount > 0) {
      SetItemValue(FItemCount - 1);
    }
  } else if (FItemIndex < FItemCount - 1) {
    SetItemValue(FItemIndex + 1);
  }
  if (FItemIndex != Old) SelectAll();
}

// Text mode, after a typed character: at the end of the text it completes
// from Items; elsewhere the item follows the whole text.
void TCustomDBComboBoxKs::AfterChar(char Char) {
  int Length = static_cast<int>(Text().size());
  int Caret = SelStart();
  if (Caret == Length && SelLength() == 0 && Char != '\b') {
    ProcessSearchKey("");
    return;
  }
  FillItems();
  int Old = FItemIndex;
  if (LocateText(Text(), false) && FItemIndex != Old)
    SendMessageA(Handle(), EM_SETSEL, Caret, static_cast<LPARAM>(Text().size()));
}

// --- Keyboard

void TCustomDBComboBoxKs::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomDBEditKs::KeyDown(Key, Shift);
  if (!Key) return;
  if (Key == VK_F4 && Shift.Empty()) {
    // F4 opens and closes the list, as a system combo box's does.
    if (FListVisible) {
      CloseUp(false);
    } else {
      DropDown();
    }
    Key = 0;
    return;
  }
  if ((Key == VK_UP || Key == VK_DOWN) && !FListVisible && !ReadOnly() && !Shift.Contains(ssAlt)) {
    bool AtEnd = SelStart() == static_cast<int>(Text().size());
    if (!WordWrap() || AtEnd) {
      SelectNextItem(Key == VK_UP);
      Key = 0;
    }
    return;
  }
  if (Key == VK_DELETE && FKeyMode && !ReadOnly()) {
    bool MayBeEmpty = IsDataIndependent() || !Field() || !Field()->Required();
    if (MayBeEmpty && DataLink()->Edit()) {
      SetValue(Variant::Null());
      Key = 0;
    }
  }
}

void TCustomDBComboBoxKs::KeyPress(char& Key) {
  if (FListVisible && (Key == '\r' || Key == VK_ESCAPE)) {
    CloseUp(Key == '\r');
    Key = 0;
    return;
  }
  TCustomDBEditKs::KeyPress(Key);
  if (!Key) return;
  if (Key == VK_BACK && FKeyMode) {
    ProcessSearchKey("\b");
    Key = 0;
    return;
  }
  if (static_cast<uint8_t>(Key) < ' ') return;
  if (FDropDownBox->AutoDrop() && !FListVisible) DropDown();
  if (FKeyMode) {
    ProcessSearchKey(AnsiString(1, Key));
    Key = 0;
  }
}

// --- The list

void TCustomDBComboBoxKs::DropDown() {
  if (FListVisible) return;
  TCustomDBEditKs::DropDown();
  if (OnDropDown) OnDropDown(this);
  TPopupListboxKs* List = PopupListbox();
  FillItems();
  TDropDownAlign Align = PrepareDropDown(List, FDropDownBox->Align());
  TImageList* ImageList = Images();
  List->SetImages(ImageList);
  int ItemHeight = List->ListboxTextHeight();
  if (ImageList && EditImage()->UseImageHeight() && ItemHeight <= ImageList->Height())
    ItemHeight = ImageList->Height();
  List->SetItemHeight(ItemHeight);
  List->Items()->BeginUpdate();
  List->Items()->Clear();
  for (int I = 0; I < FItemCount; ++I) List->Items()->Add(FItems->Strings(I));
  List->Items()->EndUpdate();
  List->SetItemIndex(FItemIndex);
  int Rows = std::min(FDropDownBox->Rows(), FItems->Count());
  int ListWidth = FDropDownBox->Width();
  if (ListWidth == -1) {
    int Widest = WidestItemWidth(FItems, FItemCount, Font());
    ListWidth = Widest + 5 + (ImageList ? ImageList->Width() + 4 : 0) + List->NonClientSize().cx;
    if (FItemCount > Rows) ListWidth += GetSystemMetrics(SM_CXVSCROLL);
  } else if (ListWidth == 0) {
    ListWidth = Width();
  }
  List->SetWidth(std::max(ListWidth, Width()));
  List->SetRowCount(Rows);
  POINT P = DropDownUnderControl(this, List, Align);
  List->ShowAt(P);
  List->SizeGrip()->ShowSizeGripWindow(FDropDownBox->Sizable());
  FListVisible = true;
  FDroppedDown = true;
  List->SetSizedByUser(false);
}

void TCustomDBComboBoxKs::CloseUp(bool Accept) {
  if (!FListVisible) return;
  TPopupListboxKs* List = FListbox;
  if (HWND Capture = GetCapture()) SendMessageA(Capture, WM_CANCELMODE, 0, 0);
  bool HadFocus = GetFocus() == List->Handle();
  List->SetVisible(false);
  if (List->SizedByUser()) {
    FDropDownBox->SetRows(List->RowCount());
    FDropDownBox->SetWidth(List->Width());
  }
  if (HadFocus && CanFocus()) SetFocus();
  FListVisible = false;
  TCustomDBEditKs::CloseUp(Accept);
  if (OnClosing) OnClosing(this, Accept);
  if (Accept && !ReadOnly() && DataLink()->Edit()) {
    SetItemIndex(List->ItemIndex());
    if (Focused()) SelectAll();
  }
  if (OnCloseUp) OnCloseUp(this, Accept);
}

void TCustomDBComboBoxKs::ButtonDown(bool IsDownButton) {
  if (EditButton()->Style() == ebsUpDownKs) {
    SelectNextItem(!IsDownButton);
    return;
  }
  TCustomDBEditKs::ButtonDown(IsDownButton);
}

// Dragging from the control into the open list goes on in the list.
void TCustomDBComboBoxKs::EditButtonMouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  auto* Control = dynamic_cast<TControl*>(Sender);
  if (!FListVisible || !Shift.Contains(ssLeft) || !Control) return;
  POINT Screen = Control->ClientToScreen(POINT{X, Y});
  RECT ListRect;
  GetWindowRect(FListbox->Handle(), &ListRect);
  if (!PtInRect(&ListRect, Screen)) return;
  ReleaseCapture();
  POINT InList = FListbox->ScreenToClient(Screen);
  SendMessageA(FListbox->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(InList.x, InList.y));
}

// --- Messages

// While the list is open, the keys that move in it go to it.
bool TCustomDBComboBoxKs::IsListKey(TMessage& Message) {
  if (!FListVisible) return false;
  if (Message.Msg != WM_KEYDOWN && Message.Msg != WM_KEYUP && Message.Msg != WM_CHAR) return false;
  auto Key = static_cast<uint16_t>(Message.WParam);
  bool Ctrl = GetKeyState(VK_CONTROL) < 0;
  bool Moves = Key == VK_PRIOR || Key == VK_NEXT || Key == VK_UP || Key == VK_DOWN ||
               (Ctrl && (Key == VK_HOME || Key == VK_END));
  if (Message.Msg == WM_CHAR || !Moves) return false;
  TShiftState Shift = KeyboardShiftState();
  TShortCut Pressed = ShortCutKs(Key, Shift);
  for (int I = 0; I < ButtonControlCount(); ++I) {
    TEditButtonKs* Button = ButtonOf(ButtonControl(I));
    if (Button && Button->Visible() && Button->ShortCut() == Pressed) return false;
  }
  Message.Result = SendMessageA(FListbox->Handle(), Message.Msg, Message.WParam, Message.LParam);
  return true;
}

// Key mode: the edit gets no mouse of its own; a press drops the list.
bool TCustomDBComboBoxKs::HandleKeyModeMouse(TMessage& Message) {
  bool Mouse = Message.Msg >= WM_LBUTTONDOWN && Message.Msg <= WM_MBUTTONDBLCLK;
  if (!FKeyMode || !Mouse || !HandleAllocated() || ControlAtPos(PointOf(Message.LParam)))
    return false;
  switch (Message.Msg) {
    case WM_LBUTTONDOWN:
      if (FListVisible) {
        if (!FDroppedByMouse) CloseUp(false);
      } else if (IsDataLinkActive()) {
        if (!Focused() && CanFocus()) SetFocus();
        FDroppedByMouse = true;
        DropDown();
      }
      break;
    case WM_LBUTTONUP:
      FDroppedByMouse = false;
      break;
    case WM_RBUTTONUP: {
      POINT Screen = ClientToScreen(PointOf(Message.LParam));
      SendMessageA(FHandle, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(FHandle),
                   MAKELPARAM(Screen.x, Screen.y));
      break;
    }
    default:
      break;
  }
  return true;
}

void TCustomDBComboBoxKs::EditWndProc(TMessage& Message) {
  if (IsListKey(Message) || HandleKeyModeMouse(Message)) return;
  switch (Message.Msg) {
    case CM_WANTSPECIALKEY:
      if (FListVisible && (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE)) {
        Message.Result = 1;
        return;
      }
      break;
    case WM_CHAR: {
      auto Char = static_cast<char>(Message.WParam);
      bool Reached = HandleChar(Message);
      if (Reached && !FKeyMode && Char != '.' && GetKeyState(VK_CONTROL) >= 0) AfterChar(Char);
      return;
    }
    case WM_SETCURSOR:
      if (FKeyMode && LOWORD(Message.LParam) == HTCLIENT) {
        ::SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        Message.Result = 1;
        return;
      }
      break;
    case WM_MOUSEWHEEL:
      if (FListVisible) {
        Message.Result =
            SendMessageA(FListbox->Handle(), Message.Msg, Message.WParam, Message.LParam);
        return;
      }
      if (MRUListOpen()) break;
      if (!(LOWORD(Message.WParam) & (MK_SHIFT | MK_CONTROL)) && !ReadOnly()) {
        SelectNextItem(static_cast<short>(HIWORD(Message.WParam)) > 0);
        return;
      }
      break;
    case WM_PASTE:
      if (FKeyMode) {
        if (Clipboard()->HasFormat(CF_TEXT)) ProcessSearchKey(Clipboard()->AsText());
        return;
      }
      break;
    case WM_CONTEXTMENU:
      // In key mode the text is the list's, never edited.
      if (FKeyMode) {
        TCustomMaskEdit::WndProc(Message);
        return;
      }
      break;
    case WM_KILLFOCUS:
      if (FListVisible && reinterpret_cast<HWND>(Message.WParam) != FListbox->Handle())
        CloseUp(false);
      break;
    case CM_CANCELMODE: {
      auto* From = reinterpret_cast<TControl*>(Message.WParam);
      if (FListVisible && !ContainsControl(From) && From != FListbox) CloseUp(false);
      break;
    }
    default:
      break;
  }
  TCustomDBEditKs::EditWndProc(Message);
}
