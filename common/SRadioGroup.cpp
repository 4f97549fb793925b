#include "common/SRadioGroup.h"

#include <algorithm>

namespace {

// The click that changed the choice must not reach the button twice.
void DropQueuedMouse(HWND Wnd) {
  MSG Msg;
  while (PeekMessageA(&Msg, Wnd, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}

bool ArrowKeyDown() {
  for (int Key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN})
    if (GetKeyState(Key) < 0) return true;
  return false;
}

}  // namespace

TGroupButton::TGroupButton(TSCustomRadioGroup* Group) : TRadioButton(Group), FGroup(Group) {
  SetVisible(false);
  SetParent(Group);
}

void TGroupButton::Click() {
  TRadioButton::Click();
  FGroup->ButtonClicked(this);
}

void TGroupButton::WndProc(TMessage& Message) {
  if (Message.Msg == CN_COMMAND) {
    WORD Code = HIWORD(Message.WParam);
    if ((Code == BN_CLICKED || Code == BN_DOUBLECLICKED) && FGroup->CanModify()) {
      SetChecked(true);
      if (Code == BN_DOUBLECLICKED) FGroup->DblClick();
    }
    if (HandleAllocated()) DropQueuedMouse(Handle());
    return;
  }
  TRadioButton::WndProc(Message);
  // An arrow key moves the focus through the group and chooses as it goes,
  // as radio buttons do everywhere; the button hears of no click then.
  if (Message.Msg == WM_SETFOCUS && ArrowKeyDown() && !Checked() && FGroup->CanModify())
    SetChecked(true);
}

void TGroupButton::KeyDown(uint16_t& Key, TShiftState Shift) {
  TRadioButton::KeyDown(Key, Shift);
  if (Key) FGroup->KeyDown(Key, Shift);
}

void TGroupButton::KeyPress(char& Key) {
  TRadioButton::KeyPress(Key);
  if ((Key == ' ' || Key == '\b') && !FGroup->CanModify()) Key = 0;
  if (Key) FGroup->KeyPress(Key);
}

TSCustomRadioGroup::TSCustomRadioGroup(TComponent* AOwner)
    : TCustomGroupBox(AOwner), FItems(new TStringList) {
  FItems->OnChange = [this](TObject* Sender) { ItemsChanged(Sender); };
}

TSCustomRadioGroup::~TSCustomRadioGroup() {
  FItems->OnChange = nullptr;
  delete FItems;
}

void TSCustomRadioGroup::ItemsChanged(TObject*) {
  int Count = FItems->Count();
  while (ButtonCount() > Count) {
    delete FButtons.back();
    FButtons.pop_back();
  }
  while (ButtonCount() < Count) FButtons.push_back(new TGroupButton(this));
  for (int I = 0; I < Count; ++I) {
    FButtons[I]->SetCaption(FItems->Strings(I));
    FButtons[I]->SetEnabled(Enabled());
  }
  if (FItemIndex >= Count) FItemIndex = -1;
  SetItemIndex(FItemIndex);
  ArrangeButtons();
}

void TSCustomRadioGroup::SetItemIndex(int Value) {
  Value = std::clamp(Value, -1, ButtonCount() - 1);
  FUpdating = true;
  if (FItemIndex >= 0 && FItemIndex < ButtonCount()) FButtons[FItemIndex]->SetChecked(false);
  FItemIndex = Value;
  if (Value >= 0) FButtons[Value]->SetChecked(true);
  FUpdating = false;
  UpdateTabStop();
}

void TSCustomRadioGroup::SetColumns(int Value) {
  FColumns = std::clamp(Value, 1, 16);
  ArrangeButtons();
}

void TSCustomRadioGroup::SetEnabled(bool Value) {
  TCustomGroupBox::SetEnabled(Value);
  for (TGroupButton* Button : FButtons) Button->SetEnabled(Value);
}

void TSCustomRadioGroup::ButtonClicked(TGroupButton* Button) {
  if (FUpdating) return;
  FItemIndex =
      static_cast<int>(std::find(FButtons.begin(), FButtons.end(), Button) - FButtons.begin());
  UpdateTabStop();
  Click();
}

void TSCustomRadioGroup::Resize() {
  TCustomGroupBox::Resize();
  ArrangeButtons();
}

void TSCustomRadioGroup::WndProc(TMessage& Message) {
  TCustomGroupBox::WndProc(Message);
  if (Message.Msg == CM_FONTCHANGED) ArrangeButtons();
  if (Message.Msg == WM_SETFOCUS) FocusButton();
}

void TSCustomRadioGroup::UpdateTabStop() { SetTabStop(FItemIndex < 0 && ButtonCount() > 0); }

// The group box shows no focus of its own and its arrow keys would leave
// the group: the chosen button, or the first, takes the focus instead.
void TSCustomRadioGroup::FocusButton() {
  if (ButtonCount() == 0) return;
  TGroupButton* Button = FButtons[FItemIndex >= 0 ? FItemIndex : 0];
  if (Button->CanFocus()) Button->SetFocus();
}

// Filled column by column; an empty group has nothing to lay out (the
// row count would be zero).
void TSCustomRadioGroup::ArrangeButtons() {
  int Count = ButtonCount();
  if (Count == 0) return;
  TWindowDC DC;
  TSelectObject Selected(DC.Get(), Font()->Handle());
  TEXTMETRICA Metrics;
  GetTextMetricsA(DC.Get(), &Metrics);
  int TextHeight = Metrics.tmHeight;
  int Rows = (Count + FColumns - 1) / FColumns;
  int ButtonWidth = (Width() - 10) / FColumns;
  int Spare = Height() - TextHeight - 5;
  int ButtonHeight = Spare / Rows;
  int TopOffset = TextHeight + 1 + (Spare % Rows) / 2;
  for (int I = 0; I < Count; ++I) {
    TGroupButton* Button = FButtons[I];
    Button->SetBounds((I / Rows) * ButtonWidth + 8, (I % Rows) * ButtonHeight + TopOffset,
                      ButtonWidth, ButtonHeight);
    Button->SetVisible(true);
  }
}
