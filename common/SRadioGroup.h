#pragma once
// The radio group of the pick-one dialog: a group box with one radio
// button per item, laid out in columns.

#include <vector>

#include "forms/StdCtrls.h"

class TSCustomRadioGroup;

class TGroupButton : public TRadioButton {
 public:
  explicit TGroupButton(TSCustomRadioGroup* Group);
  void Click() override;
  void WndProc(TMessage& Message) override;

 protected:
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;

 private:
  TSCustomRadioGroup* FGroup;
};

class TSCustomRadioGroup : public TCustomGroupBox {
  friend class TGroupButton;

 public:
  explicit TSCustomRadioGroup(TComponent* AOwner);
  ~TSCustomRadioGroup() override;
  TStrings* Items() { return FItems; }
  int ItemIndex() const { return FItemIndex; }
  // Clamped to -1 .. the last item.
  void SetItemIndex(int Value);
  int Columns() const { return FColumns; }
  // Clamped to 1 .. 16.
  void SetColumns(int Value);
  int ButtonCount() const { return static_cast<int>(FButtons.size()); }
  TGroupButton* Buttons(int Index) const { return FButtons[Index]; }
  // Asked before a click or a key may change the choice.
  virtual bool CanModify() { return true; }
  void SetEnabled(bool Value) override;
  void WndProc(TMessage& Message) override;

 protected:
  void Resize() override;

 private:
  void ItemsChanged(TObject*);
  void ArrangeButtons();
  // With no item chosen the group itself is the tab stop, so that Tab
  // still reaches it; focus given to it goes on to a button.
  void UpdateTabStop();
  void FocusButton();
  void ButtonClicked(TGroupButton* Button);
  TStringList* FItems;
  std::vector<TGroupButton*> FButtons;
  int FItemIndex = -1;
  int FColumns = 1;
  // Set while the group checks a button itself: no click then.
  bool FUpdating = false;
};

class TSRadioGroup : public TSCustomRadioGroup {
 public:
  using TSCustomRadioGroup::TSCustomRadioGroup;
};
